#pragma once

#include "device/hlprecords.h"
#include "service/portenumerator.h"

#include <QList>
#include <QString>

// Texts of ventaro-cli: the output of its list and identify commands (every text ends in a line
// break).
namespace clitext {

// One line per port: "*" for a ventaro unit, the name, vendor and product ID.
QString portList(const QList<SPortInfo>& ports);

// The identity as the service tool's dialog shows it, one "name: value" line each.
QString identity(const QString& port, const QString& model, const SHLP_IdentData& ident);
// The same as one JSON object on one line.
QString identityJson(const QString& port, const QString& model, const SHLP_IdentData& ident);

} // namespace clitext
