// Reading a month of history: 30 day files of 200 tags, one line a minute (1440 lines a
// day), as the station writes them. Every figure stands beside a baseline that reads the
// same files with std::getline and converts every field with strtod, keeping nothing.
// Peak heap is what operator new held at most during one reading, above what it held before.
#include "CLog.h"
#include "HistoryLines.h"
#include "HistoryReader.h"
#include "NumberFormat.h"
#include "TempDir.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <new>

namespace {

std::atomic<long long> g_heapNow{0};
std::atomic<long long> g_heapPeak{0};

void Count(void* block) {
    const long long now = g_heapNow += static_cast<long long>(malloc_usable_size(block));
    long long peak = g_heapPeak.load();
    while (now > peak && !g_heapPeak.compare_exchange_weak(peak, now)) {
    }
}

} // namespace

void* operator new(size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr)
        throw std::bad_alloc();
    Count(block);
    return block;
}
void operator delete(void* block) noexcept {
    if (block != nullptr)
        g_heapNow -= static_cast<long long>(malloc_usable_size(block));
    std::free(block);
}
void operator delete(void* block, size_t) noexcept {
    operator delete(block);
}

using namespace halvane;

namespace {

constexpr int kDays = 30;
constexpr int kTags = 200;
constexpr int kLinesPerDay = 1440;
const QDate kFirstDay(2026, 11, 1);

std::vector<TDataChannel> Tags() {
    std::vector<TDataChannel> tags(kTags);
    for (int i = 0; i < kTags; ++i) {
        tags[static_cast<size_t>(i)].Name = "Tag " + std::to_string(i);
        tags[static_cast<size_t>(i)].Unit = i % 2 ? "m3/h" : "bar";
        tags[static_cast<size_t>(i)].ValueValid = true;
    }
    return tags;
}

// The month's files, written once for the run.
const std::filesystem::path& Folder() {
    static const TempDir root;
    static const std::filesystem::path folder = [] {
        const auto path = root / "history";
        std::filesystem::create_directories(path);
        std::vector<TDataChannel> tags = Tags();
        const std::string header = BuildHistoryHeader(tags, ',');
        for (int d = 0; d < kDays; ++d) {
            const QDate day = kFirstDay.addDays(d);
            char name[32];
            std::snprintf(name, sizeof name, "log%04d%02d%02d.csv", day.year(), day.month(),
                          day.day());
            std::ofstream out(path / name, std::ios::binary);
            out << header << "\r\n";
            for (int line = 0; line < kLinesPerDay; ++line) {
                for (int i = 0; i < kTags; ++i)
                    tags[static_cast<size_t>(i)].RealValue = (line * 7 + i * 13) % 1000 / 8.0;
                out << BuildHistoryLine(QDateTime(day, QTime(line / 60, line % 60)), tags, ',',
                                        QLocale::c(), '.')
                    << "\r\n";
            }
        }
        return path;
    }();
    return folder;
}

HistoryQuery MonthQuery(int columns, size_t buckets) {
    HistoryQuery query;
    const std::vector<TDataChannel> tags = Tags();
    for (int i = 0; i < columns; ++i)
        query.columns.push_back(HistoryColumnName(tags[static_cast<size_t>(i * kTags / columns)]));
    query.from = ToLocalMsecs(kFirstDay);
    query.to = ToLocalMsecs(kFirstDay.addDays(kDays)) - 1;
    query.buckets = buckets;
    return query;
}

// Runs `read` and reports the peak heap it took and the bytes of its `days` files per second.
template <class Read> void Measure(benchmark::State& state, Read read, int days = kDays) {
    const auto folder = Folder();
    long long peak = 0;
    for (auto _ : state) {
        const long long before = g_heapNow.load();
        g_heapPeak = before;
        read();
        peak = std::max(peak, g_heapPeak.load() - before);
    }
    size_t bytes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        bytes += entry.file_size();
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * days / kDays * state.iterations());
    state.counters["peak_heap_MB"] = static_cast<double>(peak) / (1 << 20);
}

void BM_Baseline_GetlineStrtod(benchmark::State& state) {
    Measure(state, [] {
        double sum = 0;
        for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::string line;
            while (std::getline(in, line)) {
                for (size_t at = line.find(','); at != std::string::npos;
                     at = line.find(',', at + 1))
                    sum += std::strtod(line.c_str() + at + 1, nullptr);
            }
        }
        benchmark::DoNotOptimize(sum);
    });
}

// The whole month of every tag, at a chart's width.
void BM_ReadMonth_AllTags(benchmark::State& state) {
    const HistoryQuery query = MonthQuery(kTags, 2000);
    Measure(state, [&] {
        auto result = HistoryReader(Folder(), QLocale::c()).Read(query);
        benchmark::DoNotOptimize(result.table.times.data());
    });
}

// What a trend usually asks: a few tags over the month at a chart's width.
void BM_ReadMonth_FourTags(benchmark::State& state) {
    const HistoryQuery query = MonthQuery(4, 2000);
    Measure(state, [&] {
        auto result = HistoryReader(Folder(), QLocale::c()).Read(query);
        benchmark::DoNotOptimize(result.table.times.data());
    });
}

// Every line of four tags, without downsampling.
void BM_ReadMonth_FourTagsEveryLine(benchmark::State& state) {
    const HistoryQuery query = MonthQuery(4, 0);
    Measure(state, [&] {
        auto result = HistoryReader(Folder(), QLocale::c()).Read(query);
        benchmark::DoNotOptimize(result.table.times.data());
    });
}

// One day of the month: only its file is read.
void BM_ReadOneDay_FourTags(benchmark::State& state) {
    HistoryQuery query = MonthQuery(4, 2000);
    query.from = ToLocalMsecs(kFirstDay.addDays(14));
    query.to = query.from + kMsecsPerDay - 1;
    Measure(
        state,
        [&] {
            auto result = HistoryReader(Folder(), QLocale::c()).Read(query);
            benchmark::DoNotOptimize(result.table.times.data());
        },
        1);
}

} // namespace

BENCHMARK(BM_Baseline_GetlineStrtod)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ReadMonth_AllTags)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ReadMonth_FourTags)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ReadMonth_FourTagsEveryLine)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ReadOneDay_FourTags)->Unit(benchmark::kMillisecond)->MinTime(2);

BENCHMARK_MAIN();
