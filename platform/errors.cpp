#include "errors.h"

#include "message_box.h"

#include <QCoreApplication>

namespace platform {

namespace {
bool s_runEndedByError = false;
}

Error::Error(int number, QString description)
    : m_number(number)
    , m_description(description.isEmpty() ? errorDescription(number) : std::move(description))
    , m_what(QString(QString::number(number) + u": " + m_description).toUtf8())
{
}

QString errorDescription(int number)
{
    // The runtime's own wording, in the interface language.
    switch (number) {
    case InvalidProcedureCall:
        return QStringLiteral("プロシージャの呼び出し、または引数が不正です。");
    case Overflow:
        return QStringLiteral("オーバーフローしました。");
    case OutOfMemory:
        return QStringLiteral("メモリが不足しています。");
    case FileNotFound:
        return QStringLiteral("ファイルが見つかりません。");
    case PathFileAccessError:
        return QStringLiteral("パス名が無効です。");
    case InvalidPicture:
        return QStringLiteral("ピクチャが不正です。");
    case PrinterError:
        return QStringLiteral("プリンタ エラーです。");
    case NoPrinter:
        return QStringLiteral("プリンタ情報の取得で問題が発生しました。プリンタが正しく設定されてい"
                              "るか確認してください。");
    }
    return {};
}

void raise(int number, const QString& description)
{
    throw Error(number, description);
}

QString unhandledErrorText(const Error& e)
{
    return u"実行時エラー '" + QString::number(e.number()) + u"':\n\n" + e.description();
}

void reportUnhandled(const Error& e)
{
    // The run is over whatever the message box does; a second error while reporting is
    // not reported again.
    if (s_runEndedByError)
        return;
    s_runEndedByError = true;
    try {
        MsgBox(unhandledErrorText(e));
    } catch (...) {
    }
    QCoreApplication::exit(UnhandledErrorExitStatus);
}

bool runEndedByError()
{
    return s_runEndedByError;
}

void resetRunEndedByError()
{
    s_runEndedByError = false;
}

} // namespace platform
