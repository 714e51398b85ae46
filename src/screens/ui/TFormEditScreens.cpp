#include "TFormEditScreens.h"

#include "MessageBox.h"
#include "ProfileStore.h"
#include "ScreenList.h"
#include "ScreenListHost.h"
#include "ScreenListRows.h"
#include "TFormEditScreen.h"
#include "TFormScreen.h"
#include "WindowPlacement.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <numeric>

namespace halvane {

namespace {

constexpr int kVisibleRows = 12;

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

ScreenSummary Summary(TFormScreen& screen) {
    const QRect outer = screen.frameGeometry();
    return {screen.Caption(), screen.ReadVisibleFlag(), outer.x(), outer.y(), outer.width(),
            outer.height(),   screen.Objects().size()};
}

} // namespace

TFormEditScreens::TFormEditScreens(ScreenList& screens, ProfileStore& config,
                                   TFormEditScreen& properties, ScreenListHost& host,
                                   QWidget* parent)
    : QDialog(parent), m_screens(screens), m_config(config), m_properties(properties),
      m_host(host) {
    setObjectName("FormEditScreens");
    setWindowTitle(tr("Screens"));
    BuildWindow();
    setFixedSize(sizeHint());
}

void TFormEditScreens::BuildWindow() {
    auto* layout = new QVBoxLayout(this);
    auto* explanation = new QLabel(
        tr("Add or delete screens. To edit screen properties, double click on selected row. When "
           "a screen is open, use a mouse to grab screen's border to change its position or "
           "size."),
        this);
    explanation->setObjectName("LabelExplanation");
    explanation->setWordWrap(true);
    layout->addWidget(explanation);

    auto* selectRow = new QHBoxLayout;
    selectRow->addWidget(new QLabel(tr("Select screen:"), this));
    selectRow->addStretch(1);
    auto* refresh = new QToolButton(this);
    refresh->setObjectName("ButtonRefresh");
    refresh->setToolTip(tr("Refresh"));
    refresh->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    refresh->setAutoRaise(true);
    selectRow->addWidget(refresh);
    layout->addLayout(selectRow);

    m_stringGridScreens = new QTableWidget(0, kScreenListColumnCount, this);
    m_stringGridScreens->setObjectName("StringGridScreens");
    QStringList headers;
    for (const std::string_view header : ScreenListHeaders())
        headers << FromUtf8(header);
    m_stringGridScreens->setHorizontalHeaderLabels(headers);
    m_stringGridScreens->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_stringGridScreens->setSelectionMode(QAbstractItemView::SingleSelection);
    m_stringGridScreens->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_stringGridScreens->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_stringGridScreens->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_stringGridScreens->setWordWrap(false);
    m_stringGridScreens->verticalHeader()->hide();
    m_stringGridScreens->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_stringGridScreens->verticalHeader()->setDefaultSectionSize(kScreenListRowHeight);
    QHeaderView* columns = m_stringGridScreens->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Fixed);
    columns->setHighlightSections(false);
    const auto widths = ScreenListColumnWidths();
    for (size_t c = 0; c < widths.size(); ++c)
        columns->resizeSection(static_cast<int>(c), widths[c]);
    const int frame = 2 * m_stringGridScreens->frameWidth();
    m_stringGridScreens->setFixedSize(
        std::accumulate(widths.begin(), widths.end(), 0) + frame +
            m_stringGridScreens->verticalScrollBar()->sizeHint().width(),
        columns->sizeHint().height() + kVisibleRows * kScreenListRowHeight + frame);
    const QString hint = tr("Double click to edit screen title");
    m_stringGridScreens->setToolTip(hint);
    m_stringGridScreens->viewport()->setToolTip(hint);
    layout->addWidget(m_stringGridScreens);
    layout->addWidget(BuildButtons());

    connect(refresh, &QToolButton::clicked, this, &TFormEditScreens::ButtonRefreshClick);
    connect(m_stringGridScreens, &QTableWidget::cellDoubleClicked, this,
            &TFormEditScreens::StringGridScreensDblClick);
}

