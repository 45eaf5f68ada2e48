#pragma once

#include "cli/clicommandline.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>

class QCommandLineParser;

// The options of ventaro-cli, which command takes which, and the help texts made from them.
namespace clioptions {

extern const QCommandLineOption kPortOption;
extern const QCommandLineOption kVerboseOption;
extern const QCommandLineOption kHelpOption;
extern const QCommandLineOption kJsonOption;
extern const QCommandLineOption kForceBootOption;
extern const QCommandLineOption kForceApplOption;
extern const QCommandLineOption kSerialOption;
extern const QCommandLineOption kStartupOption;
extern const QCommandLineOption kRecordOption;
extern const QCommandLineOption kSpoolOption;
extern const QCommandLineOption kSinceOption;
extern const QCommandLineOption kRebootTimeoutOption;
extern const QCommandLineOption kAllOption;
extern const QCommandLineOption kJobsOption;
extern const QCommandLineOption kHttpOption;
extern const QCommandLineOption kHttpNameOption;
extern const QCommandLineOption kHttpOriginOption;
extern const QCommandLineOption kStationOption;
extern const QCommandLineOption kOperatorOption;
extern const QCommandLineOption kWorkerOption;
extern const QCommandLineOption kExpectOption;
extern const QCommandLineOption kAttemptOption;
extern const QCommandLineOption kSpanOption;
extern const QCommandLineOption kYoungestOption;
extern const QCommandLineOption kOldestOption;
extern const QCommandLineOption kFormatOption;
extern const QCommandLineOption kPlotOption;
extern const QCommandLineOption kSizeOption;
extern const QCommandLineOption kBundleOption;
extern const QCommandLineOption kBundleShaOption;
extern const QCommandLineOption kReleaseOption;
extern const QCommandLineOption kCounterOption;
extern const QCommandLineOption kNotesEnOption;
extern const QCommandLineOption kNotesDeOption;
extern const QCommandLineOption kSignOption;
extern const QCommandLineOption kOutOption;

// The options `command` takes besides --port, --verbose and --help.
QList<QCommandLineOption> commandOptions(SCliOptions::ECommand command);
// Every option of every command, so that a value after an option is never taken for the
// command name.
QList<QCommandLineOption> allOptions();
void addOptions(QCommandLineParser& parser, SCliOptions::ECommand command);
SCliOptions::ECommand commandByName(const QString& name);
QString generalHelp(const QString& program);
QString commandHelp(const QString& program, SCliOptions::ECommand command);

} // namespace clioptions
