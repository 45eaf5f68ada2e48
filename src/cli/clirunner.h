#pragma once

// ventaro-cli, the headless front end: this layer owns the command line (its parsing, help and
// exit codes' meaning for scripts), the runner that takes the lock and runs a command, the texts
// it prints, and the single-unit commands (identify, plan, update, the reports, doctor, record).
// It formats and asks: the update rules and sequence come from the service layer, many units at
// once from the station, the production record from the record layer.

#include "cli/clicommandline.h"

class QTextStream;

// Runs one parsed ventaro-cli invocation: takes the single-instance lock for the commands
// that open a port, finds and identifies the unit and runs the command. Results go to `out`,
// messages for the user to `err`. Returns the exit code (cliexit).
int runCli(const SCliOptions& options, QTextStream& out, QTextStream& err);

// The key of the single-instance lock: the service tool's, unless $VENTARO_INSTANCE_KEY names
// another (tests run several instances side by side).
QString instanceKey();
