#include "console/debugventaro100.h"
#include "device/uitext.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTranslator>
#include <QUuid>
#include <QXmlStreamReader>
#include <QtTest>

// The German catalogues built with the tool, and the tool finding them beside itself.
namespace {
QString buildDir()
{
    return qEnvironmentVariable("VENTARO_BUILD_DIR");
}

QString sourceDir()
{
    return qEnvironmentVariable("VENTARO_SOURCE_DIR");
}

// "context: source" of every message in a catalogue source whose translation is missing or
// still marked unfinished.
QStringList untranslated(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {path + ": cannot be read"};
    QStringList missing;
    QXmlStreamReader xml(&file);
    QString context, source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QString type = xml.attributes().value("type").toString();
            const bool unfinished = type == QLatin1String("unfinished");
            const bool empty =
                xml.readElementText(QXmlStreamReader::IncludeChildElements).isEmpty();
            if (unfinished || (empty && type.isEmpty()))
                missing << context + ": " + source;
        }
    }
    if (xml.hasError())
        missing << path + ": " + xml.errorString();
    return missing;
}
} // namespace

class tst_Translations : public QObject
{
    Q_OBJECT

private slots:
    void cataloguesTranslate_data();
    void cataloguesTranslate();
    void toolStartsInGerman();
    void consoleCaptionsInGerman();
    void everyMessageTranslated_data();
    void everyMessageTranslated();
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
    // A unit whose port cannot be opened (its node is no terminal): the device object reports
    // it in the chosen language.
    QFile node(workDir.filePath("not-a-tty"));
    QVERIFY(node.open(QIODevice::WriteOnly));
    node.close();
    QFile port(workDir.filePath("unit.port"));
    QVERIFY(port.open(QIODevice::WriteOnly));
    port.write("port=" + QFile::encodeName(node.fileName()) + "\nvid=0x0409\npid=0x01D9\n");
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

void tst_Translations::consoleCaptionsInGerman()
{
    QTranslator tool, common;
    QVERIFY(tool.load("Korvath-update_de_DE", buildDir() + "/src"));
    QVERIFY(common.load("common_de_DE", buildDir() + "/src"));
    QCoreApplication::installTranslator(&tool);
    QCoreApplication::installTranslator(&common);
    {
        // Captions of the common rows (button, radio button) and of the model's form (label).
        CDebugVentaro100 panel(nullptr, 50123, nullptr);
        auto* ident = panel.findChild<QPushButton*>("GetIdent");
        QVERIFY(ident);
        QCOMPARE(ident->text(), QString("Kennung lesen"));
        auto* chart = panel.findChild<QPushButton*>("ChartSecLog");
        QVERIFY(chart);
        QCOMPARE(chart->text(), QString("Sek.-Log-Diagramm"));
        QStringList radios, labels;
        for (const QRadioButton* r : panel.findChildren<QRadioButton*>())
            radios << r->text();
        for (const QLabel* l : panel.findChildren<QLabel*>())
            labels << l->text();
        QVERIFY2(radios.contains("10 neueste"), qPrintable(radios.join('|')));
        QVERIFY2(labels.contains("Rel.Feuchte Außen:"), qPrintable(labels.join('|')));
        QVERIFY2(labels.contains("TOutdoor:"), qPrintable(labels.join('|')));
    }
    QCoreApplication::removeTranslator(&common);
    QCoreApplication::removeTranslator(&tool);
}

void tst_Translations::everyMessageTranslated_data()
{
    QTest::addColumn<QString>("file");
    QTest::addRow("tool") << "Korvath-update_de_DE.ts";
    QTest::addRow("common") << "common_de_DE.ts";
}

void tst_Translations::everyMessageTranslated()
{
    QFETCH(QString, file);
    const QStringList missing = untranslated(sourceDir() + "/translations/" + file);
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join('\n')));
}

QTEST_MAIN(tst_Translations)
#include "tst_translations.moc"
