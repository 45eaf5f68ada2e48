#include "cliplan.h"

#include "cli/clitext.h"
#include "device/uitext.h"
#include "firmware/flashimagelist.h"
#include "firmware/partitiontable.h"
#include "service/exitcodes.h"
#include "service/identityview.h"
#include "service/updateattempt.h"
#include "station/stationprotocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int kTextApplicationRunning = 131;
constexpr int kTextRebootHintPlus = 164;
constexpr int kTextRebootHint100 = 165;
constexpr int kTextNotUpdatable = 137;
constexpr int kTextUpToDate = 138;
constexpr int kTextBootOutOfSync = 157;

QString text(const SVersion& v)
{
    return versionText(v.mainVer, v.subVer);
}
SVersion unitBoot(const SHLP_IdentData& id)
{
    return {id.m_BootMainVer, id.m_BootSubVer};
}
SVersion unitAppl(const SHLP_IdentData& id)
{
    return {id.m_ApplMainVer, id.m_ApplSubVer};
}
// One line of the text table, for a single output line.
QString flat(int index)
{
    return uiText(index).simplified();
}

SUpdateFlags run(const SFlagInput& in)
{
    SUpdateFlags flags;
    (void)applyUpdateFlagRules(in, flags);
    return flags;
}

// The input with the forcing options and the X marker taken away: what the versions alone
// decide.
SFlagInput unforced(const SFlagInput& in)
{
    SFlagInput n = in;
    n.forceBoot = false;
    n.forceAppl = false;
    n.ident.m_ComPartnerX = 0;
    return n;
}

// Which of the inputs make `flag` true, each tried on its own against the rules.
QStringList forcingCauses(const SFlagInput& in, bool SUpdateFlags::*flag, bool forceBoot)
{
    QStringList causes;
    const SFlagInput base = unforced(in);
    if (forceBoot ? in.forceBoot : in.forceAppl) {
        SFlagInput probe = base;
        (forceBoot ? probe.forceBoot : probe.forceAppl) = true;
        if (run(probe).*flag)
            causes << (forceBoot ? QStringLiteral("forced (--force-boot)")
                                 : QStringLiteral("forced (--force-appl)"));
    }
    if (in.ident.m_ComPartnerX != 0) {
        SFlagInput probe = base;
        probe.ident.m_ComPartnerX = in.ident.m_ComPartnerX;
        if (run(probe).*flag)
            causes << QStringLiteral("the unit asks for a full update (X marker)");
    }
    return causes;
}

QString bootReason(const SFlagInput& in, bool set)
{
    const QString versions =
        QStringLiteral("built-in %1, unit %2").arg(text(in.images.boot1), text(unitBoot(in.ident)));
    if (!set)
        return versions + QStringLiteral(": not newer");
    QStringList causes = forcingCauses(in, &SUpdateFlags::updateBoot, true);
    SFlagInput base = unforced(in);
    if (run(base).updateBoot) {
        // Without a newer built-in image the unit's application alone must ask for it.
        base.images.boot1 = SVersion{};
        base.images.boot2 = SVersion{};
        if (run(base).updateBoot)
            causes << QStringLiteral("the unit's application %1 needs a new bootloader")
                          .arg(text(unitAppl(in.ident)));
        else
            causes << versions + QStringLiteral(": newer");
    }
    return causes.join(QStringLiteral("; "));
}

QString applReason(const SFlagInput& in, bool SUpdateFlags::*flag, bool set)
{
    const QString versions = QStringLiteral("built-in application %1, unit %2")
                                 .arg(text(in.images.appl), text(unitAppl(in.ident)));
    if (!set)
        return versions + QStringLiteral(": the unit's is newer");
    QStringList causes = forcingCauses(in, flag, false);
    if (run(unforced(in)).*flag)
        causes << versions + QStringLiteral(": same or newer");
    return causes.join(QStringLiteral("; "));
}

} // namespace

const char* planStateName(EDialogState state)
{
    switch (state) {
    case EStateReady:
        return "ready";
    case EStateUpToDate:
        return "up-to-date";
    case EStateSerialNeeded:
        return "serial-needed";
    case EStateApplicationRunning:
        return "application-running";
    case EStateNotUpdatable:
        return "not-updatable";
    default:
        return "no-unit";
    }
}

