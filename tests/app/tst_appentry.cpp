#include "app/commandline.h"
#include "service/singleinstance.h"

#include <QSharedMemory>
#include <QUuid>
#include <QtTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

class tst_AppEntry : public QObject
{
    Q_OBJECT

private slots:
    void options_data();
    void options();
    void liveInstanceIsRefused();
    void staleSegmentOfCrashedInstanceIsCleared();
};

void tst_AppEntry::options_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("flags"); // letters of the flags set: d m b a c o p
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("excluded");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("unrecognized");
    QTest::addColumn<bool>("excludedFound");

    QTest::addRow("none") << QStringList{} << ""
                          << ""
                          << ""
                          << ""
                          << "" << false;
    QTest::addRow("case and prefix") << QStringList{"-D", "/OWNER", "/m"} << "dmo"
                                     << ""
                                     << ""
                                     << ""
                                     << "" << false;
    QTest::addRow("all flags") << QStringList{"-d", "-m", "-fb", "-fa", "-fc", "-owner", "-ap"}
                               << "dmbacop"
                               << ""
                               << ""
                               << ""
                               << "" << false;
    QTest::addRow("double dash and name=value") << QStringList{"--d", "-d=1", "-m"} << "m"
                                                << ""
                                                << ""
                                                << ""
                                                << "--d -d=1 " << false;
    QTest::addRow("repeated flag") << QStringList{"-fb", "-fb"} << "b"
                                   << ""
                                   << ""
                                   << ""
                                   << "" << false;
    QTest::addRow("repeated value option") << QStringList{"-sn", "A", "-sn", "B"} << ""
                                           << ""
                                           << ""
                                           << "A"
                                           << "-sn B " << false;
    QTest::addRow("value as last argument") << QStringList{"-ap", "-ec"} << "p"
                                            << ""
                                            << ""
                                            << ""
                                            << "" << true;
    QTest::addRow("value taken as typed") << QStringList{"-EC", "Com7", "-l", "de_DE"} << ""
                                          << "de_DE"
                                          << "Com7"
                                          << ""
                                          << "" << true;
    QTest::addRow("value that looks like an option") << QStringList{"-l", "-d"} << "d"
                                                     << "-d"
                                                     << ""
                                                     << ""
                                                     << "" << false;
    QTest::addRow("no abbreviation") << QStringList{"-own", "-a", "x"} << ""
                                     << ""
                                     << ""
                                     << ""
                                     << "-own -a x " << false;
}

void tst_AppEntry::options()
{
    QFETCH(QStringList, args);
    QFETCH(QString, flags);
    QFETCH(QString, locale);
    QFETCH(QString, excluded);
    QFETCH(QString, serial);
    QFETCH(QString, unrecognized);
    QFETCH(bool, excludedFound);

    const SStartOptions o = SStartOptions::parse(QStringList{"/usr/bin/korvath-update"} + args);
    QString set;
    if (o.debug)
        set += 'd';
    if (o.manufacturing)
        set += 'm';
    if (o.forceBoot)
        set += 'b';
    if (o.forceAppl)
        set += 'a';
    if (o.fc)
        set += 'c';
    if (o.owner)
        set += 'o';
    if (o.automatic)
        set += 'p';
    QCOMPARE(set, flags);
    QCOMPARE(o.locale, locale);
    QCOMPARE(o.excludedPort, excluded);
    QCOMPARE(o.serialPreset, serial);
    QCOMPARE(o.unrecognized, unrecognized);
    QCOMPARE(o.excludedGiven, excludedFound);
}

void tst_AppEntry::liveInstanceIsRefused()
{
    const QString key = "ventaro-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    CSingleInstanceGuard first(key);
    QVERIFY(first.acquire());
    CSingleInstanceGuard second(key);
    QVERIFY(!second.acquire());
    // The sibling tool takes the lock with a plain create: refused as well.
    QSharedMemory sibling(key);
    QVERIFY(!sibling.create(1));
}

void tst_AppEntry::staleSegmentOfCrashedInstanceIsCleared()
{
    const QString key = "ventaro-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    const pid_t child = fork();
    if (child == 0) {
        auto* held = new QSharedMemory(key);
        if (!held->create(1))
            _exit(3);
        ::raise(SIGKILL);
        _exit(4);
    }
    int status = 0;
    waitpid(child, &status, 0);
    QVERIFY(WIFSIGNALED(status));
    // A plain create fails: the crashed holder left its segment behind.
    {
        QSharedMemory plain(key);
        QVERIFY(!plain.create(1));
    }
    CSingleInstanceGuard guard(key);
    QVERIFY(guard.acquire());
}

QTEST_GUILESS_MAIN(tst_AppEntry)
#include "tst_appentry.moc"
