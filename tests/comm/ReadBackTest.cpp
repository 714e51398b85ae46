// Read-back of output tags without a device: what a write puts into the registers (or the
// coil) must come back as the value that was set, whatever the tag's data type, byte
// order and scaling; and the read that fetches it.
#include "ReadBack.h"
#include "ReplyValues.h"
#include "TagVocabulary.h"
#include "WriteValue.h"

#include <gtest/gtest.h>

using namespace halvane;

namespace {

struct RoundTrip {
    const char* name;
    int function;
    int dataType;
    int byteLength;
    double value;
    void (*configure)(TDataChannel&);
};

void Plain(TDataChannel&) {}
void Signed(TDataChannel& tag) {
    tag.Signed = true;
}
void SwapBytes(TDataChannel& tag) {
    tag.SwapBytes = true;
}
void SignedReversed(TDataChannel& tag) {
    tag.Signed = true;
    tag.ReverseOrder = true;
}
void SwapWords(TDataChannel& tag) {
    tag.SwapWords = true;
}
void Points(TDataChannel& tag) { // (0, 0) to (1000, 100), offset 5
    tag.Linear = 2;
    tag.PointCount = 2;
    tag.PointX[1] = 1000;
    tag.PointY[1] = 100;
    tag.Offset = 5;
}

// The value buffer that a read-back of what the tag's write sent gets from the device.
ValueBuffer WhatTheDeviceHolds(TDataChannel written) {
    const TagRead read = *ReadBackOf(written);
    if (written.Function == kFunctionWriteRegisters) {
        const RegisterBytes registers = PrepareRegistersWrite(written);
        return SliceValues(read.function, std::span(registers.bytes).first(registers.length), 0,
                           static_cast<size_t>(read.count));
    }
    PrepareWrite(written);
    const uint16_t sent = WriteRequestValue(written);
    if (written.Function == kFunctionWriteCoil)
        return SliceValues(read.function,
                           std::vector<uint8_t>{sent == 0xFF00 ? uint8_t{1} : uint8_t{0}}, 0, 1);
    const std::vector<uint8_t> reply{static_cast<uint8_t>(sent >> 8), static_cast<uint8_t>(sent)};
    return SliceValues(read.function, reply, 0, 1);
}

} // namespace

TEST(ReadBackTest, WhatAWriteSentReadsBackAsTheValueSet) {
    const RoundTrip cases[] = {
        {"word", kFunctionWriteRegister, kDataTypeWord, 2, 1234, Plain},
        {"signed word", kFunctionWriteRegister, kDataTypeWord, 2, -2, Signed},
        {"word, bytes swapped", kFunctionWriteRegister, kDataTypeWord, 2, 1234, SwapBytes},
        {"byte", kFunctionWriteRegister, kDataTypeByte, 1, 200, Plain},
        {"bit 3, bytes swapped", kFunctionWriteRegister, 23, 1, 1, SwapBytes},
        {"bit 12 (no table length)", kFunctionWriteRegister, 32, 0, 1, Plain},
        {"float as a whole number", kFunctionWriteRegister, kDataTypeFloatSingle, 4, 50, Plain},
        {"double word in one register", kFunctionWriteRegister, kDataTypeDoubleWord, 4, 300, Plain},
        {"scaled by points", kFunctionWriteRegister, kDataTypeWord, 2, 55, Points},
        {"coil on", kFunctionWriteCoil, kDataTypeWord, 2, 1, SwapBytes},
        {"coil off", kFunctionWriteCoil, kDataTypeWord, 2, 0, Plain},
        {"coil of bit 7", kFunctionWriteCoil, 27, 1, 1, Plain},
        {"registers: float", kFunctionWriteRegisters, kDataTypeFloatSingle, 4, 12.5, SwapWords},
        {"registers: double", kFunctionWriteRegisters, kDataTypeFloatDouble, 8, -98765.4321, Plain},
        {"registers: signed double word", kFunctionWriteRegisters, kDataTypeDoubleWord, 4,
         -123456789, SignedReversed},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.name);
        TDataChannel tag;
        tag.Function = c.function;
        tag.DataType = c.dataType;
        tag.ByteLength = c.byteLength;
        c.configure(tag);
        tag.RealValue = c.value;
        const ValueBuffer held = WhatTheDeviceHolds(tag);

        TDataChannel shown = tag;
        shown.RealValue = -777; // what the station showed before
        shown.SetTagError("Unknown");
        StoreReadBack(shown, held, nullptr);
        EXPECT_TRUE(shown.ValueValid);
        EXPECT_DOUBLE_EQ(shown.RealValue, c.value);
    }
}

TEST(ReadBackTest, ReadsTheCoilOrTheRegistersTheWriteCovers) {
    const struct {
        int function;
        int byteLength;
        ModbusFunction read;
        int count;
    } cases[] = {
        {kFunctionWriteCoil, 2, ModbusFunction::ReadCoils, 1},
        {kFunctionWriteRegister, 2, ModbusFunction::ReadHoldingRegisters, 1},
        {kFunctionWriteRegister, 4, ModbusFunction::ReadHoldingRegisters, 1}, // one register sent
        {kFunctionWriteRegisters, 4, ModbusFunction::ReadHoldingRegisters, 2},
        {kFunctionWriteRegisters, 8, ModbusFunction::ReadHoldingRegisters, 4},
    };
    for (const auto& c : cases) {
        TDataChannel tag;
        tag.Function = c.function;
        tag.ByteLength = c.byteLength;
        const auto read = ReadBackOf(tag);
        ASSERT_TRUE(read) << c.function;
        EXPECT_EQ(read->function, c.read) << c.function;
        EXPECT_EQ(read->count, c.count) << c.function << ", " << c.byteLength;
    }
    TDataChannel input;
    input.Function = 2;
    EXPECT_FALSE(ReadBackOf(input));
}
