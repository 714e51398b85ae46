#pragma once

#include "CLog.h"
#include "DemoValues.h"
#include "HistoryTicker.h"
#include "TagTable.h"
#include "TemplateCounter.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <vector>

class QScrollArea;
class QTimer;
class QTabBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace halvane {

class Connections;
class ProfileStore;
class QueuedTraceSink;
class ScreenList;
class WebServer;

// The station's main window: it owns the configuration store and the tag table for the
// whole run and drives start-up and shut-down.
class TFormMain final : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMain(bool runtimeSwitch, QWidget* parent = nullptr);
    ~TFormMain() override;

    // The creation step: opens cfg/config.cfg, makes the string defaults present and reads
    // the screen list. False (after the error box) when there is no configuration file.
    bool Create();

    ProfileStore* Store() const { return m_store.get(); }
    TagTable& Tags() { return m_tags; }
    Connections* Comm() const { return m_connections.get(); }
    QueuedTraceSink* TraceLines() const { return m_traceSink; }
    WebServer* Web() const { return m_webServer.get(); }
    ScreenList* Screens() const { return m_screens.get(); }
    bool RuntimeSwitch() const { return m_runtimeSwitch; }
    QTreeWidget* TreeViewMain() const { return m_treeViewMain; }

    void ReloadTags();
    // Shows screen `page`, or the tag list for the number of screens; others do nothing.
    void ShowPage(int page);
    void RefreshScreenNodes();
    void RefreshTagNodes();
    // Stop and start of all communication; false when a serial port failed to open.
    bool SetupConnections();
    void ShutdownConnections();
    void ShowConnectionStatus();
    bool DemoMode() const { return m_demoMode; }
    void SetDemoMode(bool on);
    void BringToFront();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildWindow();
    void ShowStep();
    void Exit1Click();
    void TimerPollTimer(int connection);
    void TimerDemoTimer();
    void TimerHistoryTimer();
    void StartWebServer();
    void PrepareScreens();
    void TabSetScreensChange(int index);

    bool m_runtimeSwitch;
    bool m_shown = false;
    std::unique_ptr<ProfileStore> m_store;
    TagTable m_tags;
    QueuedTraceSink* m_traceSink = nullptr;
    std::unique_ptr<Connections> m_connections;
    std::unique_ptr<ScreenList> m_screens;
    std::unique_ptr<WebServer> m_webServer; // declared after what it reads: it goes first
    bool m_demoMode = false;
    DemoRandom m_demoRandom;
    bool m_editMode = true;
    TemplateCounters m_templateCounters; // the web templates' running tag and screen numbers

    QTreeWidget* m_treeViewMain = nullptr;
    QTreeWidgetItem* m_connectionsNode = nullptr;
    QTreeWidgetItem* m_screensNode = nullptr;
    QTreeWidgetItem* m_tagsNode = nullptr;
    QTabBar* m_tabSetScreens = nullptr;
    QScrollArea* m_scrollBoxDock = nullptr;
    std::array<QTimer*, 4> m_timerPoll{};
    QTimer* m_timerDemo = nullptr;
    QTimer* m_timerHistory = nullptr;
    CLog m_log;
    HistoryTicker m_historyTicker{m_log};
};

} // namespace halvane
