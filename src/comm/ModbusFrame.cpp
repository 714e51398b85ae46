#include "ModbusFrame.h"

#include "HexText.h"
#include "ModbusChecksum.h"

#include <algorithm>

namespace halvane {

namespace {

// Address, function and exception code.
constexpr size_t kExceptionBareLength = 3;
// The largest MBAP length field of a valid frame: unit identifier + 253 bytes of PDU.
constexpr size_t kMaxMbapLength = kMaxReplyFrameLength - kMbapHeaderLength;

class FrameWriter final {
public:
    explicit FrameWriter(RequestFrame& frame) : m_frame(frame) {}

    void Byte(uint8_t byte) { m_frame.bytes[m_frame.length++] = byte; }
    void Bytes(std::span<const uint8_t> bytes) {
        std::ranges::for_each(bytes, [this](uint8_t byte) { Byte(byte); });
    }
    // Upper-case hexadecimal, high nibble first.
    void Hex(uint8_t byte) {
        Byte(static_cast<uint8_t>(HexDigit(byte >> 4)));
        Byte(static_cast<uint8_t>(HexDigit(byte & 0x0F)));
    }

private:
    RequestFrame& m_frame;
};

void WriteRtu(FrameWriter& out, std::span<const uint8_t> core) {
    const uint16_t crc = ComputeCrc16(core);
    out.Bytes(core);
    out.Byte(static_cast<uint8_t>(crc));
    out.Byte(static_cast<uint8_t>(crc >> 8));
}

void WriteAscii(FrameWriter& out, std::span<const uint8_t> core) {
    out.Byte(':');
    std::ranges::for_each(core, [&out](uint8_t byte) { out.Hex(byte); });
    out.Hex(ComputeLrc(core));
    out.Byte('\r');
    out.Byte('\n');
}

void WriteTcp(FrameWriter& out, std::span<const uint8_t> core, uint16_t transactionId) {
    out.Byte(static_cast<uint8_t>(transactionId >> 8));
    out.Byte(static_cast<uint8_t>(transactionId));
    out.Bytes(std::array<uint8_t, 4>{0x00, 0x00, 0x00, static_cast<uint8_t>(core.size())});
    out.Bytes(core);
}

bool IsException(ModbusProtocol protocol, std::span<const uint8_t> received) {
    const auto function = ReadBareByte(protocol, received, 1);
    return function && *function >= 0x80;
}

// A frame of another transaction is as long as its MBAP header says.
size_t StaleFrameLength(std::span<const uint8_t> received) {
    if (received.size() < kMbapHeaderLength)
        return kMbapHeaderLength;
    const size_t length = size_t{received[4]} << 8 | received[5];
    return kMbapHeaderLength + std::min(length, kMaxMbapLength);
}

} // namespace

FrameLayout LayoutOf(ModbusProtocol protocol) {
    switch (protocol) {
    case ModbusProtocol::Ascii:
        return {.header = 1, .width = 2, .trailer = 4}; // ':' ... LRC CR LF
    case ModbusProtocol::Rtu:
        return {.header = 0, .width = 1, .trailer = 2}; // ... CRC
    case ModbusProtocol::Tcp:
        return {.header = kMbapHeaderLength, .width = 1, .trailer = 0};
    case ModbusProtocol::Modem:
        break;
    }
    return {.header = 0, .width = 1, .trailer = 0}; // the modem's bare frame
}

RequestFrame BuildFrame(const FramedRequest& sent) {
    RequestFrame frame;
    FrameWriter out(frame);
    std::span<const uint8_t> core = sent.request.Core();
    switch (sent.protocol) {
    case ModbusProtocol::Ascii:
        WriteAscii(out, core);
        break;
    case ModbusProtocol::Rtu:
        WriteRtu(out, core);
        break;
    case ModbusProtocol::Tcp:
        WriteTcp(out, core, sent.transactionId);
        break;
    case ModbusProtocol::Modem:
        out.Bytes(core);
        break;
    }
    return frame;
}

size_t BareReplyLength(const ModbusRequest& request) {
    const ModbusFunction function = request.Function();
    if (IsWriteFunction(function))
        return kSingleRequestCoreLength;
    if (IsBitRead(function))
        return 3 + (size_t{request.Quantity()} + 7) / 8;
    return 3 + 2 * size_t{request.Quantity()};
}

size_t ExpectedReplyLength(const FramedRequest& sent) {
    return LayoutOf(sent.protocol).FramedLength(BareReplyLength(sent.request));
}

size_t ExceptionReplyLength(ModbusProtocol protocol) {
    return LayoutOf(protocol).FramedLength(kExceptionBareLength);
}

std::optional<uint8_t> ReadBareByte(ModbusProtocol protocol, std::span<const uint8_t> frame,
                                    size_t index) {
    const FrameLayout layout = LayoutOf(protocol);
    const size_t position = layout.Position(index);
    if (position + layout.width > frame.size())
        return std::nullopt;
    if (layout.width == 2)
        return HexToByte(frame[position], frame[position + 1]);
    return frame[position];
}

bool IsStaleReply(const FramedRequest& sent, std::span<const uint8_t> received) {
    if (sent.protocol != ModbusProtocol::Tcp || received.size() < 2)
        return false;
    return (uint16_t{received[0]} << 8 | received[1]) != sent.transactionId;
}

size_t ReplyFrameLength(const FramedRequest& sent, std::span<const uint8_t> received) {
    if (IsStaleReply(sent, received))
        return StaleFrameLength(received);
    if (IsException(sent.protocol, received))
        return ExceptionReplyLength(sent.protocol);
    return ExpectedReplyLength(sent);
}

} // namespace halvane