SVersion builtInVersion(int type, bool plus)
{
    const CFlashImageList list;
    const CFlashImage* image =
        list.find(type, plus ? CFlashImage::ESystemPlus : CFlashImage::ESystem100);
    return image ? SVersion{image->m_MainVer, image->m_SubVer} : SVersion{};
}

SFlagInput flagInput(const SHLP_IdentData& ident, int serialNumber, bool forceBoot, bool forceAppl)
{
    SFlagInput in;
    in.ident = ident;
    in.plus = ident.isModel70();
    in.serialNumber = serialNumber;
    in.forceBoot = forceBoot;
    in.forceAppl = forceAppl;
    in.images.boot1 = builtInVersion(CPartitionTable::EBootloader1, in.plus);
    in.images.boot2 = builtInVersion(CPartitionTable::EBootloader2, in.plus);
    in.images.appl = builtInVersion(CPartitionTable::EApplication, in.plus);
    return in;
}

int decidingSerial(const SHLP_IdentData& ident, const QString& preset)
{
    return ident.m_SerialNo != 0 ? int(ident.m_SerialNo) : preset.toInt();
}

namespace {

// What the rules decided, flag by flag, with why; `refusal` says why the unit is not updatable.
void addFlagLines(SUpdatePlan& plan, QString& refusal)
{
    const SFlagInput& input = plan.input;
    const SHLP_IdentData& id = input.ident;
    const SUpdateFlags& f = plan.flags;
    if (f.notUpdatable)
        refusal =
            flat(plan.outcome.notUpdatableText ? plan.outcome.notUpdatableText : kTextNotUpdatable);
    else if (input.plus)
        refusal = QStringLiteral("a plus unit");
    else
        refusal = QStringLiteral("bootloader %1, serial number %2")
                      .arg(text(unitBoot(id)))
                      .arg(input.serialNumber);
    plan.lines << SUpdatePlan::SFlagLine{QStringLiteral("notUpdatable"),
                                         QStringLiteral("not updatable"), f.notUpdatable, refusal};
    plan.lines << SUpdatePlan::SFlagLine{QStringLiteral("updateBoot"),
                                         QStringLiteral("update bootloader"), f.updateBoot,
                                         bootReason(input, f.updateBoot)};
    plan.lines << SUpdatePlan::SFlagLine{
        QStringLiteral("updateAppl"), QStringLiteral("update application"), f.updateAppl,
        applReason(input, &SUpdateFlags::updateAppl, f.updateAppl)};
    plan.lines << SUpdatePlan::SFlagLine{
        QStringLiteral("updateWifi"), QStringLiteral("update WiFi"), f.updateWifi,
        applReason(input, &SUpdateFlags::updateWifi, f.updateWifi) +
            (input.plus ? QStringLiteral(" (a plus unit has "
                                         "no WiFi module)")
                        : QString())};
    plan.lines << SUpdatePlan::SFlagLine{
        QStringLiteral("oldBoot"), QStringLiteral("old bootloader"), f.oldBoot,
        QStringLiteral("the unit's bootloader is %1").arg(text(unitBoot(id)))};
    plan.lines << SUpdatePlan::SFlagLine{
        QStringLiteral("bridgeNeeded"), QStringLiteral("bridge needed"), f.bridgeNeeded,
        QStringLiteral("the unit's application is %1").arg(text(unitAppl(id)))};
}

void addImages(SUpdatePlan& plan)
{
    const SFlagInput& input = plan.input;
    const SHLP_IdentData& id = input.ident;
    const SUpdateFlags& f = plan.flags;
    // The images in the order the update workflow writes them.
    auto add = [&](int type) {
        plan.images << SUpdatePlan::SImage{type, updateattempt::partitionName(type),
                                           builtInVersion(type, input.plus)};
    };
    if (f.bridgeNeeded && !input.plus && f.updateWifi && !f.oldBoot)
        add(CPartitionTable::ECC3200Bridge);
    if (f.updateAppl && !f.oldBoot)
        add(CPartitionTable::EApplication);
    plan.needsReboot = f.bridgeNeeded && !input.plus;
    if (f.updateWifi && !f.oldBoot && !input.plus)
        add(CPartitionTable::ECC3200);
    if (f.updateBoot) {
        if (id.m_ComPartner == 1)
            add(CPartitionTable::EBootloader2);
        else if (id.m_ComPartner == 2)
            add(CPartitionTable::EBootloader1);
    }
}

// The state the dialog would show, what it means, and the exit code an update would end with.
void setVerdict(SUpdatePlan& plan, const QString& refusal)
{
    const SFlagInput& input = plan.input;
    const SHLP_IdentData& id = input.ident;
    const SUpdateFlags& f = plan.flags;
    plan.state = chooseState(id.m_ComPartner, f, input.serialNumber);
    switch (plan.state) {
    case EStateReady:
        plan.verdict = QStringLiteral("an update would write %1 image(s)").arg(plan.images.size());
        plan.exitCode = cliexit::kOk;
        break;
    case EStateUpToDate:
        plan.verdict = flat(kTextUpToDate);
        plan.exitCode = cliexit::kUpToDate;
        break;
    case EStateSerialNeeded:
        plan.verdict = QStringLiteral("the unit has no serial number: give --serial N");
        plan.exitCode = cliexit::kNotUpdatable;
        break;
    case EStateApplicationRunning:
        plan.verdict = (uiText(kTextApplicationRunning) +
                        uiText(input.plus ? kTextRebootHintPlus : kTextRebootHint100))
                           .simplified();
        plan.exitCode = cliexit::kNotUpdatable;
        break;
    case EStateNotUpdatable:
        plan.verdict = refusal;
        plan.exitCode = cliexit::kNotUpdatable;
        break;
    default:
        plan.verdict = QStringLiteral("no unit identified");
        plan.exitCode = cliexit::kNoUnit;
        break;
    }
}

} // namespace

