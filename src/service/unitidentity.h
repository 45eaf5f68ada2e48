#pragma once

#include "device/hlprecords.h"

#include <QString>

// Which unit a device object talks to: model, serial number and board version. A port name only
// says where a unit is now; an update compares identities to tell whether the unit that came
// back after a restart is the one it started on.
struct SUnitIdentity
{
    bool plus = false;
    quint32 serial = 0; // 0: the unit has none stored
    int board = 0;

    static SUnitIdentity of(const SHLP_IdentData& ident)
    {
        return {ident.isModel70(), ident.m_SerialNo, ident.m_BoardVersion};
    }
    bool operator==(const SUnitIdentity& other) const
    {
        return plus == other.plus && serial == other.serial && board == other.board;
    }
    bool operator!=(const SUnitIdentity& other) const { return !(*this == other); }
    // The model's name as the device objects give it.
    static QString modelName(bool plus)
    {
        return plus ? QStringLiteral("ventaro plus") : QStringLiteral("ventaro100");
    }
    // For diagnostic lines: "ventaro100 50123 board 3".
    QString describe() const
    {
        return QStringLiteral("%1 %2 board %3").arg(modelName(plus)).arg(serial).arg(board);
    }
};
