#pragma once

#include "CLog.h"
#include "HistoryTimestamp.h"

#include <QLocale>

namespace halvane {

class ProfileStore;
class TagTable;

// Builds the header from the tags and General / Log.Separator, and starts the log with
// General / Log.Retention (days, default 7). Called once, whether or not history is on.
void StartHistory(CLog& log, const ProfileStore& store, const TagTable& tags);

// Lines of the history further apart than this leave a gap: three times General /
// Log.Interval, at least 5 s.
LocalMsecs HistoryGap(const ProfileStore& store);

// The one-second history tick. While General / Log.Enabled is on it counts ticks and, once
// the count reaches General / Log.Interval (default 60; 1 or less: every tick), writes one
// line with every tag's value, under a header of the same tags and separator. The keys are
// read at every tick.
class HistoryTicker final {
public:
    explicit HistoryTicker(CLog& log, QLocale locale = QLocale::system());

    // Without a store nothing happens.
    void Tick(const ProfileStore* store, const TagTable& tags);

private:
    CLog& m_log;
    QLocale m_locale;
    int m_ticks = 0;
};

} // namespace halvane
