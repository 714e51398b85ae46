#include "ModbusChecksum.h"
#include "ModbusReply.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <optional>
#include <random>
#include <sstream>

namespace halvane {
namespace {

using enum ModbusProtocol;
using Bytes = std::vector<uint8_t>;

// Frames a bare reply the way a slave does.
Bytes FrameReply(const FramedRequest& sent, const Bytes& bare) {
    Bytes frame;
    switch (sent.protocol) {
    case Rtu: {
        frame = bare;
        const uint16_t crc = ComputeCrc16(bare);
        frame.push_back(crc & 0xFF);
        frame.push_back(crc >> 8);
        break;
    }
    case Ascii: {
        const auto hex = [&frame](uint8_t byte) {
            frame.push_back("0123456789ABCDEF"[byte >> 4]);
            frame.push_back("0123456789ABCDEF"[byte & 0x0F]);
        };
        frame.push_back(':');
        std::ranges::for_each(bare, hex);
        hex(ComputeLrc(bare));
        frame.push_back('\r');
        frame.push_back('\n');
        break;
    }
    case Tcp:
        frame = {uint8_t(sent.transactionId >> 8), uint8_t(sent.transactionId & 0xFF), 0, 0,
                 uint8_t(bare.size() >> 8),        uint8_t(bare.size() & 0xFF)};
        frame.insert(frame.end(), bare.begin(), bare.end());
        break;
    case Modem:
        frame = bare;
        break;
    }
    return frame;
}

class ReplyFuzzer final {
public:
    explicit ReplyFuzzer(uint32_t seed) : m_random(seed) {}

    FramedRequest Request() {
        constexpr int kByteLengths[] = {0, 1, 2, 4, 8};
        const auto function = *FunctionFromIndex(Below(6));
        const int moduleAddr = Below(10) == 0 ? 256 + Below(50) : Below(256);
        const auto request = ModbusRequest::Make(function, moduleAddr, Below(0x10000),
                                                 kByteLengths[Below(5)], Byte() << 8 | Byte());
        return {static_cast<ModbusProtocol>(Below(4)), request, uint16_t(Byte() << 8 | Byte())};
    }

    // The data bytes of a regular reply to `request`.
    Bytes Data(const ModbusRequest& request) {
        if (IsWriteFunction(request.Function()))
            return {request.Core().begin() + 2, request.Core().end()};
        return RandomBytes(IsBitRead(request.Function()) ? 1 : 2 * request.Count());
    }

    static Bytes RegularBare(const ModbusRequest& request, const Bytes& data) {
        Bytes bare{request.Core()[0], request.Core()[1]};
        if (!IsWriteFunction(request.Function()))
            bare.push_back(uint8_t(data.size()));
        bare.insert(bare.end(), data.begin(), data.end());
        return bare;
    }

    // A reply of one of several kinds: regular, corrupted, exception, foreign, noise.
    Bytes Reply(const FramedRequest& sent, const Bytes& regular) {
        switch (Below(7)) {
        case 0:
            return regular;
        case 1:
            return Corrupted(regular);
        case 2:
            return FrameReply(
                sent, {sent.request.Core()[0], uint8_t(sent.request.Core()[1] | 0x80), Byte()});
        case 3:
            return RandomBytes(Below(40));
        case 4:
            return Corrupted(FrameReply(sent, RandomBytes(Below(12))));
        case 5: {
            // A frame of another transaction, its length field anything.
            Bytes frame = RandomBytes(6 + Below(300));
            frame[0] = uint8_t(sent.transactionId >> 8) ^ uint8_t(1 + Below(255));
            return frame;
        }
        default: {
            Bytes longer = regular;
            const Bytes tail = RandomBytes(1 + Below(20));
            longer.insert(longer.end(), tail.begin(), tail.end());
            return longer;
        }
        }
    }

    bool Coin() { return Below(2) == 0; }

private:
    int Below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(m_random); }
    uint8_t Byte() { return uint8_t(Below(256)); }

    Bytes RandomBytes(size_t count) {
        Bytes bytes(count);
        std::ranges::generate(bytes, [this] { return Byte(); });
        return bytes;
    }

    Bytes Corrupted(Bytes bytes) {
        if (bytes.empty())
            return bytes;
        for (int flips = 1 + Below(3); flips > 0; --flips)
            bytes[size_t(Below(int(bytes.size())))] ^= uint8_t(1 + Below(255));
        return bytes;
    }

