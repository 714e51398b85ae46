#include "TFormMain.h"

#include "Connections.h"
#include "DataRoot.h"
#include "DemoValues.h"
#include "MessageBox.h"
#include "ProfileStore.h"
#include "QueuedTraceSink.h"
#include "ScreenList.h"
#include "StartUp.h"
#include "StoredText.h"
#include "TFormScreen.h"
#include "TagTable.h"
#include "WebServer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
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

#include <filesystem>
#include <random>

namespace halvane {

namespace {

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

} // namespace

TFormMain::TFormMain(bool runtimeSwitch, QWidget* parent)
    : QMainWindow(parent), m_runtimeSwitch(runtimeSwitch) {
    setObjectName("FormMain");
    setWindowTitle(QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()));
    BuildWindow();
}

TFormMain::~TFormMain() = default;

void TFormMain::BuildWindow() {
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName("Splitter1");

    m_treeViewMain = new QTreeWidget;
    m_treeViewMain->setObjectName("TreeViewMain");
    m_treeViewMain->setHeaderHidden(true);
    m_treeViewMain->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_treeViewMain->viewport()->installEventFilter(this);
    m_connectionsNode = new QTreeWidgetItem(m_treeViewMain, {tr("Connections")});
    m_screensNode = new QTreeWidgetItem(m_treeViewMain, {tr("Screens")});
    m_tagsNode = new QTreeWidgetItem(m_treeViewMain, {tr("Tags")});
    auto* leftPanel = PanelWithHeader(tr("Object Navigator"), m_treeViewMain);
    leftPanel->setObjectName("PanelLeft");
    splitter->addWidget(leftPanel);

    auto* screenArea = new QWidget;
    auto* screenLayout = new QVBoxLayout(screenArea);
    screenLayout->setContentsMargins(0, 0, 0, 0);
    screenLayout->setSpacing(0);
    m_tabSetScreens = new QTabBar;
    m_tabSetScreens->setObjectName("TabSetScreens");
    m_scrollBoxDock = new QScrollArea;
    m_scrollBoxDock->setObjectName("ScrollBoxDock");
    auto* dockContents = new QWidget;
    dockContents->setObjectName("ScrollBoxDockContents");
    m_scrollBoxDock->setWidget(dockContents);
    m_scrollBoxDock->setWidgetResizable(true);
    connect(m_tabSetScreens, &QTabBar::currentChanged, this, &TFormMain::TabSetScreensChange);
    screenLayout->addWidget(m_tabSetScreens);
    screenLayout->addWidget(m_scrollBoxDock, 1);
    splitter->addWidget(screenArea);
    splitter->setSizes({241, 994 - 241});
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);

    auto* menu = menuBar();
    menu->setObjectName("MainMenuRuntime");
    auto* file = menu->addMenu(tr("&File"));
    auto* exit = file->addAction(tr("&Exit Program"));
    exit->setObjectName("Exit1");
    connect(exit, &QAction::triggered, this, &TFormMain::Exit1Click);

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

    statusBar()->setObjectName("StatusBar1");
    resize(994, 635);
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
    EnsureStringDefaults(*m_store);
    if (!m_store->LastError().empty())
        MessageBox::Warning(nullptr, tr("Configuration not saved"),
                            QString::fromStdString(m_store->LastError()));
    m_screens = std::make_unique<ScreenList>(*m_store, m_tags, m_scrollBoxDock, this);
    m_screens->LoadScreens();
    return true;
}

void TFormMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        ShowStep();
    }
}

void TFormMain::ShowStep() {
    setWindowTitle(QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()));
    ReloadTags();
    PrepareScreens();
    m_treeViewMain->expandAll();
    if (m_store && m_store->ReadBool("General", "DemoMode", false))
        SetDemoMode(true);
    if (m_store)
        StartHistory(m_log, *m_store, m_tags);
    StartWebServer();
}

// Every screen takes the start's mode and the grid settings; the first one is shown.
void TFormMain::PrepareScreens() {
    if (!m_screens)
        return;
    const bool showGrid = m_store->ReadBool("General", "Show.Grid", false);
    const bool snapToGrid = m_store->ReadBool("General", "Show.SnapToGrid", true);
    for (size_t i = 0; i < m_screens->Size(); ++i) {
        TFormScreen* screen = m_screens->At(i);
        screen->SetScreenMode(!m_runtimeSwitch, m_runtimeSwitch, false);
        screen->SetGrid(showGrid, snapToGrid);
    }
    m_editMode = !m_runtimeSwitch;
    RefreshScreenNodes();
    if (m_screens->Size() > 0) {
        ShowPage(0);
        m_tabSetScreens->setCurrentIndex(0);
    }
}

void TFormMain::RefreshScreenNodes() {
    const bool expanded = m_screensNode->isExpanded();
    qDeleteAll(m_screensNode->takeChildren());
    const QSignalBlocker blocker(m_tabSetScreens);
    while (m_tabSetScreens->count() > 0)
        m_tabSetScreens->removeTab(0);
    const size_t count = m_screens ? m_screens->Size() : 0;
    for (size_t i = 0; i < count; ++i) {
        const QString caption =
            QString::fromStdString(StoredTextToUtf8(m_screens->At(i)->Caption()));
        new QTreeWidgetItem(m_screensNode, {caption});
        m_tabSetScreens->addTab(caption);
    }
    m_screensNode->setExpanded(expanded);
}

