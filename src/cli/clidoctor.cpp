#include "clidoctor.h"

#include "cli/clitext.h"
#include "service/exitcodes.h"
#include "station/stationprotocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {
const char* statusName(SDoctorCheck::EStatus status)
{
    switch (status) {
    case SDoctorCheck::EOk:
        return "ok";
    case SDoctorCheck::ENote:
        return "note";
    case SDoctorCheck::EProblem:
        return "problem";
    }
    return "?";
}
} // namespace

namespace clitext {

QString doctorText(const QList<SDoctorCheck>& checks)
{
    QString text;
    for (const SDoctorCheck& c : checks) {
        text += QStringLiteral("%1 %2\n")
                    .arg(QStringLiteral("[%1]").arg(QLatin1String(statusName(c.status))), -9)
                    .arg(c.text);
        if (!c.fix.isEmpty() && c.status != SDoctorCheck::EOk)
            text += QStringLiteral("          fix: %1\n").arg(c.fix);
    }
    text += portdoctor::anyProblem(checks)
                ? QStringLiteral("Problems found: see the fixes above.\n")
                : QStringLiteral("All is well.\n");
    return text;
}

QString doctorJson(const QList<SDoctorCheck>& checks)
{
    QJsonArray list;
    for (const SDoctorCheck& c : checks)
        list.append(QJsonObject{{QStringLiteral("id"), c.id},
                                {QStringLiteral("status"), QLatin1String(statusName(c.status))},
                                {QStringLiteral("text"), c.text},
                                {QStringLiteral("fix"), c.fix}});
    const QJsonObject report{{QStringLiteral("ok"), !portdoctor::anyProblem(checks)},
                             {QStringLiteral("checks"), list}};
    return stationprotocol::jsonLine(report);
}

} // namespace clitext

int runDoctor(const SDoctorInput& in, bool json, QTextStream& out)
{
    const QList<SDoctorCheck> checks = portdoctor::runAll(in);
    out << (json ? clitext::doctorJson(checks) : clitext::doctorText(checks));
    return portdoctor::anyProblem(checks) ? cliexit::kDoctorProblem : cliexit::kOk;
}
