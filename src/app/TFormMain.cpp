#include "TFormMain.h"

#include "AlarmStation.h"
#include "ConnectionNodes.h"
#include "Connections.h"
#include "DataRoot.h"
#include "DemoValues.h"
#include "HelpFile.h"
#include "Icons.h"
#include "MessageBox.h"
#include "MqttClient.h"
#include "ObjectPalette.h"
#include "OpenWithDesktop.h"
#include "PaletteSplitter.h"
#include "ProfileStore.h"
#include "ProjectStart.h"
#include "QueuedTraceSink.h"
#include "ScreenList.h"
#include "StartUp.h"
#include "StationAccess.h"
#include "StoredText.h"
#include "TFormAbout.h"
#include "TFormChannelSetup.h"
#include "TFormCommSpy.h"
#include "TFormConnections.h"
#include "TFormEditScreen.h"
#include "TFormEditScreenObject.h"
#include "TFormEditScreens.h"
#include "TFormEditStyles.h"
#include "TFormInput.h"
#include "TFormNavigator.h"
#include "TFormProgress.h"
#include "TFormScreen.h"
#include "TFormSettings.h"
#include "TFormTrends.h"
#include "TagTable.h"
#include "WebServer.h"
#include "WriteValue.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>

namespace halvane {

namespace {

constexpr int kClientWidth = 994;
constexpr int kClientHeight = 635;
constexpr int kLeftPanelWidth = 241;
// The dock area of a start with the run-time switch is never smaller than this.
constexpr int kMinimumDockWidth = 640;
constexpr int kMinimumDockHeight = 480;

QWidget* PanelWithHeader(const QString& header, QWidget* content) {
    auto* panel = new QWidget;
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* label = new QLabel(header);
    label->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(label);
    layout->addWidget(content);
    return panel;
}

QString ApplicationTitle() {
    return QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size());
}

} // namespace

TFormMain::TFormMain(bool runtimeSwitch, QWidget* parent)
    : QMainWindow(parent), m_runtimeSwitch(runtimeSwitch) {
    setObjectName("FormMain");
    setWindowTitle(ApplicationTitle());
    BuildWindow();
}

// The web server reads the screens, and the screens report their moves to this window:
// both go while everything they use is still whole.
TFormMain::~TFormMain() {
    m_mqtt.reset();
    m_webServer.reset();
    m_screens.reset();
}

void TFormMain::BuildWindow() {
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName("Splitter1");
    splitter->setChildrenCollapsible(false);
    m_panelLeft = BuildLeftPanel();
    splitter->addWidget(m_panelLeft);
    splitter->addWidget(BuildScreenArea());
    splitter->setSizes({kLeftPanelWidth, kClientWidth - kLeftPanelWidth});
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);
    BuildMenu();
    BuildTimers();
    statusBar()->setObjectName("StatusBar1");
    resize(kClientWidth, kClientHeight);
    move(screen()->availableGeometry().center() - rect().center());
}

PaletteSplitter* TFormMain::BuildLeftPanel() {
    m_treeViewMain = new QTreeWidget;
    m_treeViewMain->setObjectName("TreeViewMain");
    m_treeViewMain->setHeaderHidden(true);
    m_treeViewMain->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_treeViewMain->viewport()->installEventFilter(this);
    m_connectionsNode = new QTreeWidgetItem(m_treeViewMain, {tr("Connections")});
    m_connectionsNode->setIcon(0, MakeNavigatorIcon(NavigatorIcon::Connections));
    m_screensNode = new QTreeWidgetItem(m_treeViewMain, {tr("Screens")});
    m_screensNode->setIcon(0, MakeNavigatorIcon(NavigatorIcon::Screens));
    m_tagsNode = new QTreeWidgetItem(m_treeViewMain, {tr("Tags")});
    m_tagsNode->setIcon(0, MakeNavigatorIcon(NavigatorIcon::Tags));
    connect(m_treeViewMain, &QTreeWidget::itemDoubleClicked, this,
            &TFormMain::TreeViewMainDblClick);
    m_listView1 = new ObjectPalette;

    return new PaletteSplitter(PanelWithHeader(tr("Object Navigator"), m_treeViewMain),
                               PanelWithHeader(tr("Screen Object Palette "), m_listView1));
}

QWidget* TFormMain::BuildScreenArea() {
    auto* area = new QWidget;
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_tabSetScreens = new QTabBar;
    m_tabSetScreens->setObjectName("TabSetScreens");
    m_tabSetScreens->setExpanding(false);
    // A click on the tab already selected shows its page again: a command may have shown
    // another page without changing the tab.
    connect(m_tabSetScreens, &QTabBar::currentChanged, this, &TFormMain::TabSetScreensChange);
    connect(m_tabSetScreens, &QTabBar::tabBarClicked, this, &TFormMain::TabSetScreensChange);
    m_scrollBoxDock = new QScrollArea;
    m_scrollBoxDock->setObjectName("ScrollBoxDock");
    m_dockContents = new QWidget;
    m_dockContents->setObjectName("ScrollBoxDockContents");
    m_scrollBoxDock->setWidget(m_dockContents);
    m_scrollBoxDock->setWidgetResizable(true);
    layout->addWidget(m_tabSetScreens);
    layout->addWidget(m_scrollBoxDock, 1);
    return area;
}

