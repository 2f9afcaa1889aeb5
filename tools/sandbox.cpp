#include "sandbox.h"

#include <QByteArray>
#include <QtGlobal>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace render {

namespace {

namespace fs = std::filesystem;

/// The folder of the running program: /proc's word for it where there is a /proc, else the
/// folder of the name it was started by.
fs::path programFolder(const char* program)
{
    std::error_code error;
    fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (error)
        exe = fs::absolute(fs::path(program ? program : ""), error);
    return exe.parent_path();
}

} // namespace

void prepareSandboxedRun(const char* program, const char* outputPath)
{
    std::error_code error;
    if (qEnvironmentVariableIsEmpty("FONTCONFIG_FILE") && !fs::exists("/etc/fonts/fonts.conf", error)) {
        const fs::path own = programFolder(program) / ".." / "share" / "pavex" / "fonts.conf";
        if (fs::exists(own, error))
            qputenv("FONTCONFIG_FILE", QByteArray::fromStdString(fs::weakly_canonical(own, error).string()));
    }
#ifdef Q_OS_UNIX
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && outputPath) {
        // Only a private folder of our own will do: the toolkit refuses any other.
        const fs::path folder = fs::absolute(fs::path(outputPath), error).parent_path();
        struct stat info {};
        if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid()
            && (info.st_mode & 0777) == 0700)
            qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(folder.string()));
    }
#else
    Q_UNUSED(outputPath);
#endif
}

} // namespace render
