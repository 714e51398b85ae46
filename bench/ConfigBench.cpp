// The configuration store on a large project: 10,000 tags, each with a few scaling points.
// Every figure stands beside a baseline that writes the whole file after each single key
// write (the store used without batches).
#include "NumberFormat.h"
#include "ProfileStore.h"
#include "TagTable.h"
#include "TempDir.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace halvane;

namespace {

constexpr int kTags = 10000;

// A temporary folder for the run, removed at exit.
std::filesystem::path BenchFolder() {
    static const TempDir folder;
    return folder.Path();
}

// A project file with `count` tags, written once and copied for every run that changes it.
const std::filesystem::path& Project() {
    static const std::filesystem::path file = [] {
        const auto path = BenchFolder() / "project.cfg";
        std::ofstream out(path, std::ios::binary);
        out << "; generated project\n[General]\nDemoMode=0\n\n";
        for (int i = 0; i < kTags; ++i) {
            out << "[Channel." << i << "]\nPort=" << (i % 5) << "\nModuleAddr=" << (i % 247 + 1)
                << "\nRegisterAddr=" << i << "\nFunction=" << (i % 6)
                << "\nDataType=0\nDisplayType=0\nSigned=0\nReverseOrder=0\nSwapBytes=0\n"
                   "SwapWords=0\nSwapDWords=0\nName=Tag number "
                << i
                << "\nUnit=m\xB3/h\nDesc=Generated tag\nFormat=%0.2f\nHigh.Threshold=90.5\n"
                   "Low.Threshold=2.25\nEnableAlert=1\nSMSAlert=0\nLinear=2\nFilter=0\n"
                   "MaxX=4000\nMinX=0\nACoff=0.00125\nBCoff=0\nOffset=0\nDefaultValue=0\n\n"
                   "[Points."
                << i << "]\nPoint.0=0;0.0000\nPoint.1=2000;40.0000\nPoint.2=4000;100.0000\n\n";
        }
        return path;
    }();
    return file;
}

std::filesystem::path FreshCopy() {
    const auto copy = BenchFolder() / "work.cfg";
    std::filesystem::copy_file(Project(), copy, std::filesystem::copy_options::overwrite_existing);
    return copy;
}

void BM_LoadAllTags(benchmark::State& state) {
    const auto file = FreshCopy();
    for (auto _ : state) {
        ProfileStore store(file);
        auto tags = LoadAllTags(store);
        if (tags.size() != kTags)
            state.SkipWithError("wrong tag count");
        benchmark::DoNotOptimize(tags);
    }
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
}

// The same reads, each looking at the file for outside changes (no batch around them).
void BM_LoadAllTags_Baseline(benchmark::State& state) {
    const auto file = FreshCopy();
    for (auto _ : state) {
        ProfileStore store(file);
        std::vector<TDataChannel> tags;
        for (TDataChannel tag; tag.LoadFromConfig(store, static_cast<int>(tags.size())); tag = {})
            tags.push_back(tag);
        benchmark::DoNotOptimize(tags);
    }
}

void BM_SaveOneTag(benchmark::State& state) {
    ProfileStore store(FreshCopy());
    auto tags = LoadAllTags(store);
    int i = 0;
    for (auto _ : state) {
        tags[5000].HighThreshold = ++i;
        tags[5000].SaveToConfig(store, 5000);
    }
}

// The same tag written key by key, each write rewriting the whole file.
void BM_SaveOneTag_Baseline(benchmark::State& state) {
    ProfileStore store(FreshCopy());
    int writes = 0;
    for (auto _ : state) {
        for (const char* section : {"Channel.5000", "Points.5000"})
            for (const auto& key : store.ReadKeys(section)) {
                store.WriteString(section, key, std::to_string(writes));
                ++writes;
            }
    }
    state.counters["key_writes"] = benchmark::Counter(writes, benchmark::Counter::kAvgIterations);
}

void BM_DeleteTag0(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        ProfileStore store(FreshCopy());
        auto tags = LoadAllTags(store);
        state.ResumeTiming();
        if (!DeleteTag(store, tags, 0))
            state.SkipWithError("delete failed");
    }
}

// Renumbering written key by key: measured over the first 20 tags, extrapolated to all.
void BM_DeleteTag0_Baseline(benchmark::State& state) {
    constexpr int kSample = 20;
    for (auto _ : state) {
        state.PauseTiming();
        ProfileStore store(FreshCopy());
        auto tags = LoadAllTags(store);
        state.ResumeTiming();
        for (int i = 0; i < kSample; ++i) {
            const auto& tag = tags[static_cast<size_t>(i) + 1];
            const std::string s = ChannelSection(i);
            store.WriteString(s, "Name", tag.Name);
            for (const auto& key : store.ReadKeys(s))
                store.WriteString(s, key, store.ReadString(ChannelSection(i + 1), key, ""));
            for (const auto& key : store.ReadKeys(PointsSection(i + 1)))
                store.WriteString(PointsSection(i), key,
                                  store.ReadString(PointsSection(i + 1), key, ""));
        }
    }
    // Multiply the time by this to get the whole renumbering.
    state.counters["scale_to_all"] = static_cast<double>(kTags - 1) / kSample;
}

} // namespace

BENCHMARK(BM_LoadAllTags)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadAllTags_Baseline)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SaveOneTag)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_SaveOneTag_Baseline)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DeleteTag0)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DeleteTag0_Baseline)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
