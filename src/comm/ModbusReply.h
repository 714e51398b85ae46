#pragma once

#include "ModbusFrame.h"
#include "ReplyValues.h"
#include "ValueConversion.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <variant>

namespace halvane {

// Why a reply was refused, in the order the checks run.
enum class ReplyFault : uint8_t {
    Timeout,              // no byte arrived
    TooFewBytes,          // some bytes, fewer than the reply needs
    NoStartCharacter,     // ASCII: the first character is not ':'
    Exception,            // the function byte has bit 7 set
    InvalidCrc,           // RTU; TCP: protocol identifier, length or byte count
    InvalidLrc,           // ASCII
    NoEndOfFrame,         // ASCII: not ending in CR LF
    InvalidModuleAddress, // another slave answered
    InvalidFunctionCode,  // the reply is for another function
    InvalidEcho,          // a multiple write echoed another register address or count
};

struct ReplyFailure {
    ReplyFault fault;
    uint8_t exceptionCode = 0; // for ReplyFault::Exception

    bool operator==(const ReplyFailure&) const = default;
};

// The status text a tag shows for a refused reply, e.g. "Read: Invalid CRC" or
// "Exception code 02".
std::string FailureText(const ReplyFailure& failure);

// A Modbus TCP reply that belongs to another transaction: drop its ReplyFrameLength
// bytes and go on reading.
struct StaleReply {
    bool operator==(const StaleReply&) const = default;
};

// A reply that passed every check carries its data (none for a write).
using ReplyDataResult = std::variant<ReplyData, ReplyFailure, StaleReply>;
// The same for a one-tag read: the value buffer of its data (all zero for a write).
using ReplyResult = std::variant<ValueBuffer, ReplyFailure, StaleReply>;

// Checks the bytes received for `sent`, examining only the first
// ReplyFrameLength(sent, received) of them (anything after belongs to a later frame).
// Stale (TCP), then the length, then by framing: ':' (ASCII), exception, checksum
// (skipped when `ignoreChecksum`; for TCP, which has none, the MBAP protocol identifier
// and length and a read's byte count stand in for it), CR LF (ASCII); then address and
// function. A single write's echo is not compared with the request; a multiple write's
// register address and count are. Never reads outside `received`.
ReplyDataResult CheckReplyData(const FramedRequest& sent, std::span<const uint8_t> received,
                               bool ignoreChecksum);
// CheckReplyData for a request of one tag. The value buffer of a bit read holds bit 0 of
// the first data byte in byte 0; that of a register read holds the request's 2 × count
// data bytes in reverse order, so that it reads as a little-endian integer equal to the
// data read big-endian.
ReplyResult CheckReply(const FramedRequest& sent, std::span<const uint8_t> received,
                       bool ignoreChecksum);

} // namespace halvane
