#pragma once

#include <QImage>
#include <QWidget>

namespace halvane {

// The screen's client area. It only shows the last composed frame: at its own size from
// the top-left corner, or scaled to the whole area when the screen stretches it.
class ScreenPaintArea final : public QWidget {
    Q_OBJECT
public:
    explicit ScreenPaintArea(QWidget* parent = nullptr);

    // Shows `frame` from the next paint event on; `frame` is never written afterwards.
    void ShowFrame(QImage frame, bool stretch);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_frame;
    bool m_stretch = false;
};

} // namespace halvane
