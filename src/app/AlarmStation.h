#pragma once

#include "AlarmListHost.h"
#include "AlarmService.h"
#include "Connections.h"
#include "NotifyOptions.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QDockWidget;
class QMainWindow;
class QMenu;
class QToolButton;

namespace halvane {

class AlarmBanner;
class AlarmSound;
class Notifier;
class ProfileStore;
class StationAccess;
class TFormAlarms;
class TFormJournal;
class TagTable;

// The journal's event for a connection whose light went from `before` to `now`: "link-up"
// when it came up, "link-down" when it went down (or was down at its first look); nothing
// for a connection that is not used or did not change.
std::optional<std::string> LinkEventName(std::optional<LinkStatus> before, LinkStatus now);

// The alarms and the journal of the running station, beside the main window: the service,
// the alarm list docked at the bottom, the banner and the sound in the status bar, the
// journal viewer and their menu items; and, when `[Notify]` enables it, the notifier that
// sends the alarms of the tags marked for it.
class AlarmStation final : public QObject, public AlarmListHost {
    Q_OBJECT
public:
    using TagScreenOpener = std::function<void(size_t tagIndex)>;

    AlarmStation(TagTable& tags, const ProfileStore& store, QMainWindow& window,
                 TagScreenOpener openTagScreen, StationAccess& access);
    ~AlarmStation() override;

    AlarmService& Service() { return *m_service; }
    QDockWidget* Dock() const { return m_dock.get(); }
    TFormAlarms* List() const { return m_list; }
    AlarmBanner* Banner() const { return m_banner.get(); }
    AlarmSound* Sound() const { return m_sound.get(); }
    TFormJournal* Journal() const { return m_journal.get(); }

    // "Alarms" (F9), "Journal" and "Silence alarm sound" in `menu`.
    void AddMenuItems(QMenu& menu);

    // Journals "started" and starts judging the tags and the notifier.
    void Start();
    // Stops the notifier; journals "stopped" and stops judging and journaling link changes
    // (before the tag table and the connections go).
    void Stop();
    // The notifier starts over with the stored options when they changed.
    void NotifyOptionsSaved();
    // Communication (re)started: which connections are in use.
    void ConnectionsStarted(const Connections& connections, bool demo);
    void SetDemo(bool demo);
    void LinkChanged(int connection, LinkStatus status, const std::string& name);
    // A dialog stored its changes: "Settings", "Connections", "Tags", "Screens".
    void ConfigSaved(const std::string& dialog);

    void ShowTagScreen(size_t tagIndex) override;
    void ShowJournal() override;
    // The user logged in, when the role may acknowledge and shelve.
    std::optional<AlarmActor> Actor() override;
    void SetLocked(bool locked);
    // Shows the alarm list in front.
    void ShowList();

private:
    void BuildWindows();
    void ReportJournalFailure(const std::string& message);
    void StartNotifier();

    const TagTable& m_tags;
    const ProfileStore& m_store;
    QMainWindow& m_window;
    TagScreenOpener m_openTagScreen;
    StationAccess& m_access;
    std::unique_ptr<AlarmService> m_service;
    std::unique_ptr<Notifier> m_notifier; // listens to m_service: goes before it
    NotifyOptions m_notifyOptions;        // as the notifier was last started with
    std::array<std::optional<LinkStatus>, kConnectionCount> m_links;
    bool m_started = false;
    // The windows follow the service: they go before it.
    std::unique_ptr<QDockWidget> m_dock;
    TFormAlarms* m_list = nullptr; // in m_dock
    std::unique_ptr<AlarmBanner> m_banner;
    std::unique_ptr<QToolButton> m_silence;
    std::unique_ptr<AlarmSound> m_sound;
    std::unique_ptr<TFormJournal> m_journal;
};

} // namespace halvane
