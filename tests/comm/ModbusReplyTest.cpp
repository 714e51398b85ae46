#include "ModbusReply.h"
#include "FrameBytes.h"
#include "ModbusChecksum.h"

#include <gtest/gtest.h>

namespace halvane {

void PrintTo(const ReplyResult& result, std::ostream* out) {
    if (const auto* values = std::get_if<ValueBuffer>(&result))
        *out << "values " << ::testing::PrintToString(*values);
    else if (const auto* failure = std::get_if<ReplyFailure>(&result))
        *out << '"' << FailureText(*failure) << '"';
    else
        *out << "stale";
}

namespace {

using test::Hex;
using test::Text;
using enum ModbusFunction;
using enum ModbusProtocol;

std::vector<uint8_t> WithCrc(std::vector<uint8_t> bytes) {
    const uint16_t crc = ComputeCrc16(bytes);
    bytes.push_back(static_cast<uint8_t>(crc));
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    return bytes;
}

ReplyResult Fail(ReplyFault fault, uint8_t exceptionCode = 0) {
    return ReplyFailure{fault, exceptionCode};
}

ReplyResult Values(std::vector<uint8_t> bytes) {
    ValueBuffer values{};
    std::copy(bytes.begin(), bytes.end(), values.begin());
    return values;
}

const ModbusRequest kReadOneRegister = ModbusRequest::Make(ReadHoldingRegisters, 1, 0, 2, 0);
const ModbusRequest kReadFloat = ModbusRequest::Make(ReadHoldingRegisters, 1, 0, 4, 0);
const ModbusRequest kReadDouble = ModbusRequest::Make(ReadInputRegisters, 1, 0, 8, 0);
const ModbusRequest kReadCoil = ModbusRequest::Make(ReadCoils, 1, 0, 1, 0);
const ModbusRequest kWriteThree = ModbusRequest::Make(WriteSingleRegister, 17, 1, 0, 3);
const std::vector<uint8_t> kTwoRegisters = Hex("00 0A 01 02");
const ModbusRequest kWriteTwo = ModbusRequest::MakeWriteRegisters(1, 1, kTwoRegisters);
const ModbusRequest kSlave257 = ModbusRequest::Make(ReadHoldingRegisters, 257, 0, 2, 0);
constexpr uint16_t kId = 0x1234;

struct ReplyCase {
    const char* name;
    FramedRequest sent;
    std::vector<uint8_t> received;
    bool ignoreChecksum;
    ReplyResult expected;
};

void ExpectResults(std::span<const ReplyCase> cases) {
    for (const ReplyCase& c : cases)
        EXPECT_EQ(CheckReply(c.sent, c.received, c.ignoreChecksum), c.expected) << c.name;
}

TEST(CheckReply, Rtu) {
    const FramedRequest sent{Rtu, kReadOneRegister};
    const ReplyCase cases[] = {
        {"register", sent, Hex("01 03 02 12 34 B5 33"), false, Values(Hex("34 12"))},
        {"float: data reversed",
         {Rtu, kReadFloat},
         WithCrc(Hex("01 03 04 AA BB CC DD")),
         false,
         Values(Hex("DD CC BB AA"))},
        {"double",
         {Rtu, kReadDouble},
         WithCrc(Hex("01 04 08 01 02 03 04 05 06 07 08")),
         false,
         Values(Hex("08 07 06 05 04 03 02 01"))},
        {"data taken by the request's count, not the reply's", sent, WithCrc(Hex("01 03 04 12 34")),
         false, Values(Hex("34 12"))},
        {"coil 03: bit 0", {Rtu, kReadCoil}, WithCrc(Hex("01 01 01 03")), false, Values(Hex("01"))},
        {"coil 02: bit 0 clear", {Rtu, kReadCoil}, WithCrc(Hex("01 01 01 02")), false, Values({})},
        {"write echo", {Rtu, kWriteThree}, Hex("11 06 00 01 00 03 9A 9B"), false, Values({})},
        {"write echo of another value passes",
         {Rtu, kWriteThree},
         WithCrc(Hex("11 06 00 01 00 04")),
         false,
         Values({})},
        {"nothing", sent, {}, false, Fail(ReplyFault::Timeout)},
        {"one byte short", sent, Hex("01 03 02 12 34 B5"), false, Fail(ReplyFault::TooFewBytes)},
        {"exception, short", sent, Hex("01 83 02 C0 F1"), false, Fail(ReplyFault::Exception, 2)},
        {"exception, full length", sent, Hex("01 83 0B 00 00 00 00"), false,
         Fail(ReplyFault::Exception, 0x0B)},
        {"exception before CRC", sent, Hex("01 83 02 00 00"), false,
         Fail(ReplyFault::Exception, 2)},
        {"bad CRC", sent, Hex("01 03 02 12 34 B5 34"), false, Fail(ReplyFault::InvalidCrc)},
        {"bad CRC ignored", sent, Hex("01 03 02 12 34 B5 34"), true, Values(Hex("34 12"))},
        {"CRC before address", sent, Hex("02 03 02 12 34 B5 33"), false,
         Fail(ReplyFault::InvalidCrc)},
        {"other slave", sent, WithCrc(Hex("02 03 02 12 34")), false,
         Fail(ReplyFault::InvalidModuleAddress)},
        {"address before function", sent, WithCrc(Hex("02 04 02 12 34")), false,
         Fail(ReplyFault::InvalidModuleAddress)},
        {"other function", sent, WithCrc(Hex("01 04 02 12 34")), false,
         Fail(ReplyFault::InvalidFunctionCode)},
        {"address compared as a whole number",
         {Rtu, kSlave257},
         WithCrc(Hex("01 03 02 12 34")),
         false,
         Fail(ReplyFault::InvalidModuleAddress)},
        {"bytes after the reply are not looked at", sent, Hex("01 03 02 12 34 B5 33 FF"), false,
         Values(Hex("34 12"))},
    };
    ExpectResults(cases);
}

TEST(CheckReply, Ascii) {
    const FramedRequest sent{Ascii, kReadOneRegister};
    const ReplyCase cases[] = {
        {"register", sent, Text(":0103021234B4\r\n"), false, Values(Hex("34 12"))},
        {"coil", {Ascii, kReadCoil}, Text(":01010103FA\r\n"), false, Values(Hex("01"))},
        {"write echo", {Ascii, kWriteThree}, Text(":110600010003E5\r\n"), false, Values({})},
        {"nothing", sent, {}, false, Fail(ReplyFault::Timeout)},
        {"short", sent, Text(":0103021234B4\r"), false, Fail(ReplyFault::TooFewBytes)},
        {"no ':'", sent, Text(";0103021234B4\r\n"), false, Fail(ReplyFault::NoStartCharacter)},
        {"':' before exception", sent, Text(";0183027A\r\n"), false,
         Fail(ReplyFault::NoStartCharacter)},
        {"exception, short", sent, Text(":0183027A\r\n"), false, Fail(ReplyFault::Exception, 2)},
        {"exception before LRC", sent, Text(":01830400\r\n"), false,
         Fail(ReplyFault::Exception, 4)},
        {"bad LRC", sent, Text(":0103021234B5\r\n"), false, Fail(ReplyFault::InvalidLrc)},
        {"bad LRC ignored", sent, Text(":0103021234B5\r\n"), true, Values(Hex("34 12"))},
        {"lower-case digit decodes wrongly", sent, Text(":010302123aAE\r\n"), false,
         Fail(ReplyFault::InvalidLrc)},
        {"upper-case of the same", sent, Text(":010302123AAE\r\n"), false, Values(Hex("3A 12"))},
        {"byte count beyond the frame", sent, Text(":0103FF123400\r\n"), false,
         Fail(ReplyFault::InvalidLrc)},
        {"LRC over the reply's own byte count", sent, Text(":0103011234E9\r\n"), false,
         Values(Hex("34 12"))},
        {"LRC before end of frame", sent, Text(":0103021234B5\n\r"), false,
         Fail(ReplyFault::InvalidLrc)},
        {"no CR LF", sent, Text(":0103021234B4\n\r"), false, Fail(ReplyFault::NoEndOfFrame)},
        {"no CR LF, LRC ignored", sent, Text(":0103021234B5\r\r"), true,
         Fail(ReplyFault::NoEndOfFrame)},
        {"other slave", sent, Text(":0203021234B3\r\n"), false,
         Fail(ReplyFault::InvalidModuleAddress)},
        {"other function", sent, Text(":0104021234B3\r\n"), false,
         Fail(ReplyFault::InvalidFunctionCode)},
    };
    ExpectResults(cases);
}

TEST(CheckReply, Tcp) {
    const FramedRequest sent{Tcp, kReadOneRegister, kId};
    const ReplyCase cases[] = {
        {"register", sent, Hex("12 34 00 00 00 05 01 03 02 12 34"), false, Values(Hex("34 12"))},
        {"coil",
         {Tcp, kReadCoil, kId},
         Hex("12 34 00 00 00 04 01 01 01 03"),
         false,
         Values(Hex("01"))},
        {"write echo",
         {Tcp, kWriteThree, kId},
         Hex("12 34 00 00 00 06 11 06 00 01 00 03"),
         false,
         Values({})},
        {"nothing", sent, {}, false, Fail(ReplyFault::Timeout)},
        {"one byte", sent, Hex("12"), false, Fail(ReplyFault::TooFewBytes)},
        {"split reply, first part", sent, Hex("12 34 00 00 00 05 01"), false,
         Fail(ReplyFault::TooFewBytes)},
        {"another transaction", sent, Hex("12 35 00 00 00 05 01 03 02 12 34"), false, StaleReply{}},
        {"another transaction, partial", sent, Hex("00 34"), false, StaleReply{}},
        {"exception", sent, Hex("12 34 00 00 00 03 01 83 02"), false,
         Fail(ReplyFault::Exception, 2)},
        {"exception of another transaction", sent, Hex("43 21 00 00 00 03 01 83 02"), false,
         StaleReply{}},
        {"other unit", sent, Hex("12 34 00 00 00 05 07 03 02 12 34"), false,
         Fail(ReplyFault::InvalidModuleAddress)},
        {"other function", sent, Hex("12 34 00 00 00 05 01 04 02 12 34"), false,
         Fail(ReplyFault::InvalidFunctionCode)},
    };
    ExpectResults(cases);
}

// A multiple write succeeds only when the slave echoes the registers it was asked to
// write; a single write's echo is never compared.
TEST(CheckReply, WriteRegistersEcho) {
    const ReplyCase cases[] = {
        {"RTU echo", {Rtu, kWriteTwo}, WithCrc(Hex("01 10 00 01 00 02")), false, Values({})},
        {"ASCII echo", {Ascii, kWriteTwo}, Text(":011000010002EC\r\n"), false, Values({})},
        {"TCP echo",
         {Tcp, kWriteTwo, kId},
         Hex("12 34 00 00 00 06 01 10 00 01 00 02"),
         false,
         Values({})},
        {"other count",
         {Rtu, kWriteTwo},
         WithCrc(Hex("01 10 00 01 00 03")),
         false,
         Fail(ReplyFault::InvalidEcho)},
        {"other address",
         {Tcp, kWriteTwo, kId},
         Hex("12 34 00 00 00 06 01 10 01 01 00 02"),
         false,
         Fail(ReplyFault::InvalidEcho)},
        {"other slave",
         {Rtu, kWriteTwo},
         WithCrc(Hex("02 10 00 01 00 02")),
         false,
         Fail(ReplyFault::InvalidModuleAddress)},
        {"exception",
         {Rtu, kWriteTwo},
         WithCrc(Hex("01 90 02")),
         false,
         Fail(ReplyFault::Exception, 2)},
        {"single write, other value echoed",
         {Rtu, kWriteThree},
         WithCrc(Hex("11 06 00 01 00 04")),
         false,
         Values({})},
    };
    ExpectResults(cases);
}

// Without a checksum, the protocol identifier, the length field and the byte count are
// all that tells a TCP reply from damaged or foreign bytes: each must fit the frame.
TEST(CheckReply, TcpHeaderAndByteCount) {
    const FramedRequest sent{Tcp, kReadOneRegister, kId};
    const FramedRequest coil{Tcp, kReadCoil, kId};
    const FramedRequest write{Tcp, kWriteThree, kId};
    const ReplyResult refused = Fail(ReplyFault::InvalidCrc);
    const ReplyCase cases[] = {
        {"protocol identifier 0x1234, length 0xFFFF, byte count 4", sent,
         Hex("12 34 12 34 FF FF 01 03 04 BE EF"), false, refused},
        {"protocol identifier 0x0001", sent, Hex("12 34 00 01 00 05 01 03 02 12 34"), false,
         refused},
        {"protocol identifier 0x0100", sent, Hex("12 34 01 00 00 05 01 03 02 12 34"), false,
         refused},
        {"length one short", sent, Hex("12 34 00 00 00 04 01 03 02 12 34"), false, refused},
        {"length one over", sent, Hex("12 34 00 00 00 06 01 03 02 12 34"), false, refused},
        {"length 0", sent, Hex("12 34 00 00 00 00 01 03 02 12 34"), false, refused},
        {"length high byte", sent, Hex("12 34 00 00 01 05 01 03 02 12 34"), false, refused},
        {"byte count 4 for one register", sent, Hex("12 34 00 00 00 05 01 03 04 12 34"), false,
         refused},
        {"byte count 0", sent, Hex("12 34 00 00 00 05 01 03 00 12 34"), false, refused},
        {"coil, byte count 2", coil, Hex("12 34 00 00 00 04 01 01 02 03"), false, refused},
        {"write echo, length 5", write, Hex("12 34 00 00 00 05 11 06 00 01 00 03"), false, refused},
        {"write echo, protocol identifier", write, Hex("12 34 00 07 00 06 11 06 00 01 00 03"),
         false, refused},
        {"header before unit", sent, Hex("12 34 00 00 00 04 07 03 02 12 34"), false, refused},
        {"exception before header", sent, Hex("12 34 00 01 00 03 01 83 02"), false,
         Fail(ReplyFault::Exception, 2)},
        {"ignored like a checksum", sent, Hex("12 34 12 34 FF FF 01 03 04 BE EF"), true,
         Values(Hex("EF BE"))},
        {"ignored, the unit still checked", sent, Hex("12 34 00 01 00 05 07 03 02 12 34"), true,
         Fail(ReplyFault::InvalidModuleAddress)},
    };
    ExpectResults(cases);
}

TEST(CheckReply, Modem) {
    const FramedRequest sent{Modem, kReadOneRegister};
    const ReplyCase cases[] = {
        {"register", sent, Hex("01 03 02 12 34"), false, Values(Hex("34 12"))},
        {"short", sent, Hex("01 03 02 12"), false, Fail(ReplyFault::TooFewBytes)},
        {"exception", sent, Hex("01 83 02"), false, Fail(ReplyFault::Exception, 2)},
        {"other slave", sent, Hex("02 03 02 12 34"), false, Fail(ReplyFault::InvalidModuleAddress)},
        {"other function", sent, Hex("01 04 02 12 34"), false,
         Fail(ReplyFault::InvalidFunctionCode)},
    };
    ExpectResults(cases);
}

TEST(CheckReply, FailureTexts) {
    const std::pair<ReplyFailure, const char*> rows[] = {
        {{ReplyFault::Timeout}, "Read: Timeout"},
        {{ReplyFault::TooFewBytes}, "Read: Too few bytes received"},
        {{ReplyFault::NoStartCharacter}, "Read: No start character ':'"},
        {{ReplyFault::Exception, 0x02}, "Exception code 02"},
        {{ReplyFault::Exception, 0xAB}, "Exception code AB"},
        {{ReplyFault::InvalidCrc}, "Read: Invalid CRC"},
        {{ReplyFault::InvalidLrc}, "Read: Invalid LRC"},
        {{ReplyFault::NoEndOfFrame}, "Read: No end of frame 0D0A"},
        {{ReplyFault::InvalidModuleAddress}, "Read: Invalid module address"},
        {{ReplyFault::InvalidFunctionCode}, "Read: Invalid function code"},
        {{ReplyFault::InvalidEcho}, "Read: Invalid echo"},
    };
    for (const auto& [failure, text] : rows)
        EXPECT_EQ(FailureText(failure), text);
}

} // namespace
} // namespace halvane
