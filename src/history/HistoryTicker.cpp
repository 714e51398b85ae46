#include "HistoryTicker.h"

#include "HistoryLines.h"
#include "ProfileStore.h"
#include "TagTable.h"

#include <algorithm>

namespace halvane {

namespace {

constexpr const char* kGeneral = "General";
constexpr int kDefaultInterval = 60;
constexpr int kDefaultRetention = 7;
constexpr LocalMsecs kShortestGap = 5000;

} // namespace

void StartHistory(CLog& log, const ProfileStore& store, const TagTable& tags) {
    const std::string header = BuildHistoryHeader(tags.SnapshotAll(), HistorySeparator(store));
    log.Init(header, store.ReadInteger(kGeneral, "Log.Retention", kDefaultRetention));
}

LocalMsecs HistoryGap(const ProfileStore& store) {
    const LocalMsecs interval = store.ReadInteger(kGeneral, "Log.Interval", kDefaultInterval);
    return std::max(3 * 1000 * interval, kShortestGap);
}

HistoryTicker::HistoryTicker(CLog& log, QLocale locale) : m_log(log), m_locale(std::move(locale)) {}

void HistoryTicker::Tick(const ProfileStore* store, const TagTable& tags) {
    if (!store || !store->ReadBool(kGeneral, "Log.Enabled", false))
        return;
    const char separator = HistorySeparator(*store);
    if (++m_ticks < store->ReadInteger(kGeneral, "Log.Interval", kDefaultInterval))
        return;
    m_ticks = 0;
    const std::vector<TDataChannel> snapshot = tags.SnapshotAll();
    m_log.SetHeader(BuildHistoryHeader(snapshot, separator));
    m_log.Write(BuildHistoryLine(m_log.Now(), snapshot, separator, m_locale));
}

} // namespace halvane
