#include "TFormChannelSetup.h"

#include "MessageBox.h"
#include "ProfileStore.h"
#include "StoredText.h"
#include "TFormEditPoint.h"
#include "TFormPresetValue.h"
#include "TagListDelegate.h"
#include "TagListHost.h"
#include "TagListModel.h"
#include "TagListRows.h"
#include "TagTable.h"
#include "WriteValue.h"

#include <QAction>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace halvane {

namespace {

constexpr int kRefreshIntervalMs = 500;
constexpr int kRowHeight = 20;

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

// The progress window stays up for as long as this lives, also when a step fails.
class ProgressShown final {
public:
    explicit ProgressShown(TagListHost& host) : m_host(host) { m_host.ShowProgress(true); }
    ~ProgressShown() { m_host.ShowProgress(false); }
    ProgressShown(const ProgressShown&) = delete;
    ProgressShown& operator=(const ProgressShown&) = delete;

private:
    TagListHost& m_host;
};

} // namespace

TFormChannelSetup::TFormChannelSetup(TagTable& tags, ProfileStore& config, TagListHost& host,
                                     QWidget* parent)
    : QWidget(parent), m_tags(tags), m_config(config), m_host(host) {
    setObjectName("FormChannelSetup");
    setWindowTitle(tr("Tags"));
    BuildWindow();
    m_formEditPoint = new TFormEditPoint(m_config, this);
    m_timerRefresh = new QTimer(this);
    m_timerRefresh->setObjectName("TimerRefresh");
    m_timerRefresh->setInterval(kRefreshIntervalMs);
    connect(m_timerRefresh, &QTimer::timeout, this, &TFormChannelSetup::TimerRefreshTimer);
    m_timerRefresh->start();
}

void TFormChannelSetup::BuildWindow() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* header = new QWidget(this);
    header->setObjectName("PanelHeader");
    auto* headerLayout = new QHBoxLayout(header);
    auto* headerText = new QLabel(
        tr("This is the list of data tags. This list contains tags configuration and current "
           "values read from Modbus devices with their communication statuses. Double click on "
           "selected row to edit a tag."),
        header);
    headerText->setObjectName("LabelHeader");
    headerText->setWordWrap(true);
    headerLayout->addWidget(headerText, 1);
    auto* monitor = new QToolButton(header);
    monitor->setObjectName("ButtonCommMonitor");
    monitor->setToolTip(tr("Communication monitor"));
    monitor->setIcon(style()->standardIcon(QStyle::SP_ComputerIcon));
    monitor->setAutoRaise(true);
    connect(monitor, &QToolButton::clicked, this, &TFormChannelSetup::ButtonCommMonitorClick);
    headerLayout->addWidget(monitor, 0, Qt::AlignRight | Qt::AlignTop);
    layout->addWidget(header);

    m_model = new TagListModel(m_tags, this);
    m_stringGridChannels = new QTableView(this);
    m_stringGridChannels->setObjectName("StringGridChannels");
    m_stringGridChannels->setModel(m_model);
    m_stringGridChannels->setItemDelegate(new TagListDelegate(m_stringGridChannels));
    m_stringGridChannels->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_stringGridChannels->setSelectionMode(QAbstractItemView::SingleSelection);
    m_stringGridChannels->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_stringGridChannels->setWordWrap(false);
    m_stringGridChannels->verticalHeader()->hide();
    m_stringGridChannels->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_stringGridChannels->verticalHeader()->setDefaultSectionSize(kRowHeight);
    QHeaderView* columns = m_stringGridChannels->horizontalHeader();
    columns->setSectionsMovable(true);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setHighlightSections(false);
    // A column starts as wide as its header needs, when that is more than its width.
    const auto widths = TagListColumnWidths();
    for (size_t c = 0; c < widths.size(); ++c) {
        const int column = static_cast<int>(c);
        columns->resizeSection(column, std::max(widths[c], columns->sectionSizeHint(column)));
    }
    const QString hint = tr("Double click to edit tag");
    m_stringGridChannels->setToolTip(hint);
    m_stringGridChannels->viewport()->setToolTip(hint);
    m_stringGridChannels->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_stringGridChannels, &QTableView::doubleClicked, this,
            &TFormChannelSetup::StringGridChannelsDblClick);
    connect(m_stringGridChannels, &QTableView::customContextMenuRequested, this,
            [this](const QPoint& pos) {
                m_popupMenu1->popup(m_stringGridChannels->viewport()->mapToGlobal(pos));
            });
    layout->addWidget(m_stringGridChannels, 1);

    m_popupMenu1 = new QMenu(this);
    m_popupMenu1->setObjectName("PopupMenu1");
    m_setValue1 =
        m_popupMenu1->addAction(tr("Set value"), this, &TFormChannelSetup::SetValue1Click);
    m_setValue1->setObjectName("SetValue1");
    m_showTrend1 =
        m_popupMenu1->addAction(tr("Show trend"), this, &TFormChannelSetup::ShowTrend1Click);
    m_showTrend1->setObjectName("ShowTrend1");
    m_popupMenu1->addAction(tr("&Edit tag..."), this, &TFormChannelSetup::ButtonEditClick)
        ->setObjectName("EditTag1");
    m_popupMenu1->addAction(tr("&Delete tag"), this, &TFormChannelSetup::ButtonDeleteClick)
        ->setObjectName("DeleteTag1");
    connect(m_popupMenu1, &QMenu::aboutToShow, this, &TFormChannelSetup::PopupMenu1Popup);

    auto* bottom = new QWidget(this);
    bottom->setObjectName("PanelBottom");
    auto* bottomLayout = new QHBoxLayout(bottom);
    const auto addButton = [&](const char* name, const QString& text, auto handler) {
        auto* button = new QPushButton(text, bottom);
        button->setObjectName(name);
        connect(button, &QPushButton::clicked, this, handler);
        return button;
    };
    bottomLayout->addWidget(
        addButton("ButtonDelete", tr("&Delete tag"), &TFormChannelSetup::ButtonDeleteClick));
    bottomLayout->addWidget(
        addButton("ButtonClone", tr("&Clone tag"), &TFormChannelSetup::ButtonCloneClick));
    bottomLayout->addStretch(1);
    QPushButton* add = addButton("ButtonAdd", tr("&Add tag"), &TFormChannelSetup::ButtonAddClick);
    QFont bold = add->font();
    bold.setBold(true);
    add->setFont(bold);
    bottomLayout->addWidget(add);
    bottomLayout->addWidget(
        addButton("ButtonEdit", tr("&Edit tag"), &TFormChannelSetup::ButtonEditClick));
    layout->addWidget(bottom);
}

