#include "console/feldelimtextmodel.h"

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using Rows = QList<QStringList>;
Q_DECLARE_METATYPE(Rows)

namespace {
constexpr char kLatin1[] = "ISO 8859-1";
const QChar kSemicolon = QLatin1Char(';');
const QChar kQuote = QLatin1Char('"');

// Loads bytes with the given delimiter and quote; fails the test if load refuses.
bool loadBytes(CFelDelimTextModel& model, const QByteArray& bytes, bool hasHeader,
               QChar delimiter = kSemicolon, QChar quote = kQuote)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    return model.load(&buffer, hasHeader, delimiter, quote, kLatin1);
}

QByteArray saveBytes(const CFelDelimTextModel& model, bool withHeader)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!model.save(&buffer, withHeader, kSemicolon, kQuote, kLatin1))
        return QByteArray("<save failed>");
    return buffer.data();
}

// The cells as stored, missing cells left out (so ragged rows stay visible).
Rows storedRows(const CFelDelimTextModel& model)
{
    Rows rows;
    for (int r = 0; r < model.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model.columnCount(); ++c) {
            const QVariant v = model.value(r, c);
            if (!v.isValid())
                break;
            cells << v.toString();
        }
        rows << cells;
    }
    return rows;
}

QStringList padded(QStringList cells, int columns)
{
    while (cells.size() < columns)
        cells << QString();
    return cells;
}

// A model with the given column count and rows, built through the model's own operations.
void fill(CFelDelimTextModel& model, int columns, const Rows& rows)
{
    QVERIFY(model.insertColumns(0, columns));
    if (!rows.isEmpty())
        QVERIFY(model.insertRows(0, rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows.at(r).size(); ++c)
            QVERIFY(model.setValue(r, c, rows.at(r).at(c)));
}

// Fails every write after the first `okBytes` bytes.
class CFailingDevice : public QIODevice
{
public:
    explicit CFailingDevice(qint64 okBytes) : m_OkBytes(okBytes) {}

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override
    {
        if (m_Written + len > m_OkBytes)
            return -1;
        m_Written += len;
        return len;
    }

private:
    qint64 m_OkBytes = 0;
    qint64 m_Written = 0;
};
} // namespace

class TestFelDelimTextModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<Qt::Orientation>(); }
    void load_data();
    void load();
    void loadReplacesContentAndRefusesUnreadableDevice();
    void save_data();
    void save();
    void saveReportsUnwritableAndFailingDevices();
    void saveFileReplacesWholeFile();
    void failedSaveFileKeepsOldContent();
    void randomTablesRoundTrip();
    void valueAndSetValue();
    void rolesAndHeaderData();
    void lookups();
    void rowOperations_data();
    void rowOperations();
    void columnOperations_data();
    void columnOperations();
    void validParentIsRefused();
    void notificationsAreConsistent();
};

