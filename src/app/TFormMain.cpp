#include "TFormMain.h"

#include "DataRoot.h"
#include "MessageBox.h"
#include "ProfileStore.h"
#include "StartUp.h"
#include "StoredText.h"
#include "TagTable.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <filesystem>

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
    EnsureStringDefaults(*m_store);
    if (!m_store->LastError().empty())
        MessageBox::Warning(nullptr, tr("Configuration not saved"),
                            QString::fromStdString(m_store->LastError()));
    m_screenIds = ReadScreenIds(*m_store);
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
    m_treeViewMain->expandAll();
}

void TFormMain::ReloadTags() {
    m_tags.clear();
    if (m_store)
        m_tags = LoadAllTags(*m_store);
    RefreshTagNodes();
}

void TFormMain::RefreshTagNodes() {
    const bool expanded = m_tagsNode->isExpanded();
    qDeleteAll(m_tagsNode->takeChildren());
    QList<QTreeWidgetItem*> children;
    children.reserve(static_cast<qsizetype>(m_tags.size()));
    for (size_t i = 0; i < m_tags.size(); ++i)
        children.push_back(new QTreeWidgetItem({QStringLiteral("%1. %2").arg(i + 1).arg(
            QString::fromStdString(StoredTextToUtf8(m_tags[i].Name)))}));
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
    // Screens close and communication stops here once they exist.
    QApplication::restoreOverrideCursor();
    event->accept();
    QApplication::quit();
}

} // namespace halvane
