#pragma once

#include <QtGlobal>

// Fuzz targets run millions of inputs: the library's debug lines are switched off, once.
inline void silenceQtMessages()
{
    static const bool silenced = [] {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        return true;
    }();
    (void)silenced;
}
