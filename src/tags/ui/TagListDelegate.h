#pragma once

#include <QPixmap>
#include <QStyledItemDelegate>

namespace halvane {

// Draws the tag list's cells as text and then, over the text, the status icon 18 pixels
// left of the status cell's right edge and the polling icon at the polling cell's left.
class TagListDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TagListDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    QPixmap m_okIcon;
    QPixmap m_errorIcon;
    QPixmap m_pollingIcon;
};

} // namespace halvane
