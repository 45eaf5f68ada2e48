#pragma once

#include "cli/clicommandline.h"

class QTextStream;

// Runs one parsed ventaro-cli invocation: takes the single-instance lock for the commands
// that open a port, finds and identifies the unit and runs the command. Results go to `out`,
// messages for the user to `err`. Returns the exit code (cliexit).
int runCli(const SCliOptions& options, QTextStream& out, QTextStream& err);

// The key of the single-instance lock: the service tool's, unless $VENTARO_INSTANCE_KEY names
// another (tests run several instances side by side).
QString instanceKey();
