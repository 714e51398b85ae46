#include "ReadBack.h"

#include "TDataChannel.h"
#include "TagVocabulary.h"

namespace halvane {

namespace {

bool WritesRegistersAtOnce(const TDataChannel& tag) {
    return tag.Function == kFunctionWriteRegisters && tag.ByteLength > 2;
}

// The tag as a reading of what its write left in the device decodes it.
TDataChannel ReadBackDecoding(const TDataChannel& tag) {
    TDataChannel decoding = tag;
    if (WritesRegistersAtOnce(tag))
        return decoding;
    const bool maskedBit = IsMaskedBitDataType(tag.DataType);
    if (maskedBit || tag.Function == kFunctionWriteCoil) {
        // A bit, or a coil, is set as it is: no byte order moves it.
        decoding.ReverseOrder = false;
        decoding.SwapBytes = false;
        decoding.SwapWords = false;
        decoding.SwapDWords = false;
    }
    if (maskedBit) {
        decoding.ByteLength = 2; // bits 8 to 15 too
    } else if (tag.DataType != kDataTypeByte) {
        // A wider type goes out as the 16-bit whole number of its low word, signed only
        // for a signed word.
        decoding.Signed = tag.Signed && tag.DataType == kDataTypeWord;
        decoding.DataType = kDataTypeWord;
        decoding.ByteLength = 2;
    }
    return decoding;
}

// The raw register value whose write switches the coil on.
uint32_t CoilOnValue(const TDataChannel& tag) {
    return IsMaskedBitDataType(tag.DataType) ? 1U << (tag.DataType - kDataTypeMaskedBit0) : 1U;
}

} // namespace

std::optional<TagRead> ReadBackOf(const TDataChannel& tag) {
    switch (tag.Function) {
    case kFunctionWriteCoil:
        return TagRead{ModbusFunction::ReadCoils, 1};
    case kFunctionWriteRegister:
        return TagRead{ModbusFunction::ReadHoldingRegisters, 1};
    case kFunctionWriteRegisters:
        return TagRead{ModbusFunction::ReadHoldingRegisters, RegisterCount(tag.ByteLength)};
    default:
        return std::nullopt;
    }
}

void StoreReadBack(TDataChannel& tag, const ValueBuffer& values, const ProfileStore* config) {
    TDataChannel decoding = ReadBackDecoding(tag);
    const bool coil = tag.Function == kFunctionWriteCoil;
    const bool on = (values[0] & 1) != 0;
    StoreReading(decoding, coil ? ValueBufferFromInteger(on ? CoilOnValue(tag) : 0) : values,
                 config);
    tag.RawValue = decoding.RawValue;
    tag.RealValue = decoding.RealValue;
    tag.ValueValid = decoding.ValueValid;
    tag.FilterCountdown = decoding.FilterCountdown;
}

void MarkReadBackRefused(TDataChannel& tag) {
    tag.RealValue = tag.DefaultValue;
    tag.SetTagError(std::string(kStatusReadBackRefused));
}

ReadBackResult DoReadBack(TDataChannel& tag, const TransactionContext& context) {
    const std::optional<TagRead> read = ReadBackOf(tag);
    if (!read) {
        tag.SetTagError("Read: Not supported Modbus function");
        return ReadBackResult::Failed;
    }
    const ModbusRequest request =
        ModbusRequest::MakeRead(read->function, tag.ModuleAddr, tag.RegisterAddr, read->count);
    const ExchangeOutcome outcome = Exchange(request, context);
    if (outcome.data) {
        StoreReadBack(
            tag,
            SliceValues(read->function, outcome.data->View(), 0, static_cast<size_t>(read->count)),
            context.config);
        return ReadBackResult::Read;
    }
    if (outcome.exceptionCode && IsReadBackRefusal(*outcome.exceptionCode)) {
        MarkReadBackRefused(tag);
        return ReadBackResult::Refused;
    }
    tag.SetTagError(outcome.failure);
    return ReadBackResult::Failed;
}

} // namespace halvane