void TFormMain::ShowPage(int page) {
    const int count = m_screens ? static_cast<int>(m_screens->Size()) : 0;
    if (page < 0 || page > count)
        return;
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
}

void TFormMain::TabSetScreensChange(int index) {
    ShowPage(index);
}

void TFormMain::StartWebServer() {
    if (!m_store || !m_store->ReadBool("WebServer", "Enabled", false))
        return;
    m_webServer = std::make_unique<WebServer>(
        WebContext{*m_store, m_tags, m_screens.get(), m_templateCounters});
    if (m_webServer->Start(m_store->ReadInteger("WebServer", "Port", 8088)))
        return;
    m_webServer.reset();
    MessageBox::Error(this, tr("Cannot start Web server"),
                      tr("Web server cannot start. Please verify if the server port is not "
                         "occupied by another process."));
}

void TFormMain::TimerHistoryTimer() {
    m_historyTicker.Tick(m_store.get(), m_tags);
}

void TFormMain::ReloadTags() {
    ShutdownConnections();
    m_tags.Assign(m_store ? LoadAllTags(*m_store) : std::vector<TDataChannel>{});
    SetupConnections();
    RefreshTagNodes();
    ShowConnectionStatus();
}

bool TFormMain::SetupConnections() {
    if (!m_connections)
        return true;
    const Connections::StartResult result = m_connections->Setup();
    for (const ConnectionProblem& problem : result.problems)
        MessageBox::Warning(this, QString::fromStdString(problem.caption),
                            QString::fromStdString(problem.text));
    for (int n = 1; n <= kConnectionCount; ++n) {
        QTimer* timer = m_timerPoll[static_cast<size_t>(n - 1)];
        timer->setInterval(m_connections->PollIntervalMs(n));
        timer->start();
    }
    return result.serialPortsOpened;
}

void TFormMain::ShutdownConnections() {
    for (QTimer* timer : m_timerPoll)
        timer->stop();
    if (m_connections)
        m_connections->Shutdown();
}

void TFormMain::ShowConnectionStatus() {
    if (!m_connections)
        return;
    while (m_connectionsNode->childCount() < kConnectionCount)
        new QTreeWidgetItem(m_connectionsNode);
    for (int n = 1; n <= kConnectionCount; ++n) {
        QTreeWidgetItem* item = m_connectionsNode->child(n - 1);
        item->setText(0, QString::fromStdString(m_connections->StatusText(n)));
    }
}

// A connection's hint is built when the tree asks for it: the link may have dropped since.
bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_treeViewMain->viewport() || event->type() != QEvent::ToolTip || !m_connections)
        return QMainWindow::eventFilter(watched, event);
    const auto* help = static_cast<QHelpEvent*>(event);
    QTreeWidgetItem* item = m_treeViewMain->itemAt(help->pos());
    if (!item || item->parent() != m_connectionsNode) {
        QToolTip::hideText();
        return true;
    }
    const int connection = m_connectionsNode->indexOfChild(item) + 1;
    QToolTip::showText(help->globalPos(),
                       QString::fromStdString(m_connections->StatusHint(connection)),
                       m_treeViewMain);
    return true;
}

void TFormMain::TimerPollTimer(int connection) {
    // In demo mode the demo timer feeds the tags instead.
    if (!m_demoMode && m_connections)
        m_connections->PollNext(connection);
}

void TFormMain::SetDemoMode(bool on) {
    m_demoMode = on;
    if (m_store)
        m_store->WriteBool("General", "DemoMode", on);
    setWindowTitle(on ? QStringLiteral("Halvane [demo mode]") : QStringLiteral("Halvane"));
    if (on) {
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

void TFormMain::RefreshTagNodes() {
    const bool expanded = m_tagsNode->isExpanded();
    qDeleteAll(m_tagsNode->takeChildren());
    QList<QTreeWidgetItem*> children;
    const auto tags = m_tags.SnapshotAll();
    children.reserve(static_cast<qsizetype>(tags.size()));
    for (size_t i = 0; i < tags.size(); ++i)
        children.push_back(new QTreeWidgetItem({QStringLiteral("%1. %2").arg(i + 1).arg(
            QString::fromStdString(StoredTextToUtf8(tags[i].Name)))}));
    m_tagsNode->addChildren(children);
    m_tagsNode->setExpanded(expanded);
}

void TFormMain::BringToFront() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void TFormMain::Exit1Click() {
    close();
}

void TFormMain::closeEvent(QCloseEvent* event) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_screens)
        for (size_t i = 0; i < m_screens->Size(); ++i)
            m_screens->At(i)->close();
    ShutdownConnections();
    QApplication::restoreOverrideCursor();
    event->accept();
    QApplication::quit();
}

} // namespace halvane
