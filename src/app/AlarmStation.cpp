#include "AlarmStation.h"

#include "AlarmBanner.h"
#include "AlarmSound.h"
#include "Notifier.h"
#include "ProfileStore.h"
#include "StationAccess.h"
#include "TFormAlarms.h"
#include "TFormJournal.h"

#include <QAction>
#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
#include <QToolButton>

#include <cstdio>

namespace halvane {

std::optional<std::string> LinkEventName(std::optional<LinkStatus> before, LinkStatus now) {
    if (before == now || now == LinkStatus::Disabled)
        return std::nullopt;
    if (now == LinkStatus::Connected)
        return "link-up";
    return "link-down";
}

AlarmStation::AlarmStation(TagTable& tags, const ProfileStore& store, QMainWindow& window,
                           TagScreenOpener openTagScreen, StationAccess& access)
    : m_tags(tags), m_store(store), m_window(window), m_openTagScreen(std::move(openTagScreen)),
      m_access(access), m_service(std::make_unique<AlarmService>(
                            tags, ReadAlarmOptions(store), [this](const std::string& message) {
                                ReportJournalFailure(message);
                            })) {
    BuildWindows();
}

AlarmStation::~AlarmStation() {
    Stop();
}

void AlarmStation::BuildWindows() {
    m_dock = std::make_unique<QDockWidget>(tr("Alarms"), &m_window);
    m_dock->setObjectName("DockAlarms");
    m_list = new TFormAlarms(*m_service, *this, m_dock.get());
    m_dock->setWidget(m_list);
    m_window.addDockWidget(Qt::BottomDockWidgetArea, m_dock.get());
    // Shown on demand (F9, a click on the banner): the window keeps the size its screens
    // ask for.
    m_dock->hide();
    connect(m_dock.get(), &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible)
            m_list->setFocus();
    });

    m_banner = std::make_unique<AlarmBanner>(*m_service, m_window.statusBar());
    m_window.statusBar()->addPermanentWidget(m_banner.get(), 1);
    connect(m_banner.get(), &AlarmBanner::clicked, this, &AlarmStation::ShowList);
    m_sound = std::make_unique<AlarmSound>(*m_service);
    m_silence = std::make_unique<QToolButton>(m_window.statusBar());
    m_silence->setObjectName("ButtonSilence");
    m_silence->setText(tr("Silence"));
    m_silence->setToolTip(tr("Stops the alarm sound until the next new alarm"));
    m_silence->setVisible(m_service->Options().sound);
    m_window.statusBar()->addPermanentWidget(m_silence.get());
    connect(m_silence.get(), &QToolButton::clicked, this, [this] { m_sound->Silence(); });

    m_journal = std::make_unique<TFormJournal>(m_service->Options().journalFolder, &m_window);
}

void AlarmStation::AddMenuItems(QMenu& menu) {
    QAction* alarms = m_dock->toggleViewAction();
    alarms->setObjectName("Alarms1");
    alarms->setText(tr("&Alarms"));
    alarms->setShortcut(Qt::Key_F9);
    menu.addAction(alarms);
    QAction* journal = menu.addAction(tr("&Journal..."), this, &AlarmStation::ShowJournal);
    journal->setObjectName("Journal1");
    QAction* silence =
        menu.addAction(tr("&Silence alarm sound"), this, [this] { m_sound->Silence(); });
    silence->setObjectName("Silence1");
    silence->setShortcut(Qt::CTRL | Qt::Key_F9);
}

void AlarmStation::ShowList() {
    if (!m_access.Permit(Role::Viewer))
        return;
    m_dock->show();
    m_dock->raise();
    m_list->setFocus();
}

void AlarmStation::ShowTagScreen(size_t tagIndex) {
    if (m_openTagScreen)
        m_openTagScreen(tagIndex);
}

void AlarmStation::ShowJournal() {
    if (m_access.Permit(Role::Viewer))
        m_journal->Open();
}

std::optional<AlarmActor> AlarmStation::Actor() {
    if (!m_access.Permit(Role::Operator))
        return std::nullopt;
    return AlarmActor{m_access.User(), "station"};
}

// A locked station shows no alarms: the list closes and its key does nothing.
void AlarmStation::SetLocked(bool locked) {
    if (locked) {
        m_dock->hide();
        m_journal->hide();
    }
    m_dock->toggleViewAction()->setEnabled(!locked);
}

void AlarmStation::Start() {
    if (std::exchange(m_started, true))
        return;
    m_service->Record(EventNow("started", "station"), true);
    m_service->Start();
    StartNotifier();
}

void AlarmStation::Stop() {
    if (!std::exchange(m_started, false))
        return;
    m_notifier.reset();
    m_service->Stop();
    m_service->Record(EventNow("stopped", "station"), true);
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

// Connections stopped by the station's own shut-down are not links that went down.
void AlarmStation::LinkChanged(int connection, LinkStatus status, const std::string& name) {
    if (!m_started)
        return;
    std::optional<LinkStatus>& before = m_links[static_cast<size_t>(connection - 1)];
    const std::optional<std::string> event = LinkEventName(before, status);
    before = status;
    if (!event)
        return;
    JournalEvent line = EventNow(*event, "station");
    line.name = name;
    m_service->Record(std::move(line), true);
}

void AlarmStation::ConfigSaved(const std::string& dialog) {
    m_service->Record(EventNow("config-saved", "station", m_access.User(), dialog), true);
}

// Options that are on but cannot be used are told once, at the start that refused them.
void AlarmStation::StartNotifier() {
    m_notifyOptions = LoadNotifyOptions(m_store);
    if (!m_notifyOptions.enabled)
        return;
    m_notifier = std::make_unique<Notifier>(*m_service, m_tags, m_notifyOptions,
                                            NotifyStationName(), NotifySpoolFolder());
    const std::optional<std::string> problem = m_notifier->Start();
    if (!problem)
        return;
    m_notifier.reset();
    const std::string text = "Notifications not started: " + *problem;
    std::fprintf(stderr, "halvane: %s\n", text.c_str());
    m_window.statusBar()->showMessage(QString::fromStdString(text));
}

// A delivery under way is cut short only when the options changed.
void AlarmStation::NotifyOptionsSaved() {
    if (!m_started || LoadNotifyOptions(m_store) == m_notifyOptions)
        return;
    m_notifier.reset();
    StartNotifier();
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
