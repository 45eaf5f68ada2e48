#pragma once

#include "device/uploadobserver.h"

class QProgressBar;

// An upload observer that drives a progress bar (repainted at once: the upload blocks the
// event loop between chunks). The bar may be deleted meanwhile, or be null; nothing is stopped.
SUploadObserver progressBarObserver(QProgressBar* bar);
