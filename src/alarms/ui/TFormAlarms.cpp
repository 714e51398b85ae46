#include "TFormAlarms.h"

#include "AlarmListHost.h"
#include "DialogWidgets.h"
#include "RefreshSoon.h"
#include "TFormShelve.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace halvane {

namespace {

constexpr int kColumnWidths[kAlarmListColumnCount] = {140, 60, 50, 180, 300, 150, 200};

} // namespace

TFormAlarms::TFormAlarms(AlarmService& service, AlarmListHost& host, QWidget* parent, Clock clock)
    : QWidget(parent), m_service(service), m_host(host), m_clock(std::move(clock)) {
    setObjectName("FormAlarms");
    setWindowTitle(tr("Alarms"));
    BuildWindow();
    m_service.Subscribe(this);
    Refresh();
}

TFormAlarms::~TFormAlarms() {
    m_service.Unsubscribe(this);
}

void TFormAlarms::BuildWindow() {
    m_model = new AlarmListModel([this](size_t tagIndex) { return m_service.TagName(tagIndex); },
                                 m_clock, this);
    m_stringGridAlarms = Named(new QTableView, "StringGridAlarms");
    m_stringGridAlarms->setModel(m_model);
    m_stringGridAlarms->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_stringGridAlarms->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_stringGridAlarms->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_stringGridAlarms->setWordWrap(false);
    m_stringGridAlarms->verticalHeader()->hide();
    m_stringGridAlarms->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_stringGridAlarms->horizontalHeader()->setStretchLastSection(true);
    for (int column = 0; column < kAlarmListColumnCount; ++column)
        m_stringGridAlarms->setColumnWidth(column, kColumnWidths[column]);
    connect(m_stringGridAlarms, &QTableView::doubleClicked, this,
            &TFormAlarms::StringGridAlarmsDoubleClick);
    connect(m_stringGridAlarms->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TFormAlarms::EnableButtons);

    m_buttonAcknowledge = NewButton(tr("&Acknowledge"), "ButtonAcknowledge", this);
    m_buttonAcknowledgeAll = NewButton(tr("Ac&knowledge all"), "ButtonAcknowledgeAll", this);
    m_buttonShelve = NewButton(tr("Shelve..."), "ButtonShelve", this);
    m_buttonUnshelve = NewButton(tr("Unshelve"), "ButtonUnshelve", this);
    m_checkBoxShowShelved = Named(new QCheckBox(tr("Show shelved")), "CheckBoxShowShelved");
    m_buttonJournal = NewButton(tr("Journal..."), "ButtonJournal", this);
    connect(m_buttonAcknowledge, &QPushButton::clicked, this, &TFormAlarms::ButtonAcknowledgeClick);
    connect(m_buttonAcknowledgeAll, &QPushButton::clicked, this,
            &TFormAlarms::ButtonAcknowledgeAllClick);
    connect(m_buttonShelve, &QPushButton::clicked, this, &TFormAlarms::ButtonShelveClick);
    connect(m_buttonUnshelve, &QPushButton::clicked, this, &TFormAlarms::ButtonUnshelveClick);
    connect(m_checkBoxShowShelved, &QCheckBox::clicked, this,
            &TFormAlarms::CheckBoxShowShelvedClick);
    connect(m_buttonJournal, &QPushButton::clicked, this, &TFormAlarms::ButtonJournalClick);

    auto* buttons = new QHBoxLayout;
    for (QWidget* widget :
         std::initializer_list<QWidget*>{m_buttonAcknowledge, m_buttonAcknowledgeAll,
                                         m_buttonShelve, m_buttonUnshelve, m_checkBoxShowShelved})
        buttons->addWidget(widget);
    buttons->addStretch(1);
    buttons->addWidget(m_buttonJournal);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_stringGridAlarms, 1);
    layout->addLayout(buttons);
    // Shown with F9, the list takes the keys: the arrows select, Alt+A acknowledges.
    setFocusProxy(m_stringGridAlarms);

    m_timerRefresh = Named(new QTimer(this), "TimerRefresh");
    m_timerRefresh->setSingleShot(true);
    m_timerRefresh->setInterval(kRefreshInterval);
    connect(m_timerRefresh, &QTimer::timeout, this, &TFormAlarms::TimerRefreshTimer);
    m_timerBlink = Named(new QTimer(this), "TimerBlink");
    m_timerBlink->setInterval(kBlinkInterval);
    connect(m_timerBlink, &QTimer::timeout, this, &TFormAlarms::TimerBlinkTimer);
    m_timerBlink->start();
}

