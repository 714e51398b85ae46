#include "ValueConversion.h"
#include "WriteValue.h"

#include <benchmark/benchmark.h>

namespace {

using halvane::TDataChannel;

// A Word tag scaled through 100 points; the values sit in the last segment, so the
// segment search runs through all of them.
TDataChannel HundredPointTag() {
    TDataChannel tag;
    tag.DataType = halvane::kDataTypeWord;
    tag.ByteLength = 2;
    tag.Linear = 2;
    tag.PointCount = halvane::kMaxPoints;
    for (size_t i = 0; i < tag.PointX.size(); ++i) {
        tag.PointX[i] = static_cast<int32_t>(i * 100);
        tag.PointY[i] = static_cast<double>(i) * 0.5;
    }
    return tag;
}

void StoreReadingHundredPoints(benchmark::State& state) {
    TDataChannel tag = HundredPointTag();
    const halvane::ValueBuffer reading = halvane::ValueBufferFromInteger(9850);
    for (auto _ : state) {
        halvane::StoreReading(tag, reading, nullptr);
        benchmark::DoNotOptimize(tag.RealValue);
    }
}
BENCHMARK(StoreReadingHundredPoints);

void StoreReadingFloatAsIs(benchmark::State& state) {
    TDataChannel tag;
    tag.DataType = halvane::kDataTypeFloatSingle;
    tag.ByteLength = 4;
    tag.SwapWords = true;
    const halvane::ValueBuffer reading = halvane::ValueBufferFromInteger(0x000041C8);
    for (auto _ : state) {
        halvane::StoreReading(tag, reading, nullptr);
        benchmark::DoNotOptimize(tag.RealValue);
    }
}
BENCHMARK(StoreReadingFloatAsIs);

void PrepareWriteHundredPoints(benchmark::State& state) {
    TDataChannel tag = HundredPointTag();
    tag.Function = halvane::kFunctionWriteRegister;
    tag.SwapBytes = true;
    tag.RealValue = 49.2;
    for (auto _ : state) {
        halvane::PrepareWrite(tag);
        benchmark::DoNotOptimize(tag.RawInteger);
    }
}
BENCHMARK(PrepareWriteHundredPoints);

} // namespace

BENCHMARK_MAIN();
