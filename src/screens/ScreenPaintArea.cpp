#include "ScreenPaintArea.h"

#include <QPainter>

namespace halvane {

ScreenPaintArea::ScreenPaintArea(QWidget* parent) : QWidget(parent) {
    setObjectName("PaintBoxScreen");
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

} // namespace halvane
