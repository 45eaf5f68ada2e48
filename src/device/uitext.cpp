#include "uitext.h"

// Placeholder until the table is transcribed.
QString uiText(int index)
{
    (void)index;
    return QString();
}
