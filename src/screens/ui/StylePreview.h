#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

namespace halvane {

class ProfileStore;

// One preview of a text style: a value and its caption drawn over the whole area as a
// screen draws them, with the style's colours, in its normal or its highlighted look.
// The area renders into an image whenever what it shows changes; painting only shows
// that image.
class StylePreview final : public QWidget {
    Q_OBJECT
public:
    StylePreview(const ProfileStore& config, bool highlighted, QWidget* parent = nullptr);

    // Draws `style` with these texts on `background`; a negative style draws no text.
    // The style's keys are read again at every call.
    void ShowStyle(int style, const QString& value, const QString& caption,
                   const QColor& background);
    const QImage& Image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Render();

    const ProfileStore& m_config;
    const bool m_highlighted;
    int m_style = -1;
    QString m_value;
    QString m_caption;
    QColor m_background;
    QImage m_image;
};

} // namespace halvane