QAction* TFormMain::AddMenuItem(QMenu* menu, const char* name, const QString& caption,
                                void (TFormMain::*handler)(), bool checkable) {
    // Owned by the window, so that the checks outlive a removed menu bar.
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    action->setCheckable(checkable);
    connect(action, &QAction::triggered, this, handler);
    menu->addAction(action);
    return action;
}

void TFormMain::BuildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenuRuntime");
    QMenu* file = bar->addMenu(tr("&File"));
    m_fileMenu = file;
    AddMenuItem(file, "Newproject1", tr("&New project..."), &TFormMain::Newproject1Click);
    AddMenuItem(file, "Historyfiles1", tr("Open &History Files"), &TFormMain::Historyfiles1Click);
    file->addSeparator();
    AddMenuItem(file, "Exit1", tr("&Exit Program"), &TFormMain::Exit1Click);

    QMenu* view = bar->addMenu(tr("&View"));
    m_viewMenu = view;
    AddMenuItem(view, "PutscreensinEditmode1", tr("Show in &Edit mode"),
                &TFormMain::PutscreensinEditmode1Click);
    AddMenuItem(view, "PutscreensinNormalmode1", tr("Show in &Run-time mode"),
                &TFormMain::PutscreensinNormalmode1Click);
    view->addSeparator();
    m_showscreentabs1 = AddMenuItem(view, "Showscreentabs1", tr("Show screen tabs"),
                                    &TFormMain::Showscreentabs1Click, true);
    m_showgrid1 = AddMenuItem(view, "Showgrid1", tr("Show Grid"), &TFormMain::Showgrid1Click, true);
    m_snaptoGrid1 =
        AddMenuItem(view, "SnaptoGrid1", tr("Snap to Grid"), &TFormMain::SnaptoGrid1Click, true);
    view->addSeparator();
    m_demomode1 =
        AddMenuItem(view, "Demomode1", tr("&Demo Mode"), &TFormMain::Demomode1Click, true);
    view->addSeparator();
    AddMenuItem(view, "Trends1", tr("&Trends..."), &TFormMain::Trends1Click);

    QMenu* settings = bar->addMenu(tr("&Settings"));
    m_settingsMenu = settings;
    AddMenuItem(settings, "Connections1", tr("&Connections..."), &TFormMain::Connections1Click);
    AddMenuItem(settings, "EditScreens1", tr("&Screens..."), &TFormMain::EditScreens1Click);
    AddMenuItem(settings, "Points1", tr("&Tags"), &TFormMain::Points1Click);
    AddMenuItem(settings, "Advancedsettings1", tr("&Settings..."),
                &TFormMain::Advancedsettings1Click);

    QMenu* help = bar->addMenu(tr("&Help"));
    AddMenuItem(help, "About1", tr("&About..."), &TFormMain::About1Click);
    AddMenuItem(help, "HalvaneWebPage1", tr("&Halvane Online Help"),
                &TFormMain::HalvaneWebPage1Click);
}

void TFormMain::BuildTimers() {
    for (int n = 1; n <= kConnectionCount; ++n) {
        QTimer* timer = new QTimer(this);
        timer->setObjectName(QStringLiteral("TimerPoll%1").arg(n));
        connect(timer, &QTimer::timeout, this, [this, n] { TimerPollTimer(n); });
        m_timerPoll[static_cast<size_t>(n - 1)] = timer;
    }
    m_traceSink = new QueuedTraceSink(this);
    m_timerHistory = new QTimer(this);
    m_timerHistory->setObjectName("TimerHistory");
    m_timerHistory->setInterval(1000);
    connect(m_timerHistory, &QTimer::timeout, this, &TFormMain::TimerHistoryTimer);
    m_timerHistory->start();
    m_timerDemo = new QTimer(this);
    m_timerDemo->setObjectName("TimerDemo");
    m_timerDemo->setInterval(2000);
    connect(m_timerDemo, &QTimer::timeout, this, &TFormMain::TimerDemoTimer);
}

