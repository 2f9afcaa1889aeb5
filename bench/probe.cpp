// bench-probe: measures how soon a program puts a benchmark picture on an X screen, and what
// that costs it in memory; or, without a screen, what a program's whole run costs.
//
// bench-probe screen [--timeout SECONDS] [--screen WxHxD] [--log FILE] -- PROGRAM ARG...
//   Starts a private Xvfb, runs PROGRAM on it, and after each batch of X DAMAGE events on the
//   root window looks at what changed, until a marker block of the benchmark pictures (see
//   marker.h) is wholly on the screen. Then it reads the program's peak and current resident
//   memory, ends the program and the X server, and prints one line:
//     shown ms=T first_ms=F hwm_kb=H rss_kb=R xgrowth_kb=G at=X,Y
//   T: from just before the program's exec to the damage that completed the marker; F: to
//   the first damage of all (the first window on screen); H, R: the program's VmHWM and
//   VmRSS at that moment; G: how much the X server's resident memory grew meanwhile.
//   When the marker never shows: "missed reason=timeout|exit:N|signal:N", exit status 3.
//
// bench-probe run [--log FILE] -- PROGRAM ARG...
//   Runs PROGRAM to its end and prints
//     ran ms=T maxrss_kb=M user_ms=U sys_ms=S status=0|exit:N|signal:N
//
// Exit status 1 when the measuring itself fails (no Xvfb, no DAMAGE extension, PROGRAM
// cannot be started), 2 on a wrong command line.
#include "marker.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int HarnessFailure = 1;
constexpr int UsageError = 2;
constexpr int Missed = 3;

double msSince(Clock::time_point start, Clock::time_point end)
{
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// A failure of the measuring itself; thrown so that the X server and the program are ended
// on the way out.
struct HarnessError {
    std::string message;
};

[[noreturn]] void die(const std::string& message)
{
    throw HarnessError{message};
}

struct Options {
    std::string mode;
    double timeoutSeconds = 30;
    std::string screen = "1024x768x24";
    std::string log = "/dev/null";
    std::vector<std::string> command;
};

[[noreturn]] void usage()
{
    std::fprintf(stderr,
                 "usage: bench-probe screen [--timeout S] [--screen WxHxD] [--log FILE] -- "
                 "PROGRAM ARG...\n"
                 "       bench-probe run [--log FILE] -- PROGRAM ARG...\n");
    std::exit(UsageError);
}

Options parseOptions(int argc, char* argv[])
{
    Options options;
    if (argc < 2)
        usage();
    options.mode = argv[1];
    if (options.mode != "screen" && options.mode != "run")
        usage();
    int i = 2;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--")
            break;
        if (i + 1 >= argc)
            usage();
        if (arg == "--timeout")
            options.timeoutSeconds = std::atof(argv[++i]);
        else if (arg == "--screen")
            options.screen = argv[++i];
        else if (arg == "--log")
            options.log = argv[++i];
        else
            usage();
    }
    for (++i; i < argc; ++i)
        options.command.emplace_back(argv[i]);
    if (options.command.empty() || !(options.timeoutSeconds > 0))
        usage();
    return options;
}

// A field of /proc/PID/status in kB ("VmHWM", "VmRSS"), or -1.
long statusKb(pid_t pid, const char* field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    const std::string prefix = std::string(field) + ":";
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::atol(line.c_str() + prefix.size());
    }
    return -1;
}

// argv and environment for execve, made before fork so the child only execs.
struct Launch {
    std::vector<std::string> argStore;
    std::vector<std::string> envStore;
    std::vector<char*> argv;
    std::vector<char*> envp;
    int logFd = -1;

    Launch(const std::vector<std::string>& command, const std::string& display,
           const std::string& log)
        : argStore(command)
    {
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            // The program goes to our X server, on the platform a user would have.
            if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("QT_QPA_PLATFORM=", 0) == 0)
                continue;
            envStore.push_back(entry);
        }
        if (!display.empty())
            envStore.push_back("DISPLAY=" + display);
        for (auto& a : argStore)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : envStore)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (logFd < 0)
            die("cannot open " + log + ": " + std::strerror(errno));
    }
    Launch(const Launch&) = delete;
    Launch& operator=(const Launch&) = delete;
    ~Launch() { close(logFd); }

    // Starts the program; returns once it has been exec'd. Dies when it cannot be.
    pid_t start()
    {
        int report[2];
        if (pipe2(report, O_CLOEXEC) != 0)
            die("pipe");
        const pid_t pid = fork();
        if (pid < 0)
            die("fork");
        if (pid == 0) {
            const int null = open("/dev/null", O_RDONLY);
            dup2(null, 0);
            dup2(logFd, 1);
            dup2(logFd, 2);
            execvpe(argv[0], argv.data(), envp.data());
            const int error = errno;
            (void)!write(report[1], &error, sizeof error);
            _exit(127);
        }
        close(report[1]);
        int error = 0;
        ssize_t got;
        do {
            got = read(report[0], &error, sizeof error);
        } while (got < 0 && errno == EINTR);
        close(report[0]);
        if (got == sizeof error) {
            waitpid(pid, nullptr, 0);
            die("cannot start " + argStore[0] + ": " + std::strerror(error));
        }
        return pid;
    }
};

