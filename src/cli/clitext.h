#pragma once

#include "device/hlprecords.h"
#include "service/portenumerator.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// Texts of ventaro-cli: the output of its list and identify commands (every text ends in a line
// break), versions as it writes them, and the lines it reads from other processes.
namespace clitext {

// One line per port: "*" for a ventaro unit, the name, vendor and product ID.
QString portList(const QList<SPortInfo>& ports);

// The identity as the service tool's dialog shows it, one "name: value" line each.
QString identity(const QString& port, const QString& model, const SHLP_IdentData& ident);
// The same as one JSON object on one line.
QString identityJson(const QString& port, const QString& model, const SHLP_IdentData& ident);

// Versions as the production record and the update summary write them.
QString bootVersion(const SHLP_IdentData& ident);
QString applVersion(const SHLP_IdentData& ident);

// One JSON object on one line, with its line break: the form of every --json output.
QString jsonLine(const QJsonObject& object);

// A progress bar `width` characters wide between brackets: "[#####     ]".
QString bar(int percent, int width);

// The whole lines at the front of `buffer`, taken out of it (without their line breaks); an
// unfinished last line stays for the next bytes.
QList<QByteArray> takeLines(QByteArray& buffer);

} // namespace clitext
