#include "text.h"

#include "errors.h"

#include <QRegularExpression>

#include <cmath>

namespace platform {

qsizetype Len(const QString& text)
{
    return text.size();
}

qsizetype InStr(qsizetype start, const QString& text, const QString& find)
{
    if (start < 1)
        raise(InvalidProcedureCall);
    if (text.isEmpty() || start > text.size())
        return 0;
    if (find.isEmpty())
        return start;
    const qsizetype index = text.indexOf(find, start - 1, Qt::CaseSensitive);
    return index < 0 ? 0 : index + 1;
}

qsizetype InStr(const QString& text, const QString& find)
{
    return InStr(1, text, find);
}

QString Left(const QString& text, qsizetype length)
{
    if (length < 0)
        raise(InvalidProcedureCall);
    return text.left(length);
}

QString LTrim(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == u' ')
        ++i;
    return text.mid(i);
}

namespace {

QString numberText(double value, int significantDigits)
{
    if (value == 0.0)
        value = 0.0; // no "-0"
    // 'g' switches to the exponent exactly where the runtime does: below 1E-04 and from
    // 10^digits on.
    QString text = QString::number(value, 'g', significantDigits).toUpper();
    if (text.startsWith(u"0."))
        text.remove(0, 1);
    else if (text.startsWith(u"-0."))
        text.remove(1, 1);
    return value < 0 ? text : u' ' + text;
}

} // namespace

QString Str(float value)
{
    return numberText(double(value), 7);
}

QString Str(double value)
{
    return numberText(value, 15);
}

QString Str(const QDateTime& value)
{
    return generalDateText(value);
}

QString longTimeFormat(const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (format.contains(u's'))
        return format;
    // Insert the seconds after the minutes, with the separator that stands between the
    // hours and the minutes ("H:mm" -> "H:mm:ss", "h:mm AP" -> "h:mm:ss AP").
    static const QRegularExpression hoursMinutes(QStringLiteral("([hH]{1,2})([^hHm]*)(m{1,2})"));
    const QRegularExpressionMatch m = hoursMinutes.match(format);
    if (!m.hasMatch())
        return format;
    const QString separator = m.captured(2).isEmpty() ? QStringLiteral(":") : m.captured(2);
    format.insert(m.capturedEnd(3), separator + u"ss");
    return format;
}

QString generalDateText(const QDateTime& value, const QLocale& locale)
{
    const QString date = locale.toString(value.date(), QLocale::ShortFormat);
    const QTime t = value.time();
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0)
        return date;
    return date + u' ' + locale.toString(t, longTimeFormat(locale));
}

namespace {

Clock& clock()
{
    static Clock c;
    return c;
}

} // namespace

QDateTime Now()
{
    return clock() ? clock()() : QDateTime::currentDateTime();
}

Clock setClock(Clock c)
{
    return std::exchange(clock(), std::move(c));
}

} // namespace platform
