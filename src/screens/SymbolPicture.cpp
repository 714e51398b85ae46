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
    picture.m_renderer = std::make_unique<QSvgRenderer>(svg);
    picture.m_svg = std::move(svg);
    picture.m_size = size;
    return picture;
}

SymbolPicture::SymbolPicture() = default;
SymbolPicture::~SymbolPicture() = default;
SymbolPicture::SymbolPicture(SymbolPicture&&) noexcept = default;
SymbolPicture& SymbolPicture::operator=(SymbolPicture&&) noexcept = default;

SymbolPicture::SymbolPicture(const SymbolPicture& other)
    : m_kind(other.m_kind), m_bitmap(other.m_bitmap), m_svg(other.m_svg),
      m_renderer(other.m_renderer ? std::make_unique<QSvgRenderer>(other.m_svg) : nullptr),
      m_size(other.m_size) {}

SymbolPicture& SymbolPicture::operator=(const SymbolPicture& other) {
    if (this != &other)
        *this = SymbolPicture(other);
    return *this;
}

void SymbolPicture::Draw(QPainter& painter, const QRect& target) const {
    if (m_kind == Kind::Bitmap) {
        painter.drawImage(target, m_bitmap);
        return;
    }
    // The SVG's view box maps onto the whole target: drawn from its vectors, sharp at any
    // size.
    if (m_renderer)
        m_renderer->render(&painter, QRectF(target));
}

} // namespace halvane
