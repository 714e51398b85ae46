#include "ModbusFrame.h"
#include "FrameBytes.h"

#include <gtest/gtest.h>

#include <optional>

namespace halvane {
namespace {

using test::Hex;
using test::Text;
using enum ModbusFunction;
using enum ModbusProtocol;

std::vector<uint8_t> Bytes(const RequestFrame& frame) {
    return {frame.View().begin(), frame.View().end()};
}

// Slave 1, register 0, one "Integer - Word": the request of most examples.
const ModbusRequest kReadOneRegister = ModbusRequest::Make(ReadHoldingRegisters, 1, 0, 2, 0);
// Value 3 to holding register 1 of slave 17.
const ModbusRequest kWriteThree = ModbusRequest::Make(WriteSingleRegister, 17, 1, 0, 3);
// 0x000A and 0x0102 to holding registers 1 and 2 of slave 1.
const std::vector<uint8_t> kTwoRegisters = Hex("00 0A 01 02");
const ModbusRequest kWriteTwo = ModbusRequest::MakeWriteRegisters(1, 1, kTwoRegisters);

TEST(ModbusRequest, FunctionIndexMapsToTheCodeAboveIt) {
    EXPECT_EQ(FunctionFromIndex(0), ReadCoils);
    EXPECT_EQ(FunctionFromIndex(5), WriteSingleRegister);
    EXPECT_EQ(FunctionFromIndex(6), ModbusFunction::WriteMultipleRegisters);
    EXPECT_EQ(FunctionFromIndex(-1), std::nullopt);
    EXPECT_EQ(FunctionFromIndex(7), std::nullopt);
}

TEST(ModbusRequest, CountIsHalfTheByteLengthWithinOneToFour) {
    const std::pair<int, uint8_t> rows[] = {{-2, 1}, {0, 1}, {1, 1}, {2, 1},
                                            {4, 2},  {8, 4}, {9, 4}, {600, 4}};
    for (const auto& [byteLength, count] : rows)
        EXPECT_EQ(RegisterCount(byteLength), count) << byteLength;
}

TEST(ModbusRequest, CoreCarriesAddressesAndCountOrValue) {
    struct Row {
        ModbusFunction function;
        int moduleAddr;
        int registerAddr;
        int byteLength;
        uint16_t writeValue;
        std::vector<uint8_t> core;
    };
    const Row rows[] = {
        {ReadHoldingRegisters, 1, 0, 2, 0, Hex("01 03 00 00 00 01")},
        {ReadHoldingRegisters, 1, 0, 2, 99, Hex("01 03 00 00 00 01")}, // value ignored
        {ReadInputRegisters, 247, 0x1234, 8, 0, Hex("F7 04 12 34 00 04")},
        {ReadCoils, 1, 5, 1, 0, Hex("01 01 00 05 00 01")},
        {ReadDiscreteInputs, 2, 0, 4, 0, Hex("02 02 00 00 00 02")},
        {ReadHoldingRegisters, 300, 0x12345, 0, 0, Hex("2C 03 23 45 00 01")}, // low bits
        {WriteSingleRegister, 17, 1, 8, 3, Hex("11 06 00 01 00 03")},         // length ignored
        {WriteSingleRegister, 1, 2, 0, 0xFFFE, Hex("01 06 00 02 FF FE")},
        {WriteSingleCoil, 1, 2, 0, 1, Hex("01 05 00 02 FF 00")},
        {WriteSingleCoil, 1, 2, 0, 0x0080, Hex("01 05 00 02 FF 00")},
        {WriteSingleCoil, 1, 2, 0, 0x1234, Hex("01 05 00 02 FF 00")},
        {WriteSingleCoil, 1, 2, 0, 0, Hex("01 05 00 02 00 00")},
    };
    for (const Row& row : rows) {
        const auto request = ModbusRequest::Make(row.function, row.moduleAddr, row.registerAddr,
                                                 row.byteLength, row.writeValue);
        const auto& core = request.Core();
        EXPECT_EQ(std::vector<uint8_t>(core.begin(), core.end()), row.core)
            << "function " << int(row.function) << " value " << row.writeValue;
        EXPECT_EQ(request.ModuleAddr(), row.moduleAddr);
    }
}

TEST(ModbusRequest, WriteRegistersCarriesCountByteCountAndData) {
    const auto core = [](std::span<const uint8_t> data) {
        const auto request = ModbusRequest::MakeWriteRegisters(2, 0x0100, data);
        EXPECT_EQ(request.Count(), data.size() / 2);
        return std::vector<uint8_t>(request.Core().begin(), request.Core().end());
    };
    EXPECT_EQ(core(kTwoRegisters), Hex("02 10 01 00 00 02 04 00 0A 01 02"));
    EXPECT_EQ(core(Hex("01 02 03 04 05 06 07 08")),
              Hex("02 10 01 00 00 04 08 01 02 03 04 05 06 07 08"));
    EXPECT_EQ(core(Hex("AB CD")), Hex("02 10 01 00 00 01 02 AB CD"));
}

TEST(ModbusFrame, RequestFramesOfEachProtocol) {
    struct Row {
        const char* name;
        FramedRequest sent;
        std::vector<uint8_t> frame;
    };
    const Row rows[] = {
        {"RTU read", {Rtu, kReadOneRegister}, Hex("01 03 00 00 00 01 84 0A")},
        {"ASCII read", {Ascii, kReadOneRegister}, Text(":010300000001FB\r\n")},
        {"TCP read", {Tcp, kReadOneRegister, 0x12FE}, Hex("12 FE 00 00 00 06 01 03 00 00 00 01")},
        {"modem read", {Modem, kReadOneRegister}, Hex("01 03 00 00 00 01")},
        {"RTU write", {Rtu, kWriteThree}, Hex("11 06 00 01 00 03 9A 9B")},
        {"ASCII write", {Ascii, kWriteThree}, Text(":110600010003E5\r\n")},
        {"TCP write", {Tcp, kWriteThree, 0x0001}, Hex("00 01 00 00 00 06 11 06 00 01 00 03")},
        {"RTU write registers", {Rtu, kWriteTwo}, Hex("01 10 00 01 00 02 04 00 0A 01 02 92 30")},
        {"ASCII write registers", {Ascii, kWriteTwo}, Text(":01100001000204000A0102DB\r\n")},
        {"TCP write registers",
         {Tcp, kWriteTwo, 0x0102},
         Hex("01 02 00 00 00 0B 01 10 00 01 00 02 04 00 0A 01 02")},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Bytes(BuildFrame(row.sent)), row.frame) << row.name;
}

TEST(ModbusFrame, ExpectedReplyLengths) {
    const auto read = [](ModbusFunction function, int byteLength) {
        return ModbusRequest::Make(function, 1, 0, byteLength, 0);
    };
    struct Row {
        ModbusProtocol protocol;
        ModbusRequest request;
        size_t length;
    };
    const Row rows[] = {
        {Rtu, kReadOneRegister, 7},
        {Ascii, kReadOneRegister, 15},
        {Tcp, kReadOneRegister, 11},
        {Modem, kReadOneRegister, 5},
        {Rtu, kWriteThree, 8},
        {Ascii, kWriteThree, 17},
        {Tcp, kWriteThree, 12},
        {Rtu, kWriteTwo, 8}, // the echo of address and count
        {Ascii, kWriteTwo, 17},
        {Rtu, read(ReadCoils, 8), 6}, // one data byte, whatever the count
        {Ascii, read(ReadDiscreteInputs, 1), 13},
        {Rtu, read(ReadInputRegisters, 4), 9},
        {Ascii, read(ReadHoldingRegisters, 8), 27}, // the longest reply to one tag
        {Tcp, read(ReadHoldingRegisters, 8), 17},
        // Block reads: one data byte per 8 bits; the limits give the longest replies.
        {Rtu, ModbusRequest::MakeRead(ReadCoils, 1, 0, 9), 7},
        {Rtu, ModbusRequest::MakeRead(ReadCoils, 1, 0, 2000), 255},
        {Tcp, ModbusRequest::MakeRead(ReadDiscreteInputs, 1, 0, 2001), 259}, // held at 2000
        {Ascii, ModbusRequest::MakeRead(ReadInputRegisters, 1, 0, 125), kMaxReceiveLength},
        {Tcp, ModbusRequest::MakeRead(ReadHoldingRegisters, 1, 0, 126), 259}, // held at 125
    };
    for (const Row& row : rows)
        EXPECT_EQ(ExpectedReplyLength({row.protocol, row.request}), row.length)
            << int(row.protocol) << " function " << int(row.request.Function());
}

TEST(ModbusFrame, ReplyLengthFollowsExceptionsAndForeignTransactions) {
    struct Row {
        const char* name;
        ModbusProtocol protocol;
        std::vector<uint8_t> received;
        size_t length;
    };
    const Row rows[] = {
        {"RTU nothing yet", Rtu, {}, 7},
        {"RTU regular", Rtu, Hex("01 03"), 7},
        {"RTU exception", Rtu, Hex("01 83"), 5},
        {"ASCII regular", Ascii, Text(":0103"), 15},
        {"ASCII exception", Ascii, Text(":0183"), 11},
        {"ASCII function incomplete", Ascii, Text(":018"), 15},
        {"modem exception", Modem, Hex("01 83"), 3},
        {"TCP ours", Tcp, Hex("12 34 00 00 00 05 01 03"), 11},
        {"TCP our exception", Tcp, Hex("12 34 00 00 00 03 01 83"), 9},
        {"TCP foreign header incomplete", Tcp, Hex("AB CD 00"), 6},
        {"TCP foreign", Tcp, Hex("AB CD 00 00 00 07 01"), 13},
        {"TCP foreign, empty", Tcp, Hex("AB CD 00 00 00 00"), 6},
        {"TCP foreign, oversized", Tcp, Hex("AB CD 00 00 FF FF"), kMaxReplyFrameLength},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ReplyFrameLength({row.protocol, kReadOneRegister, 0x1234}, row.received),
                  row.length)
            << row.name;
}

} // namespace
} // namespace halvane
