#include "ModbusReply.h"

#include "HexText.h"
#include "ModbusChecksum.h"

#include <algorithm>
#include <optional>

namespace halvane {

namespace {

using Check = std::optional<ReplyFailure>;

constexpr uint8_t kExceptionBit = 0x80;

// Bare byte `index` of a reply that the length check has already found long enough.
uint8_t Bare(ModbusProtocol protocol, std::span<const uint8_t> reply, size_t index) {
    return ReadBareByte(protocol, reply, index).value_or(0);
}

Check CheckCrc(std::span<const uint8_t> reply) {
    const size_t n = reply.size();
    const uint16_t received = static_cast<uint16_t>(reply[n - 2] | reply[n - 1] << 8);
    if (ComputeCrc16(reply.first(n - 2)) == received)
        return std::nullopt;
    return ReplyFailure{ReplyFault::InvalidCrc};
}

// The LRC covers the bare reply: for a write the echo of the request, for a read the
// address, function, byte count and as many data bytes as the reply's own byte count
// says. A span that runs past the frame cannot match.
Check CheckLrc(const ModbusRequest& request, std::span<const uint8_t> reply) {
    constexpr auto kAscii = ModbusProtocol::Ascii;
    const size_t covered = IsWriteFunction(request.Function()) ? BareReplyLength(request)
                                                               : 3 + size_t{Bare(kAscii, reply, 2)};
    if (LayoutOf(kAscii).Position(covered) > reply.size())
        return ReplyFailure{ReplyFault::InvalidLrc};
    std::array<uint8_t, kMaxReplyFrameLength> bare{};
    for (size_t i = 0; i < covered; ++i)
        bare[i] = Bare(kAscii, reply, i);
    const size_t n = reply.size();
    if (ComputeLrc(std::span(bare).first(covered)) == HexToByte(reply[n - 4], reply[n - 3]))
        return std::nullopt;
    return ReplyFailure{ReplyFault::InvalidLrc};
}

// A Modbus TCP frame carries no checksum: the MBAP protocol identifier (always 0), the
// length field (the bytes after it) and a read's byte count (the data bytes after it) are
// what shows it whole, so they fail as a checksum does.
Check CheckMbap(const ModbusRequest& request, std::span<const uint8_t> reply) {
    constexpr size_t kProtocolIdPosition = 2;
    constexpr size_t kLengthPosition = 4;
    const auto field = [reply](size_t position) {
        return size_t{reply[position]} << 8 | reply[position + 1];
    };
    const size_t bareLength = reply.size() - kMbapHeaderLength;
    const bool countFits = IsWriteFunction(request.Function()) ||
                           size_t{Bare(ModbusProtocol::Tcp, reply, 2)} == bareLength - 3;
    if (field(kProtocolIdPosition) == 0 && field(kLengthPosition) == bareLength && countFits)
        return std::nullopt;
    return ReplyFailure{ReplyFault::InvalidCrc};
}

Check CheckChecksum(const FramedRequest& sent, std::span<const uint8_t> reply) {
    switch (sent.protocol) {
    case ModbusProtocol::Rtu:
        return CheckCrc(reply);
    case ModbusProtocol::Ascii:
        return CheckLrc(sent.request, reply);
    case ModbusProtocol::Tcp:
        return CheckMbap(sent.request, reply);
    case ModbusProtocol::Modem: // the bare frame carries none
        break;
    }
    return std::nullopt;
}

// Start character, exception, checksum and end of frame, in this order.
Check CheckFraming(const FramedRequest& sent, std::span<const uint8_t> reply, bool ignoreChecksum) {
    const ModbusProtocol protocol = sent.protocol;
    const bool ascii = protocol == ModbusProtocol::Ascii;
    if (ascii && reply.front() != ':')
        return ReplyFailure{ReplyFault::NoStartCharacter};
    if (Bare(protocol, reply, 1) >= kExceptionBit)
        return ReplyFailure{ReplyFault::Exception, Bare(protocol, reply, 2)};
    if (!ignoreChecksum) {
        if (Check failure = CheckChecksum(sent, reply))
            return failure;
    }
    if (ascii && !(reply[reply.size() - 2] == '\r' && reply.back() == '\n'))
        return ReplyFailure{ReplyFault::NoEndOfFrame};
    return std::nullopt;
}

Check CheckAddressing(const FramedRequest& sent, std::span<const uint8_t> reply) {
    if (Bare(sent.protocol, reply, 0) != sent.request.ModuleAddr())
        return ReplyFailure{ReplyFault::InvalidModuleAddress};
    if (Bare(sent.protocol, reply, 1) != static_cast<uint8_t>(sent.request.Function()))
        return ReplyFailure{ReplyFault::InvalidFunctionCode};
    // A slave that took other registers than asked wrote somewhere else: that is no success.
    if (sent.request.Function() == ModbusFunction::WriteMultipleRegisters) {
        const auto core = sent.request.Core();
        for (size_t i = 2; i < kSingleRequestCoreLength; ++i)
            if (Bare(sent.protocol, reply, i) != core[i])
                return ReplyFailure{ReplyFault::InvalidEcho};
    }
    return std::nullopt;
}

// Data bytes start after address, function and byte count. A read takes as many as the
// request asked for, whatever the reply's byte count says.
ReplyData Data(const FramedRequest& sent, std::span<const uint8_t> reply) {
    constexpr size_t kFirstData = 3;
    ReplyData data;
    if (IsWriteFunction(sent.request.Function()))
        return data;
    data.length = std::min(BareReplyLength(sent.request) - kFirstData, data.bytes.size());
    for (size_t i = 0; i < data.length; ++i)
        data.bytes[i] = Bare(sent.protocol, reply, kFirstData + i);
    return data;
}

} // namespace

std::string FailureText(const ReplyFailure& failure) {
    switch (failure.fault) {
    case ReplyFault::Timeout:
        return "Read: Timeout";
    case ReplyFault::TooFewBytes:
        return "Read: Too few bytes received";
    case ReplyFault::NoStartCharacter:
        return "Read: No start character ':'";
    case ReplyFault::Exception:
        return std::string("Exception code ") + HexDigit(failure.exceptionCode >> 4) +
               HexDigit(failure.exceptionCode & 0x0F);
    case ReplyFault::InvalidCrc:
        return "Read: Invalid CRC";
    case ReplyFault::InvalidLrc:
        return "Read: Invalid LRC";
    case ReplyFault::NoEndOfFrame:
        return "Read: No end of frame 0D0A";
    case ReplyFault::InvalidModuleAddress:
        return "Read: Invalid module address";
    case ReplyFault::InvalidFunctionCode:
        return "Read: Invalid function code";
    case ReplyFault::InvalidEcho:
        return "Read: Invalid echo";
    }
    return {};
}

ReplyDataResult CheckReplyData(const FramedRequest& sent, std::span<const uint8_t> received,
                               bool ignoreChecksum) {
    if (IsStaleReply(sent, received))
        return StaleReply{};
    const size_t length = ReplyFrameLength(sent, received);
    if (received.size() < length)
        return ReplyFailure{received.empty() ? ReplyFault::Timeout : ReplyFault::TooFewBytes};
    const auto reply = received.first(length);
    if (Check failure = CheckFraming(sent, reply, ignoreChecksum))
        return *failure;
    if (Check failure = CheckAddressing(sent, reply))
        return *failure;
    return Data(sent, reply);
}

ReplyResult CheckReply(const FramedRequest& sent, std::span<const uint8_t> received,
                       bool ignoreChecksum) {
    const ReplyDataResult result = CheckReplyData(sent, received, ignoreChecksum);
    if (const auto* data = std::get_if<ReplyData>(&result))
        return SliceValues(sent.request.Function(), data->View(), 0, sent.request.Quantity());
    if (const auto* failure = std::get_if<ReplyFailure>(&result))
        return *failure;
    return StaleReply{};
}

} // namespace halvane
