#pragma once

#include <QCoreApplication>
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

// The executables parse their command lines with an application object in place, and Qt's help
// text reads the program name from it: the harness provides one too.
inline void ensureCoreApplication()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app =
        QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
}
