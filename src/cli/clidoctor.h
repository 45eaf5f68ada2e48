#pragma once

#include "service/portdoctor.h"

#include <QList>
#include <QString>

class QTextStream;

namespace clitext {
// One block per check: "[ok]", "[note]" or "[problem]", what was found and, indented, the fix.
QString doctorText(const QList<SDoctorCheck>& checks);
// {"ok": bool, "checks": [{"id", "status", "text", "fix"}]} on one line.
QString doctorJson(const QList<SDoctorCheck>& checks);
} // namespace clitext

// Runs every check on `in` and prints the report; returns cliexit::kOk or kDoctorProblem.
int runDoctor(const SDoctorInput& in, bool json, QTextStream& out);
