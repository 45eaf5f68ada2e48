#pragma once

#include "cli/clicommandline.h"

class QCommandLineParser;

// The commands with actions of their own: what follows `record` and `bundle`, and the options
// each action takes. False with `error` set for a command line they do not take.
namespace clisubcommands {

// `record init|sync|stats`.
[[nodiscard]] bool parseRecord(const QCommandLineParser& parser, SCliOptions& o, QString& error);
// `bundle verify FILE` and `bundle make FOLDER`.
[[nodiscard]] bool parseBundle(const QCommandLineParser& parser, SCliOptions& o, QString& error);

} // namespace clisubcommands