void TestFelDelimTextModel::load_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("hasHeader");
    QTest::addColumn<QString>("delimiterAndQuote");
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<int>("columns");

    const QString std = QStringLiteral(";\"");
    QTest::addRow("empty file, header requested")
        << QByteArray() << true << std << QStringList() << Rows() << 0;
    QTest::addRow("ragged rows") << QByteArray("a;b;c\nd\n") << false << std << QStringList()
                                 << Rows{{"a", "b", "c"}, {"d"}} << 3;
    QTest::addRow("header sets the first column count")
        << QByteArray("Test case;Description\n1;x;extra\n2\n") << true << std
        << QStringList{"Test case", "Description"} << Rows{{"1", "x", "extra"}, {"2"}} << 3;
    QTest::addRow("header only, no line end")
        << QByteArray("h1;h2") << true << std << QStringList{"h1", "h2"} << Rows() << 2;
    QTest::addRow("trailing delimiter, LF")
        << QByteArray("a;b;\n") << false << std << QStringList() << Rows{{"a", "b"}} << 2;
    QTest::addRow("trailing delimiter, CR LF")
        << QByteArray("a;b;\r\n") << false << std << QStringList() << Rows{{"a", "b", ""}} << 3;
    QTest::addRow("empty line, LF gives no cells")
        << QByteArray("x\n\ny\n") << false << std << QStringList() << Rows{{"x"}, {}, {"y"}} << 1;
    QTest::addRow("empty line, CR LF gives one empty cell")
        << QByteArray("\r\n") << false << std << QStringList() << Rows{{""}} << 1;
    QTest::addRow("leading delimiters")
        << QByteArray(";;a\n") << false << std << QStringList() << Rows{{"", "", "a"}} << 3;
    QTest::addRow("last record without line end")
        << QByteArray("a;b\nc;d") << false << std << QStringList() << Rows{{"a", "b"}, {"c", "d"}}
        << 2;
    QTest::addRow("a; at the end of input")
        << QByteArray("a;") << false << std << QStringList() << Rows{{"a"}} << 1;
    QTest::addRow("lone CR line ends")
        << QByteArray("ab;c\rd\re;f") << false << std << QStringList()
        << Rows{{"ab", "c"}, {"d"}, {"e", "f"}} << 2;
    QTest::addRow("mixed line ends, CR CR")
        << QByteArray("a\rb\r\nc\n\r\rd") << false << std << QStringList()
        << Rows{{"a"}, {"b"}, {"c"}, {""}, {""}, {"d"}} << 1;
    QTest::addRow("blank lines at the end")
        << QByteArray("a\n\n\n") << false << std << QStringList() << Rows{{"a"}, {}, {}} << 1;
    QTest::addRow("quoted delimiter")
        << QByteArray("\"x;y\";z\n") << false << std << QStringList() << Rows{{"x;y", "z"}} << 2;
    QTest::addRow("doubled quotes") << QByteArray("\"say \"\"hi\"\"\"\n") << false << std
                                    << QStringList() << Rows{{"say \"hi\""}} << 1;
    QTest::addRow("line ends inside quotes become LF")
        << QByteArray("\"a\r\nb\";\"c\rd\";\"e\nf\"\n") << false << std << QStringList()
        << Rows{{"a\nb", "c\nd", "e\nf"}} << 3;
    QTest::addRow("stray character reopens quoting")
        << QByteArray("\"ab\"c;d\n") << false << std << QStringList() << Rows{{"abc;d\n"}} << 1;
    QTest::addRow("quote inside a plain field")
        << QByteArray("a\"b;c\"\n") << false << std << QStringList() << Rows{{"a\"b", "c\""}} << 2;
    QTest::addRow("empty quoted fields") << QByteArray("\"\";x;\"\"\n\"\"") << false << std
                                         << QStringList() << Rows{{"", "x", ""}} << 3;
    QTest::addRow("unterminated quote runs to the end")
        << QByteArray("\"abc;d\ne") << false << std << QStringList() << Rows{{"abc;d\ne"}} << 1;
    QTest::addRow("Latin-1 text") << QByteArray("\xe9t\xe9;\xb0"
                                                "C\n")
                                  << false << std << QStringList()
                                  << Rows{{"\u00e9t\u00e9", "\u00b0C"}} << 2;
    QTest::addRow("Latin-1 text that looks like a UTF-16 mark")
        << QByteArray("\xff\xfet\n") << false << std << QStringList() << Rows{{"\u00ff\u00fet"}}
        << 1;
    // Odd configurations: the quote is tested first, then CR, LF and the delimiter.
    QTest::addRow("delimiter equal to quote")
        << QByteArray("a\"b\n\"c\"\"d\"") << false << QStringLiteral("\"\"") << QStringList()
        << Rows{{"a\"b"}, {"c\"d"}} << 1;
    QTest::addRow("quote equal to LF")
        << QByteArray("a\nb;\nc\n;d") << false << QStringLiteral(";\n") << QStringList()
        << Rows{{"a\nb", "c", "d"}} << 3;
    QTest::addRow("delimiter equal to CR")
        << QByteArray("a\r\nb\rc") << false << QStringLiteral("\r\"") << QStringList()
        << Rows{{"a"}, {"b"}, {"c"}} << 1;
}

void TestFelDelimTextModel::load()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, hasHeader);
    QFETCH(QString, delimiterAndQuote);
    QFETCH(QStringList, header);
    QFETCH(Rows, rows);
    QFETCH(int, columns);

    CFelDelimTextModel model;
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QVERIFY(loadBytes(model, input, hasHeader, delimiterAndQuote.at(0), delimiterAndQuote.at(1)));
    QCOMPARE(model.hasHeader(), hasHeader);
    QCOMPARE(model.header(), header);
    QCOMPARE(storedRows(model), rows);
    QCOMPARE(model.columnCount(), columns);
    QCOMPARE(resets.count(), 0);
}

