#include "maindialognew.h"

#include "app/messagebox.h"
#include "record/recordstore.h"
#include "record/recorduri.h"
#include "service/bundleuse.h"

#include <QDebug>
#include <QFileDialog>
#include <QLocale>

namespace {
// The dialog's language, as its text table decides it.
bool germanLocale()
{
    return QLocale().language() == QLocale::German;
}
// With the plant's database as the record (VENTARO_RECORD), the highest counter it holds; a
// database that cannot be asked refuses the bundle, as a rollback could not be ruled out.
bool plantCounter(qint64& counter, QString& error)
{
    counter = 0;
    const QString record = qEnvironmentVariable("VENTARO_RECORD");
    if (!recorduri::isDatabase(record))
        return true;
    const std::unique_ptr<CRecordSink> sink = recordstore::open(record, QString(), error);
    return sink && sink->highestBundleCounter(counter, error);
}
} // namespace

QString CMainDialogNew::bundleText(const char* english, const char* german)
{
    return QString::fromUtf8(germanLocale() ? german : english);
}

void CMainDialogNew::chooseBundle()
{
    const QString path = QFileDialog::getOpenFileName(
        this, bundleText("Load Firmware Bundle", "Firmware-Paket laden"), QString(),
        bundleText("Firmware bundles (*.vfw)", "Firmware-Pakete (*.vfw)"));
    if (!path.isEmpty())
        (void)loadBundle(path);
}

bool CMainDialogNew::loadBundle(const QString& path)
{
    if (m_Workflow.running())
        return false;
    CFirmwareBundle bundle;
    qint64 plant = 0;
    QString error;
    bundleuse::SLoad load;
    if (plantCounter(plant, error))
        load = bundleuse::load(path, bundleuse::EUse, bundle, plant);
    else
        load.verdict = SBundleVerdict{
            EBundleOutcome::Rollback,
            QStringLiteral("the plant's record cannot be asked for the highest counter: %1")
                .arg(error)};
    if (!load.verdict.accepted()) {
        qDebug() << "CMainDialogNew::loadBundle: refused" << path
                 << bundleOutcomeWord(load.verdict.outcome) << load.verdict.detail;
        m_AutoStart = false;
        m_AutoCancelled = true;
        showMessageBox(SMessageBox(
            QMessageBox::Warning, this,
            bundleText("Firmware bundle refused", "Firmware-Paket abgelehnt"),
            load.verdict.message(germanLocale()), QMessageBox::Ok, QMessageBox::NoButton,
            m_BundleRelease.isEmpty()
                ? bundleText("The built-in firmware stays in use.",
                             "Die eingebaute Firmware bleibt in Gebrauch.")
                : bundleText("Release %1 stays in use.", "Version %1 bleibt in Gebrauch.")
                      .arg(m_BundleRelease)));
        return false;
    }
    qDebug() << "CMainDialogNew::loadBundle: release" << bundle.release() << "key" << bundle.keyId()
             << "counter" << bundle.securityCounter();
    m_BundleRelease = bundle.release();
    fillImageVersions();
    // The unit present is decided on again with the bundle's versions.
    if (m_ComPartner != 0 && applyFlagRules(m_Ident, false))
        refreshState();
    return true;
}