QWidget* TFormEditScreens::BuildButtons() {
    auto* panel = new QWidget(this);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    const auto addButton = [&](const char* name, const QString& caption, auto handler) {
        auto* button = new QPushButton(caption, panel);
        button->setObjectName(name);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, handler);
        row->addWidget(button);
    };
    addButton("ButtonEditScreen", tr("&Edit screen"), &TFormEditScreens::ButtonEditScreenClick);
    addButton("ButtonAddScreen", tr("&Add screen"), &TFormEditScreens::ButtonAddScreenClick);
    addButton("ButtonDeleteScreen", tr("&Delete screen"),
              &TFormEditScreens::ButtonDeleteScreenClick);
    row->addStretch(1);
    addButton("ButtonClose", tr("&Close"), &QDialog::reject);
    return panel;
}

void TFormEditScreens::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        FillGrid();
        move(screen()->availableGeometry().center() - rect().center());
        KeepWithinScreen(*this);
    }
    QDialog::showEvent(event);
}

// The selected row stays selected while it still names a screen.
void TFormEditScreens::FillGrid() {
    const std::optional<size_t> selected = SelectedScreen();
    const size_t count = m_screens.Size();
    m_stringGridScreens->clearContents();
    m_stringGridScreens->setRowCount(static_cast<int>(count));
    for (size_t position = 0; position < count; ++position) {
        const ScreenListCells cells = ScreenRowCells(Summary(*m_screens.At(position)), position);
        for (size_t column = 0; column < cells.size(); ++column)
            m_stringGridScreens->setItem(static_cast<int>(position), static_cast<int>(column),
                                         new QTableWidgetItem(FromUtf8(cells[column])));
    }
    if (selected && *selected < count)
        m_stringGridScreens->selectRow(static_cast<int>(*selected));
}

// The grid and the main window's screen nodes and tabs after a change.
void TFormEditScreens::Refresh() {
    FillGrid();
    m_host.RefreshScreenNodes();
}

std::optional<size_t> TFormEditScreens::SelectedScreen() const {
    const QModelIndexList rows = m_stringGridScreens->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    const auto position = static_cast<size_t>(rows.front().row());
    return position < m_screens.Size() ? std::optional(position) : std::nullopt;
}

void TFormEditScreens::ButtonRefreshClick() {
    FillGrid();
}

void TFormEditScreens::ButtonEditScreenClick() {
    const std::optional<size_t> position = SelectedScreen();
    if (!position)
        return;
    TFormScreen* screen = m_screens.At(*position);
    if (!m_properties.EditScreen(*screen, this))
        return;
    screen->LoadGeneralSettings();
    Refresh();
}

void TFormEditScreens::StringGridScreensDblClick() {
    ButtonEditScreenClick();
}

// The title box answers its default title when cancelled, so only an emptied title stops.
void TFormEditScreens::ButtonAddScreenClick() {
    if (MessageBox::Question(this, tr("Confirmation"), tr("Do you want to add a new screen?")) !=
        QMessageBox::Yes)
        return;
    const QString title = MessageBox::InputBox(this, tr("Screen title"), tr("Enter new title:"),
                                               FromUtf8(NewScreenTitle(m_screens.Size())));
    if (title.isEmpty())
        return;
    TFormScreen* screen = m_screens.CreateScreen(title.toStdString());
    if (const std::string error = screen->ScreenFile().LastError(); !error.empty())
        MessageBox::Warning(this, tr("Configuration not saved"), QString::fromStdString(error));
    m_host.ScreenCreated(screen);
    Refresh();
    m_stringGridScreens->selectRow(static_cast<int>(m_screens.Size()) - 1);
}

void TFormEditScreens::ButtonDeleteScreenClick() {
    const std::optional<size_t> position = SelectedScreen();
    if (!position)
        return;
    if (MessageBox::Question(this, tr("Confirmation"),
                             tr("Do you want to delete selected screen?")) == QMessageBox::Yes) {
        m_screens.DeleteScreen(*position);
        m_host.ScreenDeleted(*position);
    }
    Refresh();
}

void TFormEditScreens::done(int result) {
    if (!m_screens.WriteScreenList())
        MessageBox::Warning(this, tr("Configuration not saved"),
                            QString::fromStdString(m_config.LastError()));
    QDialog::done(result);
}

} // namespace halvane