bool TFormMain::Create() {
    const std::filesystem::path config = ResolveDataPath(kConfigRelativePath);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(config, ec)) {
        MessageBox::Error(nullptr, QString::fromUtf8(kConfigMissingCaption.data()),
                          QString::fromUtf8(kConfigMissingText.data()));
        return false;
    }
    m_store = std::make_unique<ProfileStore>(config);
    m_connections = std::make_unique<Connections>(m_tags, *m_store, m_traceSink);
    m_connectionNodes = new ConnectionNodes(*m_connectionsNode, *m_connections, this);
    m_access = new StationAccess(*m_store, *this, [this] { RightsChanged(); });
    m_access->AddMenuItems(*m_fileMenu, *m_settingsMenu);
    m_alarms = std::make_unique<AlarmStation>(
        m_tags, *m_store, *this, [this](size_t tagIndex) { ShowTagScreen(tagIndex); }, *m_access);
    m_viewMenu->addSeparator();
    m_alarms->AddMenuItems(*m_viewMenu);
    connect(m_connectionNodes, &ConnectionNodes::LinkStatusChanged, this,
            [this](int connection, LinkStatus status) {
                m_alarms->LinkChanged(connection, status, m_connections->StatusText(connection));
            });
    EnsureStringDefaults(*m_store);
    if (!m_store->LastError().empty())
        MessageBox::Warning(nullptr, tr("Configuration not saved"),
                            QString::fromStdString(m_store->LastError()));
    m_screens = std::make_unique<ScreenList>(*m_store, m_tags, m_scrollBoxDock, this);
    m_screens->SetActions(this);
    m_screens->LoadScreens();
    CreateWindows();
    return true;
}

// The other windows, hidden, in the order of the start-up; they live as long as this one.
void TFormMain::CreateWindows() {
    auto* styleEditor = new TFormEditStyles(*m_store, this); // one for both openers
    m_settings = new TFormSettings(*m_store, *styleEditor, this);
    m_about = new TFormAbout(this);
    m_navigator = new TFormNavigator(*m_store, *m_screens, this);
    connect(m_navigator, &TFormNavigator::ScreenShown, this, &TFormMain::SelectTab);

    DockTagListWindow(new TFormChannelSetup(m_tags, *m_store, *this, m_dockContents));
    m_commSpy = new TFormCommSpy(*m_traceSink, this);
    m_trends = new TFormTrends(m_tags, *m_store, this);
    m_progress = new TFormProgress(this);
    m_input = new TFormInput(this);
    m_objectEditor = new TFormEditScreenObject(*m_store, m_tags, *styleEditor, this);
    m_editScreen = new TFormEditScreen(this);
    m_editScreens = new TFormEditScreens(*m_screens, *m_store, *m_editScreen, *this, this);
    m_formConnections = new TFormConnections(*m_store, *this, this);
    for (size_t i = 0; i < m_screens->Size(); ++i)
        PrepareScreen(m_screens->At(i));
}

// Every screen, loaded at start or made later, works with the station's dialogs and reports
// its moves in the dock area. One made after the show step also takes the mode and grid
// that the show step gave the others.
void TFormMain::PrepareScreen(TFormScreen* screen) {
    ConnectScreenDialogs(screen);
    screen->installEventFilter(this);
    if (!m_shown)
        return;
    screen->SetScreenMode(m_editMode, m_modeRuntimeSwitch, m_floating);
    screen->SetGrid(m_showgrid1->isChecked(), m_snaptoGrid1->isChecked());
}

// Every screen asks for values, edits its objects and its properties through the station's
// one dialog of each kind. Saved properties may retitle the screen's node and tab.
void TFormMain::ConnectScreenDialogs(TFormScreen* screen) {
    screen->SetValueQuestion(
        [this](QPoint position, const TDataChannel& tag) -> std::optional<double> {
            if (!Permit(Role::Operator))
                return std::nullopt;
            return m_input->AskValue(position, tag);
        });
    screen->SetObjectEditor(
        [this, editor = m_objectEditor](TScreenMarker& object, bool isNew, QPoint position) {
            if (!Permit(Role::Engineer))
                return false;
            isNew ? editor->NewObject(object) : editor->EditObject(object);
            editor->move(position);
            return editor->exec() == QDialog::Accepted;
        });
    screen->SetPropertiesDialog([this](TFormScreen& target) {
        if (!Permit(Role::Engineer))
            return false;
        const bool saved = m_editScreen->EditScreen(target, &target);
        if (saved)
            RefreshScreenNodes();
        return saved;
    });
}

// The tag list window fills the dock area from its top-left corner, hidden until its page
// is shown.
void TFormMain::DockTagListWindow(TFormChannelSetup* window) {
    m_tagListWindow = window;
    m_tagListWindow->setParent(m_dockContents);
    m_tagListWindow->hide();
    auto* layout = new QVBoxLayout(m_dockContents);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tagListWindow);
}

void TFormMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        ShowStep();
    }
}