void TFormChannelSetup::showEvent(QShowEvent* event) {
    Fill();
    QWidget::showEvent(event);
}

void TFormChannelSetup::Fill() {
    const int selected = SelectedTag();
    m_model->Fill();
    if (selected >= 0 && selected < m_model->rowCount())
        m_stringGridChannels->selectRow(selected);
}

void TFormChannelSetup::Refresh() {
    m_model->Refresh();
}

void TFormChannelSetup::TimerRefreshTimer() {
    Refresh();
}

int TFormChannelSetup::SelectedTag() const {
    const QModelIndexList rows = m_stringGridChannels->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return -1;
    const auto top = std::min_element(
        rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.row() < b.row(); });
    const int row = top->row();
    return row < static_cast<int>(m_tags.Size()) ? row : -1;
}

void TFormChannelSetup::StringGridChannelsDblClick(const QModelIndex&) {
    ButtonEditClick();
}

void TFormChannelSetup::PopupMenu1Popup() {
    const int selected = SelectedTag();
    m_setValue1->setEnabled(selected >= 0 &&
                            m_tags.Snapshot(static_cast<size_t>(selected)).IsOutputTag());
    m_showTrend1->setEnabled(selected >= 0);
}

void TFormChannelSetup::ShowTrend1Click() {
    const int selected = SelectedTag();
    if (selected >= 0)
        m_host.ShowTrend(selected);
}

void TFormChannelSetup::ButtonCommMonitorClick() {
    m_host.ShowCommunicationMonitor();
}

void TFormChannelSetup::ButtonEditClick() {
    const int selected = SelectedTag();
    if (selected >= 0)
        EditTag(selected);
}

void TFormChannelSetup::EditTag(int index) {
    if (index < 0 || static_cast<size_t>(index) >= m_tags.Size() || !m_host.Permit(Role::Engineer))
        return;
    const auto i = static_cast<size_t>(index);
    if (!RunEditor(m_tags.Snapshot(i), index + 1))
        return;
    const TDataChannel edited = m_formEditPoint->Tag();
    // The workers stop before the live table changes under them.
    m_host.StopCommunication();
    m_tags.Update(i, [&edited](TDataChannel& tag) { tag = edited; });
    SaveAndReload(edited, index);
}

