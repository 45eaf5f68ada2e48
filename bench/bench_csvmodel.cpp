// Load and save throughput of the delimited-text model on a generated 20 MB semicolon file
// with quoted fields, against Python 3's csv module reading the same file as the reference.
#include "console/feldelimtextmodel.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {
constexpr qint64 kFileBytes = 20 * 1024 * 1024;
constexpr int kRuns = 3;
constexpr char kCodec[] = "ISO 8859-1";
const QChar kDelimiter = QLatin1Char(';');
const QChar kQuote = QLatin1Char('"');

// A test-values-like file: a header, then rows of numbers, words and quoted fields holding
// delimiters, doubled quotes and line breaks.
QByteArray generateFile()
{
    QRandomGenerator rng(20261207);
    QByteArray out;
    out.reserve(kFileBytes + 4096);
    out += "Test case;Description;T-Extract;T-Supply;R Air Speed;Humidity;Comment;Result\n";
    static const char* const kWords[] = {"fan",
                                         "vent",
                                         "open",
                                         "closed",
                                         "d\xe9givrage",
                                         "comfort",
                                         "sensor",
                                         "\xb0"
                                         "C"};
    int row = 0;
    while (out.size() < kFileBytes) {
        out += QByteArray::number(++row);
        out += ";\"Case ";
        out += QByteArray::number(row);
        out += "; check \"\"";
        out += kWords[rng.bounded(8)];
        out += "\"\"\";";
        for (int i = 0; i < 4; ++i) {
            out += QByteArray::number(rng.bounded(-400, 400) / 8.0, 'f', 3);
            out += ';';
        }
        if (rng.bounded(10) == 0)
            out += "\"two\r\nlines\"";
        else
            out += kWords[rng.bounded(8)];
        out += ';';
        if (rng.bounded(3) != 0)
            out += "OK";
        out += '\n';
    }
    return out;
}

double mbPerSecond(qint64 bytes, qint64 nsecs)
{
    return nsecs > 0 ? (double(bytes) / (1024.0 * 1024.0)) / (double(nsecs) / 1e9) : 0.0;
}

// Seconds Python needs to read the file into a list of rows (interpreter start not counted),
// or a negative value when Python is not available.
double pythonReadSeconds(const QString& path, int& rows)
{
    const QString script =
        QStringLiteral("import csv,sys,time\n"
                       "t=time.perf_counter()\n"
                       "with open(sys.argv[1], newline='', encoding='latin-1') as f:\n"
                       "    rows=list(csv.reader(f, delimiter=';'))\n"
                       "print(time.perf_counter()-t, len(rows))\n");
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), script, path});
    if (!python.waitForFinished(120000) || python.exitCode() != 0)
        return -1.0;
    const QList<QByteArray> fields = python.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() != 2)
        return -1.0;
    rows = fields.at(1).toInt();
    return fields.at(0).toDouble();
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }
    const QString path = dir.filePath(QStringLiteral("TestValues.csv"));
    const QByteArray content = generateFile();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const qint64 bytes = content.size();
    std::printf("file: %.1f MB\n", double(bytes) / (1024.0 * 1024.0));

    CFelDelimTextModel model;
    qint64 bestLoad = -1;
    for (int run = 0; run < kRuns; ++run) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        QElapsedTimer timer;
        timer.start();
        if (!model.load(&file, true, kDelimiter, kQuote, kCodec))
            return 1;
        const qint64 ns = timer.nsecsElapsed();
        bestLoad = bestLoad < 0 ? ns : std::min(bestLoad, ns);
    }
    std::printf("rows: %d, columns: %d\n", model.rowCount(), model.columnCount());

    qint64 bestSave = -1;
    qint64 savedBytes = 0;
    for (int run = 0; run < kRuns; ++run) {
        QBuffer buffer;
        buffer.buffer().reserve(int(bytes) + 1024 * 1024);
        buffer.open(QIODevice::WriteOnly);
        QElapsedTimer timer;
        timer.start();
        if (!model.save(&buffer, true, kDelimiter, kQuote, kCodec))
            return 1;
        const qint64 ns = timer.nsecsElapsed();
        bestSave = bestSave < 0 ? ns : std::min(bestSave, ns);
        savedBytes = buffer.size();
    }
    QElapsedTimer fileTimer;
    fileTimer.start();
    if (model.saveFile(dir.filePath(QStringLiteral("Saved.csv")), true, kDelimiter, kQuote,
                       kCodec) != CFelDelimTextModel::ESaveResult::Saved)
        return 1;
    const qint64 saveFileNs = fileTimer.nsecsElapsed();

    std::printf("load:            %7.1f MB/s (%.3f s, best of %d)\n", mbPerSecond(bytes, bestLoad),
                double(bestLoad) / 1e9, kRuns);
    std::printf("save to memory:  %7.1f MB/s (%.3f s, best of %d)\n",
                mbPerSecond(savedBytes, bestSave), double(bestSave) / 1e9, kRuns);
    std::printf("save to file:    %7.1f MB/s (%.3f s, QSaveFile incl. commit)\n",
                mbPerSecond(savedBytes, saveFileNs), double(saveFileNs) / 1e9);

    double bestPython = -1.0;
    int pythonRows = 0;
    for (int run = 0; run < kRuns; ++run) {
        const double s = pythonReadSeconds(path, pythonRows);
        if (s < 0)
            break;
        bestPython = bestPython < 0 ? s : std::min(bestPython, s);
    }
    if (bestPython < 0) {
        std::printf("python3 csv:     not available\n");
        return 0;
    }
    std::printf("python3 csv:     %7.1f MB/s (%.3f s, best of %d, %d records incl. header)\n",
                mbPerSecond(bytes, qint64(bestPython * 1e9)), bestPython, kRuns, pythonRows);
    std::printf("load vs python:  %.2fx %s\n", bestPython / (double(bestLoad) / 1e9),
                double(bestLoad) / 1e9 <= bestPython ? "(target met)" : "(target missed)");
    return 0;
}
