#pragma once

#include "MetafileSvg.h"

#include <optional>

namespace halvane {

// Turns a classic Windows metafile (with or without the placeable header) into SVG.
// A placeable file's frame comes from its header; without the header the drawn extent is
// the frame, one logical unit to a pixel. Nothing when the file does not play.
std::optional<MetafileSvg> LoadWmfAsSvg(const QByteArray& file);

} // namespace halvane
