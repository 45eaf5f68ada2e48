// What the tool (or anything on the line) sends, fed to the simulated unit: framed requests
// with arbitrary codes, lengths and flags, raw noise, acknowledgements and time steps. The
// unit must never crash, whatever the order (data before a header, chunks out of order,
// short records, unknown codes).
//
// Input: byte 0 sets the model and the answering software; then records of
//   op, len, len bytes
// op bit 7: 0 = wrap the bytes in a correct packet (bits 0-1 the command, bits 2-6 the
// flags' upper bits), 1 = raw bytes on the line; the low nibble of op also advances the
// clock by op * 37 ms after the record.
#include "engine/devsimengine.h"

#include "fuzzsupport.h"

#include <QtGlobal>

#include <cstdint>

namespace {
QByteArray framed(UINT8 op, const uint8_t* data, UINT16 len)
{
    CLLProtocolPacket p;
    const UINT8 flags = UINT8((op << 2) & 0x70) | (op & 0x01);
    p.SetPacket(UINT8(op & 0x03), flags & LLF_APP, flags & LLF_ACK, flags & LLF_REPEAT,
                std::min<UINT16>(len, 200), data);
    if (flags & LLF_NO_ACK)
        p.SetNoAckExpected();
    QByteArray out;
    for (int chunk = 0;; ++chunk) {
        UINT16 n = 0;
        const UINT8* bytes = p.GetChunk(chunk, n);
        if (!bytes)
            return out;
        out.append(reinterpret_cast<const char*>(bytes), n);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    silenceQtMessages();
    if (size < 1)
        return 0;
    SDevSimIdentity id;
    id.model = (data[0] & 1) ? SDevSimIdentity::EModelPlus : SDevSimIdentity::EModel100;
    id.partner = UINT8(1 + ((data[0] >> 1) % 3));
    id.counterCount = data[0] >> 3;
    SDevSimBehaviour behaviour;
    behaviour.rebootAfterSwapMs = 10;
    behaviour.rebootAfterUploadMs = 10;
    behaviour.rebootPauseMs = 50;
    CDevSimEngine engine(id, behaviour);
    SDevSimFaults faults;
    faults.strayBytes.probability = 0.1;
    faults.lostAck.probability = 0.1;
    faults.wrongLength.probability = 0.1;
    engine.setFaults(faults, data[0]);

    qint64 now = 0;
    size_t pos = 1;
    while (pos + 2 <= size) {
        const UINT8 op = data[pos];
        const UINT16 len = std::min<UINT16>(data[pos + 1], UINT16(size - pos - 2));
        const uint8_t* payload = data + pos + 2;
        pos += 2 + len;
        if (op & 0x80)
            engine.hostBytes(payload, len, now);
        else
            engine.hostBytes(framed(op, payload, len), now);
        now += (op & 0x0F) * 37;
        engine.advanceTo(now);
        engine.takeOutput();
    }
    return 0;
}
