#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <memory>

class QPainter;
class QRect;
class QSvgRenderer;

namespace halvane {

// The picture of a graphical symbol: a bitmap, an SVG drawing, or a classic or enhanced
// metafile kept as the SVG it was turned into. An SVG is parsed once, when the picture is
// made, and drawn from its vectors at whatever size it is given. Copies are independent
// values, each with a renderer of its own.
class SymbolPicture final {
public:
    enum class Kind { Bitmap, Metafile, EnhancedMetafile, Svg };

    static SymbolPicture FromBitmap(QImage image);
    static SymbolPicture FromSvg(Kind kind, QByteArray svg, QSize size);

    SymbolPicture();
    ~SymbolPicture();
    SymbolPicture(const SymbolPicture& other);
    SymbolPicture& operator=(const SymbolPicture& other);
    SymbolPicture(SymbolPicture&&) noexcept;
    SymbolPicture& operator=(SymbolPicture&&) noexcept;

    Kind PictureKind() const { return m_kind; }
    QSize Size() const { return m_size; }
    // Draws the picture stretched into `target`.
    void Draw(QPainter& painter, const QRect& target) const;

private:
    Kind m_kind = Kind::Bitmap;
    QImage m_bitmap;
    QByteArray m_svg;
    std::unique_ptr<QSvgRenderer> m_renderer; // parsed from m_svg
    QSize m_size;
};

} // namespace halvane