void TestFelDelimTextModel::loadReplacesContentAndRefusesUnreadableDevice()
{
    CFelDelimTextModel model;
    QVERIFY(loadBytes(model, "h\na;b;c\n", true));

    QBuffer closed;
    QVERIFY(!model.load(&closed, false, kSemicolon, kQuote, kLatin1));
    QBuffer writeOnly;
    QVERIFY(writeOnly.open(QIODevice::WriteOnly));
    QVERIFY(!model.load(&writeOnly, false, kSemicolon, kQuote, kLatin1));
    QVERIFY(!model.load(nullptr, false, kSemicolon, kQuote, kLatin1));
    QCOMPARE(model.header(), QStringList{"h"});
    QCOMPARE(storedRows(model), (Rows{{"a", "b", "c"}}));
    QVERIFY(model.hasHeader());

    // A text-mode device must not turn CR LF into LF behind the reader's back.
    QBuffer text;
    text.setData("x;\r\n");
    QVERIFY(text.open(QIODevice::ReadOnly | QIODevice::Text));
    QVERIFY(model.load(&text, false, kSemicolon, kQuote, kLatin1));
    QVERIFY(!model.hasHeader());
    QVERIFY(model.header().isEmpty());
    QCOMPARE(storedRows(model), (Rows{{"x", ""}}));
    QCOMPARE(model.columnCount(), 2);
}

void TestFelDelimTextModel::save_data()
{
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<int>("columns");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<bool>("withHeader");
    QTest::addColumn<QByteArray>("expected");

    QTest::addRow("padding to the column count")
        << QStringList{"a", "b"} << 4 << Rows{{"1"}, {}, {"1", "2", "3", "4"}} << true
        << QByteArray("a;b;;\n1;;;\n;;;\n1;2;3;4\n");
    QTest::addRow("quoting only for delimiter, quote and LF")
        << QStringList() << 5 << Rows{{"a;b", "say \"hi\"", "\r", "x\ny", "a,b c"}} << false
        << QByteArray("\"a;b\";\"say \"\"hi\"\"\";\r;\"x\ny\";a,b c\n");
    QTest::addRow("header left out")
        << QStringList{"h"} << 1 << Rows{{"v"}} << false << QByteArray("v\n");
    QTest::addRow("header longer than the column count")
        << QStringList{"h1", "h2", "h3"} << 1 << Rows{{"v"}} << true << QByteArray("h1;h2;h3\nv\n");
    QTest::addRow("single empty cell is an empty line")
        << QStringList() << 1 << Rows{{""}, {}} << false << QByteArray("\n\n");
    QTest::addRow("Latin-1 bytes") << QStringList{"\u00b0C"} << 1 << Rows{{"\u00e9"}} << true
                                   << QByteArray("\xb0"
                                                 "C\n\xe9\n");
}

void TestFelDelimTextModel::save()
{
    QFETCH(QStringList, header);
    QFETCH(int, columns);
    QFETCH(Rows, rows);
    QFETCH(bool, withHeader);
    QFETCH(QByteArray, expected);

    CFelDelimTextModel model;
    fill(model, columns, rows);
    if (!header.isEmpty())
        model.setHeader(header);
    QCOMPARE(saveBytes(model, withHeader), expected);
}

void TestFelDelimTextModel::saveReportsUnwritableAndFailingDevices()
{
    CFelDelimTextModel model;
    fill(model, 2, Rows{{"a", QString(40000, QLatin1Char('x'))}});

    QBuffer readOnly;
    QVERIFY(readOnly.open(QIODevice::ReadOnly));
    QVERIFY(!model.save(&readOnly, true, kSemicolon, kQuote, kLatin1));
    QBuffer closed;
    QVERIFY(!model.save(&closed, true, kSemicolon, kQuote, kLatin1));
    QVERIFY(closed.data().isEmpty());

    CFailingDevice failing(1000);
    QVERIFY(failing.open(QIODevice::WriteOnly));
    QVERIFY(!model.save(&failing, false, kSemicolon, kQuote, kLatin1));
}

