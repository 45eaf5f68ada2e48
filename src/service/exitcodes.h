#pragma once

// Exit codes of ventaro-cli. Scripts on production lines branch on them, so a value never
// changes meaning once released.
namespace cliexit {
constexpr int kOk = 0;             // done; for update: the unit was updated
constexpr int kUsage = 1;          // the command line could not be understood
constexpr int kNoUnit = 2;         // no unit found, its port would not open, or it did not answer
constexpr int kNotUpdatable = 3;   // the update rules refuse this unit, or it needs a step first
constexpr int kTransferFailed = 4; // an image transfer (or the serial number) failed
constexpr int kSwapFailed = 5;     // the bootloader swap failed
constexpr int kNoComeBack = 6;     // the unit did not come back after the reboot pause (or
                                   // another unit came instead)
constexpr int kUpToDate = 7;       // nothing to write
constexpr int kLocked = 8;         // the service tool or another ventaro-cli is running
constexpr int kRequestFailed = 9;  // a report request to the unit failed
constexpr int kRecordFailed = 10;  // the production record could not be written
constexpr int kPlotFailed = 11;    // the chart picture could not be written
constexpr int kDoctorProblem = 12; // doctor found a problem with the set-up
constexpr int kSomeFailed = 13;    // update --all, station: at least one unit failed
constexpr int kNotVerified = 14;   // update: all was written, but the unit does not confirm it
                                   // (another version, a checksum error, the old bootloader
                                   // copy) or did not answer again afterwards
constexpr int kPageFailed = 15;    // update --all, station: the --http page could not be served
constexpr int kBundleRefused = 16; // the firmware bundle was refused (outcome bundle-...), or
                                   // bundle make could not make one
} // namespace cliexit
