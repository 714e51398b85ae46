#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace halvane {

// Decodes a device-independent bitmap file (.bmp). A file whose pixel data is shorter than
// its headers announce does not decode, although the toolkit would fill the missing rows.
// Pixels that a run-length stream leaves out are palette colour 0.
std::optional<QImage> DecodeBitmapFile(const QByteArray& file);

} // namespace halvane