std::string describeEnd(int status)
{
    if (WIFEXITED(status))
        return "exit:" + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "signal:" + std::to_string(WTERMSIG(status));
    return "unknown";
}

int runMode(const Options& options)
{
    Launch launch(options.command, {}, options.log);
    const auto start = Clock::now();
    const pid_t pid = launch.start();
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            die("wait4");
    }
    const auto end = Clock::now();
    const auto ms = [](const timeval& t) {
        return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
    };
    std::printf("ran ms=%.1f maxrss_kb=%ld user_ms=%.1f sys_ms=%.1f status=%s\n",
                msSince(start, end), usage.ru_maxrss, ms(usage.ru_utime), ms(usage.ru_stime),
                WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "0" : describeEnd(status).c_str());
    return 0;
}

// A private X server, ended with the object.
class Xvfb {
public:
    explicit Xvfb(const std::string& screen)
    {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0)
            die("pipe");
        m_pid = fork();
        if (m_pid < 0)
            die("fork");
        if (m_pid == 0) {
            fcntl(ready[1], F_SETFD, 0);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            const std::string fd = std::to_string(ready[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                   "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ready[1]);
        // Xvfb writes its display number once it accepts connections.
        std::string number;
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (Clock::now() < deadline) {
            pollfd waiting{ready[0], POLLIN, 0};
            if (poll(&waiting, 1, 100) <= 0)
                continue;
            char c = 0;
            const ssize_t got = read(ready[0], &c, 1);
            if (got <= 0 || c == '\n')
                break;
            number += c;
        }
        close(ready[0]);
        if (number.empty()) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            die("Xvfb did not start (is it installed?)");
        }
        m_display = ":" + number;
    }
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    ~Xvfb()
    {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }

    const std::string& display() const { return m_display; }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

// What is on the root window, kept up to date from the damaged rectangles.
class ScreenCopy {
public:
    ScreenCopy(Display* display, Window root, int width, int height)
        : m_display(display)
        , m_root(root)
        , m_width(width)
        , m_height(height)
        , m_pixels(std::size_t(width) * std::size_t(height))
    {
        refresh({0, 0, width, height});
    }

    bench::PixelView view() const { return {m_pixels.data(), m_width, m_height, m_width}; }

    // Reads the box (clipped to the screen) from the server.
    void refresh(bench::Box box)
    {
        const int left = std::max(box.x, 0);
        const int top = std::max(box.y, 0);
        const int right = std::min(box.x + box.width, m_width);
        const int bottom = std::min(box.y + box.height, m_height);
        if (right <= left || bottom <= top)
            return;
        XImage* image = XGetImage(m_display, m_root, left, top, unsigned(right - left),
                                  unsigned(bottom - top), AllPlanes, ZPixmap);
        if (!image)
            die("XGetImage failed");
        const bool direct = image->bits_per_pixel == 32 && image->red_mask == 0xff0000
            && image->green_mask == 0xff00 && image->blue_mask == 0xff
            && image->byte_order == LSBFirst;
        for (int y = 0; y < image->height; ++y) {
            std::uint32_t* out =
                &m_pixels[std::size_t(top + y) * std::size_t(m_width) + std::size_t(left)];
            if (direct) {
                std::memcpy(out, image->data + std::ptrdiff_t(y) * image->bytes_per_line,
                            std::size_t(image->width) * 4);
                continue;
            }
            for (int x = 0; x < image->width; ++x)
                out[x] = toRgb(image, XGetPixel(image, x, y));
        }
        XDestroyImage(image);
    }

private:
    static std::uint32_t channel(unsigned long pixel, unsigned long mask)
    {
        if (mask == 0)
            return 0;
        int shift = 0;
        while (!((mask >> shift) & 1))
            ++shift;
        const unsigned long value = (pixel & mask) >> shift;
        const unsigned long maximum = mask >> shift;
        return std::uint32_t(value * 255 / maximum);
    }
    static std::uint32_t toRgb(const XImage* image, unsigned long pixel)
    {
        return channel(pixel, image->red_mask) << 16 | channel(pixel, image->green_mask) << 8
            | channel(pixel, image->blue_mask);
    }

    Display* m_display;
    Window m_root;
    int m_width;
    int m_height;
    std::vector<std::uint32_t> m_pixels;
};

// A started program, killed and reaped with the object unless it ended on its own.
class Child {
public:
    explicit Child(pid_t pid)
        : m_pid(pid)
    {
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child()
    {
        if (!m_ended) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    pid_t pid() const { return m_pid; }

    // The end of the program as "exit:N" or "signal:N" once it has ended, else "".
    std::string ended()
    {
        int status = 0;
        if (m_ended || waitpid(m_pid, &status, WNOHANG) != m_pid)
            return {};
        m_ended = true;
        return describeEnd(status);
    }

private:
    pid_t m_pid;
    bool m_ended = false;
};

struct Bounds {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool empty = true;
    void add(int x, int y, int width, int height)
    {
        if (empty) {
            left = x, top = y, right = x + width, bottom = y + height;
            empty = false;
            return;
        }
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x + width);
        bottom = std::max(bottom, y + height);
    }
    bench::Box box(int grow) const
    {
        return {left - grow, top - grow, right - left + 2 * grow, bottom - top + 2 * grow};
    }
};

int screenMode(const Options& options)
{
    Xvfb server(options.screen);
    Display* display = XOpenDisplay(server.display().c_str());
    if (!display)
        die("cannot open display " + server.display());
    int damageEvent = 0;
    int damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError))
        die("the X server has no DAMAGE extension");
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, root, &attributes);
    const Damage damage = XDamageCreate(display, root, XDamageReportRawRectangles);
    ScreenCopy screen(display, root, attributes.width, attributes.height);
    // Whatever the server drew before the program starts is not the program's.
    XSync(display, False);
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
    }

    const bench::MarkerSpec marker;
    const long serverBefore = statusKb(server.pid(), "VmRSS");
    Launch launch(options.command, server.display(), options.log);
    const auto start = Clock::now();
    Child program(launch.start());
    const auto deadline = start + std::chrono::duration<double>(options.timeoutSeconds);

    std::optional<Clock::time_point> firstDamage;
    std::string missed;
    for (;;) {
        missed = program.ended();
        if (!missed.empty())
            break;
        if (Clock::now() > deadline) {
            missed = "timeout";
            break;
        }
        if (XQLength(display) == 0) {
            pollfd waiting{ConnectionNumber(display), POLLIN, 0};
            if (poll(&waiting, 1, 10) <= 0)
                continue;
        }
        // The damage is already on the screen when its event arrives: stamp it now, before
        // reading the pixels back.
        const auto arrived = Clock::now();
        Bounds changed;
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == damageEvent + XDamageNotify) {
                const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
                changed.add(notify.area.x, notify.area.y, notify.area.width, notify.area.height);
            }
        }
        if (changed.empty)
            continue;
        if (!firstDamage)
            firstDamage = arrived;
        screen.refresh(changed.box(0));
        const auto found = bench::findMarker(screen.view(), marker, changed.box(marker.size));
        if (!found)
            continue;
        const long hwm = statusKb(program.pid(), "VmHWM");
        const long rss = statusKb(program.pid(), "VmRSS");
        const long serverNow = statusKb(server.pid(), "VmRSS");
        std::printf("shown ms=%.1f first_ms=%.1f hwm_kb=%ld rss_kb=%ld xgrowth_kb=%ld at=%d,%d\n",
                    msSince(start, arrived), msSince(start, *firstDamage), hwm, rss,
                    serverNow - serverBefore, found->x, found->y);
        break;
    }
    XDamageDestroy(display, damage);
    XCloseDisplay(display);
    if (!missed.empty()) {
        std::printf("missed reason=%s\n", missed.c_str());
        return Missed;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const Options options = parseOptions(argc, argv);
    int status = HarnessFailure;
    try {
        status = options.mode == "run" ? runMode(options) : screenMode(options);
    } catch (const HarnessError& error) {
        std::fprintf(stderr, "bench-probe: %s\n", error.message.c_str());
    }
    std::fflush(stdout);
    return status;
}
