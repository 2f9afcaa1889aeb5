#pragma once

#include <QGuiApplication>

/// The GUI application every fuzz target needs (fonts for metafile text, Qt's image readers),
/// without a display, and with Qt's warnings about odd fonts and images silenced: they would
/// flood the log and slow the runs. libFuzzer's LLVMFuzzerInitialize calls it.
inline int startFuzzApplication(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static QGuiApplication app(*argc, *argv);
    return 0;
}