void TFormMain::ShowStep() {
    setWindowTitle(ApplicationTitle());
    if (m_alarms) {
        m_alarms->Start();
        m_access->SetJournal(
            [this](JournalEvent line) { m_alarms->Service().Record(std::move(line), true); });
    }
    LoadTags();
    RefreshScreenNodes();
    EnterStartMode();
    RightsChanged();
    // The first page: the first screen, or in edit mode without screens the tag list.
    if (ScreenCount() > 0 || m_editMode) {
        ShowPage(0);
        m_tabSetScreens->setCurrentIndex(0);
    }
    ShowConnectionStatus();
    m_tagListWindow->Fill();
    RefreshTagNodes();
    for (QTreeWidgetItem* node : {m_connectionsNode, m_screensNode, m_tagsNode})
        node->setExpanded(true);
    if (m_store->ReadBool("General", "DemoMode", false)) {
        m_demomode1->setChecked(true);
        SetDemoMode(true);
    }
    ApplyViewSettings();
    StartHistory(m_log, *m_store, m_tags);
    StartWebServer();
    StartMqtt();
    QMetaObject::invokeMethod(this, &TFormMain::LogInAtStart, Qt::QueuedConnection);
}

// Once the station runs, who works at it; one who may edit gets the start's edit mode.
void TFormMain::LogInAtStart() {
    if (m_access->StartUp(m_runtimeSwitch) && !m_editMode &&
        m_access->CurrentSession().Allows(Role::Engineer))
        SetEditMode(true, false, false);
}

// With the run-time switch the window is reduced to the screens, exactly as large as the
// largest of them; otherwise the screens start in edit mode, for those who may edit.
void TFormMain::EnterStartMode() {
    if (!m_runtimeSwitch) {
        if (m_access->CurrentSession().Allows(Role::Engineer))
            SetEditMode(true, false, false);
        else
            PutscreensinNormalmode1Click();
        FitToFirstScreen();
        return;
    }
    SetEditMode(false, true, false);
    setMenuWidget(nullptr);
    statusBar()->hide();
    FitToLargestScreen();
}

// The dock area becomes as wide as the widest screen and as high as the highest one; the
// tab bar above it is all the window holds besides.
void TFormMain::FitToLargestScreen() {
    QSize area(kMinimumDockWidth, kMinimumDockHeight);
    for (size_t i = 0; i < m_screens->Size(); ++i)
        area = area.expandedTo(m_screens->At(i)->ClientSize());
    m_scrollBoxDock->setFrameShape(QFrame::NoFrame);
    const int tabBarHeight =
        m_tabSetScreens->isVisibleTo(this) ? m_tabSetScreens->sizeHint().height() : 0;
    setFixedSize(area.width(), area.height() + tabBarHeight);
    move(screen()->availableGeometry().center() - rect().center());
}

// The window grows until the first screen shows whole in the dock area beside the object
// navigator, and never beyond the available area of its screen.
void TFormMain::FitToFirstScreen() {
    const QRect available = screen()->availableGeometry();
    const QSize frame = frameGeometry().size() - size();
    resize(size().boundedTo(available.size() - frame));
    // Growing the window may change what its bars take (a status bar laid out late): a
    // second look corrects that.
    for (int look = 0; look < 2 && ScreenCount() > 0; ++look) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QRect first = m_screens->At(0)->geometry();
        const QSize needed(first.right() + 1, first.bottom() + 1);
        const QSize grow =
            (needed - m_scrollBoxDock->maximumViewportSize()).expandedTo(QSize(0, 0));
        resize((size() + grow).boundedTo(available.size() - frame));
    }
    QRect placed(QPoint(), size() + frame);
    placed.moveCenter(available.center());
    move(placed.topLeft());
}

void TFormMain::ApplyViewSettings() {
    m_panelLeft->Restore(*m_store);
    const bool showTabs = m_store->ReadBool("General", "Show.ScreenTabs", true);
    m_showscreentabs1->setChecked(showTabs);
    m_tabSetScreens->setVisible(showTabs);
    if (m_runtimeSwitch)
        FitToLargestScreen(); // without the tab bar the window holds the dock area alone
    m_showgrid1->setChecked(m_store->ReadBool("General", "Show.Grid", false));
    m_snaptoGrid1->setChecked(m_store->ReadBool("General", "Show.SnapToGrid", true));
    ApplyGridToScreens();
}

void TFormMain::ApplyGridToScreens() {
    for (size_t i = 0; i < m_screens->Size(); ++i)
        m_screens->At(i)->SetGrid(m_showgrid1->isChecked(), m_snaptoGrid1->isChecked());
}

int TFormMain::ScreenCount() const {
    return m_screens ? static_cast<int>(m_screens->Size()) : 0;
}

void TFormMain::SetEditMode(bool edit, bool runtimeSwitch, bool floating) {
    m_editMode = edit;
    m_modeRuntimeSwitch = runtimeSwitch;
    m_floating = floating;
    m_panelLeft->setVisible(edit);
    for (size_t i = 0; i < m_screens->Size(); ++i)
        m_screens->At(i)->SetScreenMode(edit, runtimeSwitch, floating);
    if (!edit) {
        SetTagListVisible(false);
        // The tag list has no tab in run-time mode: the first screen takes its place.
        if (m_page == ScreenCount())
            ShowPage(0);
    }
    RefreshScreenNodes();
    FitDockContents();
}

