#pragma once

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <optional>

namespace halvane {

// The screen's client area. It only shows the last composed frame: at its own size from
// the top-left corner, or scaled to the whole area when the screen stretches it. Its mouse
// events go to the screen as signals, positions in the area's own (client) coordinates.
class ScreenPaintArea final : public QWidget {
    Q_OBJECT
public:
    explicit ScreenPaintArea(QWidget* parent = nullptr);

    // Shows `frame` from the next paint event on; `frame` is never written afterwards.
    void ShowFrame(QImage frame, bool stretch);

signals:
    // A double click arrives as a second MouseDown, then as DoubleClick.
    void MouseDown(Qt::MouseButton button, QPoint position, Qt::KeyboardModifiers modifiers);
    void DoubleClick(QPoint position);
    // With or without a button held.
    void MouseMove(QPoint position);
    // `position` may lie outside the area when the button was pressed inside it.
    void MouseUp(Qt::MouseButton button, QPoint position, QPoint globalPosition);
    void ContextPopup(QPoint position, QPoint globalPosition);
    // A palette entry dropped here, with the type code it carries (one of the creatable
    // kinds); drags of anything else are refused.
    void ObjectDropped(int32_t type, QPoint position);
    // A key pressed while the area has the focus (a click gives it the focus).
    void KeyDown(int key, Qt::KeyboardModifiers modifiers);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QImage m_frame;
    bool m_stretch = false;
};

} // namespace halvane
