#include "app/commandline.h"
#include "app/maindialognew.h"
#include "app/messagebox.h"
#include "app/quitonsignal.h"
#include "service/singleinstance.h"

#include <QApplication>
#include <QDebug>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace {
constexpr const char* kApplicationName = "Korvath Update";
constexpr const char* kToolCatalogue = "Korvath-update_";
constexpr const char* kCommonCatalogue = "common_";
constexpr const char* kTestValuesPath = "F:/Korvath/quorlin70_TestValues.csv";
constexpr int kExitAlreadyRunning = -1;

void warn(const QString& text)
{
    showMessageBox({QMessageBox::Warning, nullptr, QString::fromLatin1(kApplicationName), text,
                    QMessageBox::Ok, QMessageBox::NoButton});
}

// A catalogue is looked for in the working directory first, then beside the program and in
// the installed translations folder.
bool loadCatalogue(QTranslator& translator, const QString& name)
{
    const QString programDir = QCoreApplication::applicationDirPath();
    return translator.load(name) || translator.load(name, programDir) ||
           translator.load(name,
                           programDir + QStringLiteral("/../share/korvath-update/translations"));
}

// Loads both catalogues for `locale`; the common one only when the tool's own loaded.
bool loadCatalogues(QTranslator& tool, QTranslator& common, const QString& locale)
{
    return loadCatalogue(tool, QLatin1String(kToolCatalogue) + locale) &&
           loadCatalogue(common, QLatin1String(kCommonCatalogue) + locale);
}
} // namespace

int main(int argc, char* argv[])
{
    qSetMessagePattern(QStringLiteral("%{file}:%{line} %{function} [%{category}] %{message}"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kApplicationName));

    const QString systemLocale = QLocale::system().name();
    qDebug() << "strLocale: " << systemLocale;

    // Both live until main returns; a missing catalogue leaves the source texts.
    auto toolTranslator = std::make_unique<QTranslator>();
    auto commonTranslator = std::make_unique<QTranslator>();
    (void)loadCatalogue(*toolTranslator, QLatin1String(kToolCatalogue) + systemLocale);
    (void)loadCatalogue(*commonTranslator, QLatin1String(kCommonCatalogue) + systemLocale);
    QApplication::installTranslator(toolTranslator.get());
    QApplication::installTranslator(commonTranslator.get());

    // Held until main returns, that is for the life of the process. Tests that run the tool
    // beside a copy of it (or beside each other) give it a lock key of their own.
    const QString lockKey = qEnvironmentVariable("VENTARO_INSTANCE_KEY");
    auto guard = lockKey.isEmpty() ? std::make_unique<CSingleInstanceGuard>()
                                   : std::make_unique<CSingleInstanceGuard>(lockKey);
    if (!guard->acquire()) {
        warn(QApplication::translate(
            "main", "An instance of Update-ventaro100 or ventaro-Connect is already running.\nIt "
                    "is not possible to run more than one of those applications at the same "
                    "time."));
        return kExitAlreadyRunning;
    }

    const SStartOptions options = SStartOptions::parse(QApplication::arguments());
    if (!options.unrecognized.isEmpty()) {
        warn(QApplication::translate("main", "The command line to start this application "
                                             "contains unrecognized parameters:\n%1\nThey are "
                                             "ignored.")
                 .arg(options.unrecognized));
    }
    if (!options.locale.isEmpty()) {
        if (loadCatalogues(*toolTranslator, *commonTranslator, options.locale)) {
            // The dialog's own text table follows the chosen language as well.
            QLocale::setDefault(QLocale(options.locale));
        } else {
            (void)loadCatalogue(*toolTranslator, QLatin1String(kToolCatalogue) + systemLocale);
            (void)loadCatalogue(*commonTranslator, QLatin1String(kCommonCatalogue) + systemLocale);
            warn(QApplication::translate("main", "Unable to load translations for locale '%1'.")
                     .arg(options.locale));
        }
    }

    CQuitOnSignal quitOnSignal;
    int exitCode = 0;
    {
        CMainDialogNew dialog(options.manufacturing, options.forceBoot, options.forceAppl,
                              options.fc, options.owner, options.automatic, options.excludedPort,
                              options.serialPreset, options.debug,
                              QString::fromLatin1(kTestValuesPath), nullptr);
        // Before the event loop runs the automatic update the first discovery may have queued.
        if (options.bundleGiven)
            (void)dialog.loadBundle(options.bundleFile);
        dialog.show();
        exitCode = app.exec();
    }
    return exitCode;
}