void TFormMain::RefreshScreenNodes() {
    const bool expanded = m_screensNode->isExpanded();
    qDeleteAll(m_screensNode->takeChildren());
    const QSignalBlocker blocker(m_tabSetScreens);
    while (m_tabSetScreens->count() > 0)
        m_tabSetScreens->removeTab(0);
    for (int i = 0; i < ScreenCount(); ++i) {
        const TFormScreen* screen = m_screens->At(static_cast<size_t>(i));
        const QString caption = QString::fromStdString(StoredTextToUtf8(screen->Caption()));
        auto* node = new QTreeWidgetItem(m_screensNode, {caption});
        node->setIcon(0, MakeNavigatorIcon(NavigatorIcon::Screen));
        m_tabSetScreens->addTab(caption);
    }
    if (m_editMode)
        m_tabSetScreens->addTab(QString::fromLatin1(kTagsTabCaption));
    m_tabSetScreens->setCurrentIndex(m_page);
    m_screensNode->setExpanded(expanded);
}

// The tag list stays the last page.
void TFormMain::ScreenCreated(TFormScreen* screen) {
    PrepareScreen(screen);
    if (m_page == ScreenCount() - 1)
        m_page = ScreenCount();
}

// Pages after the deleted screen move up with it; when it was the page shown, the screen
// that took its place is shown, or the one before it when it was the last.
void TFormMain::ScreenDeleted(size_t position) {
    const int deleted = static_cast<int>(position);
    if (m_page > deleted)
        --m_page;
    else if (m_page == deleted && ScreenCount() > 0)
        ShowPage(std::min(deleted, ScreenCount() - 1));
    FitDockContents();
}

// Only the tab changes: the page it stands for is already shown.
void TFormMain::SelectTab(int page) {
    m_page = page;
    const QSignalBlocker blocker(m_tabSetScreens);
    m_tabSetScreens->setCurrentIndex(page);
}

void TFormMain::RefreshTagNodes() {
    const bool expanded = m_tagsNode->isExpanded();
    qDeleteAll(m_tagsNode->takeChildren());
    const QIcon input = MakeNavigatorIcon(NavigatorIcon::InputTag);
    const QIcon output = MakeNavigatorIcon(NavigatorIcon::OutputTag);
    QList<QTreeWidgetItem*> children;
    const auto tags = m_tags.SnapshotAll();
    children.reserve(static_cast<qsizetype>(tags.size()));
    for (size_t i = 0; i < tags.size(); ++i) {
        auto* node = new QTreeWidgetItem({QStringLiteral("%1. %2").arg(i + 1).arg(
            QString::fromStdString(StoredTextToUtf8(tags[i].Name)))});
        node->setIcon(0, tags[i].Function < 4 ? input : output);
        children.push_back(node);
    }
    m_tagsNode->addChildren(children);
    m_tagsNode->setExpanded(expanded);
}

void TFormMain::ShowPage(int page) {
    const int count = ScreenCount();
    if (page < 0 || page > count)
        return;
    m_page = page;
    if (page < count)
        SetTagListVisible(false);
    for (int i = 0; i < count; ++i) {
        TFormScreen* screen = m_screens->At(static_cast<size_t>(i));
        if (i != page) {
            screen->hide();
            continue;
        }
        if (!m_editMode)
            screen->move(0, 0);
        screen->show();
    }
    if (page == count)
        SetTagListVisible(true);
}

void TFormMain::SetTagListVisible(bool visible) {
    if (m_tagListWindow)
        m_tagListWindow->setVisible(visible);
}

// The dock area scrolls over the docked screens that are shown: its contents are at least
// as large as they reach.
void TFormMain::FitDockContents() {
    QRect used;
    for (QWidget* child : m_dockContents->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child != m_tagListWindow && child->isVisibleTo(m_dockContents))
            used |= child->geometry();
    }
    m_dockContents->setMinimumSize(used.isEmpty() ? QSize(0, 0)
                                                  : QSize(used.right() + 1, used.bottom() + 1));
}

void TFormMain::TabSetScreensChange(int index) {
    ShowPage(index);
}

void TFormMain::TreeViewMainDblClick() {
    QTreeWidgetItem* node = m_treeViewMain->currentItem();
    if (node && node->parent() == m_connectionsNode &&
        m_connectionsNode->indexOfChild(node) == kConnectionCount) {
        Advancedsettings1Click();
        return;
    }
    if (node && (node == m_connectionsNode || node->parent() == m_connectionsNode)) {
        Connections1Click();
        return;
    }
    if (node == m_screensNode) {
        EditScreens1Click();
        return;
    }
    if (node && node->parent() == m_tagsNode) {
        m_tagListWindow->EditTag(m_tagsNode->indexOfChild(node));
        return;
    }
    int page = -1;
    if (node && node->parent() == m_screensNode)
        page = m_screensNode->indexOfChild(node);
    else if (node == m_tagsNode)
        page = ScreenCount();
    if (page < 0)
        return;
    ShowPage(page);
    m_tabSetScreens->setCurrentIndex(page);
}

