#include "TagListDelegate.h"

#include "TagListModel.h"

#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace halvane {

namespace {

constexpr int kIconSize = 16;
constexpr int kStatusIconFromRight = 18;
constexpr int kIconMargin = 2;

QPixmap DrawIcon(const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return pixmap;
}

// A green disc with a white tick.
QPixmap OkIcon() {
    return DrawIcon([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 160, 0));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath tick;
        tick.moveTo(4.5, 8.5);
        tick.lineTo(7, 11);
        tick.lineTo(11.5, 5);
        p.drawPath(tick);
    });
}

// A red disc with a white cross.
QPixmap ErrorIcon() {
    return DrawIcon([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(210, 0, 0));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 5), QPointF(11, 11));
        p.drawLine(QPointF(11, 5), QPointF(5, 11));
    });
}

// A blue arrow pointing right: the request is under way.
QPixmap PollingIcon() {
    return DrawIcon([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 90, 220));
        const QPointF arrow[] = {{3, 3}, {13, 8}, {3, 13}, {6, 8}};
        p.drawPolygon(arrow, 4);
    });
}

} // namespace

TagListDelegate::TagListDelegate(QObject* parent)
    : QStyledItemDelegate(parent), m_okIcon(OkIcon()), m_errorIcon(ErrorIcon()),
      m_pollingIcon(PollingIcon()) {}

void TagListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    const QRect cell = option.rect;
    const QVariant icon = index.data(TagListModel::kIconRole);
    if (!icon.isValid())
        return;
    if (index.column() == kTagListStatusColumn) {
        const auto status = static_cast<TagStatusIcon>(icon.toInt());
        if (status == TagStatusIcon::None)
            return;
        painter->drawPixmap(cell.x() + cell.width() - kStatusIconFromRight, cell.y() + kIconMargin,
                            status == TagStatusIcon::Ok ? m_okIcon : m_errorIcon);
    } else if (index.column() == kTagListPollingColumn && icon.toBool()) {
        painter->drawPixmap(cell.x() + kIconMargin, cell.y() + kIconMargin, m_pollingIcon);
    }
}

} // namespace halvane
