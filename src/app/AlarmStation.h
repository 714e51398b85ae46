#pragma once

#include "AlarmService.h"
#include "Connections.h"

#include <QObject>

#include <memory>
#include <optional>
#include <string>

class QMainWindow;

namespace halvane {

class ProfileStore;
class TagTable;

// The journal's event for a connection whose light went from `before` to `now`: "link-up"
// when it came up, "link-down" when it went down (or was down at its first look); nothing
// for a connection that is not used or did not change.
std::optional<std::string> LinkEventName(std::optional<LinkStatus> before, LinkStatus now);

// The alarms and the journal of the running station, beside the main window: the service
// and what tells the user about it.
class AlarmStation final : public QObject {
    Q_OBJECT
public:
    AlarmStation(TagTable& tags, const ProfileStore& store, QMainWindow& window);
    ~AlarmStation() override;

    AlarmService& Service() { return *m_service; }

    // Journals "started" and starts judging the tags.
    void Start();
    // Journals "stopped" and stops judging (before the tag table and the connections go).
    void Stop();
    // Communication (re)started: which connections are in use.
    void ConnectionsStarted(const Connections& connections, bool demo);
    void SetDemo(bool demo);
    void LinkChanged(int connection, LinkStatus status, const std::string& name);
    // A dialog stored its changes: "Settings", "Connections", "Tags", "Screens".
    void ConfigSaved(const std::string& dialog);

private:
    void ReportJournalFailure(const std::string& message);

    QMainWindow& m_window;
    std::unique_ptr<AlarmService> m_service;
    std::array<std::optional<LinkStatus>, kConnectionCount> m_links;
    bool m_started = false;
};

} // namespace halvane