void TestFelDelimTextModel::saveFileReplacesWholeFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("TestValues.csv");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old;content;that;is;longer;than;the;new;one\n");
    old.close();

    CFelDelimTextModel model;
    QVERIFY(loadBytes(model, "Test case;Wait time\n1;5\n", true));
    QCOMPARE(model.saveFile(path, true, kSemicolon, kQuote, kLatin1),
             CFelDelimTextModel::ESaveResult::Saved);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("Test case;Wait time\n1;5\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"TestValues.csv"});

    QString error;
    QCOMPARE(model.saveFile(dir.filePath("missing/TestValues.csv"), true, kSemicolon, kQuote,
                            kLatin1, &error),
             CFelDelimTextModel::ESaveResult::NotOpened);
    QVERIFY(!error.isEmpty());
}

void TestFelDelimTextModel::failedSaveFileKeepsOldContent()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("TestValues.csv");
    const QByteArray oldContent("Test case;Description\n1;keep me\n");
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(oldContent);
    }

    CFelDelimTextModel model;
    Rows rows;
    for (int r = 0; r < 200; ++r)
        rows << QStringList{"row", QString(100, QLatin1Char('x')), "\"q\""};
    fill(model, 3, rows);

    // Simulate a full disk: writes beyond 4 KB fail with EFBIG (SIGXFSZ ignored meanwhile).
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const auto saved4k = model.saveFile(path, true, kSemicolon, kQuote, kLatin1, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(saved4k, CFelDelimTextModel::ESaveResult::NotWritten);
    QVERIFY(!error.isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), oldContent);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"TestValues.csv"});
}

void TestFelDelimTextModel::randomTablesRoundTrip()
{
    // Everything the format can carry: Latin-1 text with delimiters, quotes, LF, blanks and
    // NUL. A CR does not survive (an unquoted CR ends a record, a quoted one is read as LF).
    const QString alphabet = QStringLiteral("ab ;;\"\"\n\t,'\u00e9\u00ff") + QChar(0);
    QRandomGenerator rng(0x5eed);
    const auto randomCell = [&] {
        QString cell;
        const int length = int(rng.bounded(6));
        for (int i = 0; i < length; ++i)
            cell += alphabet.at(int(rng.bounded(alphabet.size())));
        return cell;
    };
    for (int table = 0; table < 300; ++table) {
        const bool withHeader = rng.bounded(2) == 1;
        const int columns = int(rng.bounded(1, 6));
        Rows rows;
        const int rowCount = int(rng.bounded(8));
        for (int r = 0; r < rowCount; ++r) {
            QStringList cells;
            const int cellCount = int(rng.bounded(columns + 1));
            for (int c = 0; c < cellCount; ++c)
                cells << randomCell();
            rows << cells;
        }
        CFelDelimTextModel model;
        fill(model, columns, rows);
        QStringList header;
        for (int c = 0; c < columns; ++c)
            header << randomCell();
        if (withHeader)
            model.setHeader(header);

        const QByteArray bytes = saveBytes(model, withHeader);
        CFelDelimTextModel reloaded;
        QVERIFY(loadBytes(reloaded, bytes, withHeader));
        // Missing cells come back as empty ones; a record of one empty field comes back as
        // a record without fields, so compare everything padded to the column count.
        QVERIFY2(reloaded.columnCount() <= columns, bytes.constData());
        if (withHeader)
            QCOMPARE(padded(reloaded.header(), columns), padded(header, columns));
        QCOMPARE(reloaded.rowCount(), rows.size());
        const Rows reloadedRows = storedRows(reloaded);
        for (int r = 0; r < rows.size(); ++r)
            QCOMPARE(padded(reloadedRows.at(r), columns), padded(rows.at(r), columns));
        if (reloaded.columnCount() == columns)
            QCOMPARE(saveBytes(reloaded, withHeader), bytes);
    }
}

