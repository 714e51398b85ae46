#include "SymbolPicture.h"

#include <QPainter>
#include <QRect>
#include <QSvgRenderer>

namespace halvane {

SymbolPicture SymbolPicture::FromBitmap(QImage image) {
    SymbolPicture picture;
    picture.m_kind = Kind::Bitmap;
    picture.m_size = image.size();
    picture.m_bitmap = std::move(image);
    return picture;
}

SymbolPicture SymbolPicture::FromSvg(Kind kind, QByteArray svg, QSize size) {
    SymbolPicture picture;
    picture.m_kind = kind;
    picture.m_svg = std::move(svg);
    picture.m_size = size;
    return picture;
}

void SymbolPicture::Draw(QPainter& painter, const QRect& target) const {
    if (m_kind == Kind::Bitmap) {
        painter.drawImage(target, m_bitmap);
        return;
    }
    // The SVG's view box is the metafile's frame: rendering maps it onto the whole target.
    QSvgRenderer renderer(m_svg);
    renderer.render(&painter, QRectF(target));
}

} // namespace halvane
