#include "StylePreview.h"

#include "StyledText.h"

#include <QPainter>

namespace halvane {

StylePreview::StylePreview(const ProfileStore& config, bool highlighted, QWidget* parent)
    : QWidget(parent), m_config(config), m_highlighted(highlighted) {}

void StylePreview::ShowStyle(int style, const QString& value, const QString& caption,
                             const QColor& background) {
    m_style = style;
    m_value = value;
    m_caption = caption;
    m_background = background;
    Render();
}

void StylePreview::Render() {
    m_image = QImage(size(), QImage::Format_RGB32);
    if (m_image.isNull())
        return;
    m_image.fill(m_background);
    if (m_style >= 0) {
        QPainter painter(&m_image);
        DrawStyledText(painter, m_config, m_style, {0, 0, width(), height()}, m_value.toStdString(),
                       m_caption.toStdString(), m_highlighted, true, false);
    }
    update();
}

void StylePreview::paintEvent(QPaintEvent*) {
    QPainter(this).drawImage(0, 0, m_image);
}

void StylePreview::resizeEvent(QResizeEvent* event) {
    Render();
    QWidget::resizeEvent(event);
}

} // namespace halvane