void TestFelDelimTextModel::valueAndSetValue()
{
    CFelDelimTextModel model;
    QVERIFY(loadBytes(model, "a;b;c\nd\n", false));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    QCOMPARE(model.value(1, 0), QVariant(QStringLiteral("d")));
    QVERIFY(!model.value(1, 1).isValid());
    QVERIFY(!model.value(1, 2).isValid());
    QVERIFY(!model.value(-1, 0).isValid());
    QVERIFY(!model.value(2, 0).isValid());
    QVERIFY(!model.value(0, -1).isValid());

    QVERIFY(model.setValue(1, 2, QStringLiteral("x")));
    QCOMPARE(storedRows(model).at(1), (QStringList{"d", "", "x"}));
    QCOMPARE(model.value(1, 1), QVariant(QString()));
    QVERIFY(model.value(1, 1).isValid());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(1, 2));
    QCOMPARE(changed.at(0).at(1).toModelIndex(), model.index(1, 2));
    QVERIFY(changed.at(0).at(2).value<QVector<int>>().isEmpty());

    QVERIFY(model.setValue(0, 0, 42));
    QCOMPARE(model.value(0, 0), QVariant(QStringLiteral("42")));

    QVERIFY(!model.setValue(0, 3, "out"));
    QVERIFY(!model.setValue(2, 0, "out"));
    QVERIFY(!model.setValue(-1, 0, "out"));
    QVERIFY(!model.setValue(0, -1, "out"));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(model.columnCount(), 3);
    QCOMPARE(model.rowCount(), 2);
}

void TestFelDelimTextModel::rolesAndHeaderData()
{
    CFelDelimTextModel model;
    QVERIFY(loadBytes(model, "h0\nv;w\n", true));
    const QModelIndex cell = model.index(0, 1);
    for (int role : {int(Qt::DisplayRole), int(Qt::EditRole), int(Qt::UserRole)}) {
        QCOMPARE(model.data(cell, role), QVariant(QStringLiteral("w")));
        QCOMPARE(model.headerData(0, Qt::Horizontal, role), QVariant(QStringLiteral("h0")));
    }
    QVERIFY(!model.data(cell, Qt::ToolTipRole).isValid());
    QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
    QVERIFY(!model.headerData(1, Qt::Horizontal).isValid());
    QVERIFY(!model.setData(cell, "x", Qt::ToolTipRole));
    QVERIFY(model.setData(cell, "x", Qt::UserRole));
    QCOMPARE(model.value(0, 1), QVariant(QStringLiteral("x")));

    QCOMPARE(model.flags(cell) & Qt::ItemIsEditable, Qt::ItemIsEditable);
    QCOMPARE(model.flags(QModelIndex()) & Qt::ItemIsEditable, Qt::NoItemFlags);

    QSignalSpy headerChanged(&model, &QAbstractItemModel::headerDataChanged);
    QVERIFY(!model.setHeaderData(2, Qt::Horizontal, "h2"));
    QVERIFY(!model.setHeaderData(1, Qt::Vertical, "h1"));
    QVERIFY(!model.setHeaderData(1, Qt::Horizontal, "h1", Qt::ToolTipRole));
    QCOMPARE(headerChanged.count(), 0);
    QVERIFY(model.setHeaderData(1, Qt::Horizontal, 7));
    QCOMPARE(model.header(), (QStringList{"h0", "7"}));
    QCOMPARE(headerChanged.count(), 1);
    QCOMPARE(headerChanged.at(0), (QVariantList{QVariant::fromValue(Qt::Horizontal), 1, 1}));

    // setHeaderData does not touch the header flag; setHeader sets it.
    CFelDelimTextModel plain;
    QVERIFY(loadBytes(plain, "a;b\n", false));
    QVERIFY(plain.setHeaderData(1, Qt::Horizontal, "Test case"));
    QCOMPARE(plain.header(), (QStringList{"", "Test case"}));
    QVERIFY(!plain.hasHeader());
    QCOMPARE(plain.headerColumn("Test case", Qt::CaseSensitive), -1);
    QSignalSpy plainHeaderChanged(&plain, &QAbstractItemModel::headerDataChanged);
    plain.setHeader({"x", "y", "z"});
    QVERIFY(plain.hasHeader());
    QCOMPARE(plain.columnCount(), 2);
    QCOMPARE(plainHeaderChanged.at(0), (QVariantList{QVariant::fromValue(Qt::Horizontal), 0, 2}));
}

