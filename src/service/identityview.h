#pragma once

#include "device/hlprecords.h"
#include "service/portenumerator.h"

#include <QList>
#include <QString>

// USB identity of a ventaro unit's virtual serial port.
constexpr int kDeviceVendorId = 0x0409;
constexpr int kDeviceProductId = 0x01D9;

// Two names of the same port: letter case aside, "/dev/ttyACM0" and "ttyACM0" are one port.
bool samePortName(const QString& a, const QString& b);
// A port belongs to a unit when it carries the unit's vendor and product IDs and its name is
// not the excluded one (a short name or a full path, compared as samePortName does).
bool isDevicePort(const SPortInfo& port, const QString& excludedName);
// The port discovery opens: the last device port in enumeration order, or empty.
QString selectDevicePort(const QList<SPortInfo>& ports, const QString& excludedName);

// "main.sub" with the sub version in two digits: 2 and 4 give "2.04".
QString versionText(int mainVer, int subVer);
// Bootloader version, partner letter (A, B, C or -) and X when m_ComPartnerX is set: "2.24.AX".
QString bootloaderText(const SHLP_IdentData& ident);
// Application version: "2.24".
QString applVersionText(const SHLP_IdentData& ident);
// WiFi module version from the feature bits.
QString wifiVersionText(const SHLP_IdentData& ident);