SUpdatePlan makeUpdatePlan(const SFlagInput& input)
{
    SUpdatePlan plan;
    plan.input = input;
    plan.outcome = applyUpdateFlagRules(input, plan.flags);
    if (plan.outcome.bootImagesOutOfSync) {
        plan.state = EStateNotUpdatable;
        plan.verdict = flat(kTextBootOutOfSync);
        plan.exitCode = cliexit::kNotUpdatable;
        return plan;
    }

    QString refusal;
    addFlagLines(plan, refusal);
    addImages(plan);
    setVerdict(plan, refusal);
    return plan;
}

QString planText(const SUpdatePlan& plan)
{
    QString out;
    for (const SUpdatePlan::SFlagLine& line : plan.lines)
        out += QStringLiteral("%1 %2  %3\n")
                   .arg(line.name, -20)
                   .arg(line.set ? QStringLiteral("yes") : QStringLiteral("no "))
                   .arg(line.reason);
    if (plan.images.isEmpty()) {
        out += QStringLiteral("images: none\n");
    } else {
        out += QStringLiteral("images, in this order:\n");
        int n = 0;
        for (const SUpdatePlan::SImage& image : plan.images) {
            out += QStringLiteral("  %1. %2 %3\n").arg(++n).arg(image.name, text(image.version));
            if (image.type == CPartitionTable::EApplication && plan.needsReboot)
                out += QStringLiteral("     then a reboot pause\n");
            if (image.type == CPartitionTable::EBootloader1 ||
                image.type == CPartitionTable::EBootloader2)
                out += QStringLiteral("     then the bootloader swap\n");
        }
    }
    out += QStringLiteral("verdict: %1 (%2)\n")
               .arg(plan.verdict, QLatin1String(planStateName(plan.state)));
    return out;
}

QString planJson(const SUpdatePlan& plan)
{
    QJsonObject flags;
    for (const SUpdatePlan::SFlagLine& line : plan.lines)
        flags.insert(line.key, QJsonObject{{QStringLiteral("set"), line.set},
                                           {QStringLiteral("reason"), line.reason}});
    QJsonArray images;
    for (const SUpdatePlan::SImage& image : plan.images)
        images.append(QJsonObject{{QStringLiteral("type"), image.type},
                                  {QStringLiteral("name"), image.name},
                                  {QStringLiteral("version"), text(image.version)}});
    const QJsonObject root{
        {QStringLiteral("state"), QLatin1String(planStateName(plan.state))},
        {QStringLiteral("updatable"), plan.exitCode == cliexit::kOk},
        {QStringLiteral("serial"), plan.input.serialNumber},
        {QStringLiteral("flags"), flags},
        {QStringLiteral("images"), images},
        {QStringLiteral("rebootPause"), plan.needsReboot && !plan.images.isEmpty()},
        {QStringLiteral("verdict"), plan.verdict},
        {QStringLiteral("exitCode"), plan.exitCode},
    };
    return stationprotocol::jsonLine(root);
}