void TestFelDelimTextModel::lookups()
{
    CFelDelimTextModel model;
    QVERIFY(loadBytes(model, "Nr;Test case;Test case\n1;A\n2\n3;a;b\n", true));
    QCOMPARE(model.headerColumn("test CASE", Qt::CaseInsensitive), 1);
    QCOMPARE(model.headerColumn("test CASE", Qt::CaseSensitive), -1);
    QCOMPARE(model.headerColumn("Wait time", Qt::CaseInsensitive), -1);

    QCOMPARE(model.findRow("a", 1, Qt::CaseSensitive), 2);
    QCOMPARE(model.findRow("a", 1, Qt::CaseInsensitive), 0);
    // A missing cell never matches, not even the empty text.
    QCOMPARE(model.findRow("", 1, Qt::CaseSensitive), -1);
    QCOMPARE(model.findRow("b", 2, Qt::CaseSensitive), 2);
    QCOMPARE(model.findRow("1", -1, Qt::CaseSensitive), -1);
    QCOMPARE(model.findRow("1", 3, Qt::CaseSensitive), -1);

    QVERIFY(loadBytes(model, "Nr;Test case\n", false));
    QCOMPARE(model.headerColumn("Test case", Qt::CaseInsensitive), -1);
}

void TestFelDelimTextModel::rowOperations_data()
{
    QTest::addColumn<bool>("insert");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<Rows>("rows");

    // Starting rows: {a}, {b, c}, {d}.
    QTest::addRow("insert in the middle")
        << true << 1 << 2 << true << Rows{{"a"}, {}, {}, {"b", "c"}, {"d"}};
    QTest::addRow("insert at the end")
        << true << 3 << 1 << true << Rows{{"a"}, {"b", "c"}, {"d"}, {}};
    QTest::addRow("insert beyond the end") << true << 4 << 1 << false << Rows();
    QTest::addRow("insert at a negative row") << true << -1 << 1 << false << Rows();
    QTest::addRow("insert nothing") << true << 0 << 0 << false << Rows();
    QTest::addRow("remove the first row") << false << 0 << 1 << true << Rows{{"b", "c"}, {"d"}};
    QTest::addRow("remove past the end is cut") << false << 1 << 10 << true << Rows{{"a"}};
    QTest::addRow("remove at the row count") << false << 3 << 1 << false << Rows();
    QTest::addRow("remove a negative count") << false << 0 << -1 << false << Rows();
}

