#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <functional>

namespace platform {

/// Length of `text` in characters (UTF-16 code units).
qsizetype Len(const QString& text);

/// 1-based position of the first `find` in `text`, searching from character `start`
/// (1-based), comparing character codes exactly; 0 when absent or when `text` is empty,
/// `start` when `find` is empty. A start below 1 raises InvalidProcedureCall.
qsizetype InStr(qsizetype start, const QString& text, const QString& find);

/// InStr() from the first character.
qsizetype InStr(const QString& text, const QString& find);

/// The first `length` characters of `text` (all of it when shorter). A negative length
/// raises InvalidProcedureCall.
QString Left(const QString& text, qsizetype length);

/// `text` without its leading blanks (U+0020 only; tabs and other spaces stay).
QString LTrim(const QString& text);

/// A single-precision number as text: a leading blank when it is not negative, "." as the
/// decimal point, no leading zero before it, 7 significant digits, and an exponent ("1E+07")
/// only beyond them or below 0.0001.
QString Str(float value);

/// A double-precision number as text, the same way with 15 significant digits.
QString Str(double value);

/// A date-time as text in the system's general date format (see generalDateText()).
QString Str(const QDateTime& value);

/// The general date format of `locale`: its short date, a blank and its long time (hours,
/// minutes and seconds, no time zone); the date alone at exactly midnight.
/// Under Japanese settings: "2026/12/06 7:36:07".
QString generalDateText(const QDateTime& value, const QLocale& locale = QLocale::system());

/// The long time format of `locale`: its short time format with seconds after the minutes.
QString longTimeFormat(const QLocale& locale);

/// The current local date and time, from the clock (see setClock()).
QDateTime Now();

/// Where Now() reads the time.
using Clock = std::function<QDateTime()>;

/// Replaces the clock (tests freeze the time); returns the previous one. An empty clock
/// restores the system clock.
Clock setClock(Clock clock);

} // namespace platform
