#include "values/datadict.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>
#include <QtTest>

namespace {

// Stands in for a loaded catalogue: upper-cases every text of the dictionary's context.
class UpperCaseTranslator : public QTranslator
{
public:
    QString translate(const char* context, const char* sourceText, const char* = nullptr,
                      int = -1) const override
    {
        if (qstrcmp(context, "CDataDict") != 0)
            return QString();
        return QString::fromUtf8(sourceText).toUpper();
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class TestDataDict : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void entries_data();
    void entries();
    void outOfRange();
    void bracketed();
    void indexOf_data();
    void indexOf();
    void categoryColour();
    void frozenDescriptionsTranslatedLabels();
};

void TestDataDict::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(CDataDict::instance().count(), 142);
    QCOMPARE(&CDataDict::instance(), &CDataDict::instance());
}

void TestDataDict::entries_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QList<int>>("attributes"); // category, mark, value type, views

    QTest::addRow("first") << 0 << "Timestamp of log entry"
                           << ""
                           << "TIM"
                           << "LogTimestamp" << QList<int>{5, 0, 1, 27};
    QTest::addRow("member text") << 9 << "Service"
                                 << ""
                                 << "svc"
                                 << "" << QList<int>{5, 0, 0, 0};
    QTest::addRow("from language table")
        << 26 << QString::fromUtf8("Outside temperature below -22°C") << ""
        << "otb"
        << "" << QList<int>{3, 0, 0, 0};
    QTest::addRow("label from language table") << 29 << "Cooling"
                                               << ""
                                               << "CA"
                                               << "SC" << QList<int>{5, 0, 3, 1};
    QTest::addRow("square metres")
        << 31 << "Room area (minimal ventilation)" << QString::fromUtf8("m²") << "RA"
        << "RA" << QList<int>{5, 0, 1, 9};
    QTest::addRow("70 series fan") << 33 << "Fan speed"
                                   << "1/min"
                                   << "FSP"
                                   << "FSP" << QList<int>{5, 1, 1, 8};
    QTest::addRow("degrees") << 37 << "Temperature extract air" << QString::fromUtf8("°C") << "TEX"
                             << "TET" << QList<int>{2, 1, 2, 27};
    QTest::addRow("empty description") << 62 << ""
                                       << ""
                                       << "LTS"
                                       << "LTS" << QList<int>{5, 0, 1, 18};
    QTest::addRow("odd spelling") << 114 << "Temperature sesnsor"
                                  << ""
                                  << "Err-TSE"
                                  << "" << QList<int>{5, 0, 0, 0};
    QTest::addRow("leading blank") << 121 << "Supply air quality  (uncor.)"
                                   << "VOC"
                                   << " QSU"
                                   << "QSU" << QList<int>{1, 0, 1, 8};
    QTest::addRow("last") << 141 << "NoCO2Sensor"
                          << ""
                          << "NOCO2"
                          << "NOCO2" << QList<int>{5, 0, 3, 3};
}

void TestDataDict::entries()
{
    QFETCH(int, index);
    QFETCH(QString, description);
    QFETCH(QString, unit);
    QFETCH(QString, label);
    QFETCH(QString, code);
    QFETCH(QList<int>, attributes);

    const CDataDict& dict = CDataDict::instance();
    QCOMPARE(dict.text(index, CDataDict::EDescription), description);
    QCOMPARE(dict.text(index, CDataDict::EUnit), unit);
    QCOMPARE(dict.text(index, CDataDict::ELabel), label);
    QCOMPARE(dict.text(index, CDataDict::ELabelRaw), label);
    QCOMPARE(dict.text(index, CDataDict::ECode), code);
    QCOMPARE(dict.category(index), attributes[0]);
    QCOMPARE(dict.mark(index), attributes[1]);
    QCOMPARE(dict.valueType(index), attributes[2]);
    QCOMPARE(dict.views(index), attributes[3]);
}

void TestDataDict::outOfRange()
{
    const CDataDict& dict = CDataDict::instance();
    for (int index : {-1, 142, 100000}) {
        for (int part = 0; part <= 4; ++part) {
            QVERIFY(dict.text(index, part, false).isEmpty());
            QVERIFY(dict.text(index, part, true).isEmpty());
        }
        QCOMPARE(dict.category(index), 0);
        QCOMPARE(dict.mark(index), 0);
        QCOMPARE(dict.valueType(index), 0);
        QCOMPARE(dict.views(index), 0);
    }
    for (int part : {-1, 5})
        QVERIFY(dict.text(37, part, true).isEmpty());
}

void TestDataDict::bracketed()
{
    const CDataDict& dict = CDataDict::instance();
    QCOMPARE(dict.text(37, CDataDict::EUnit, true), QString::fromUtf8("(°C)"));
    QCOMPARE(dict.text(36, CDataDict::EUnit, true), QString::fromUtf8("(m³/h)"));
    QCOMPARE(dict.text(91, CDataDict::ELabel, true), QStringLiteral("(ES)"));
}

void TestDataDict::indexOf_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("index");

    QTest::addRow("first") << "LogTimestamp" << 0;
    QTest::addRow("error state") << "ErrorState" << 91;
    QTest::addRow("error member") << "ERR_Wlan" << 119;
    QTest::addRow("last") << "NoCO2Sensor" << 141;
    QTest::addRow("unknown") << "FanLimit" << 142;
    QTest::addRow("case matters") << "errorstate" << 142;
    QTest::addRow("empty") << "" << 142;
}

void TestDataDict::indexOf()
{
    QFETCH(QString, key);
    QFETCH(int, index);
    QCOMPARE(CDataDict::instance().indexOf(key), index);
}

void TestDataDict::categoryColour()
{
    QCOMPARE(CDataDict::categoryColour(1), QColor(128, 0, 0));
    QCOMPARE(CDataDict::categoryColour(2), QColor(128, 128, 0));
    QCOMPARE(CDataDict::categoryColour(3), QColor(0, 128, 0));
    QCOMPARE(CDataDict::categoryColour(4), QColor(196, 160, 96));
    QCOMPARE(CDataDict::categoryColour(5), QColor(249, 169, 49));
    QCOMPARE(CDataDict::categoryColour(0), QColor(0, 0, 0));
    QCOMPARE(CDataDict::categoryColour(6).alpha(), 255);
}

// Descriptions and units were fixed when the dictionary was built (English, no catalogue);
// labels follow the catalogue and language installed at the time of the request.
void TestDataDict::frozenDescriptionsTranslatedLabels()
{
    const CDataDict& dict = CDataDict::instance();
    UpperCaseTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    QCOMPARE(dict.text(9, CDataDict::ELabel), QStringLiteral("SVC"));
    QCOMPARE(dict.text(9, CDataDict::ELabelRaw), QStringLiteral("svc"));
    QCOMPARE(dict.text(9, CDataDict::EDescription), QStringLiteral("Service"));
    QCOMPARE(dict.text(14, CDataDict::EDescription),
             QStringLiteral("Humidity Reduction (relative)"));
    QCOMPARE(dict.text(37, CDataDict::EDescription), QStringLiteral("Temperature extract air"));
    QCOMPARE(dict.text(29, CDataDict::ELabelRaw), QStringLiteral("CA"));

    QVERIFY(QCoreApplication::removeTranslator(&translator));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

QTEST_GUILESS_MAIN(TestDataDict)
#include "tst_datadict.moc"