void TFormMain::StartWebServer() {
    if (!m_store || !m_store->ReadBool("WebServer", "Enabled", false))
        return;
    WebServerLimits limits;
    limits.keepAlive = m_store->ReadBool("WebServer", "KeepAlive", false);
    m_webServer = std::make_unique<WebServer>(WebContext{*m_store, m_tags, m_screens.get(),
                                                         m_templateCounters,
                                                         m_alarms ? &m_alarms->Service() : nullptr},
                                              limits);
    if (m_webServer->Start(m_store->ReadInteger("WebServer", "Port", 8088)))
        return;
    m_webServer.reset();
    MessageBox::Error(this, tr("Cannot start Web server"),
                      tr("Web server cannot start. Please verify if the server port is not "
                         "occupied by another process."));
}

// Writes that arrive over MQTT are made on this thread, as the tag list makes them.
void TFormMain::StartMqtt() {
    MqttOptions options = LoadMqttOptions(*m_store);
    if (!options.enabled)
        return;
    m_mqtt = std::make_unique<MqttClient>(
        std::move(options), m_tags, *m_store,
        [this](const std::string& line) { ReportMqttEvent(line); },
        [this](std::function<void()> task) {
            QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
        },
        m_alarms ? &m_alarms->Service() : nullptr);
    if (!m_mqtt->Start())
        m_mqtt.reset();
    ShowConnectionStatus();
}

void TFormMain::StopMqtt() {
    m_mqtt.reset();
    ShowConnectionStatus();
}

// Called on the client's thread: stderr at once, the window when its thread gets to it.
void TFormMain::ReportMqttEvent(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    QMetaObject::invokeMethod(
        this,
        [this, text = QString::fromStdString(line)] {
            statusBar()->showMessage(text);
            ShowConnectionStatus();
        },
        Qt::QueuedConnection);
}

void TFormMain::TimerHistoryTimer() {
    m_historyTicker.Tick(m_store.get(), m_tags);
}

// The tag list changed the tags in the file.
void TFormMain::ReloadTags() {
    LoadTags();
    if (m_alarms)
        m_alarms->ConfigSaved("Tags");
}

void TFormMain::LoadTags() {
    ShutdownConnections();
    std::vector<TDataChannel> reloaded =
        m_store ? LoadAllTags(*m_store) : std::vector<TDataChannel>{};
    CarryPendingWrites(m_tags.SnapshotAll(), reloaded);
    m_tags.Assign(std::move(reloaded));
    if (m_mqtt)
        m_mqtt->TagsReloaded();
    SetupConnections();
    RefreshTagNodes();
    ShowConnectionStatus();
    if (m_tagListWindow)
        m_tagListWindow->Fill();
}

void TFormMain::StopCommunication() {
    ShutdownConnections();
}

void TFormMain::ShowTagScreen(size_t tagIndex) {
    for (size_t i = 0; i < m_screens->Size(); ++i)
        if (m_screens->At(i)->IsTagUsed(static_cast<int>(tagIndex))) {
            const int page = static_cast<int>(i);
            ShowPage(page);
            m_tabSetScreens->setCurrentIndex(page);
            return;
        }
}

std::optional<std::string> TFormMain::ScreenUsingTag(int tagIndex) {
    for (size_t i = 0; i < m_screens->Size(); ++i)
        if (m_screens->At(i)->IsTagUsed(tagIndex))
            return m_screens->At(i)->Caption();
    return std::nullopt;
}

void TFormMain::RenumberScreenTags(int deletedIndex, int oldCount) {
    for (int j = deletedIndex + 1; j < oldCount; ++j)
        for (size_t i = 0; i < m_screens->Size(); ++i) {
            TFormScreen* screen = m_screens->At(i);
            screen->RenumberTagReferences(j, j - 1);
            screen->SaveObjects();
        }
}

void TFormMain::ShowProgress(bool shown) {
    m_progress->setVisible(shown);
}

void TFormMain::ShowCommunicationMonitor() {
    if (!Permit(Role::Viewer))
        return;
    m_commSpy->show();
    m_commSpy->raise();
}

void TFormMain::ShowTrend(int tagIndex) {
    if (Permit(Role::Viewer))
        m_trends->ShowTag(tagIndex);
}

// Without accounts (no users file) everything is permitted, as before.
bool TFormMain::Permit(Role needed) {
    return !m_access || m_access->Permit(needed);
}

