#pragma once

#include <QChartView>

#include <optional>
#include <utility>

namespace halvane {

// The chart of the trends window: the wheel zooms the time axis around the mouse, a drag
// with the left button pans it, a double click asks for the range chosen before; the
// mouse's time is reported as it moves.
class TrendChartView final : public QChartView {
    Q_OBJECT
public:
    explicit TrendChartView(QChart* chart, QWidget* parent = nullptr);

signals:
    // A new time range (milliseconds since the epoch) chosen with the mouse.
    void RangeChosen(qint64 from, qint64 to);
    void RangeReset();
    // The time under the mouse, or -1 when it left the plot.
    void CursorMoved(qint64 at);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    std::optional<qint64> TimeAt(QPointF position) const;
    std::pair<qint64, qint64> ShownRange() const;

    std::optional<QPointF> m_dragFrom;
    std::pair<qint64, qint64> m_dragRange;
};

} // namespace halvane
