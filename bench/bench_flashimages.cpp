// Time to build the built-in image list, which the dialog does at every identification and
// upload, against the time to merely read the six resources' bytes.
//
//   bench_flashimages [later builds, default 50]

#include "firmware/flashimagelist.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double medianMs(std::vector<qint64> ns)
{
    std::sort(ns.begin(), ns.end());
    return ns.empty() ? 0.0 : double(ns[ns.size() / 2]) / 1e6;
}

qint64 timeListBuild(int& images)
{
    QElapsedTimer timer;
    timer.start();
    const CFlashImageList list;
    const qint64 ns = timer.nsecsElapsed();
    images = list.images().size();
    return ns;
}

qint64 timeRawRead(qint64& bytes)
{
    QElapsedTimer timer;
    timer.start();
    bytes = 0;
    for (const CFlashImageList::SResource& resource : CFlashImageList::kResources) {
        QFile file(QString::fromLatin1(resource.path));
        if (file.open(QIODevice::ReadOnly))
            bytes += file.readAll().size();
    }
    return timer.nsecsElapsed();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 50;

    int images = 0;
    const qint64 firstBuild = timeListBuild(images);
    qint64 bytes = 0;
    const qint64 firstRead = timeRawRead(bytes);

    std::vector<qint64> builds, reads;
    for (int i = 0; i < runs; ++i) {
        int n = 0;
        builds.push_back(timeListBuild(n));
        qint64 b = 0;
        reads.push_back(timeRawRead(b));
    }

    std::printf("images listed:                 %d of 6\n", images);
    std::printf("first list build in process:   %8.3f ms  (target < 20 ms)\n", firstBuild / 1e6);
    std::printf("later list builds, median:     %8.3f ms  (target < 2 ms, %d runs)\n",
                medianMs(builds), runs);
    std::printf("raw read of the six resources: %8.3f ms first, %.3f ms median (%lld bytes)\n",
                firstRead / 1e6, medianMs(reads), static_cast<long long>(bytes));
    return images == 6 ? 0 : 1;
}
