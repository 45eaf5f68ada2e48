#include "device/uitext.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTranslator>
#include <QUuid>
#include <QtTest>

// The German catalogues built with the tool, and the tool finding them beside itself.
namespace {
QString buildDir()
{
    return qEnvironmentVariable("VENTARO_BUILD_DIR");
}
} // namespace

class tst_Translations : public QObject
{
    Q_OBJECT

private slots:
    void cataloguesTranslate_data();
    void cataloguesTranslate();
    void toolStartsInGerman();
};

void tst_Translations::cataloguesTranslate_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("german");
    QTest::addRow("device") << "common_de_DE"
                            << "CFanBase"
                            << "%1 detected!"
                            << "%1 erkannt!";
    QTest::addRow("dictionary") << "common_de_DE"
                                << "CDataDict"
                                << "Air pressure"
                                << "Luftdruck";
    QTest::addRow("entry") << "Korvath-update_de_DE"
                           << "main"
                           << "Unable to load translations for locale '%1'."
                           << "Die Übersetzungen für die Sprache '%1' können nicht geladen "
                              "werden.";
}

void tst_Translations::cataloguesTranslate()
{
    QFETCH(QString, catalogue);
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, german);
    QTranslator translator;
    QVERIFY(translator.load(catalogue, buildDir() + "/src"));
    QCOMPARE(translator.translate(qPrintable(context), qPrintable(source)), german);
}

void tst_Translations::toolStartsInGerman()
{
    QTemporaryDir workDir; // no catalogue here: they are found beside the program
    // A unit whose port cannot be opened: the device object reports it in the chosen language.
    QFile port(workDir.filePath("unit.port"));
    QVERIFY(port.open(QIODevice::WriteOnly));
    port.write("port=" + QFile::encodeName(workDir.filePath("missing-tty")) +
               "\nvid=0x0409\npid=0x01D9\n");
    port.close();
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("VENTARO_PORT_DIR", workDir.path());
    env.insert("VENTARO_INSTANCE_KEY", "ventaro-test-" + QUuid::createUuid().toString());
    tool.setProcessEnvironment(env);
    tool.setWorkingDirectory(workDir.path());
    tool.start(buildDir() + "/src/korvath-update", {"-l", "de_DE"});
    QVERIFY(tool.waitForStarted());
    QString console;
    for (int i = 0; i < 200 && !console.contains("failed open com port"); ++i) {
        tool.waitForReadyRead(50);
        console += QString::fromUtf8(tool.readAllStandardError());
    }
    tool.terminate();
    QVERIFY(tool.waitForFinished(10000));
    console += QString::fromUtf8(tool.readAllStandardError());
    QVERIFY2(console.contains("Suche nach neuen Geräten..."), qPrintable(console));
    QVERIFY(console.contains("Der COM-Port für ventaro100 kann nicht geöffnet werden."));
    QVERIFY(!console.contains("Unable to load translations"));
}

QTEST_GUILESS_MAIN(tst_Translations)
#include "tst_translations.moc"