    std::mt19937 m_random;
};

// A copy in a heap block of its exact size, so that AddressSanitizer reports any read
// past its end.
Bytes Exact(std::span<const uint8_t> bytes) {
    return {bytes.begin(), bytes.end()};
}

std::string Describe(const FramedRequest& sent, std::span<const uint8_t> received, bool ignore) {
    std::ostringstream out;
    out << "protocol " << int(sent.protocol) << ", core "
        << ::testing::PrintToString(sent.request.Core()) << ", id " << sent.transactionId
        << (ignore ? ", checksum ignored" : "") << ", received "
        << ::testing::PrintToString(Exact(received));
    return out.str();
}

// What must hold for any bytes: the frame length is bounded and final once reached, bytes
// after the frame change nothing, a short frame is a length failure (or foreign).
std::optional<std::string> ContractViolation(const FramedRequest& sent,
                                             std::span<const uint8_t> received, bool ignore) {
    const size_t frameLength = ReplyFrameLength(sent, received);
    if (frameLength == 0 || frameLength > kMaxReplyFrameLength)
        return "frame length " + std::to_string(frameLength);
    const ReplyResult result = CheckReply(sent, received, ignore);
    if (const auto* failure = std::get_if<ReplyFailure>(&result);
        failure && FailureText(*failure).empty())
        return "failure without text";
    if (received.size() >= frameLength) {
        const Bytes frame = Exact(received.first(frameLength));
        if (ReplyFrameLength(sent, frame) != frameLength)
            return "frame length changes with the bytes after it";
        if (CheckReply(sent, frame, ignore) != result)
            return "bytes after the frame change the result";
    } else if (!std::holds_alternative<StaleReply>(result)) {
        const ReplyFault fault = received.empty() ? ReplyFault::Timeout : ReplyFault::TooFewBytes;
        if (result != ReplyResult{ReplyFailure{fault}})
            return "a short frame passes the length check";
    }
    if (const auto* values = std::get_if<ValueBuffer>(&result);
        values && IsWriteFunction(sent.request.Function()) && *values != ValueBuffer{})
        return "a write hands over values";
    return std::nullopt;
}

// A regular reply passes (unless the configured slave address does not fit a byte), and
// the buffer read little-endian equals the data read big-endian (bit reads: bit 0 of the
// data byte).
std::optional<std::string> RegularReplyViolation(const FramedRequest& sent, const Bytes& data,
                                                 std::span<const uint8_t> received, bool ignore) {
    const ReplyResult result = CheckReply(sent, received, ignore);
    if (sent.request.ModuleAddr() > 0xFF) {
        if (result != ReplyResult{ReplyFailure{ReplyFault::InvalidModuleAddress}})
            return "a slave address beyond 8 bits is matched by its low bits";
        return std::nullopt;
    }
    const auto* values = std::get_if<ValueBuffer>(&result);
    if (values == nullptr)
        return "a regular reply is refused";
    const ModbusFunction function = sent.request.Function();
    uint64_t expected = 0;
    if (IsBitRead(function))
        expected = data[0] & 1;
    else if (!IsWriteFunction(function))
        expected = std::accumulate(data.begin(), data.end(), uint64_t{0},
                                   [](uint64_t sum, uint8_t byte) { return sum << 8 | byte; });
    const uint64_t actual =
        std::accumulate(values->rbegin(), values->rend(), uint64_t{0},
                        [](uint64_t sum, uint8_t byte) { return sum << 8 | byte; });
    if (actual != expected)
        return "values " + ::testing::PrintToString(*values);
    return std::nullopt;
}

TEST(CheckReplyFuzz, AnyBytesOfAnyLengthKeepTheContract) {
    ReplyFuzzer fuzzer(20240611);
    for (int round = 0; round < 4000; ++round) {
        const FramedRequest sent = fuzzer.Request();
        const Bytes data = fuzzer.Data(sent.request);
        const Bytes regular = FrameReply(sent, ReplyFuzzer::RegularBare(sent.request, data));
        const bool ignore = fuzzer.Coin();
        ASSERT_EQ(RegularReplyViolation(sent, data, Exact(regular), ignore), std::nullopt)
            << Describe(sent, regular, ignore);
        const Bytes reply = fuzzer.Reply(sent, regular);
        for (size_t cut = 0; cut <= reply.size(); ++cut) {
            const Bytes received = Exact(std::span(reply).first(cut));
            ASSERT_EQ(ContractViolation(sent, received, ignore), std::nullopt)
                << Describe(sent, received, ignore);
        }
    }
}

} // namespace
} // namespace halvane
