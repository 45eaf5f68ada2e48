#include "progressbarobserver.h"

#include <QPointer>
#include <QProgressBar>

SUploadObserver progressBarObserver(QProgressBar* bar)
{
    SUploadObserver observer;
    observer.progress = [guarded = QPointer<QProgressBar>(bar)](int percent) {
        if (!guarded || guarded->value() == percent)
            return;
        guarded->setValue(percent);
        guarded->repaint();
    };
    return observer;
}
