#pragma once

// A station's tag table with its alarm service, journaling into a temporary folder, for the
// alarm windows' tests: readings are stored as a connection stores them.

#include "AlarmListHost.h"
#include "AlarmService.h"
#include "JournalFormat.h"
#include "NumberFormat.h"
#include "TagTable.h"
#include "TempDir.h"

#include <QDate>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace halvane::test {

// A tank level with limits 10 and 90 %.
inline TDataChannel LevelTag(std::string name, int priority = 3) {
    TDataChannel tag;
    tag.Name = std::move(name);
    tag.Unit = "%";
    tag.Format = "%0.1f";
    tag.EnableAlert = true;
    tag.HighThreshold = 90;
    tag.LowThreshold = 10;
    tag.AlarmPriority = priority;
    return tag;
}

class AlarmStation {
public:
    explicit AlarmStation(std::vector<TDataChannel> tags, bool sound = true) {
        SetDecimalSeparator('.');
        m_tags.Assign(std::move(tags));
        AlarmOptions options;
        options.commDelaySeconds = 0;
        options.sound = sound;
        options.journalFolder = m_dir / "events";
        m_service = std::make_unique<AlarmService>(m_tags, options);
        m_service->Configure({}, false);
        m_service->Start();
    }
    ~AlarmStation() { m_service->Stop(); }

    // A valid reading of `value` stored on tag `index`, judged by the service when this returns.
    void Read(size_t index, double value) {
        TDataChannel outcome = m_tags.Snapshot(index);
        outcome.RealValue = value;
        outcome.ValueValid = true;
        outcome.Status = "OK";
        m_tags.StoreOutcome(index, outcome);
        m_service->Flush();
    }

    // Today's journal file.
    std::string JournalText() const {
        std::ifstream in(m_dir / "events" / JournalFileName(QDate::currentDate()),
                         std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    AlarmService& Service() { return *m_service; }
    const std::filesystem::path& Dir() const { return m_dir.Path(); }

private:
    TempDir m_dir;
    TagTable m_tags;
    std::unique_ptr<AlarmService> m_service;
};

// Records what the alarm list asked of its host.
class RecordingHost final : public AlarmListHost {
public:
    void ShowTagScreen(size_t tagIndex) override { screensShown.push_back(tagIndex); }
    void ShowJournal() override { ++journalsShown; }
    std::optional<AlarmActor> Actor() override { return actor; }

    std::optional<AlarmActor> actor = AlarmActor{}; // nothing: the user may not act
    std::vector<size_t> screensShown;
    int journalsShown = 0;
};

} // namespace halvane::test
