#include "TFormTrends.h"

#include "AxisTicks.h"
#include "CLog.h"
#include "HistoryExport.h"
#include "HistoryLines.h"
#include "HistoryTicker.h"
#include "MessageBox.h"
#include "NumberFormat.h"
#include "StoredText.h"
#include "TagTable.h"
#include "TrendChartView.h"
#include "ValueText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QGraphicsLineItem>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>

namespace halvane {

namespace {

constexpr int kLiveInterval = 5000;  // ms between readings while live
constexpr int kReloadDelay = 150;    // ms the wheel's steps are gathered
constexpr int kNarrowestChart = 200; // buckets at least, whatever the window's width
constexpr LocalMsecs kHour = 3'600'000;
constexpr int kTagRole = Qt::UserRole;

const QColor kLineColors[] = {QColor(31, 119, 180),  QColor(214, 39, 40),   QColor(44, 160, 44),
                              QColor(255, 127, 14),  QColor(148, 103, 189), QColor(140, 86, 75),
                              QColor(227, 119, 194), QColor(127, 127, 127), QColor(188, 189, 34),
                              QColor(23, 190, 207)};

QString ShownText(const std::string& stored) {
    return QString::fromStdString(StoredTextToUtf8(stored));
}

QString TagCaption(int index, const TDataChannel& tag) {
    QString caption = QString::number(index + 1) + QStringLiteral(": ") + ShownText(tag.Name);
    if (!tag.Unit.empty())
        caption += QStringLiteral(" [") + ShownText(tag.Unit) + u']';
    return caption;
}

// In the tag's display format; in general format when it has none.
std::string ValueOf(const TDataChannel& tag, double value) {
    return tag.Format.empty() ? FormatGeneral(value) : FormatValue(tag.Format, value);
}

qint64 EpochOf(LocalMsecs at) {
    return FromLocalMsecs(at).toMSecsSinceEpoch();
}

LocalMsecs LocalOf(qint64 epochMsecs) {
    return ToLocalMsecs(QDateTime::fromMSecsSinceEpoch(epochMsecs));
}

LocalMsecs SpanOf(TFormTrends::Range range) {
    switch (range) {
    case TFormTrends::Range::LastHour:
        return kHour;
    case TFormTrends::Range::LastDay:
        return 24 * kHour;
    default:
        return 7 * 24 * kHour;
    }
}

QString TimeFormatFor(LocalMsecs span) {
    if (span <= 2 * kHour)
        return QStringLiteral("HH:mm:ss");
    if (span <= 24 * kHour)
        return QStringLiteral("HH:mm");
    return QStringLiteral("dd.MM. HH:mm");
}

// Each unbroken run of a column's values.
std::vector<QList<QPointF>> Segments(const HistoryTable& table, size_t column) {
    std::vector<QList<QPointF>> segments(1);
    for (size_t row = 0; row < table.Rows(); ++row) {
        const double value = table.values[column][row];
        if (std::isnan(value)) {
            if (!segments.back().isEmpty())
                segments.emplace_back();
            continue;
        }
        segments.back().append(QPointF(static_cast<double>(EpochOf(table.times[row])), value));
    }
    if (segments.size() > 1 && segments.back().isEmpty())
        segments.pop_back();
    return segments;
}

} // namespace

TFormTrends::TFormTrends(const TagTable& tags, const ProfileStore& store, QWidget* parent,
                         Clock clock)
    : QWidget(parent, Qt::Window), m_tags(tags), m_store(store), m_clock(std::move(clock)) {
    setObjectName("FormTrends");
    setWindowTitle(tr("Trends"));
    BuildWindow();
    resize(1000, 620);
}

void TFormTrends::BuildWindow() {
    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    auto* timeAxis = new QDateTimeAxis;
    timeAxis->setObjectName("AxisTime");
    m_chart->addAxis(timeAxis, Qt::AlignBottom);
    m_chartView = new TrendChartView(m_chart);
    m_chartView->setObjectName("ChartViewTrends");
    m_cursorLine = new QGraphicsLineItem(m_chart);
    m_cursorLine->setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
    m_cursorLine->setZValue(10);
    m_cursorLine->hide();
    connect(m_chartView, &TrendChartView::RangeChosen, this, &TFormTrends::ChartViewRangeChosen);
    connect(m_chartView, &TrendChartView::RangeReset, this, &TFormTrends::ChartViewRangeReset);
    connect(m_chartView, &TrendChartView::CursorMoved, this, &TFormTrends::ChartViewCursorMoved);

    m_labelCursor = new QLabel;
    m_labelCursor->setObjectName("LabelCursor");
    m_labelCursor->setTextFormat(Qt::PlainText);
    m_labelStatus = new QLabel;
    m_labelStatus->setObjectName("LabelStatus");
    m_labelStatus->setTextFormat(Qt::PlainText);

    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(BuildRangeBar());
    rightLayout->addWidget(m_chartView, 1);
    rightLayout->addWidget(m_labelCursor);
    rightLayout->addWidget(m_labelStatus);

    auto* splitter = new QSplitter;
    splitter->addWidget(BuildTagPanel());
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 780});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);

    m_timerLive = new QTimer(this);
    m_timerLive->setObjectName("TimerLive");
    m_timerLive->setInterval(kLiveInterval);
    connect(m_timerLive, &QTimer::timeout, this, &TFormTrends::TimerLiveTimer);
    m_timerReload = new QTimer(this);
    m_timerReload->setSingleShot(true);
    m_timerReload->setInterval(kReloadDelay);
    connect(m_timerReload, &QTimer::timeout, this, &TFormTrends::Reload);
}

