// Replays a fuzz target's corpus, then a fixed set of seeded random inputs, so CTest can
// exercise every fuzz target without libFuzzer.
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cstdint>
#include <cstdio>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(VENTARO_CORPUS_DIR);
    int replayed = 0;
    const QStringList files = QDir(dir).entryList(QDir::Files, QDir::Name);
    for (const QString& name : files) {
        QFile file(QDir(dir).filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                               size_t(bytes.size()));
        ++replayed;
    }
    QRandomGenerator rng(20261207);
    const int randomRuns = 2000;
    std::vector<uint8_t> input;
    for (int run = 0; run < randomRuns; ++run) {
        input.resize(rng.bounded(1, 1500));
        for (auto& byte : input)
            byte = uint8_t(rng.bounded(256));
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%d corpus inputs and %d random inputs replayed from %s\n", replayed, randomRuns,
                qPrintable(dir));
    return 0;
}
