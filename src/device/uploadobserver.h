#pragma once

#include <functional>

// What an upload tells its caller and asks it, free of any widget: the percentage of the block
// being written, and whether to stop. A stop is asked between packets, never inside an exchange,
// so the port stays open and the unit sees a whole last packet; the upload then fails.
struct SUploadObserver
{
    std::function<void(int percent)> progress; // 0..100 per block; called when it changes
    std::function<bool()> cancelled;           // true: end the upload before the next packet

    void report(int percent) const
    {
        if (progress)
            progress(percent);
    }
    bool cancelRequested() const { return cancelled && cancelled(); }
};
