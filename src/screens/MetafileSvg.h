#pragma once

#include <QByteArray>
#include <QSize>

namespace halvane {

// A metafile turned into an SVG document whose view box is the metafile's frame, with the
// frame's size in screen pixels (96 per inch).
struct MetafileSvg {
    QByteArray Svg;
    QSize Size;
};

} // namespace halvane