void TestFelDelimTextModel::rowOperations()
{
    QFETCH(bool, insert);
    QFETCH(int, row);
    QFETCH(int, count);
    QFETCH(bool, accepted);
    QFETCH(Rows, rows);

    CFelDelimTextModel model;
    QVERIFY(loadBytes(model, "a\nb;c\nd\n", false));
    const Rows before = storedRows(model);
    QSignalSpy aboutToInsert(&model, &QAbstractItemModel::rowsAboutToBeInserted);
    QSignalSpy aboutToRemove(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    QCOMPARE(insert ? model.insertRows(row, count) : model.removeRows(row, count), accepted);
    QCOMPARE(storedRows(model), accepted ? rows : before);
    QCOMPARE(model.columnCount(), 2);
    QSignalSpy& about = insert ? aboutToInsert : aboutToRemove;
    QSignalSpy& done = insert ? inserted : removed;
    QCOMPARE(aboutToInsert.count() + aboutToRemove.count(), accepted ? 1 : 0);
    QCOMPARE(inserted.count() + removed.count(), accepted ? 1 : 0);
    if (accepted) {
        const int last = insert ? row + count - 1 : std::min(row + count, 3) - 1;
        QCOMPARE(about.at(0).at(1).toInt(), row);
        QCOMPARE(about.at(0).at(2).toInt(), last);
        QCOMPARE(done.at(0).at(1).toInt(), row);
        QCOMPARE(done.at(0).at(2).toInt(), last);
    }
}

void TestFelDelimTextModel::columnOperations_data()
{
    QTest::addColumn<bool>("insert");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<int>("columns");

    // Starting content: header {h0, h1}, rows {a}, {b, c, d}, {}; column count 3.
    QTest::addRow("insert inside the header")
        << true << 1 << 2 << true << QStringList{"h0", "", "", "h1"}
        << Rows{{"a"}, {"b", "", "", "c", "d"}, {}} << 5;
    QTest::addRow("insert after the header and the short rows")
        << true << 2 << 1 << true << QStringList{"h0", "h1"} << Rows{{"a"}, {"b", "c", "", "d"}, {}}
        << 4;
    QTest::addRow("insert at the column count") << true << 3 << 1 << true << QStringList{"h0", "h1"}
                                                << Rows{{"a"}, {"b", "c", "d"}, {}} << 4;
    QTest::addRow("insert beyond the column count")
        << true << 4 << 1 << false << QStringList() << Rows() << 3;
    QTest::addRow("insert nothing") << true << 0 << 0 << false << QStringList() << Rows() << 3;
    QTest::addRow("remove stops early in short rows")
        << false << 0 << 2 << true << QStringList() << Rows{{}, {"d"}, {}} << 1;
    QTest::addRow("remove past the end is cut")
        << false << 1 << 10 << true << QStringList{"h0"} << Rows{{"a"}, {"b"}, {}} << 1;
    QTest::addRow("remove at the column count")
        << false << 3 << 1 << false << QStringList() << Rows() << 3;
    QTest::addRow("remove at a negative column")
        << false << -1 << 1 << false << QStringList() << Rows() << 3;
}

void TestFelDelimTextModel::columnOperations()
{
    QFETCH(bool, insert);
    QFETCH(int, column);
    QFETCH(int, count);
    QFETCH(bool, accepted);
    QFETCH(QStringList, header);
    QFETCH(Rows, rows);
    QFETCH(int, columns);

    CFelDelimTextModel model;
    QVERIFY(loadBytes(model, "h0;h1\na\nb;c;d\n\n", true));
    const Rows before = storedRows(model);
    const QStringList headerBefore = model.header();
    QSignalSpy about(&model, insert ? &QAbstractItemModel::columnsAboutToBeInserted
                                    : &QAbstractItemModel::columnsAboutToBeRemoved);
    QSignalSpy done(&model, insert ? &QAbstractItemModel::columnsInserted
                                   : &QAbstractItemModel::columnsRemoved);

    QCOMPARE(insert ? model.insertColumns(column, count) : model.removeColumns(column, count),
             accepted);
    QCOMPARE(model.columnCount(), columns);
    QCOMPARE(model.header(), accepted ? header : headerBefore);
    QCOMPARE(storedRows(model), accepted ? rows : before);
    QCOMPARE(about.count(), accepted ? 1 : 0);
    QCOMPARE(done.count(), accepted ? 1 : 0);
    if (accepted) {
        const int last = insert ? column + count - 1 : std::min(column + count, 3) - 1;
        QCOMPARE(about.at(0).at(1).toInt(), column);
        QCOMPARE(about.at(0).at(2).toInt(), last);
    }

    // Without the header flag the header is left alone on insertion.
    CFelDelimTextModel noFlag;
    QVERIFY(loadBytes(noFlag, "a;b\n", false));
    QVERIFY(noFlag.setHeaderData(0, Qt::Horizontal, "h"));
    QVERIFY(noFlag.insertColumns(0, 1));
    QCOMPARE(noFlag.header(), QStringList{"h"});
}

void TestFelDelimTextModel::validParentIsRefused()
{
    CFelDelimTextModel model;
    QVERIFY(loadBytes(model, "a;b\nc;d\n", false));
    const QModelIndex parent = model.index(0, 0);
    QVERIFY(parent.isValid());
    QCOMPARE(model.rowCount(parent), 0);
    QCOMPARE(model.columnCount(parent), 0);
    QVERIFY(!model.insertRows(0, 1, parent));
    QVERIFY(!model.removeRows(0, 1, parent));
    QVERIFY(!model.insertColumns(0, 1, parent));
    QVERIFY(!model.removeColumns(0, 1, parent));
    QCOMPARE(storedRows(model), (Rows{{"a", "b"}, {"c", "d"}}));
}

void TestFelDelimTextModel::notificationsAreConsistent()
{
    // The tester checks every begin/end pair against the counts the model reports.
    CFelDelimTextModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(loadBytes(model, "h0;h1\na\nb;c;d\n", true));
    QVERIFY(model.insertRows(0, 3));
    QVERIFY(model.insertColumns(1, 2));
    QVERIFY(model.setValue(0, 4, "x"));
    QVERIFY(model.removeColumns(0, 2));
    QVERIFY(model.removeRows(1, 100));
    QVERIFY(model.setHeaderData(2, Qt::Horizontal, "h"));
    model.setHeader({});
    QVERIFY(model.removeColumns(0, model.columnCount()));
    QVERIFY(model.removeRows(0, model.rowCount()));
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 0);
}

QTEST_GUILESS_MAIN(TestFelDelimTextModel)
#include "tst_feldelimtextmodel.moc"
