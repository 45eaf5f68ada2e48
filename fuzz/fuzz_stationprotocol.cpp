// What a station's coordinator and its workers read from each other: the hand-over lines a
// worker reads on stdin, and the probe's answer the coordinator reads (one JSON line). The first
// byte picks the reader (bit 0); the rest is the line.
#include "station/stationprotocol.h"

#include "fuzzsupport.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    silenceQtMessages();
    if (size == 0)
        return 0;
    const QByteArray line(reinterpret_cast<const char*>(data + 1), int(size - 1));
    if (data[0] & 1) {
        SHLP_IdentData ident;
        if (stationprotocol::parseIdent(QJsonDocument::fromJson(line).object(), ident)) {
            // What was read is written back the same way.
            SHLP_IdentData again;
            const QJsonObject event =
                QJsonDocument::fromJson(stationprotocol::identLine(ident)).object();
            if (!stationprotocol::parseIdent(event, again) || again.m_SerialNo != ident.m_SerialNo)
                std::abort();
        }
        return 0;
    }
    // A stop that names a twin reads back with the same text.
    QString twin;
    if (stationprotocol::isStop(line, &twin) && !twin.isEmpty()) {
        QString again;
        if (!stationprotocol::isStop(stationprotocol::stopLine(twin), &again) ||
            again != twin.simplified())
            std::abort();
    }
    int wait = 0;
    QString port;
    if (stationprotocol::parseHandOver(line, wait, port)) {
        if (wait < 1 || port.isEmpty())
            std::abort();
        int again = 0;
        QString same;
        if (!stationprotocol::parseHandOver(stationprotocol::handOverLine(wait, port), again,
                                            same) ||
            again != wait || same != port)
            std::abort();
    }
    return 0;
}
