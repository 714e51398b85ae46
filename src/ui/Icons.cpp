#include "Icons.h"

#include "TScreenMarker.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace halvane {

namespace {

constexpr int kIconSize = 16;

const QColor kOutline(40, 40, 40);
const QColor kScreenBlue(40, 90, 170);
const QColor kDisplayGreen(60, 200, 60);

QIcon Drawn(const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(kOutline);
    draw(painter);
    return QIcon(pixmap);
}

void Monitor(QPainter& p, const QColor& face) {
    p.setBrush(face);
    p.drawRect(1, 2, 13, 9);
    p.drawLine(7, 12, 7, 13);
    p.drawLine(4, 14, 11, 14);
}

void TagShape(QPainter& p, const QColor& fill) {
    QPainterPath path;
    path.moveTo(1.5, 4.5);
    path.lineTo(10.5, 4.5);
    path.lineTo(14.5, 8);
    path.lineTo(10.5, 11.5);
    path.lineTo(1.5, 11.5);
    path.closeSubpath();
    p.setBrush(fill);
    p.drawPath(path);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(10.5, 8), 1.2, 1.2);
}

// An arrow from left to right (`rightwards`) or back, over a tag.
void TagWithArrow(QPainter& p, const QColor& fill, bool rightwards) {
    TagShape(p, fill);
    p.setPen(QPen(kOutline, 1.5));
    const qreal tip = rightwards ? 8.5 : 2.5;
    const qreal tail = rightwards ? 2.5 : 8.5;
    p.drawLine(QPointF(tail, 8), QPointF(tip, 8));
    const qreal back = rightwards ? tip - 2.5 : tip + 2.5;
    p.drawLine(QPointF(tip, 8), QPointF(back, 5.5));
    p.drawLine(QPointF(tip, 8), QPointF(back, 10.5));
}

void Plug(QPainter& p) {
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(1, 5, 5, 6);
    p.drawRect(10, 5, 5, 6);
    p.setPen(QPen(kScreenBlue, 2));
    p.drawLine(6, 8, 10, 8);
}

void Lamp(QPainter& p, const QColor& fill) {
    p.setBrush(fill);
    p.drawEllipse(QPointF(8, 8), 5.5, 5.5);
}

void Glyph(QPainter& p, const QString& text, const QColor& face, const QColor& ink) {
    p.setBrush(face);
    p.drawRect(0, 2, 15, 11);
    QFont font = p.font();
    font.setPixelSize(9);
    font.setBold(true);
    p.setFont(font);
    p.setPen(ink);
    p.drawText(QRect(0, 2, 16, 12), Qt::AlignCenter, text);
}

void Clock(QPainter& p) {
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
    p.drawLine(QPointF(8, 8), QPointF(8, 3.5));
    p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
}

void Calendar(QPainter& p) {
    p.setBrush(Qt::white);
    p.drawRect(1, 2, 13, 12);
    p.fillRect(2, 3, 12, 3, QColor(200, 50, 50));
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 4; ++column)
            p.fillRect(3 + 3 * column, 8 + 3 * row, 2, 2, kOutline);
}

void Button(QPainter& p, const QString& text) {
    p.setBrush(QColor(215, 215, 215));
    p.drawRoundedRect(QRectF(0.5, 3.5, 15, 9), 2, 2);
    p.setPen(Qt::white);
    p.drawLine(2, 5, 13, 5);
    p.setPen(kOutline);
    QFont font = p.font();
    font.setPixelSize(8);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(0, 4, 16, 9), Qt::AlignCenter, text);
}

void Picture(QPainter& p) {
    p.setBrush(QColor(170, 210, 250));
    p.drawRect(0, 2, 15, 12);
    p.setBrush(QColor(250, 210, 40));
    p.drawEllipse(QPointF(11, 6), 1.8, 1.8);
    QPainterPath hill;
    hill.moveTo(1, 13);
    hill.lineTo(6, 7);
    hill.lineTo(10, 13);
    hill.closeSubpath();
    p.setBrush(QColor(70, 150, 70));
    p.drawPath(hill);
}

void InputBox(QPainter& p) {
    p.setBrush(Qt::white);
    p.drawRect(0, 3, 15, 9);
    p.drawLine(4, 5, 4, 10);
}

void MultiState(QPainter& p) {
    const QColor colors[] = {QColor(220, 60, 60), QColor(240, 200, 40), kDisplayGreen};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(colors[i]);
        p.drawRect(1, 1 + 5 * i, 13, 3);
    }
}

} // namespace

QIcon MakeNavigatorIcon(NavigatorIcon icon) {
    switch (icon) {
    case NavigatorIcon::Connections:
        return Drawn(Plug);
    case NavigatorIcon::Screens:
        return Drawn([](QPainter& p) {
            p.setBrush(QColor(180, 180, 180));
            p.drawRect(4, 0, 11, 8);
            Monitor(p, kScreenBlue);
        });
    case NavigatorIcon::Tags:
        return Drawn([](QPainter& p) {
            p.translate(0, -3);
            TagShape(p, QColor(250, 220, 120));
            p.translate(0, 5);
            TagShape(p, QColor(250, 220, 120));
        });
    case NavigatorIcon::Screen:
        return Drawn([](QPainter& p) { Monitor(p, kScreenBlue); });
    case NavigatorIcon::Connected:
        return Drawn([](QPainter& p) { Lamp(p, kDisplayGreen); });
    case NavigatorIcon::Disconnected:
        return Drawn([](QPainter& p) { Lamp(p, QColor(210, 50, 50)); });
    case NavigatorIcon::ConnectionDisabled:
        return Drawn([](QPainter& p) { Lamp(p, QColor(165, 165, 165)); });
    case NavigatorIcon::InputTag:
        return Drawn([](QPainter& p) { TagWithArrow(p, QColor(170, 220, 250), false); });
    case NavigatorIcon::OutputTag:
        return Drawn([](QPainter& p) { TagWithArrow(p, QColor(250, 190, 120), true); });
    }
    return {};
}

QIcon MakeObjectKindIcon(int32_t type) {
    switch (type) {
    case kNumericDisplay:
        return Drawn([](QPainter& p) { Glyph(p, "12", Qt::black, kDisplayGreen); });
    case kBinaryDisplay:
        return Drawn([](QPainter& p) { Glyph(p, "0/1", Qt::black, QColor(250, 200, 40)); });
    case kMultiStateDisplay:
        return Drawn(MultiState);
    case kCurrentTime:
        return Drawn(Clock);
    case kCurrentDate:
        return Drawn(Calendar);
    case kFunctionButton:
        return Drawn([](QPainter& p) { Button(p, ">>"); });
    case kStaticText:
        return Drawn([](QPainter& p) { Glyph(p, "Ab", Qt::white, kOutline); });
    case kGraphicalSymbol:
        return Drawn(Picture);
    case kNumericInput:
        return Drawn(InputBox);
    case kPresetValueButton:
        return Drawn([](QPainter& p) { Button(p, "=5"); });
    default:
        return Drawn([](QPainter& p) { p.drawRect(1, 1, 13, 13); });
    }
}

} // namespace halvane
