#include "TFormJournal.h"

#include "DialogWidgets.h"
#include "EventJournal.h"
#include "JournalFilter.h"
#include "MessageBox.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include <fstream>

namespace halvane {

namespace {

constexpr int kColumnWidths[kJournalFields] = {200, 90, 40, 160, 60, 70, 70, 80, 70, 300};

} // namespace

TFormJournal::TFormJournal(std::filesystem::path folder, QWidget* parent, size_t maxLines)
    : QWidget(parent, Qt::Window), m_folder(std::move(folder)), m_maxLines(maxLines) {
    setObjectName("FormJournal");
    setWindowTitle(tr("Journal"));
    BuildWindow();
    resize(1100, 600);
}

void TFormJournal::BuildWindow() {
    m_model = new JournalTableModel(this);
    m_tableJournal = Named(new QTableView, "TableJournal");
    m_tableJournal->setModel(m_model);
    m_tableJournal->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableJournal->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tableJournal->setWordWrap(false);
    m_tableJournal->verticalHeader()->hide();
    m_tableJournal->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_tableJournal->horizontalHeader()->setStretchLastSection(true);
    for (int column = 0; column < static_cast<int>(kJournalFields); ++column)
        m_tableJournal->setColumnWidth(column, kColumnWidths[column]);
    m_labelStatus = Named(new QLabel, "LabelStatus");
    m_labelStatus->setTextFormat(Qt::PlainText);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildFilterBar());
    layout->addWidget(m_tableJournal, 1);
    layout->addWidget(m_labelStatus);
}

QWidget* TFormJournal::BuildFilterBar() {
    const QDate today = QDate::currentDate();
    const auto dateEdit = [today](const char* name) {
        auto* edit = Named(new QDateEdit(today), name);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setCalendarPopup(true);
        return edit;
    };
    m_dateEditFrom = dateEdit("DateEditFrom");
    m_dateEditTo = dateEdit("DateEditTo");
    m_editFilter = Named(new QLineEdit, "EditFilter");
    m_editFilter->setPlaceholderText(tr("Text in any field"));
    m_editFilter->setClearButtonEnabled(true);
    m_spinBoxTag = Named(new QSpinBox, "SpinBoxTag");
    m_spinBoxTag->setRange(0, 999999);
    m_spinBoxTag->setSpecialValueText(tr("All tags"));
    m_comboBoxEvent = Named(new QComboBox, "ComboBoxEvent");
    m_comboBoxEvent->addItem(tr("All events"));
    for (std::string_view name : JournalEventNames())
        m_comboBoxEvent->addItem(
            QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    auto* refresh = NewButton(tr("Refresh"), "ButtonRefresh", this);
    auto* exportCsv = NewButton(tr("Export CSV..."), "ButtonExport", this);
    connect(m_editFilter, &QLineEdit::textChanged, this, &TFormJournal::EditFilterChange);
    connect(m_spinBoxTag, &QSpinBox::valueChanged, this, &TFormJournal::SpinBoxTagChange);
    connect(m_comboBoxEvent, &QComboBox::currentIndexChanged, this,
            &TFormJournal::ComboBoxEventChange);
    connect(refresh, &QPushButton::clicked, this, &TFormJournal::ButtonRefreshClick);
    connect(exportCsv, &QPushButton::clicked, this, &TFormJournal::ButtonExportClick);

    auto* bar = new QWidget;
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(tr("From")));
    row->addWidget(m_dateEditFrom);
    row->addWidget(new QLabel(tr("to")));
    row->addWidget(m_dateEditTo);
    row->addWidget(m_editFilter, 1);
    row->addWidget(new QLabel(tr("Tag")));
    row->addWidget(m_spinBoxTag);
    row->addWidget(m_comboBoxEvent);
    row->addWidget(refresh);
    row->addWidget(exportCsv);
    return bar;
}

void TFormJournal::Open() {
    show();
    raise();
    activateWindow();
    Reload();
}

void TFormJournal::Reload() {
    const LocalMsecs from = ToLocalMsecs(m_dateEditFrom->date());
    const LocalMsecs to = ToLocalMsecs(m_dateEditTo->date()) + kMsecsPerDay - 1;
    JournalReadResult read = ReadJournal(m_folder, from, to, {.maxLines = m_maxLines});
    m_cut = read.Cut();
    m_model->SetEvents(std::move(read.events));
    ApplyFilter();
}

void TFormJournal::ApplyFilter() {
    JournalCriteria criteria;
    criteria.text = m_editFilter->text().toStdString();
    if (m_spinBoxTag->value() > 0)
        criteria.tag = m_spinBoxTag->value();
    if (m_comboBoxEvent->currentIndex() > 0)
        criteria.event = m_comboBoxEvent->currentText().toStdString();
    m_model->SetShown(JournalFilter(m_model->Events(), criteria));
    QString status =
        tr("%1 of %2 events shown").arg(m_model->Shown().size()).arg(m_model->Events().size());
    if (m_cut)
        status += tr("; reading stopped after %1 events: choose fewer days").arg(m_maxLines);
    m_labelStatus->setText(status);
}

void TFormJournal::EditFilterChange() {
    ApplyFilter();
}

void TFormJournal::SpinBoxTagChange() {
    ApplyFilter();
}

void TFormJournal::ComboBoxEventChange() {
    ApplyFilter();
}

void TFormJournal::ButtonRefreshClick() {
    Reload();
}

void TFormJournal::ButtonExportClick() {
    QFileDialog dialog(this, tr("Export the shown events"), QString(), tr("CSV files (*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().front();
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    out << kJournalHeader << "\r\n";
    for (size_t shown : m_model->Shown())
        out << JournalLine(m_model->Events()[shown]);
    out.close();
    if (!out)
        MessageBox::Error(this, tr("Export failed"), tr("Cannot write %1.").arg(path));
}

} // namespace halvane