void TFormChannelSetup::ButtonAddClick() {
    if (m_host.Permit(Role::Engineer) &&
        RunEditor(TDataChannel{}, static_cast<int>(m_tags.Size()) + 1))
        AppendEditedTag();
}

void TFormChannelSetup::ButtonCloneClick() {
    if (!m_host.Permit(Role::Engineer))
        return;
    const int selected = SelectedTag();
    const TDataChannel tag =
        selected >= 0 ? CloneTag(m_tags.Snapshot(static_cast<size_t>(selected))) : TDataChannel{};
    if (RunEditor(tag, static_cast<int>(m_tags.Size()) + 1))
        AppendEditedTag();
}

bool TFormChannelSetup::RunEditor(const TDataChannel& tag, int number) {
    m_formEditPoint->Tag() = tag;
    m_formEditPoint->SetTagNumber(number);
    return m_formEditPoint->exec() == QDialog::Accepted;
}

void TFormChannelSetup::AppendEditedTag() {
    const TDataChannel added = m_formEditPoint->Tag();
    m_host.StopCommunication();
    std::vector<TDataChannel> all = m_tags.SnapshotAll();
    all.push_back(added);
    const int index = static_cast<int>(all.size()) - 1;
    m_tags.Assign(std::move(all));
    SaveAndReload(added, index);
}

void TFormChannelSetup::ButtonDeleteClick() {
    const int selected = SelectedTag();
    if (selected < 0 || !m_host.Permit(Role::Engineer))
        return;
    if (MessageBox::Question(
            this, tr("Confirmation"),
            tr("Do you want to delete this tag permanently? Click 'Yes' to continue.")) !=
        QMessageBox::Yes)
        return;
    if (const auto screen = m_host.ScreenUsingTag(selected)) {
        MessageBox::Warning(
            this, tr("Tag already used"),
            tr("This tag cannot be deleted because it is already used on the screen '%1'. Please "
               "remove the object associated with this tag from the screen.")
                .arg(FromUtf8(StoredTextToUtf8(*screen))));
        return;
    }
    {
        ProgressShown progress(m_host);
        std::vector<TDataChannel> all = m_tags.SnapshotAll();
        m_host.RenumberScreenTags(selected, static_cast<int>(all.size()));
        m_host.StopCommunication();
        std::vector<TDataChannel> remaining = all;
        remaining.erase(remaining.begin() + selected);
        m_tags.Assign(std::move(remaining));
        Fill();
        if (!DeleteTag(m_config, all, static_cast<size_t>(selected),
                       [this] { ProcessPendingEvents(); }))
            ReportNotSaved();
    }
    m_host.ReloadTags();
    Fill();
}

void TFormChannelSetup::SetValue1Click() {
    const int selected = SelectedTag();
    if (selected < 0 || !m_host.Permit(Role::Operator))
        return;
    const auto i = static_cast<size_t>(selected);
    TFormPresetValue dialog(m_tags.Snapshot(i), selected + 1, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    switch (PresetValue(m_tags, m_config, i, dialog.Value(),
                        WriteOrigin(WriteSource::Station, m_host.User()))) {
    case PresetOutcome::OutOfRange: // the tag changed while the dialog was open
        MessageBox::Error(this, QCoreApplication::applicationName(),
                          FromUtf8(*PresetRangeError(m_tags.Snapshot(i), dialog.Value())));
        return;
    case PresetOutcome::NotSaved:
        ReportNotSaved();
        break;
    case PresetOutcome::Stored:
        break;
    }
    Refresh();
}

void TFormChannelSetup::SaveAndReload(const TDataChannel& tag, int index) {
    Fill();
    ProcessPendingEvents();
    if (!tag.SaveToConfig(m_config, index))
        ReportNotSaved();
    ProcessPendingEvents();
    m_host.ReloadTags();
    Fill();
}

void TFormChannelSetup::ReportNotSaved() {
    MessageBox::Warning(this, tr("Configuration not saved"), FromUtf8(m_config.LastError()));
}

// User input waits: a second click must not start another change half-way through this one.
void TFormChannelSetup::ProcessPendingEvents() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace halvane
