#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The tool's command line: options start with "-" or "/", names are case-insensitive, a value
// option takes the next argument as typed. Every argument an option lookup matched (and every
// value it took) is marked consumed; what is left over is reported as unrecognised.
class CCommandLineParser
{
public:
    enum EKind { Flag, Value };

    // `arguments` as the application has them: index 0 is the program path.
    explicit CCommandLineParser(const QStringList& arguments) : m_Arguments(arguments) {}

    // Looks an option up; `found` tells whether it was given. A value option returns its
    // value, or an empty string when it is the last argument.
    QString option(const QString& name, bool& found, EKind kind);
    // Every argument no lookup consumed, each followed by one blank, in command-line order.
    QString unrecognized() const;

private:
    QStringList m_Arguments;
    QMap<int, bool> m_Consumed;
};

// The options of korvath-update, looked up in their fixed order.
struct SStartOptions
{
    bool debug = false;         // -d
    bool manufacturing = false; // -m
    bool forceBoot = false;     // -fb
    bool forceAppl = false;     // -fa
    bool fc = false;            // -fc (accepted, no effect)
    bool owner = false;         // -owner
    bool automatic = false;     // -ap
    bool localeGiven = false;   // -l
    QString locale;
    bool excludedGiven = false; // -ec
    QString excludedPort;
    bool serialGiven = false; // -sn
    QString serialPreset;
    bool bundleGiven = false; // -b: a signed firmware bundle to flash
    QString bundleFile;
    QString unrecognized;

    static SStartOptions parse(const QStringList& arguments);
};
