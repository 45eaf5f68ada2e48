#pragma once

class CLLProtocolPacket;
class QTextEdit;

// Device debug messages (command LLC_DEBUG): type 1 a signed INT32, type 2 a zero-terminated
// UTF-8 text. Takes a complete, correct debug packet out of the stream: shows its content in
// `output` (when given, repainted at once since the GUI thread is blocked in the exchange),
// logs it and resets the packet. Returns false and leaves the packet untouched for anything
// else.
bool ProcessDebugMsg(CLLProtocolPacket& packet, QTextEdit* output);
