#pragma once

#include "CLog.h"
#include "ConnectionsHost.h"
#include "DemoValues.h"
#include "HistoryTicker.h"
#include "ScreenActions.h"
#include "ScreenListHost.h"
#include "TagListHost.h"
#include "TagTable.h"
#include "TemplateCounter.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QScrollArea;
class QTimer;
class QTabBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace halvane {

class AlarmStation;
class ConnectionNodes;
class Connections;
class MqttClient;
class ObjectPalette;
class PaletteSplitter;
class ProfileStore;
class QueuedTraceSink;
class ScreenList;
class StationAccess;
class TFormAbout;
class TFormChannelSetup;
class TFormConnections;
class TFormCommSpy;
class TFormEditScreen;
class TFormEditScreenObject;
class TFormEditScreens;
class TFormInput;
class TFormNavigator;
class TFormProgress;
class TFormSettings;
class TFormScreen;
class TFormTrends;
class WebServer;

// The last tab in edit mode: it stands for the tag list window.
inline constexpr char kTagsTabCaption[] = "<Tags>";

// The station's main window: it owns the configuration store, the tag table, the screens
// and the other windows for the whole run and drives start-up and shut-down. It holds the
// object navigator and the palette (edit mode only), the screen tabs and the dock area
// into which screens and the tag list window are placed, and the menu bar.
class TFormMain final : public QMainWindow,
                        public ScreenActions,
                        public TagListHost,
                        public ScreenListHost,
                        public ConnectionsHost {
    Q_OBJECT
public:
    explicit TFormMain(bool runtimeSwitch, QWidget* parent = nullptr);
    ~TFormMain() override;

    // The creation step: opens cfg/config.cfg, makes the string defaults present, reads
    // the screen list and creates the other windows, hidden. False (after the error box)
    // when there is no configuration file.
    bool Create();

    ProfileStore* Store() const { return m_store.get(); }
    TagTable& Tags() { return m_tags; }
    Connections* Comm() const { return m_connections.get(); }
    QueuedTraceSink* TraceLines() const { return m_traceSink; }
    WebServer* Web() const { return m_webServer.get(); }
    MqttClient* Mqtt() const { return m_mqtt.get(); }
    AlarmStation* Alarms() const { return m_alarms.get(); }
    StationAccess* Access() const { return m_access; }
    ScreenList* Screens() const { return m_screens.get(); }
    bool RuntimeSwitch() const { return m_runtimeSwitch; }
    bool EditMode() const { return m_editMode; }
    bool DemoMode() const { return m_demoMode; }
    QTreeWidget* TreeViewMain() const { return m_treeViewMain; }
    QTabBar* TabSetScreens() const { return m_tabSetScreens; }
    QScrollArea* ScrollBoxDock() const { return m_scrollBoxDock; }
    TFormChannelSetup* TagListWindow() const { return m_tagListWindow; }
    TFormNavigator* Navigator() const { return m_navigator; }
    TFormCommSpy* CommSpy() const { return m_commSpy; }
    TFormProgress* Progress() const { return m_progress; }
    TFormAbout* About() const { return m_about; }
    TFormTrends* Trends() const { return m_trends; }

    void ReloadTags() override;
    // The tag list window's needs around a change of the tag table.
    void StopCommunication() override;
    std::optional<std::string> ScreenUsingTag(int tagIndex) override;
    void RenumberScreenTags(int deletedIndex, int oldCount) override;
    void ShowProgress(bool shown) override;
    void ShowCommunicationMonitor() override;
    void ShowTrend(int tagIndex) override;
    bool Permit(Role needed) override;
    std::string User() override;
    // Shows the first screen that shows the tag (none: nothing changes).
    void ShowTagScreen(size_t tagIndex);
    // Shows screen `page` and hides the others and the tag list window; for the number of
    // screens, hides every screen and shows the tag list window; others do nothing.
    void ShowPage(int page);
    // Edit mode shows the left panel; run-time mode hides it and the tag list window.
    // Screens float only in run-time mode with `floating`.
    void SetEditMode(bool edit, bool runtimeSwitch, bool floating);
    void RefreshScreenNodes() override;
    // What the screens list dialog reports of its changes to the screen list.
    void ScreenCreated(TFormScreen* screen) override;
    void ScreenDeleted(size_t position) override;
    void RefreshTagNodes();
    // Stop and start of all communication; false when a serial port failed to open.
    bool SetupConnections() override;
    void ShutdownConnections() override;
    void ShowConnectionStatus() override;
    void ShowMqttStatus();
    std::optional<bool> IsConnectionOpen(int connection) const override;
    void BringToFront();

    // What the screens ask for in run-time mode.
    void PreviousScreen() override;
    void NextScreen() override;
    void ExitNow() override;
    void OpenHistoryFolder() override;
    void PresetTagValue(size_t tagIndex, double value) override;
    void ExitProgram() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void LoadTags();
    void BuildWindow();
    PaletteSplitter* BuildLeftPanel();
    QWidget* BuildScreenArea();
    void BuildMenu();
    QAction* AddMenuItem(QMenu* menu, const char* name, const QString& caption,
                         void (TFormMain::*handler)(), bool checkable = false);
    void BuildTimers();
    void CreateWindows();
    void PrepareScreen(TFormScreen* screen);
    void ConnectScreenDialogs(TFormScreen* screen);
    void DockTagListWindow(TFormChannelSetup* window);
    void ShowStep();
    void EnterStartMode();
    void FitToLargestScreen();
    void FitToFirstScreen();
    void ApplyViewSettings();
    void ApplyGridToScreens();
    void SetTagListVisible(bool visible);
    void SelectTab(int page);
    void FitDockContents();
    int ScreenCount() const;
    bool ShowConnectionHint(QEvent* event);
    void StartWebServer();
    void StartMqtt();
    void StopMqtt();
    void ReportMqttEvent(const std::string& line);
    // After a login, a logout or a changed account: a user who may not edit leaves edit
    // mode (the screens are saved as they leave it); a locked station shows nothing.
    void RightsChanged();
    void LogInAtStart();
    void SetDemoMode(bool on);

    void Newproject1Click();
    void Historyfiles1Click();
    void Exit1Click();
    void PutscreensinEditmode1Click();
    void PutscreensinNormalmode1Click();
    void Showscreentabs1Click();
    void Showgrid1Click();
    void SnaptoGrid1Click();
    void Demomode1Click();
    void Trends1Click();
    void Connections1Click();
    void EditScreens1Click();
    void Points1Click();
    void Advancedsettings1Click();
    void About1Click();
    void HalvaneWebPage1Click();
    void TabSetScreensChange(int index);
    void TreeViewMainDblClick();
    void TimerPollTimer(int connection);
    void TimerDemoTimer();
    void TimerHistoryTimer();

    bool m_runtimeSwitch;
    bool m_shown = false;
    std::unique_ptr<ProfileStore> m_store;
    TagTable m_tags;
    QueuedTraceSink* m_traceSink = nullptr;
    std::unique_ptr<Connections> m_connections;
    std::unique_ptr<ScreenList> m_screens;
    StationAccess* m_access = nullptr; // owned by this window, outlives m_alarms
    std::unique_ptr<AlarmStation> m_alarms;
    std::unique_ptr<WebServer> m_webServer; // declared after what it reads: it goes first
    std::unique_ptr<MqttClient> m_mqtt;     // the same
    bool m_demoMode = false;
    DemoRandom m_demoRandom;
    bool m_editMode = true;
    bool m_modeRuntimeSwitch = false; // the other two flags of the last SetEditMode
    bool m_floating = false;
    int m_page = 0; // the page last shown: a screen, or the tag list after the screens
    TemplateCounters m_templateCounters; // the web templates' running tag and screen numbers

    PaletteSplitter* m_panelLeft = nullptr;
    QTreeWidget* m_treeViewMain = nullptr;
    QTreeWidgetItem* m_connectionsNode = nullptr;
    ConnectionNodes* m_connectionNodes = nullptr; // the entries of m_connectionsNode
    QTreeWidgetItem* m_screensNode = nullptr;
    QTreeWidgetItem* m_tagsNode = nullptr;
    ObjectPalette* m_listView1 = nullptr;
    QTabBar* m_tabSetScreens = nullptr;
    QScrollArea* m_scrollBoxDock = nullptr;
    QWidget* m_dockContents = nullptr;
    TFormChannelSetup* m_tagListWindow = nullptr;

    QMenu* m_fileMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    QMenu* m_settingsMenu = nullptr;
    QAction* m_showscreentabs1 = nullptr;
    QAction* m_showgrid1 = nullptr;
    QAction* m_snaptoGrid1 = nullptr;
    QAction* m_demomode1 = nullptr;

    TFormAbout* m_about = nullptr;
    TFormNavigator* m_navigator = nullptr;
    TFormCommSpy* m_commSpy = nullptr;
    TFormProgress* m_progress = nullptr;
    TFormInput* m_input = nullptr;
    TFormEditScreenObject* m_objectEditor = nullptr;
    TFormEditScreen* m_editScreen = nullptr;
    TFormEditScreens* m_editScreens = nullptr;
    TFormConnections* m_formConnections = nullptr;
    TFormSettings* m_settings = nullptr;
    TFormTrends* m_trends = nullptr;

    std::array<QTimer*, 4> m_timerPoll{};
    QTimer* m_timerDemo = nullptr;
    QTimer* m_timerHistory = nullptr;
    CLog m_log;
    HistoryTicker m_historyTicker{m_log};
};

} // namespace halvane
