#include "ScreenPaintArea.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>

namespace halvane {

ScreenPaintArea::ScreenPaintArea(QWidget* parent) : QWidget(parent) {
    setObjectName("PaintBoxScreen");
    setMouseTracking(true);
}

void ScreenPaintArea::ShowFrame(QImage frame, bool stretch) {
    m_frame = std::move(frame);
    m_stretch = stretch;
    update();
}

void ScreenPaintArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (m_stretch)
        painter.drawImage(rect(), m_frame);
    else
        painter.drawImage(0, 0, m_frame);
}

void ScreenPaintArea::mousePressEvent(QMouseEvent* event) {
    emit MouseDown(event->button(), event->position().toPoint());
}

void ScreenPaintArea::mouseMoveEvent(QMouseEvent* event) {
    emit MouseMove(event->position().toPoint());
}

void ScreenPaintArea::mouseReleaseEvent(QMouseEvent* event) {
    emit MouseUp(event->button(), event->position().toPoint(), event->globalPosition().toPoint());
}

void ScreenPaintArea::contextMenuEvent(QContextMenuEvent* event) {
    emit ContextPopup(event->pos(), event->globalPos());
}

} // namespace halvane
