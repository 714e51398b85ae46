// The cost of judging alarms beside storing readings: 10,000 tags, of which 1,000 cross
// their high limit in one poll round (and back in the next), every reading a new value.
// The baseline stores the readings into a table that nobody listens to. Beside it: what the
// poll pays for the listener's mark; what the service's thread pays to judge them; the
// stores while the real service listens (its thread reads the same tags between rounds);
// and the time until the service has judged and journaled (with fsync, to a temporary
// folder, as the station does) every one of them.
#include "AlarmService.h"
#include "TempDir.h"

#include <benchmark/benchmark.h>

#include <numeric>
#include <span>

using namespace halvane;

namespace {

constexpr size_t kTags = 10000;
constexpr size_t kChanging = 1000; // every 10th tag
constexpr size_t kTagsPerLock = 256;

std::vector<TDataChannel> Table() {
    std::vector<TDataChannel> tags(kTags);
    for (size_t i = 0; i < kTags; ++i) {
        TDataChannel& tag = tags[i];
        tag.Name = "Tag " + std::to_string(i + 1);
        tag.Port = 4;
        tag.EnableAlert = true;
        tag.HighThreshold = 90;
        tag.LowThreshold = 0;
        tag.ValueValid = true;
        tag.RealValue = 50;
        tag.Status = "OK";
    }
    return tags;
}

// One poll round: every tag gets a new reading; the changing tags go over the limit on
// odd rounds and back on even ones, the others move a little.
void StoreRound(TagTable& table, std::vector<TDataChannel>& readings, int round) {
    for (size_t i = 0; i < kTags; ++i) {
        TDataChannel& reading = readings[i];
        reading.RealValue = i % (kTags / kChanging) == 0 ? (round % 2 ? 95 : 50) : 50 + round % 7;
        table.StoreOutcome(i, reading);
    }
}

void StoreReadings(benchmark::State& state) {
    TagTable table;
    table.Assign(Table());
    std::vector<TDataChannel> readings = Table();
    int round = 0;
    for (auto _ : state)
        StoreRound(table, readings, ++round);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kTags));
}
BENCHMARK(StoreReadings)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the poll pays for the notice alone: the service's listener marks each changed tag in
// its set under the table's lock; here without the thread that judges them, so that no
// other core reads the tags between the rounds.
void StoreReadingsMarked(benchmark::State& state) {
    struct Marking final : TagChangeListener {
        void TagChanged(size_t index) override { changes.Mark(index); }
        void AllTagsChanged() override { changes.MarkAll(); }
        TagChangeSet changes;
    } marking;
    TagTable table;
    table.Assign(Table());
    table.AddChangeListener(&marking);
    std::vector<TDataChannel> readings = Table();
    int round = 0;
    for (auto _ : state) {
        StoreRound(table, readings, ++round);
        state.PauseTiming();
        table.Locked([&] { marking.changes.Take(); });
        state.ResumeTiming();
    }
    table.RemoveChangeListener(&marking);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kTags));
}
BENCHMARK(StoreReadingsMarked)->Unit(benchmark::kMillisecond)->UseRealTime();

// The alarm service of the benchmarks: listening, every tag judged once.
struct Listening {
    Listening() : table(), service(table, Options()) {
        table.Assign(Table());
        service.Configure({false, false, false, false, true}, false);
        service.Start();
        service.Flush();
    }
    AlarmOptions Options() const {
        AlarmOptions options;
        options.journalFolder = dir / "events";
        options.stateFile = dir / "alarms.state";
        return options;
    }
    // Raised alarms are acknowledged so that the next round clears them.
    void Settle() {
        service.Flush();
        service.AcknowledgeAll({});
    }
    TempDir dir;
    TagTable table;
    AlarmService service;
};

// What the service's thread pays for each reading: the tags judged in place, 256 under one
// lock of the table and of the model, as the thread does it (without the journal).
void JudgeReadings(benchmark::State& state) {
    TagTable table;
    table.Assign(Table());
    std::vector<TDataChannel> readings = Table();
    AlarmModel model;
    const LinkContext link{true, false, 10};
    std::vector<size_t> indices(kTags);
    std::iota(indices.begin(), indices.end(), size_t{0});
    int round = 0;
    size_t events = 0;
    for (auto _ : state) {
        state.PauseTiming();
        StoreRound(table, readings, ++round);
        state.ResumeTiming();
        const auto now = std::chrono::system_clock::now();
        for (size_t from = 0; from < kTags; from += kTagsPerLock) {
            const auto held = model.Hold();
            table.ReadSome(std::span(indices).subspan(from, std::min(kTagsPerLock, kTags - from)),
                           [&](const TDataChannel& tag, size_t i) {
                               events +=
                                   model.Evaluate(i, tag, AlarmSettingsOf(tag), link, now).size();
                           });
        }
        state.PauseTiming();
        model.AcknowledgeAll({}, now);
        state.ResumeTiming();
    }
    benchmark::DoNotOptimize(events);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kTags));
}
BENCHMARK(JudgeReadings)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the poll pays: the same stores while the service listens; its judging is not timed.
void StoreReadingsWhileListened(benchmark::State& state) {
    Listening station;
    std::vector<TDataChannel> readings = Table();
    int round = 0;
    for (auto _ : state) {
        StoreRound(station.table, readings, ++round);
        state.PauseTiming();
        station.Settle();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kTags));
}
BENCHMARK(StoreReadingsWhileListened)->Unit(benchmark::kMillisecond)->UseRealTime();

// Until every reading is judged and every transition journaled (fsync) by the service.
void StoreAndJudgeReadings(benchmark::State& state) {
    Listening station;
    std::vector<TDataChannel> readings = Table();
    int round = 0;
    for (auto _ : state) {
        StoreRound(station.table, readings, ++round);
        station.service.Flush();
        state.PauseTiming();
        station.Settle();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kTags));
}
BENCHMARK(StoreAndJudgeReadings)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
