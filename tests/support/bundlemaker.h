#pragma once

// Signed firmware bundles for tests: a key pair made by Debian's minisign in a temporary folder
// (trusted through VENTARO_TRUSTED_KEYS_DIR, with the counter of accepted bundles there too),
// and releases packed by `ventaro-cli bundle make --sign`. The environment is restored, and
// the built-in images are in use again, when the maker goes.

#include "firmware/flashimagelist.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

class BundleMaker
{
public:
    BundleMaker()
    {
        QDir().mkpath(m_Dir.filePath("trusted"));
        qputenv("VENTARO_TRUSTED_KEYS_DIR", m_Dir.filePath("trusted").toUtf8());
        qputenv("VENTARO_BUNDLE_STATE", m_Dir.filePath("counter").toUtf8());
        m_Ready =
            run("minisign", {"-G", "-W", "-s", key(true), "-p", m_Dir.filePath("trusted/k.pub")}) &&
            run("minisign", {"-G", "-W", "-s", key(false), "-p", m_Dir.filePath("x.pub")});
    }
    ~BundleMaker()
    {
        qunsetenv("VENTARO_TRUSTED_KEYS_DIR");
        qunsetenv("VENTARO_BUNDLE_STATE");
        CFlashImageList::useBuiltIn();
    }
    BundleMaker(const BundleMaker&) = delete;
    BundleMaker& operator=(const BundleMaker&) = delete;

    bool ready() const { return m_Ready; }

    // A bundle of the built-in image `image` (ventaroplus, Application, ...) at version
    // 2.`subVer`, signed by the trusted key or by one nobody trusts; empty on failure.
    QString make(const QString& image, int subVer, int counter, bool trusted = true)
    {
        const QString name =
            QStringLiteral("%1-%2-%3-%4").arg(image).arg(subVer).arg(counter).arg(trusted);
        const QString folder = m_Dir.filePath(name);
        QDir().mkpath(folder);
        QFile source(QStringLiteral("%1/images/%2.ini")
                         .arg(qEnvironmentVariable("VENTARO_SOURCE_DIR"), image));
        QFile copy(folder + '/' + image + ".ini");
        if (!source.open(QIODevice::ReadOnly) || !copy.open(QIODevice::WriteOnly))
            return {};
        copy.write(source.readAll().replace("SubVer=24", "SubVer=" + QByteArray::number(subVer)));
        copy.close();
        const QString vfw = m_Dir.filePath(name + ".vfw");
        const QString cli =
            QDir(qEnvironmentVariable("VENTARO_BUILD_DIR")).filePath("src/ventaro-cli");
        const bool made =
            run(cli, {"bundle", "make", folder, "--release", QStringLiteral("2.%1").arg(subVer),
                      "--counter", QString::number(counter), "--sign", key(trusted), "--out", vfw});
        return made ? vfw : QString();
    }
    QString path(const QString& name) const { return m_Dir.filePath(name); }

private:
    QString key(bool trusted) const { return m_Dir.filePath(trusted ? "k.key" : "x.key"); }
    static bool run(const QString& program, const QStringList& args)
    {
        QProcess p;
        p.start(program, args);
        return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    }

    QTemporaryDir m_Dir;
    bool m_Ready = false;
};
