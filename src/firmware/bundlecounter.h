#pragma once

#include <QString>

// The highest security counter of a firmware bundle this station has accepted, kept in a small
// state file: $VENTARO_BUNDLE_STATE, or ventaro/bundle-counter under the user's data location.
// A file that cannot be read counts as an error, never as 0: a rollback is refused rather
// than let through.
namespace bundlecounter {

QString path();
// 0 when no bundle was accepted yet (no file).
[[nodiscard]] bool highest(qint64& value, QString& error);
// Keeps `counter` when it is higher than the stored one; the file is replaced atomically.
[[nodiscard]] bool raise(qint64 counter, QString& error);

} // namespace bundlecounter
