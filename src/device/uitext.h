#pragma once

#include <QString>

// The tool's two-language text table (200 entries, English and German), used by the main
// dialog and for counter and value names. The language follows the default locale's language
// and is decided on every call. Indexes outside the table give an empty string.
QString uiText(int index);
