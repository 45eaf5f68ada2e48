#include "updateverify.h"

#include "service/identityview.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

// A text marked with QT_TRANSLATE_NOOP in this context.
QString translated(const char* text)
{
    return QCoreApplication::translate("CUpdateVerify", text);
}

// What a written partition is called, in the record and for the user.
struct SPartName
{
    const char* record;
    const char* stillText;   // "%1": the version the unit still reports
    const char* damagedText; // the table reports its checksum bad
};

SPartName partName(int partType)
{
    switch (partType) {
    case CPartitionTable::EApplication:
        return {"application", QT_TRANSLATE_NOOP("CUpdateVerify", "the application is still %1"),
                QT_TRANSLATE_NOOP("CUpdateVerify", "the application is reported damaged")};
    case CPartitionTable::ECC3200:
    case CPartitionTable::ECC3200Bridge:
        return {"wifi-module", QT_TRANSLATE_NOOP("CUpdateVerify", "the WiFi module is still %1"),
                QT_TRANSLATE_NOOP("CUpdateVerify", "the WiFi module is reported damaged")};
    default:
        return {"bootloader", QT_TRANSLATE_NOOP("CUpdateVerify", "the bootloader is still %1"),
                QT_TRANSLATE_NOOP("CUpdateVerify", "the bootloader is reported damaged")};
    }
}

class CChecker
{
public:
    explicit CChecker(SVerifyOutcome& out) : m_Out(out) {}

    void still(int partType, const QString& reported, const QString& written)
    {
        const SPartName name = partName(partType);
        add(QStringLiteral("%1: %2, %3 was written")
                .arg(QLatin1String(name.record), reported, written),
            translated(name.stillText).arg(reported));
    }
    // The identity and the table may tell the same: it is said once.
    void add(const QString& detail, const QString& userText)
    {
        for (const SVerifyMismatch& known : m_Out.mismatches) {
            if (known.userText == userText)
                return;
        }
        m_Out.mismatches << SVerifyMismatch{detail, userText};
    }

private:
    SVerifyOutcome& m_Out;
};

const CPartitionTable::SPartition* entryOfType(const CPartitionTable::SPartition* table, int type)
{
    for (int i = 0; i < CPartitionTable::kEntries; ++i) {
        if (table[i].m_Type == type)
            return &table[i];
    }
    return nullptr;
}

// The partition an image goes into: the bridge is flashed as the WiFi module's.
int partitionOf(int imageType)
{
    return imageType == CPartitionTable::ECC3200Bridge ? int(CPartitionTable::ECC3200) : imageType;
}

void compareTable(const SWrittenUpdate& written, const CPartitionTable::SPartition* table,
                  CChecker& check)
{
    QVector<int> seen;
    for (auto it = written.images.crbegin(); it != written.images.crend(); ++it) {
        const int part = partitionOf(it->type);
        if (seen.contains(part))
            continue; // overwritten later in the update
        seen << part;
        const SPartName name = partName(part);
        const QString version = versionText(it->mainVer, it->subVer);
        const CPartitionTable::SPartition* entry = entryOfType(table, part);
        if (!entry) {
            check.add(QStringLiteral("%1: no entry in the partition table")
                          .arg(QLatin1String(name.record)),
                      translated(name.damagedText));
            continue;
        }
        if (entry->m_MainVer != it->mainVer || entry->m_SubVer != it->subVer)
            check.add(
                QStringLiteral("%1: partition table holds %2, %3 was written")
                    .arg(QLatin1String(name.record), versionText(entry->m_MainVer, entry->m_SubVer),
                         version),
                translated(name.stillText).arg(versionText(entry->m_MainVer, entry->m_SubVer)));
        else if (!entry->crc16Ok() || entry->crc16Ko())
            check.add(QStringLiteral("%1: partition table reports its checksum %2")
                          .arg(QLatin1String(name.record),
                               entry->crc16Ko() ? QStringLiteral("bad (CRC16KO)")
                                                : QStringLiteral("unchecked (no CRC16OK)")),
                      translated(name.damagedText));
    }
}

} // namespace

const SWrittenUpdate::SImage* SWrittenUpdate::lastInto(int partType) const
{
    for (auto it = images.crbegin(); it != images.crend(); ++it) {
        if (partitionOf(it->type) == partType)
            return &*it;
    }
    return nullptr;
}

