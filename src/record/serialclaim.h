#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>

// A serial number an attempt is about to write into a unit that has none. The record holds it
// for that attempt from then on: no other unit is given it.
struct SSerialClaim
{
    quint32 serial = 0;
    QUuid attemptId;
    QString unit;    // the unit as identified before the write: "ventaro100 0 board 3"
    QString station; // may be empty
};

// Who holds a serial number already, as the record has it.
struct SSerialUse
{
    QDateTime time;
    QString host, station, port, model;
};
