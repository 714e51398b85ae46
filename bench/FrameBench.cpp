#include "ModbusReply.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace halvane {
namespace {

// Two registers (a single-precision float) from slave 1, register 100.
const ModbusRequest kRequest =
    ModbusRequest::Make(ModbusFunction::ReadHoldingRegisters, 1, 100, 4, 0);
constexpr uint16_t kTransactionId = 0x2A17;

FramedRequest Sent(const benchmark::State& state) {
    return {static_cast<ModbusProtocol>(state.range(0)), kRequest, kTransactionId};
}

// The regular reply with data AA BB CC DD, as each framing carries it.
std::vector<uint8_t> Reply(ModbusProtocol protocol) {
    switch (protocol) {
    case ModbusProtocol::Ascii: {
        const std::string text = ":010304AABBCCDDEA\r\n";
        return {text.begin(), text.end()};
    }
    case ModbusProtocol::Rtu:
        return {0x01, 0x03, 0x04, 0xAA, 0xBB, 0xCC, 0xDD, 0x3E, 0x97};
    case ModbusProtocol::Modem:
        return {0x01, 0x03, 0x04, 0xAA, 0xBB, 0xCC, 0xDD};
    case ModbusProtocol::Tcp:
        break;
    }
    return {0x2A, 0x17, 0x00, 0x00, 0x00, 0x07, 0x01, 0x03, 0x04, 0xAA, 0xBB, 0xCC, 0xDD};
}

void BuildRequestFrame(benchmark::State& state) {
    const FramedRequest sent = Sent(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildFrame(sent));
}

void CheckRegularReply(benchmark::State& state) {
    const FramedRequest sent = Sent(state);
    const std::vector<uint8_t> reply = Reply(sent.protocol);
    if (!std::holds_alternative<ValueBuffer>(CheckReply(sent, reply, false))) {
        state.SkipWithError("the sample reply does not pass");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(CheckReply(sent, reply, false));
}

// Arguments: 0 ASCII, 1 RTU, 2 modem, 3 TCP.
BENCHMARK(BuildRequestFrame)->DenseRange(0, 3)->ArgName("protocol");
BENCHMARK(CheckRegularReply)->DenseRange(0, 3)->ArgName("protocol");

} // namespace
} // namespace halvane

BENCHMARK_MAIN();