QString SVerifyOutcome::detail() const
{
    if (!back)
        return QStringLiteral("the unit did not answer again after the update");
    QStringList parts;
    for (const SVerifyMismatch& m : mismatches)
        parts << m.detail;
    if (!tableRead && !tableMissing)
        parts << QStringLiteral("no partition table from the answering software; checked what "
                                "the identification shows");
    return parts.join(QStringLiteral("; "));
}

QString SVerifyOutcome::userText() const
{
    if (!back)
        return updateverify::notBackText();
    QStringList parts;
    for (const SVerifyMismatch& m : mismatches)
        parts << m.userText;
    return QCoreApplication::translate(
               "CUpdateVerify", "The device did not take the update: %1. Please update it again.")
        .arg(parts.join(QStringLiteral(", ")));
}

namespace updateverify {

SVerifyOutcome compare(const SWrittenUpdate& written, const SUnitIdentity& bound,
                       const SHLP_IdentData& after, const CPartitionTable::SPartition* table)
{
    SVerifyOutcome out;
    out.back = true;
    out.tableRead = table != nullptr;
    CChecker check(out);

    const SUnitIdentity unit = SUnitIdentity::of(after);
    if (written.serialWritten != 0 && unit.serial != written.serialWritten)
        check.add(QStringLiteral("serial number: reads %1, %2 was written")
                      .arg(unit.serial)
                      .arg(written.serialWritten),
                  QCoreApplication::translate("CUpdateVerify", "the serial number reads %1")
                      .arg(unit.serial));
    else if (unit != bound)
        check.add(QStringLiteral("identity: %1 answers, the update ran on %2")
                      .arg(unit.describe(), bound.describe()),
                  QCoreApplication::translate("CUpdateVerify", "another unit answers"));

    if (const auto* appl = written.lastInto(CPartitionTable::EApplication)) {
        if (after.m_ApplMainVer != appl->mainVer || after.m_ApplSubVer != appl->subVer)
            check.still(CPartitionTable::EApplication,
                        versionText(after.m_ApplMainVer, after.m_ApplSubVer),
                        versionText(appl->mainVer, appl->subVer));
    }
    if (const auto* wifi = written.lastInto(CPartitionTable::ECC3200); wifi && !after.isModel70()) {
        // The identity carries the module's version in 5 and 7 bits.
        if (after.wifiMainVer() != (wifi->mainVer & 0x1F) ||
            after.wifiSubVer() != (wifi->subVer & 0x7F))
            check.still(CPartitionTable::ECC3200, wifiVersionText(after),
                        versionText(wifi->mainVer, wifi->subVer));
    }
    if (written.swappedTo != 0) {
        const auto* boot = written.lastInto(written.swappedTo);
        const bool bootloaderAnswers = after.m_ComPartner == 1 || after.m_ComPartner == 2;
        if (bootloaderAnswers && after.m_ComPartner != written.swappedTo)
            check.add(QStringLiteral("bootloader: copy %1 answers, copy %2 was written")
                          .arg(after.m_ComPartner)
                          .arg(written.swappedTo),
                      QCoreApplication::translate("CUpdateVerify",
                                                  "the old bootloader copy still runs (%1)")
                          .arg(bootloaderText(after)));
        else if (boot &&
                 (after.m_BootMainVer != boot->mainVer || after.m_BootSubVer != boot->subVer))
            check.still(written.swappedTo, versionText(after.m_BootMainVer, after.m_BootSubVer),
                        versionText(boot->mainVer, boot->subVer));
    }
    if (table) {
        compareTable(written, table, check);
    } else if (reportsTable(after)) {
        out.tableMissing = true;
        check.add(
            QStringLiteral("partition table: none could be read from %1; the update is not "
                           "confirmed")
                .arg(bootloaderText(after)),
            QCoreApplication::translate("CUpdateVerify", "its partition table could not be read"));
    }
    return out;
}

bool reportsTable(const SHLP_IdentData& ident)
{
    return ident.m_ComPartner >= 1 && ident.m_ComPartner <= 3;
}

SVerifyOutcome notBack()
{
    return {};
}

QString verifyingText()
{
    return QCoreApplication::translate("CUpdateVerify", "Verifying ...");
}

QString notBackText()
{
    return QCoreApplication::translate(
        "CUpdateVerify",
        "The device did not answer again after the update. Please switch it off and on "
        "and update it again.");
}

} // namespace updateverify
