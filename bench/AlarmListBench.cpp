// The alarm list with 10,000 alarms: one full paint of the list as the dock shows it (the
// blink repaints it every half second), and a refresh that replaces every row before the
// paint (at most four a second under a flood of changes).
#include "AlarmListModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>

#include "OffscreenMain.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace halvane;

namespace {

constexpr size_t kAlarms = kMaxListedAlarms;
const QSize kListSize(1280, 400);

std::vector<AlarmInfo> ManyAlarms() {
    const AlarmTime start = std::chrono::system_clock::now();
    std::vector<AlarmInfo> alarms(kAlarms);
    for (size_t i = 0; i < kAlarms; ++i) {
        AlarmInfo& alarm = alarms[i];
        alarm.tagIndex = i;
        alarm.kind = i % 3 == 0 ? AlarmKind::Low : AlarmKind::High;
        alarm.state = i % 2 == 0 ? AlarmListState::Unacknowledged : AlarmListState::Acknowledged;
        alarm.priority = static_cast<int>(i % 4) + 1;
        alarm.since = start - std::chrono::seconds(i);
        alarm.text = "High: 95.20 °C > 90 °C";
        if (alarm.state == AlarmListState::Acknowledged) {
            alarm.acknowledgedBy = "operator";
            alarm.acknowledgedAt = start;
        }
    }
    return alarms;
}

struct AlarmList {
    AlarmListModel model{[](size_t index) { return "Tank " + std::to_string(index + 1); },
                         [] { return std::chrono::system_clock::now(); }};
    QTableView view;

    AlarmList() {
        view.setModel(&model);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.verticalHeader()->hide();
        view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view.horizontalHeader()->setStretchLastSection(true);
        view.resize(kListSize);
        model.SetAlarms(ManyAlarms());
        view.show();
    }
};

void BM_PaintAlarmList(benchmark::State& state) {
    AlarmList list;
    list.view.grab(); // the first paint makes every visible row's texts
    for (auto _ : state) {
        list.model.SetBlinkOn(!list.model.BlinkOn());
        benchmark::DoNotOptimize(list.view.grab());
    }
    state.counters["rows"] = static_cast<double>(kAlarms);
}
BENCHMARK(BM_PaintAlarmList)->Unit(benchmark::kMillisecond);

void BM_RefreshAndPaintAlarmList(benchmark::State& state) {
    AlarmList list;
    const std::vector<AlarmInfo> alarms = ManyAlarms();
    for (auto _ : state) {
        list.model.SetAlarms(alarms);
        benchmark::DoNotOptimize(list.view.grab());
    }
    state.counters["rows"] = static_cast<double>(kAlarms);
}
BENCHMARK(BM_RefreshAndPaintAlarmList)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return halvane::bench::RunOffscreen<QApplication>(argc, argv);
}
