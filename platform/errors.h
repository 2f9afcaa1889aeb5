#pragma once

#include <QString>

#include <exception>
#include <new>
#include <utility>

namespace platform {

/// Error numbers raised by the runtime services, numbered as the forms runtime numbers them.
enum ErrorNumber : int {
    InvalidProcedureCall = 5,
    Overflow = 6,
    OutOfMemory = 7,
    FileNotFound = 53,
    PathFileAccessError = 75,
    InvalidPicture = 481,
    PrinterError = 482,
    NoPrinter = 484,
};

/// A failed runtime service: an error number and a description.
class Error : public std::exception {
public:
    explicit Error(int number, QString description = {});

    int number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

/// The runtime's standard description of an error number ("" for numbers it does not know).
QString errorDescription(int number);

/// Raises Error(number, description); an empty description takes the standard one.
[[noreturn]] void raise(int number, const QString& description = {});

/// The armed handler: runs `body`; an Error raised inside it (or an allocation that failed,
/// as OutOfMemory) goes to `failure`, which reports and leaves. Nothing done by `body` before
/// the error is undone.
template <typename Body, typename Failure> void onErrorGoTo(Body&& body, Failure&& failure)
{
    try {
        std::forward<Body>(body)();
    } catch (const Error& e) {
        std::forward<Failure>(failure)(e);
    } catch (const std::bad_alloc&) {
        std::forward<Failure>(failure)(Error(OutOfMemory));
    }
}

/// Continue-after-error: each step given to it runs; a step that raises is abandoned at the
/// point of failure (its locals are released by unwinding) and the next step runs. Nothing is
/// reported. `failedSteps()` counts the abandoned steps, for callers that want an outcome.
class ResumeNext {
public:
    template <typename Step> void operator()(Step&& step) noexcept
    {
        try {
            std::forward<Step>(step)();
        } catch (const Error&) {
            ++m_failed;
        } catch (const std::exception&) {
            ++m_failed;
        }
    }
    int failedSteps() const noexcept { return m_failed; }

private:
    int m_failed = 0;
};

/// The text the runtime shows for an error nothing handled.
QString unhandledErrorText(const Error& e);

/// Reports an error that no procedure handled (message box), then ends the run with a
/// non-zero exit status: at once when the event loop runs, else when the start-up returns.
void reportUnhandled(const Error& e);

/// Runs `body` as an event procedure with no handler of its own: an Error leaving it is
/// reported by reportUnhandled(). Returns false when that happened.
template <typename Body> bool runUnhandled(Body&& body)
{
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const Error& e) {
        reportUnhandled(e);
    } catch (const std::exception& e) {
        reportUnhandled(Error(InvalidProcedureCall, QString::fromLocal8Bit(e.what())));
    }
    return false;
}

/// Exit status of a run ended by an unhandled error.
inline constexpr int UnhandledErrorExitStatus = 1;

/// True once reportUnhandled() has ended the run.
bool runEndedByError();

/// Forgets an earlier unhandled error (tests only).
void resetRunEndedByError();

} // namespace platform
