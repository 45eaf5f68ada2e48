#include "device/uitext.h"

#include <QLocale>
#include <QtTest>

#include <limits>

class TestUiText : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void cleanupTestCase() { QLocale::setDefault(QLocale::c()); }

    void entries_data();
    void entries();
    void languageFollowsDefaultLocaleOnEveryCall();
    void outOfRangeIsEmpty();
    void tableShape();
};

void TestUiText::entries_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("german");

    QTest::addRow("first") << 0 << "Yes"
                           << "Ja";
    QTest::addRow("umlaut") << 9 << QString::fromUtf8("Outside temperature below -22°C")
                            << QString::fromUtf8("Außenluft unter -22°C");
    QTest::addRow("eszett") << 112 << "System value flap extract air 2nd room - speed close"
                            << QString::fromUtf8(
                                   "Systemwert Klappe Abluft - Zweitraum Geschw. schließen");
    QTest::addRow("line breaks") << 132
                                 << "Your ventaro device is ready to receive updates! \n"
                                    "Click 'Update Firmware' to continue."
                                 << "Ihr ventaro Gerät ist bereit, um aktualisiert zu werden. \n"
                                    "Drücken Sie 'Software aktualisieren', um fortzufahren.";
    QTest::addRow("quotes and placeholder")
        << 163
        << "The device needs to reboot in order to continue the update process.\n"
           "Please press and hold the button until all LEDs are on and \noff again.\n"
           "Do not remove the USB cable.\nDo not close this Update-%1 application.\n"
           "After the %1 is switched on again, please press the button \"Update Firmware\" again"
        << QString::fromUtf8(
               "Das Gerät muss neu gestartet werden, damit der Updateprozess fortgesetzt werden "
               "kann.\nBitte schalten Sie es bitte aus und WARTEN Sie, \nbis alle LEDs erlöschen. "
               "Erst dann wieder einschalten.\nEntfernen Sie das Kabel nicht.\nSchließen Sie diese "
               "Applikation nicht.\nNachdem Ihr ventaro Gerät ist wieder eingeschaltet, bitte "
               "klicken Sie auf \n\"Update Firmware\" again");
    QTest::addRow("odd spelling kept") << 192 << "Temperature sesnsor"
                                       << "Temperatur-Sensor";
    QTest::addRow("empty") << 147 << QString() << QString();
    QTest::addRow("last") << 199 << "Address Harbel Connect (optional)"
                          << "Adresse Harbel Connect (optional)";
}

void TestUiText::entries()
{
    QFETCH(int, index);
    QFETCH(QString, english);
    QFETCH(QString, german);

    QCOMPARE(uiText(index), english);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Austria));
    QCOMPARE(uiText(index), german);
}

void TestUiText::languageFollowsDefaultLocaleOnEveryCall()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(uiText(127), QString::fromUtf8("Schließen"));
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QCOMPARE(uiText(127), QStringLiteral("Close"));
    QLocale::setDefault(QLocale(QLocale::SwissGerman, QLocale::Switzerland));
    QCOMPARE(uiText(127), QStringLiteral("Close")); // only the language named "German" counts
}

void TestUiText::outOfRangeIsEmpty()
{
    for (int index : {-1, 200, 100000, std::numeric_limits<int>::min()})
        QVERIFY2(uiText(index).isNull(), qPrintable(QString::number(index)));
}

void TestUiText::tableShape()
{
    const QList<int> emptyEntries{147, 148, 149, 158, 159, 161};
    for (const QLocale& locale : {QLocale(QLocale::English), QLocale(QLocale::German)}) {
        QLocale::setDefault(locale);
        int nonEmpty = 0;
        for (int index = 0; index < 200; ++index) {
            const QString text = uiText(index);
            QCOMPARE(text.isEmpty(), emptyEntries.contains(index));
            nonEmpty += text.isEmpty() ? 0 : 1;
            if (locale.language() == QLocale::German)
                QVERIFY2(!text.contains(QLatin1String("%1")), qPrintable(QString::number(index)));
        }
        QCOMPARE(nonEmpty, 194);
    }
}

QTEST_GUILESS_MAIN(TestUiText)
#include "tst_uitext.moc"