std::string TFormMain::User() {
    return m_access ? m_access->User() : std::string();
}

void TFormMain::RightsChanged() {
    const Session& session = m_access->CurrentSession();
    if (m_shown && m_editMode && !session.Allows(Role::Engineer))
        PutscreensinNormalmode1Click();
    centralWidget()->setVisible(!session.Locked());
    if (m_alarms)
        m_alarms->SetLocked(session.Locked());
}

bool TFormMain::SetupConnections() {
    if (!m_connections)
        return true;
    const bool serialPortsOpened = m_connections->Setup([this](const ConnectionProblem& problem) {
        MessageBox::Warning(this, QString::fromStdString(problem.caption),
                            QString::fromStdString(problem.text));
    });
    for (int n = 1; n <= kConnectionCount; ++n) {
        QTimer* timer = m_timerPoll[static_cast<size_t>(n - 1)];
        timer->setInterval(m_connections->PollIntervalMs(n));
        timer->start();
    }
    if (m_alarms)
        m_alarms->ConnectionsStarted(*m_connections, m_demoMode);
    return serialPortsOpened;
}

void TFormMain::ShutdownConnections() {
    for (QTimer* timer : m_timerPoll)
        timer->stop();
    if (m_connections)
        m_connections->Shutdown();
}

std::optional<bool> TFormMain::IsConnectionOpen(int connection) const {
    if (!m_connections)
        return std::nullopt;
    return m_connections->IsConnected(connection);
}

void TFormMain::ShowConnectionStatus() {
    if (!m_connectionNodes)
        return;
    m_connectionNodes->Refresh();
    ShowMqttStatus();
}

// The entry after the four connections, there while the client runs.
void TFormMain::ShowMqttStatus() {
    if (!m_mqtt) {
        // Taken out of the tree, the entry is ours to delete (nothing when there is none).
        const std::unique_ptr<QTreeWidgetItem> removed(
            m_connectionsNode->takeChild(kConnectionCount));
        return;
    }
    QTreeWidgetItem* item = m_connectionsNode->child(kConnectionCount);
    if (!item)
        item = new QTreeWidgetItem(m_connectionsNode);
    const MqttOptions& options = m_mqtt->Options();
    item->setText(0, tr("MQTT: %1:%2").arg(QString::fromStdString(options.host)).arg(options.port));
    item->setIcon(0, MakeNavigatorIcon(m_mqtt->IsConnected() ? NavigatorIcon::Connected
                                                             : NavigatorIcon::Disconnected));
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_treeViewMain->viewport() && event->type() == QEvent::ToolTip && m_connections)
        return ShowConnectionHint(event);
    if (watched->parent() == m_dockContents) {
        const QEvent::Type type = event->type();
        if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show ||
            type == QEvent::Hide)
            FitDockContents();
    }
    return QMainWindow::eventFilter(watched, event);
}

// A connection's hint is built when the tree asks for it: the link may have dropped since.
bool TFormMain::ShowConnectionHint(QEvent* event) {
    const auto* help = static_cast<QHelpEvent*>(event);
    QTreeWidgetItem* item = m_treeViewMain->itemAt(help->pos());
    if (!item || item->parent() != m_connectionsNode) {
        QToolTip::hideText();
        return true;
    }
    const int connection = m_connectionsNode->indexOfChild(item) + 1;
    const std::string hint = connection > kConnectionCount
                                 ? (m_mqtt ? m_mqtt->StatusText() : std::string())
                                 : m_connections->StatusHint(connection);
    QToolTip::showText(help->globalPos(), QString::fromStdString(hint), m_treeViewMain);
    return true;
}

void TFormMain::TimerPollTimer(int connection) {
    // In demo mode the demo timer feeds the tags instead.
    if (!m_demoMode && m_connections)
        m_connections->PollNext(connection);
}

// The menu item has already changed its check when this runs.
void TFormMain::Demomode1Click() {
    if (!Permit(Role::Engineer)) {
        m_demomode1->setChecked(m_demoMode);
        return;
    }
    SetDemoMode(m_demomode1->isChecked());
}

void TFormMain::SetDemoMode(bool on) {
    m_demoMode = on;
    m_store->WriteBool("General", "DemoMode", m_demoMode);
    if (m_alarms)
        m_alarms->SetDemo(m_demoMode);
    setWindowTitle(m_demoMode ? ApplicationTitle() + QStringLiteral(" [demo mode]")
                              : ApplicationTitle());
    if (m_demoMode) {
        if (!m_demoRandom)
            m_demoRandom = MakeDemoRandom(std::random_device{}());
        m_timerDemo->start();
        return;
    }
    m_timerDemo->stop();
    auto tags = m_tags.SnapshotAll();
    ResetDemoValues(tags);
    m_tags.Assign(std::move(tags));
}

