#include "TrendChartView.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace halvane {

namespace {

constexpr double kZoomPerStep = 0.8;       // a wheel step in shows 80 % of the range
constexpr qint64 kNarrowestRange = 10'000; // ms

QDateTimeAxis* TimeAxis(const QChart* chart) {
    return qobject_cast<QDateTimeAxis*>(chart->axes(Qt::Horizontal).value(0));
}

} // namespace

TrendChartView::TrendChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
    setMouseTracking(true);
    setRenderHint(QPainter::Antialiasing);
}

std::pair<qint64, qint64> TrendChartView::ShownRange() const {
    const QDateTimeAxis* axis = TimeAxis(chart());
    if (axis == nullptr)
        return {0, 0};
    return {axis->min().toMSecsSinceEpoch(), axis->max().toMSecsSinceEpoch()};
}

std::optional<qint64> TrendChartView::TimeAt(QPointF position) const {
    const QRectF plot = chart()->plotArea();
    const QPointF at = chart()->mapFromScene(mapToScene(position.toPoint()));
    const auto [from, to] = ShownRange();
    if (!plot.contains(at) || plot.width() <= 0 || to <= from)
        return std::nullopt;
    return from +
           std::llround((at.x() - plot.left()) / plot.width() * static_cast<double>(to - from));
}

void TrendChartView::wheelEvent(QWheelEvent* event) {
    const auto anchor = TimeAt(event->position());
    const double steps = event->angleDelta().y() / 120.0;
    if (!anchor || steps == 0)
        return;
    const auto [from, to] = ShownRange();
    const double factor = std::pow(kZoomPerStep, steps);
    qint64 newFrom = *anchor - std::llround(static_cast<double>(*anchor - from) * factor);
    qint64 newTo = *anchor + std::llround(static_cast<double>(to - *anchor) * factor);
    if (newTo - newFrom < kNarrowestRange) {
        newFrom = *anchor - kNarrowestRange / 2;
        newTo = newFrom + kNarrowestRange;
    }
    event->accept();
    emit RangeChosen(newFrom, newTo);
}

void TrendChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && TimeAt(event->position())) {
        m_dragFrom = event->position();
        m_dragRange = ShownRange();
        setCursor(Qt::ClosedHandCursor);
    }
    event->accept();
}

void TrendChartView::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragFrom && chart()->plotArea().width() > 0) {
        const double shift =
            (m_dragFrom->x() - event->position().x()) / chart()->plotArea().width();
        const auto offset =
            std::llround(shift * static_cast<double>(m_dragRange.second - m_dragRange.first));
        if (QDateTimeAxis* axis = TimeAxis(chart()))
            axis->setRange(QDateTime::fromMSecsSinceEpoch(m_dragRange.first + offset),
                           QDateTime::fromMSecsSinceEpoch(m_dragRange.second + offset));
    }
    emit CursorMoved(TimeAt(event->position()).value_or(-1));
}

void TrendChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_dragFrom) {
        m_dragFrom.reset();
        unsetCursor();
        const auto [from, to] = ShownRange();
        if (std::pair(from, to) != m_dragRange)
            emit RangeChosen(from, to);
    }
    event->accept();
}

void TrendChartView::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    emit RangeReset();
}

void TrendChartView::leaveEvent(QEvent* event) {
    QChartView::leaveEvent(event);
    emit CursorMoved(-1);
}

} // namespace halvane