QWidget* TFormTrends::BuildTagPanel() {
    auto* panel = new QWidget;
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    m_editSearch = new QLineEdit;
    m_editSearch->setObjectName("EditSearch");
    m_editSearch->setPlaceholderText(tr("Search tags"));
    m_editSearch->setClearButtonEnabled(true);
    connect(m_editSearch, &QLineEdit::textChanged, this, &TFormTrends::EditSearchChange);
    m_listTags = new QListWidget;
    m_listTags->setObjectName("ListTags");
    connect(m_listTags, &QListWidget::itemChanged, this, &TFormTrends::ListTagsItemChanged);
    layout->addWidget(m_editSearch);
    layout->addWidget(m_listTags, 1);
    return panel;
}

QWidget* TFormTrends::BuildRangeBar() {
    auto* bar = new QWidget;
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    m_comboBoxRange = new QComboBox;
    m_comboBoxRange->setObjectName("ComboBoxRange");
    m_comboBoxRange->addItems({tr("Last hour"), tr("Last day"), tr("Last week"), tr("From/To")});
    const auto dateTimeEdit = [&](const char* name) {
        auto* edit = new QDateTimeEdit;
        edit->setObjectName(name);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
        connect(edit, &QDateTimeEdit::editingFinished, this, &TFormTrends::Reload);
        return edit;
    };
    m_dateTimeFrom = dateTimeEdit("DateTimeFrom");
    m_dateTimeTo = dateTimeEdit("DateTimeTo");
    m_checkBoxLive = new QCheckBox(tr("Live"));
    m_checkBoxLive->setObjectName("CheckBoxLive");
    const auto button = [&](const char* name, const QString& text, void (TFormTrends::*handler)()) {
        auto* b = new QPushButton(text);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };
    layout->addWidget(new QLabel(tr("Range:")));
    layout->addWidget(m_comboBoxRange);
    layout->addWidget(new QLabel(tr("From:")));
    layout->addWidget(m_dateTimeFrom);
    layout->addWidget(new QLabel(tr("To:")));
    layout->addWidget(m_dateTimeTo);
    layout->addWidget(m_checkBoxLive);
    layout->addStretch(1);
    layout->addWidget(
        button("ButtonExportCsv", tr("Export CSV..."), &TFormTrends::ButtonExportCsvClick));
    layout->addWidget(
        button("ButtonExportPng", tr("Export PNG..."), &TFormTrends::ButtonExportPngClick));
    layout->addWidget(button("ButtonClose", tr("&Close"), &TFormTrends::ButtonCloseClick));
    connect(m_comboBoxRange, &QComboBox::currentIndexChanged, this,
            &TFormTrends::ComboBoxRangeChange);
    connect(m_checkBoxLive, &QCheckBox::toggled, this, &TFormTrends::CheckBoxLiveClick);
    return bar;
}