void TFormMain::TimerDemoTimer() {
    auto tags = m_tags.SnapshotAll();
    DemoTick(tags, m_store.get(), m_demoRandom);
    m_tags.Assign(std::move(tags));
}

void TFormMain::Newproject1Click() {
    if (Permit(Role::Engineer))
        NewProjectCommand::Run(this, QCoreApplication::applicationDirPath().toStdString());
}

void TFormMain::Historyfiles1Click() {
    if (Permit(Role::Viewer))
        OpenHistoryFolder();
}

void TFormMain::Trends1Click() {
    if (Permit(Role::Viewer))
        m_trends->Open();
}

void TFormMain::Exit1Click() {
    close();
}

void TFormMain::PutscreensinEditmode1Click() {
    if (Permit(Role::Engineer))
        SetEditMode(true, false, false);
}

void TFormMain::PutscreensinNormalmode1Click() {
    SetEditMode(false, false, m_store->ReadBool("General", "FloatingScreens", false));
}

void TFormMain::Showscreentabs1Click() {
    m_store->WriteBool("General", "Show.ScreenTabs", m_showscreentabs1->isChecked());
    m_tabSetScreens->setVisible(m_showscreentabs1->isChecked());
}

void TFormMain::Showgrid1Click() {
    m_store->WriteBool("General", "Show.Grid", m_showgrid1->isChecked());
    ApplyGridToScreens();
}

void TFormMain::SnaptoGrid1Click() {
    m_store->WriteBool("General", "Show.SnapToGrid", m_snaptoGrid1->isChecked());
    ApplyGridToScreens();
}

// The dialog has the station follow each of its changes: its result means nothing.
void TFormMain::EditScreens1Click() {
    if (Permit(Role::Engineer))
        m_editScreens->exec();
}

// The dialog relabels the connections as it closes.
void TFormMain::Connections1Click() {
    if (Permit(Role::Engineer) && m_formConnections->exec() == QDialog::Accepted && m_alarms)
        m_alarms->ConfigSaved("Connections");
}

void TFormMain::Points1Click() {
    if (!Permit(Role::Viewer))
        return;
    const int tagsPage = ScreenCount();
    ShowPage(tagsPage);
    if (m_editMode)
        m_tabSetScreens->setCurrentIndex(tagsPage);
}

// A changed "MQTT" or "Notify" section takes effect at once: the client or the notifier
// starts over with it.
void TFormMain::Advancedsettings1Click() {
    if (!Permit(Role::Engineer) || m_settings->exec() != QDialog::Accepted)
        return;
    if (m_alarms) {
        m_alarms->ConfigSaved("Settings");
        m_alarms->NotifyOptionsSaved();
    }
    const MqttOptions options = LoadMqttOptions(*m_store);
    if (m_mqtt ? m_mqtt->Options() == options : !options.enabled)
        return;
    StopMqtt();
    StartMqtt();
}

void TFormMain::About1Click() {
    m_about->exec();
}

void TFormMain::HalvaneWebPage1Click() {
    const auto help = FindHelpFile(QCoreApplication::applicationDirPath().toStdString());
    if (!help) {
        MessageBox::Warning(this, QCoreApplication::applicationName(),
                            tr("The help file README.md was not found beside the program."));
        return;
    }
    OpenWithDesktop(this, *help);
}

void TFormMain::PreviousScreen() {
    m_navigator->PreviousScreen();
}

void TFormMain::NextScreen() {
    m_navigator->NextScreen();
}

// The message loop ends at once: the close sequence does not run, what this window owns
// is still released when it is destroyed.
void TFormMain::ExitNow() {
    QCoreApplication::exit(0);
}

void TFormMain::OpenHistoryFolder() {
    OpenWithDesktop(this, HistoryFolder());
}

// A value the register cannot hold is refused with its range; a preset that cannot be
// stored is dropped without a message.
void TFormMain::PresetTagValue(size_t tagIndex, double value) {
    if (!Permit(Role::Operator))
        return;
    if (PresetValue(m_tags, *m_store, tagIndex, value, WriteOrigin(WriteSource::Station, User())) ==
        PresetOutcome::OutOfRange)
        MessageBox::Error(
            this, QCoreApplication::applicationName(),
            QString::fromStdString(*PresetRangeError(m_tags.Snapshot(tagIndex), value)));
}

void TFormMain::ExitProgram() {
    if (MessageBox::Question(this, tr("Confirmation"), tr("Do you want to exit Halvane?.")) ==
        QMessageBox::Yes)
        close();
}

void TFormMain::BringToFront() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void TFormMain::closeEvent(QCloseEvent* event) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_screens)
        for (size_t i = 0; i < m_screens->Size(); ++i)
            m_screens->At(i)->close();
    if (m_alarms)
        m_alarms->Stop();
    ShutdownConnections();
    StopMqtt();
    QApplication::restoreOverrideCursor();
    event->accept();
    QApplication::quit();
}

} // namespace halvane
