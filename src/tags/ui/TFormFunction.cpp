#include "TFormFunction.h"

#include "DialogWidgets.h"
#include "MessageBox.h"
#include "NumberFormat.h"
#include "ScalingFunction.h"
#include "StoredText.h"
#include "TFormCalibrate.h"
#include "TFormFunctionPoint.h"
#include "TFormFunctionWizard.h"

#include <QChart>
#include <QChartView>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

namespace halvane {

namespace {

constexpr int kRowHeight = 20;
constexpr int kReadColumnWidth = 77;
constexpr int kRealColumnWidth = 83;
const QColor kFunctionColor = Qt::red;
const QColor kLinearizedOffsetColor(128, 128, 255);
const QColor kLinearizedColor(0, 128, 0);
constexpr double kAxisMargin = 0.05;

QLineSeries* NewSeries(QChart* chart, const QColor& color, qreal markerSize) {
    auto* series = new QLineSeries(chart);
    QPen pen(color);
    pen.setWidth(2);
    series->setPen(pen);
    series->setPointsVisible(true);
    series->setMarkerSize(markerSize);
    chart->addSeries(series);
    return series;
}

void Plot(QLineSeries* series, const std::vector<ChartPoint>& points) {
    QList<QPointF> data;
    data.reserve(static_cast<qsizetype>(points.size()));
    for (const ChartPoint& p : points)
        data.append(QPointF(p.x, p.y));
    series->replace(data);
}

QLabel* LegendLine(const QString& text, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

} // namespace

TFormFunction::TFormFunction(QWidget* parent) : QDialog(parent) {
    setObjectName("FormFunction");
    setWindowTitle(tr("Math function"));
    BuildWindow();
    m_formFunctionPoint = new TFormFunctionPoint(this);
    m_formFunctionWizard = new TFormFunctionWizard(this);
    m_formCalibrate = new TFormCalibrate(this);
}

void TFormFunction::BuildWindow() {
    auto* layout = new QVBoxLayout(this);
    auto* topText = new QLabel(
        tr("Actual value of the data tag displayed on your screen is calculated by the "
           "mathematical function of the raw value. This view allows defining of points of the "
           "math function."),
        this);
    topText->setWordWrap(true);
    layout->addWidget(topText);

    auto* middle = new QHBoxLayout;
    layout->addLayout(middle, 1);

    m_chart = new QChart;
    m_chart->legend()->hide();
    m_axisX = new QValueAxis(m_chart);
    m_axisX->setTitleText(tr("Raw"));
    m_axisX->setLabelFormat("%g");
    m_axisY = new QValueAxis(m_chart);
    m_axisY->setTitleText(tr("Real (displayed)"));
    m_axisY->setLabelFormat("%g");
    m_chart->addAxis(m_axisX, Qt::AlignBottom);
    m_chart->addAxis(m_axisY, Qt::AlignLeft);
    m_series1 = NewSeries(m_chart, kFunctionColor, 3);
    m_series2 = NewSeries(m_chart, kLinearizedOffsetColor, 2);
    m_series3 = NewSeries(m_chart, kLinearizedColor, 2);
    for (QLineSeries* series : {m_series1, m_series2, m_series3}) {
        series->attachAxis(m_axisX);
        series->attachAxis(m_axisY);
    }
    auto* chartView = new QChartView(m_chart, this);
    chartView->setObjectName("Chart1");
    chartView->setRenderHint(QPainter::Antialiasing);
    chartView->setMinimumSize(420, 300);
    middle->addWidget(chartView, 1);

    auto* pointsColumn = new QVBoxLayout;
    pointsColumn->addWidget(new QLabel(tr("Function points:"), this));
    m_stringGridChart = new QTableWidget(0, 2, this);
    m_stringGridChart->setObjectName("StringGridChart");
    m_stringGridChart->setHorizontalHeaderLabels({tr("Read"), tr("Real")});
    m_stringGridChart->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_stringGridChart->setSelectionMode(QAbstractItemView::SingleSelection);
    m_stringGridChart->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_stringGridChart->verticalHeader()->hide();
    m_stringGridChart->verticalHeader()->setDefaultSectionSize(kRowHeight);
    m_stringGridChart->horizontalHeader()->resizeSection(0, kReadColumnWidth);
    m_stringGridChart->horizontalHeader()->resizeSection(1, kRealColumnWidth);
    m_stringGridChart->setFixedWidth(kReadColumnWidth + kRealColumnWidth + 24);
    pointsColumn->addWidget(m_stringGridChart, 1);
    middle->addLayout(pointsColumn);

    auto* bottom = new QHBoxLayout;
    layout->addLayout(bottom);
    auto* legend = new QGroupBox(tr("Legend"), this);
    legend->setObjectName("GroupBoxLegend");
    auto* legendLayout = new QVBoxLayout(legend);
    legendLayout->addWidget(LegendLine(tr("* Function f(x)"), kFunctionColor, legend));
    legendLayout->addWidget(
        LegendLine(tr("* Linearized f(x) + calibration offset"), kLinearizedOffsetColor, legend));
    legendLayout->addWidget(
        LegendLine(tr("* Linearized function f(x) "), kLinearizedColor, legend));
    m_labelLinear = LegendLine(tr("Y = a * X + b"), kLinearizedColor, legend);
    m_labelLinear->setObjectName("LabelLinear");
    legendLayout->addWidget(m_labelLinear);
    bottom->addWidget(legend, 1);

    auto* pointButtons = new QVBoxLayout;
    QPushButton* add = NewButton(tr("Add"), "ButtonAdd", this);
    QPushButton* edit = NewButton(tr("Edit"), "ButtonEdit", this);
    QPushButton* remove = NewButton(tr("Delete"), "ButtonDelete", this);
    pointButtons->addWidget(add);
    pointButtons->addWidget(edit);
    pointButtons->addWidget(remove);
    bottom->addLayout(pointButtons);

    auto* calibration = new QGroupBox(tr("Offset calibration"), this);
    calibration->setObjectName("GroupBoxCalibration");
    auto* calibrationLayout = new QVBoxLayout(calibration);
    QPushButton* calibrate = NewButton(tr("Calibrate"), "ButtonCalibrate", calibration);
    QPushButton* resetOffset = NewButton(tr("Reset offset"), "ButtonResetOffset", calibration);
    calibrationLayout->addWidget(calibrate);
    calibrationLayout->addWidget(resetOffset);
    bottom->addWidget(calibration);

    auto* wizard = new QGroupBox(tr("Wizard"), this);
    wizard->setObjectName("GroupBoxWizard");
    auto* wizardLayout = new QVBoxLayout(wizard);
    QPushButton* useWizard = NewButton(tr("Use wizard to create function"), "ButtonWizard", wizard);
    wizardLayout->addWidget(useWizard);
    bottom->addWidget(wizard);

    auto* closeButtons = new QVBoxLayout;
    QPushButton* save = NewButton(tr("&Save"), "ButtonSave", this);
    QFont bold = save->font();
    bold.setBold(true);
    save->setFont(bold);
    save->setDefault(true);
    QPushButton* cancel = NewButton(tr("&Cancel"), "ButtonCancel", this);
    closeButtons->addWidget(save);
    closeButtons->addWidget(cancel);
    bottom->addLayout(closeButtons);

    connect(add, &QPushButton::clicked, this, &TFormFunction::ButtonAddClick);
    connect(edit, &QPushButton::clicked, this, &TFormFunction::ButtonEditClick);
    connect(remove, &QPushButton::clicked, this, &TFormFunction::ButtonDeleteClick);
    connect(save, &QPushButton::clicked, this, &TFormFunction::ButtonSaveClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(calibrate, &QPushButton::clicked, this, &TFormFunction::ButtonCalibrateClick);
    connect(resetOffset, &QPushButton::clicked, this, &TFormFunction::ButtonResetOffsetClick);
    connect(useWizard, &QPushButton::clicked, this, &TFormFunction::ButtonWizardClick);
}

void TFormFunction::showEvent(QShowEvent* event) {
    m_changed = false;
    m_labelLinear->clear();
    setWindowTitle(
        tr("Function for tag: %1").arg(QString::fromStdString(StoredTextToUtf8(m_tag.Name))));
    Redraw();
    QDialog::showEvent(event);
}

void TFormFunction::done(int result) {
    if (result != QDialog::Accepted && m_changed &&
        MessageBox::Question(
            this, tr("Data not saved"),
            tr("Data not saved. Do you want to exit window without saving data?")) !=
            QMessageBox::Yes)
        return;
    QDialog::done(result);
}

void TFormFunction::Redraw() {
    SortPoints(m_tag);
    const int count = std::clamp(m_tag.PointCount, 0, kMaxPoints);
    m_stringGridChart->setRowCount(count);
    for (int i = 0; i < count; ++i) {
        const auto p = static_cast<size_t>(i);
        m_stringGridChart->setItem(
            i, 0, new QTableWidgetItem(QString::fromStdString(FormatGeneral(m_tag.PointX[p]))));
        m_stringGridChart->setItem(
            i, 1, new QTableWidgetItem(QString::fromStdString(FormatGeneral(m_tag.PointY[p]))));
    }
    Plot(m_series1, FunctionSeries(m_tag));
    FitLinearFunction(m_tag);
    m_labelLinear->setText(QString::fromStdString(LinearFunctionText(m_tag)));
    Plot(m_series2, LinearizedSeries(m_tag, true));
    Plot(m_series3, LinearizedSeries(m_tag, false));
    SetAxes();
}

// Both axes span every drawn point with a small margin.
void TFormFunction::SetAxes() {
    double minX = std::numeric_limits<double>::infinity();
    double maxX = -minX;
    double minY = minX;
    double maxY = -minX;
    for (const QLineSeries* series : {m_series1, m_series2, m_series3})
        for (const QPointF& p : series->points()) {
            minX = std::min(minX, p.x());
            maxX = std::max(maxX, p.x());
            minY = std::min(minY, p.y());
            maxY = std::max(maxY, p.y());
        }
    if (!(minX <= maxX) || !std::isfinite(minX + maxX + minY + maxY)) {
        m_axisX->setRange(0, 1);
        m_axisY->setRange(0, 1);
        return;
    }
    const auto pad = [](double& low, double& high) {
        const double span = high > low ? high - low : std::max(1.0, std::abs(low));
        low -= span * kAxisMargin;
        high += span * kAxisMargin;
    };
    pad(minX, maxX);
    pad(minY, maxY);
    m_axisX->setRange(minX, maxX);
    m_axisY->setRange(minY, maxY);
}

int TFormFunction::SelectedPoint() const {
    const QModelIndexList rows = m_stringGridChart->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return -1;
    const int row = rows.front().row();
    return row < std::clamp(m_tag.PointCount, 0, kMaxPoints) ? row : -1;
}

void TFormFunction::PointsChanged() {
    m_changed = true;
    Redraw();
}

void TFormFunction::ButtonAddClick() {
    if (m_tag.PointCount >= kMaxPoints) {
        MessageBox::Warning(this, tr("Cannot add a new point"),
                            tr("The maximum number of points for the math function has been "
                               "exceeded."));
        return;
    }
    m_formFunctionPoint->SetPoint(m_tag.RawValue, 0);
    if (m_formFunctionPoint->exec() != QDialog::Accepted)
        return;
    AddPoint(m_tag, m_formFunctionPoint->X(), m_formFunctionPoint->Y());
    PointsChanged();
}

void TFormFunction::ButtonEditClick() {
    const int point = SelectedPoint();
    if (point < 0)
        return;
    const auto p = static_cast<size_t>(point);
    m_formFunctionPoint->SetPoint(m_tag.PointX[p], m_tag.PointY[p]);
    if (m_formFunctionPoint->exec() != QDialog::Accepted)
        return;
    ReplacePoint(m_tag, point, m_formFunctionPoint->X(), m_formFunctionPoint->Y());
    PointsChanged();
}

void TFormFunction::ButtonDeleteClick() {
    const int point = SelectedPoint();
    if (point < 0)
        return;
    if (MessageBox::Question(this, tr("Confirmation"),
                             tr("Do you want to delete selected point?")) != QMessageBox::Yes)
        return;
    RemovePoint(m_tag, point);
    PointsChanged();
}

void TFormFunction::ButtonSaveClick() {
    m_changed = false;
    accept();
}

void TFormFunction::ButtonWizardClick() {
    if (m_formFunctionWizard->exec() != QDialog::Accepted)
        return;
    const auto offset = ParseFloat(m_formFunctionWizard->OffsetText().toStdString());
    const auto multiplier = ParseFloat(m_formFunctionWizard->MultiplierText().toStdString());
    if (!offset || !multiplier) {
        MessageBox::Error(this, tr("Invalid format"),
                          tr("Invalid value format. Enter valid values."));
        return;
    }
    MakeLinearPoints(m_tag, *multiplier, *offset);
    PointsChanged();
}

void TFormFunction::ButtonCalibrateClick() {
    m_formCalibrate->SetRealValue(m_tag.RealValue);
    if (m_formCalibrate->exec() != QDialog::Accepted)
        return;
    if (const auto measured = m_formCalibrate->Measured())
        CalibrateOffset(m_tag, *measured);
    Redraw();
}

void TFormFunction::ButtonResetOffsetClick() {
    m_tag.Offset = 0;
    Redraw();
}

} // namespace halvane
