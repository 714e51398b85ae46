#include "ScreenPaintArea.h"

#include "TScreenMarker.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace halvane {

namespace {

// The kind a palette drag carries (the palette alone uses its format), only a creatable one.
std::optional<int32_t> DraggedKind(const QDropEvent& event) {
    const QMimeData* data = event.mimeData();
    if (data == nullptr || !data->hasFormat(kObjectTypeMimeType))
        return std::nullopt;
    bool number = false;
    const int type = data->data(kObjectTypeMimeType).toInt(&number);
    const bool creatable =
        std::any_of(kObjectKinds.begin(), kObjectKinds.end(),
                    [type](const ObjectKind& kind) { return kind.type == type; });
    if (!number || !creatable)
        return std::nullopt;
    return type;
}

} // namespace

ScreenPaintArea::ScreenPaintArea(QWidget* parent) : QWidget(parent) {
    setObjectName("PaintBoxScreen");
    setMouseTracking(true);
    setAcceptDrops(true);
    setFocusPolicy(Qt::ClickFocus);
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
    emit MouseDown(event->button(), event->position().toPoint(), event->modifiers());
}

void ScreenPaintArea::mouseMoveEvent(QMouseEvent* event) {
    emit MouseMove(event->position().toPoint());
}

void ScreenPaintArea::mouseReleaseEvent(QMouseEvent* event) {
    emit MouseUp(event->button(), event->position().toPoint(), event->globalPosition().toPoint());
}

void ScreenPaintArea::mouseDoubleClickEvent(QMouseEvent* event) {
    emit MouseDown(event->button(), event->position().toPoint(), event->modifiers());
    if (event->button() == Qt::LeftButton)
        emit DoubleClick(event->position().toPoint());
}

void ScreenPaintArea::contextMenuEvent(QContextMenuEvent* event) {
    emit ContextPopup(event->pos(), event->globalPos());
}

void ScreenPaintArea::keyPressEvent(QKeyEvent* event) {
    emit KeyDown(event->key(), event->modifiers());
}

void ScreenPaintArea::dragEnterEvent(QDragEnterEvent* event) {
    if (DraggedKind(*event))
        event->acceptProposedAction();
}

void ScreenPaintArea::dragMoveEvent(QDragMoveEvent* event) {
    if (DraggedKind(*event))
        event->acceptProposedAction();
}

void ScreenPaintArea::dropEvent(QDropEvent* event) {
    const auto type = DraggedKind(*event);
    if (!type)
        return;
    event->acceptProposedAction();
    emit ObjectDropped(*type, event->position().toPoint());
}

} // namespace halvane
