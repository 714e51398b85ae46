#pragma once

#include "ModbusRequest.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace halvane {

// Where a framing puts the bare bytes (address, function, fields) of a frame:
// `header` characters before them, `width` characters per byte and `trailer` characters
// after them. Every difference in the length and the positions of frames lives here.
struct FrameLayout {
    size_t header;
    size_t width;
    size_t trailer;

    constexpr size_t FramedLength(size_t bareLength) const {
        return header + width * bareLength + trailer;
    }
    // The first character of bare byte `index`.
    constexpr size_t Position(size_t index) const { return header + width * index; }

    bool operator==(const FrameLayout&) const = default;
};

FrameLayout LayoutOf(ModbusProtocol protocol);

// The MBAP header before the unit identifier: transaction identifier, protocol
// identifier 0x0000 and the length of what follows.
constexpr size_t kMbapHeaderLength = 6;
// The longest request: ASCII, 1 + 2 × kMaxRequestCoreLength + 2 + 2 characters.
constexpr size_t kMaxRequestFrameLength = 1 + 2 * kMaxRequestCoreLength + 2 + 2;
// The longest Modbus TCP frame, as a reply of another transaction may take it: MBAP
// header, unit identifier and at most 253 bytes of PDU.
constexpr size_t kMaxReplyFrameLength = 260;
// The most data bytes a read reply carries: 125 registers or 2000 bits.
constexpr size_t kMaxReadDataLength = 250;
// The longest reply ReplyFrameLength asks for: in ASCII, ':' + address, function, byte
// count and kMaxReadDataLength data bytes as hexadecimal pairs + LRC + CR LF.
constexpr size_t kMaxReceiveLength = 1 + 2 * (3 + kMaxReadDataLength) + 4;

// A request as it goes on the wire, in a fixed buffer; the bytes past `length` are 0.
struct RequestFrame {
    std::array<uint8_t, kMaxRequestFrameLength> bytes{};
    size_t length = 0;

    std::span<const uint8_t> View() const { return {bytes.data(), length}; }
    bool operator==(const RequestFrame&) const = default;
};

// What a reply is matched against: the request, the protocol it went out in and, for
// Modbus TCP, the transaction identifier of its MBAP header (ignored otherwise).
struct FramedRequest {
    ModbusProtocol protocol;
    ModbusRequest request;
    uint16_t transactionId = 0;

    bool operator==(const FramedRequest&) const = default;
};

// RTU: core + CRC-16 (low byte first), 8 bytes. ASCII: ':' + the core in upper-case
// hexadecimal + its LRC in hexadecimal + CR LF, 17 characters. TCP: transaction
// identifier (high, low) + 0x0000 + length 0x0006 + core (its first byte is the unit
// identifier), 12 bytes. Modem: the core as it is, 6 bytes. A multiple write's longer
// core makes each frame longer by as many bytes (characters in ASCII).
RequestFrame BuildFrame(const FramedRequest& sent);

// The reply without framing: address and function, then byte count and data (reads;
// one data byte per 8 bits for the bit reads, 2 × quantity for the register reads) or
// the echo of the register address and value (single writes) or count (multiple writes).
size_t BareReplyLength(const ModbusRequest& request);
// The length of the regular reply to `sent` in its framing, known before sending.
size_t ExpectedReplyLength(const FramedRequest& sent);
// The length of an exception reply (address, function with bit 7 set, exception code):
// RTU 5, ASCII 11, TCP 9, modem 3.
size_t ExceptionReplyLength(ModbusProtocol protocol);

// Bare byte `index` of a received frame; nothing when its characters do not all lie
// within `frame`. ASCII pairs are decoded with HexToByte.
std::optional<uint8_t> ReadBareByte(ModbusProtocol protocol, std::span<const uint8_t> frame,
                                    size_t index);

// Modbus TCP only: at least two bytes arrived and they are not the request's
// transaction identifier, so the reply answers an earlier request (one that timed out).
bool IsStaleReply(const FramedRequest& sent, std::span<const uint8_t> received);

// How many bytes the reply that `received` begins with takes, as far as its first bytes
// tell: the exception reply's length once its function byte shows bit 7, for Modbus TCP
// a frame of another transaction's length (6 + its MBAP length field, at most
// kMaxReplyFrameLength) once its transaction identifier differs, else the expected
// length (at most kMaxReceiveLength). Read until this many bytes are there; from then on
// the answer stays the same however many more arrive.
size_t ReplyFrameLength(const FramedRequest& sent, std::span<const uint8_t> received);

} // namespace halvane