// Told on any thread.
void TFormAlarms::AlarmsChanged() {
    RefreshSoon(m_timerRefresh);
}

void TFormAlarms::Refresh() {
    const std::vector<AlarmKey> selected = SelectedAlarms();
    m_model->SetAlarms(m_service.Alarms(m_checkBoxShowShelved->isChecked()));
    Select(selected);
    EnableButtons();
}

std::vector<TFormAlarms::AlarmKey> TFormAlarms::SelectedAlarms() const {
    std::vector<AlarmKey> selected;
    for (const QModelIndex& index : m_stringGridAlarms->selectionModel()->selectedRows()) {
        const AlarmInfo& alarm = m_model->Alarms()[static_cast<size_t>(index.row())];
        if (alarm.kind != AlarmKind::TooMany)
            selected.emplace_back(alarm.tagIndex, alarm.kind);
    }
    return selected;
}

void TFormAlarms::Select(const std::vector<AlarmKey>& alarms) {
    QItemSelection selection;
    for (const auto& [tagIndex, kind] : alarms)
        if (const std::optional<int> row = m_model->RowOf(tagIndex, kind))
            selection.select(m_model->index(*row, 0),
                             m_model->index(*row, kAlarmListColumnCount - 1));
    m_stringGridAlarms->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TFormAlarms::EnableButtons() {
    const bool anySelected = !SelectedAlarms().empty();
    m_buttonAcknowledge->setEnabled(anySelected);
    m_buttonShelve->setEnabled(anySelected);
    m_buttonUnshelve->setEnabled(anySelected);
    m_buttonAcknowledgeAll->setEnabled(m_model->rowCount() > 0);
}

void TFormAlarms::StringGridAlarmsDoubleClick(const QModelIndex& index) {
    const AlarmInfo& alarm = m_model->Alarms()[static_cast<size_t>(index.row())];
    if (alarm.kind != AlarmKind::TooMany)
        m_host.ShowTagScreen(alarm.tagIndex);
}

void TFormAlarms::ButtonAcknowledgeClick() {
    const std::optional<AlarmActor> actor = m_host.Actor();
    if (!actor)
        return;
    for (const auto& [tagIndex, kind] : SelectedAlarms())
        m_service.Acknowledge(tagIndex, kind, *actor);
    Refresh();
}

void TFormAlarms::ButtonAcknowledgeAllClick() {
    if (const std::optional<AlarmActor> actor = m_host.Actor())
        m_service.AcknowledgeAll(*actor);
    Refresh();
}

void TFormAlarms::ButtonShelveClick() {
    const std::vector<AlarmKey> selected = SelectedAlarms();
    if (selected.empty())
        return;
    const std::optional<AlarmActor> actor = m_host.Actor();
    if (!actor)
        return;
    TFormShelve dialog(this, m_clock());
    if (dialog.exec() != QDialog::Accepted)
        return;
    for (const auto& [tagIndex, kind] : selected)
        m_service.Shelve(tagIndex, kind, dialog.Until(), dialog.Reason(), *actor);
    Refresh();
}

void TFormAlarms::ButtonUnshelveClick() {
    const std::optional<AlarmActor> actor = m_host.Actor();
    if (!actor)
        return;
    for (const auto& [tagIndex, kind] : SelectedAlarms())
        m_service.Unshelve(tagIndex, kind, *actor);
    Refresh();
}

void TFormAlarms::CheckBoxShowShelvedClick() {
    Refresh();
}

void TFormAlarms::ButtonJournalClick() {
    m_host.ShowJournal();
}

void TFormAlarms::TimerRefreshTimer() {
    Refresh();
}

// Only the rows on the screen are painted again.
void TFormAlarms::TimerBlinkTimer() {
    m_model->SetBlinkOn(!m_model->BlinkOn());
    if (m_model->AnyUnacknowledged())
        m_stringGridAlarms->viewport()->update();
}

} // namespace halvane
