#pragma once

#include "platform/errors.h"
#include "platform/printer.h"

#include <QStringList>

namespace testing {

/// A printer that records each call as a line ("CurrentX 0", "Print <text>",
/// "PaintPicture 320x240 at 0,300", "EndDoc") and can be made to fail any of them. It is
/// the printer object while it lives.
class RecordingPrinter final : public platform::PrinterDevice {
public:
    RecordingPrinter()
        : m_previous(platform::setPrinter(this))
    {
    }
    ~RecordingPrinter() override { platform::setPrinter(m_previous); }
    RecordingPrinter(const RecordingPrinter&) = delete;
    RecordingPrinter& operator=(const RecordingPrinter&) = delete;

    QStringList calls;      ///< every call, failed ones included
    QString failing;        ///< the call name that raises PrinterError ("Print", "EndDoc", ...)
    bool noPrinter = false; ///< every call raises NoPrinter, as without a default printer
    int pages = 0;          ///< documents ended with output on them
    QList<platform::Picture> pictures; ///< pictures drawn

    void setCurrentX(float twips) override { record(u"CurrentX"_qs, QString::number(twips)); }
    void setCurrentY(float twips) override { record(u"CurrentY"_qs, QString::number(twips)); }
    void setFontName(const QString& face) override { record(u"FontName"_qs, face); }
    void setFontSize(float points) override { record(u"FontSize"_qs, QString::number(points)); }
    void Print(const QString& text) override
    {
        record(u"Print"_qs, text);
        m_output = true;
    }
    void PaintPicture(const platform::Picture& picture, float x, float y) override
    {
        const QSize size = picture.pixelSize(96, 96);
        record(u"PaintPicture"_qs,
               u"%1x%2 at %3,%4"_qs.arg(size.width()).arg(size.height()).arg(x).arg(y));
        if (picture.isNull())
            platform::raise(platform::InvalidPicture);
        pictures.append(picture);
        m_output = true;
    }
    void EndDoc() override
    {
        record(u"EndDoc"_qs, QString());
        if (m_output)
            ++pages;
        m_output = false;
    }

private:
    void record(const QString& name, const QString& argument)
    {
        calls.append(argument.isEmpty() ? name : name + u' ' + argument);
        if (noPrinter)
            platform::raise(platform::NoPrinter);
        if (name == failing)
            platform::raise(platform::PrinterError);
    }

    platform::PrinterDevice* m_previous;
    bool m_output = false;
};

} // namespace testing