void TFormTrends::Open() {
    FillTags();
    Present();
}

void TFormTrends::Present() {
    show();
    raise();
    activateWindow();
    Reload();
}

void TFormTrends::FillTags() {
    const std::vector<int> chosen = ChosenTags();
    const QSignalBlocker blocker(m_listTags);
    m_listTags->clear();
    const std::vector<TDataChannel> tags = m_tags.SnapshotAll();
    for (size_t i = 0; i < tags.size(); ++i) {
        auto* item = new QListWidgetItem(TagCaption(static_cast<int>(i), tags[i]), m_listTags);
        item->setData(kTagRole, static_cast<int>(i));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        const bool checked = std::find(chosen.begin(), chosen.end(), i) != chosen.end();
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
    EditSearchChange(m_editSearch->text());
}

void TFormTrends::ShowTag(int tagIndex) {
    FillTags();
    if (QListWidgetItem* item = m_listTags->item(tagIndex)) {
        const QSignalBlocker blocker(m_listTags);
        item->setCheckState(Qt::Checked);
        m_listTags->scrollToItem(item);
    }
    Present();
}

std::vector<int> TFormTrends::ChosenTags() const {
    std::vector<int> chosen;
    for (int row = 0; row < m_listTags->count(); ++row)
        if (m_listTags->item(row)->checkState() == Qt::Checked)
            chosen.push_back(m_listTags->item(row)->data(kTagRole).toInt());
    return chosen;
}

std::pair<LocalMsecs, LocalMsecs> TFormTrends::RangeShown() const {
    const auto range = static_cast<Range>(m_comboBoxRange->currentIndex());
    if (range == Range::Between)
        return {ToLocalMsecs(m_dateTimeFrom->dateTime()), ToLocalMsecs(m_dateTimeTo->dateTime())};
    const LocalMsecs now = ToLocalMsecs(m_clock());
    return {now - SpanOf(range), now};
}

// The chart's width in buckets: finer than the screen shows gains nothing.
void TFormTrends::Reload() {
    // The tags as they are now; a tag deleted since the list was filled is left out.
    const std::vector<TDataChannel> all = m_tags.SnapshotAll();
    m_shownTags.clear();
    for (const int index : ChosenTags())
        if (static_cast<size_t>(index) < all.size())
            m_shownTags.emplace_back(index, all[static_cast<size_t>(index)]);
    const auto [from, to] = RangeShown();
    m_range = {from, to};
    if (static_cast<Range>(m_comboBoxRange->currentIndex()) != Range::Between) {
        m_dateTimeFrom->setDateTime(FromLocalMsecs(from));
        m_dateTimeTo->setDateTime(FromLocalMsecs(to));
    }
    HistoryQuery query;
    query.from = from;
    query.to = to;
    query.buckets = static_cast<size_t>(std::max(m_chartView->width(), kNarrowestChart));
    query.gap = HistoryGap(m_store);
    m_headerCells.clear();
    for (const auto& [index, tag] : m_shownTags) {
        query.columns.push_back(HistoryColumnName(tag));
        m_headerCells.push_back(StoredTextToUtf8(query.columns.back()));
    }
    HistoryResult result = HistoryReader(HistoryFolder()).Read(query);
    m_table = std::move(result.table);
    m_report = std::move(result.report);
    Draw();
    if (auto* axis = qobject_cast<QDateTimeAxis*>(m_chart->axes(Qt::Horizontal).value(0))) {
        axis->setFormat(TimeFormatFor(to - from));
        axis->setRange(FromLocalMsecs(from), FromLocalMsecs(to));
    }
    ShowStatus();
}

// One value axis per unit, alternately left and right; each tag one colour.
void TFormTrends::Draw() {
    m_chart->removeAllSeries();
    for (QAbstractAxis* axis : m_chart->axes(Qt::Vertical)) {
        m_chart->removeAxis(axis);
        std::unique_ptr<QAbstractAxis> removed(axis);
    }
    QAbstractAxis* timeAxis = m_chart->axes(Qt::Horizontal).value(0);
    std::map<std::string, QValueAxis*> unitAxes;
    std::map<QValueAxis*, std::pair<double, double>> limits;
    for (size_t c = 0; c < m_shownTags.size(); ++c) {
        const auto& [index, tag] = m_shownTags[c];
        QValueAxis*& axis = unitAxes[tag.Unit];
        if (axis == nullptr) {
            axis = new QValueAxis;
            axis->setTitleText(ShownText(tag.Unit));
            m_chart->addAxis(axis, unitAxes.size() % 2 == 1 ? Qt::AlignLeft : Qt::AlignRight);
            limits[axis] = {INFINITY, -INFINITY};
        }
        const QColor color = kLineColors[c % std::size(kLineColors)];
        bool first = true;
        for (const QList<QPointF>& points : Segments(m_table, c)) {
            auto* series = new QLineSeries;
            series->setName(TagCaption(index, tag));
            series->setColor(color);
            series->setPointsVisible(points.size() == 1);
            series->replace(points);
            m_chart->addSeries(series);
            series->attachAxis(timeAxis);
            series->attachAxis(axis);
            if (!first)
                m_chart->legend()->markers(series).value(0)->setVisible(false);
            first = false;
            for (const QPointF& point : points) {
                limits[axis].first = std::min(limits[axis].first, point.y());
                limits[axis].second = std::max(limits[axis].second, point.y());
            }
        }
    }
    for (const auto& [axis, range] : limits) {
        const auto [low, high] = range;
        const AxisTicks ticks = RoundAxisTicks(low, high);
        axis->setRange(ticks.first, ticks.last);
        axis->setTickCount(ticks.count);
        axis->setLabelFormat(QStringLiteral("%.%1f").arg(ticks.decimals));
    }
}

void TFormTrends::ShowStatus() {
    QString text;
    if (m_shownTags.empty())
        text = tr("Choose tags on the left.");
    else if (m_report.lines == 0)
        text = tr("No history in this range.");
    else
        text = tr("%n line(s) from %1 day file(s)", nullptr, static_cast<int>(m_report.lines))
                   .arg(m_report.files);
    if (m_report.downsampled)
        text += tr(", shown as each part's minimum and maximum");
    if (!m_report.unreadable.empty()) {
        QStringList names;
        for (const auto& path : m_report.unreadable)
            names << QString::fromStdString(path.filename().string());
        text += tr("; cannot read %1").arg(names.join(QStringLiteral(", ")));
    }
    if (m_report.unreadableLines > 0)
        text += tr("; %n line(s) without a readable time left out", nullptr,
                   static_cast<int>(m_report.unreadableLines));
    m_labelStatus->setText(text);
}

void TFormTrends::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TFormTrends::ButtonCloseClick() {
    close();
}

void TFormTrends::EditSearchChange(const QString& text) {
    for (int row = 0; row < m_listTags->count(); ++row) {
        QListWidgetItem* item = m_listTags->item(row);
        item->setHidden(!item->text().contains(text.trimmed(), Qt::CaseInsensitive));
    }
}

void TFormTrends::ListTagsItemChanged(QListWidgetItem*) {
    Reload();
}

void TFormTrends::ComboBoxRangeChange(int index) {
    const bool between = static_cast<Range>(index) == Range::Between;
    if (between) { // from the range shown until now
        m_dateTimeFrom->setDateTime(FromLocalMsecs(m_range.first));
        m_dateTimeTo->setDateTime(FromLocalMsecs(m_range.second));
    }
    m_dateTimeFrom->setEnabled(between);
    m_dateTimeTo->setEnabled(between);
    Reload();
}

void TFormTrends::CheckBoxLiveClick(bool checked) {
    if (checked) {
        m_timerLive->start();
        TimerLiveTimer();
    } else {
        m_timerLive->stop();
    }
}

// A range between dates keeps its length and ends now.
void TFormTrends::TimerLiveTimer() {
    if (static_cast<Range>(m_comboBoxRange->currentIndex()) == Range::Between) {
        const QDateTime now = m_clock();
        const qint64 span = m_dateTimeFrom->dateTime().msecsTo(m_dateTimeTo->dateTime());
        m_dateTimeTo->setDateTime(now);
        m_dateTimeFrom->setDateTime(now.addMSecs(-span));
    }
    Reload();
}

void TFormTrends::ChartViewRangeChosen(qint64 from, qint64 to) {
    m_checkBoxLive->setChecked(false);
    {
        const QSignalBlocker blocker(m_comboBoxRange);
        m_comboBoxRange->setCurrentIndex(static_cast<int>(Range::Between));
    }
    m_dateTimeFrom->setEnabled(true);
    m_dateTimeTo->setEnabled(true);
    m_dateTimeFrom->setDateTime(FromLocalMsecs(LocalOf(from)));
    m_dateTimeTo->setDateTime(FromLocalMsecs(LocalOf(to)));
    if (auto* axis = qobject_cast<QDateTimeAxis*>(m_chart->axes(Qt::Horizontal).value(0)))
        axis->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
    m_timerReload->start();
}

void TFormTrends::ChartViewRangeReset() {
    m_comboBoxRange->setCurrentIndex(static_cast<int>(Range::LastHour));
}

// The values of the row nearest to the mouse.
void TFormTrends::ChartViewCursorMoved(qint64 at) {
    if (at < 0 || m_table.Rows() == 0) {
        m_cursorLine->hide();
        m_labelCursor->clear();
        return;
    }
    const QRectF plot = m_chart->plotArea();
    const auto range = m_chart->axes(Qt::Horizontal).value(0);
    const auto* timeAxis = qobject_cast<QDateTimeAxis*>(range);
    const double from = static_cast<double>(timeAxis->min().toMSecsSinceEpoch());
    const double to = static_cast<double>(timeAxis->max().toMSecsSinceEpoch());
    const double x = plot.left() + (static_cast<double>(at) - from) / (to - from) * plot.width();
    m_cursorLine->setLine(x, plot.top(), x, plot.bottom());
    m_cursorLine->show();

    const LocalMsecs local = LocalOf(at);
    const auto next = std::lower_bound(m_table.times.begin(), m_table.times.end(), local);
    auto nearest = next == m_table.times.end() ? next - 1 : next;
    if (next != m_table.times.begin() && nearest != m_table.times.begin() &&
        local - *(nearest - 1) < *nearest - local)
        --nearest;
    const auto row = static_cast<size_t>(nearest - m_table.times.begin());
    QString text = QString::fromStdString(IsoLocalText(local - local % 1000)).replace(u'T', u' ');
    for (size_t c = 0; c < m_shownTags.size(); ++c) {
        const TDataChannel& tag = m_shownTags[c].second;
        const double value = m_table.values[c][row];
        text +=
            QStringLiteral("   ") + ShownText(tag.Name) + QStringLiteral(": ") +
            (std::isnan(value) ? QStringLiteral("-") : QString::fromStdString(ValueOf(tag, value)));
        if (!tag.Unit.empty() && !std::isnan(value))
            text += u' ' + ShownText(tag.Unit);
    }
    m_labelCursor->setText(text);
}

void TFormTrends::ButtonExportCsvClick() {
    QFileDialog dialog(this, tr("Export the shown data"), QString(), tr("CSV files (*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().front();
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    out << HistoryCsvText(m_table, m_headerCells);
    out.close();
    if (!out)
        MessageBox::Error(this, tr("Export failed"), tr("Cannot write %1.").arg(path));
}

void TFormTrends::ButtonExportPngClick() {
    QFileDialog dialog(this, tr("Export the chart"), QString(), tr("PNG pictures (*.png)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("png"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().front();
    if (!m_chartView->grab().save(path, "PNG"))
        MessageBox::Error(this, tr("Export failed"), tr("Cannot write %1.").arg(path));
}

} // namespace halvane
