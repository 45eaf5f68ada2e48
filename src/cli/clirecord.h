#pragma once

class QTextStream;
struct SCliOptions;

// `ventaro-cli record init|sync|stats`: the exit code (cliexit).
int runRecord(const SCliOptions& options, QTextStream& out, QTextStream& err);
