#include "AlarmStation.h"

#include "DataRoot.h"
#include "ProfileStore.h"

#include <QMainWindow>
#include <QStatusBar>

#include <chrono>
#include <cstdio>

namespace halvane {

namespace {

JournalEvent StationEvent(std::string event, std::string name = {}, std::string text = {}) {
    JournalEvent line;
    line.time = std::chrono::system_clock::now();
    line.event = std::move(event);
    line.name = std::move(name);
    line.source = "station";
    line.text = std::move(text);
    return line;
}

} // namespace

std::optional<std::string> LinkEventName(std::optional<LinkStatus> before, LinkStatus now) {
    if (before == now || now == LinkStatus::Disabled)
        return std::nullopt;
    if (now == LinkStatus::Connected)
        return "link-up";
    return "link-down";
}

AlarmStation::AlarmStation(TagTable& tags, const ProfileStore& store, QMainWindow& window)
    : m_window(window),
      m_service(std::make_unique<AlarmService>(
          tags, ReadAlarmOptions(store, DataRoot()),
          [this](const std::string& message) { ReportJournalFailure(message); })) {}

AlarmStation::~AlarmStation() {
    Stop();
}

void AlarmStation::Start() {
    if (std::exchange(m_started, true))
        return;
    m_service->Record(StationEvent("started"), true);
    m_service->Start();
}

void AlarmStation::Stop() {
    if (!std::exchange(m_started, false))
        return;
    m_service->Stop();
    m_service->Record(StationEvent("stopped"), true);
}

void AlarmStation::ConnectionsStarted(const Connections& connections, bool demo) {
    PortsEnabled ports{};
    for (int n = 1; n <= kConnectionCount; ++n)
        ports[static_cast<size_t>(n)] = connections.Status(n) != LinkStatus::Disabled;
    m_service->Configure(ports, demo);
}

void AlarmStation::SetDemo(bool demo) {
    m_service->SetDemo(demo);
}

void AlarmStation::LinkChanged(int connection, LinkStatus status, const std::string& name) {
    std::optional<LinkStatus>& before = m_links[static_cast<size_t>(connection - 1)];
    const std::optional<std::string> event = LinkEventName(before, status);
    before = status;
    if (event)
        m_service->Record(StationEvent(*event, name), true);
}

void AlarmStation::ConfigSaved(const std::string& dialog) {
    m_service->Record(StationEvent("config-saved", {}, dialog), true);
}

// Told on the thread that failed to write: stderr at once, the status bar when the
// window's thread gets to it.
void AlarmStation::ReportJournalFailure(const std::string& message) {
    std::fprintf(stderr, "halvane: %s\n", message.c_str());
    QMetaObject::invokeMethod(
        this,
        [this, text = QString::fromStdString(message)] { m_window.statusBar()->showMessage(text); },
        Qt::QueuedConnection);
}

} // namespace halvane
