#pragma once

#include "engine/devsimconfig.h"

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

// Everything ventaro-devsim is told on its command line.
struct SDevSimOptions
{
    SDevSimIdentity identity;
    SDevSimBehaviour behaviour;
    SDevSimFaults faults;
    quint32 seed = 1;
    QString name = QStringLiteral("devsim");
    QString portDir;
    QString flashOut;
    bool quiet = false;

    // Log content and settings applied to the unit after construction.
    int primLogEntries = -1; // -1: the unit's default
    struct SSecRing
    {
        int span = 0;
        int size = 0;
        int used = 0;
        int oldest = 0;
    };
    QVector<SSecRing> secRings;
    QVector<QPair<int, quint32>> counters; // id, value
    QVector<QPair<int, int>> secCheck;     // span, result
    int rssi = 1000;                       // 1000: the unit's default
    int deicing = -1;                      // -1 default, 0 off, 1 on
};

// Parses the arguments (program name first). On --help prints the help text and sets `exit`
// to 0; on an error prints a message and sets `exit` to 2. Returns true when the simulator
// should run.
[[nodiscard]] bool parseDevSimOptions(const QStringList& arguments, SDevSimOptions& options,
                                      int& exit);
