#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

class QPainter;
class QRect;

namespace halvane {

// The picture of a graphical symbol: a bitmap, or a classic or enhanced metafile kept as
// the SVG it was turned into. Copies are independent values.
class SymbolPicture final {
public:
    enum class Kind { Bitmap, Metafile, EnhancedMetafile };

    static SymbolPicture FromBitmap(QImage image);
    static SymbolPicture FromSvg(Kind kind, QByteArray svg, QSize size);

    Kind PictureKind() const { return m_kind; }
    QSize Size() const { return m_size; }
    // Draws the picture stretched into `target`.
    void Draw(QPainter& painter, const QRect& target) const;

private:
    Kind m_kind = Kind::Bitmap;
    QImage m_bitmap;
    QByteArray m_svg;
    QSize m_size;
};

} // namespace halvane
