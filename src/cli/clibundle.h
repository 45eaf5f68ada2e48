#pragma once

#include <QtGlobal>

class CFirmwareBundle;
class QTextStream;
struct SCliOptions;

// `ventaro-cli bundle verify FILE` and `bundle make FOLDER`: the exit code (cliexit).
int runBundle(const SCliOptions& options, QTextStream& out, QTextStream& err);

// update --bundle and station --bundle: the bundle checked and put in use before any unit is
// touched. 0 when it is in use (or none was given), else the exit code after the outcome was
// printed. A worker takes only the very file its coordinator checked (--bundle-sha256).
// `plantCounter`: the highest counter the plant's database record holds (0 without one).
int useBundle(const SCliOptions& options, CFirmwareBundle& bundle, QTextStream& out,
              qint64 plantCounter = 0);
