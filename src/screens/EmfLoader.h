#pragma once

#include "MetafileSvg.h"

#include <optional>

namespace halvane {

// Turns an enhanced metafile into SVG whose view box is the header's frame. Nothing when
// the file does not start with an EMF header record carrying the " EMF" signature, when a
// record up to the end-of-file record does not lie whole within the file, or when it does
// not convert.
std::optional<MetafileSvg> LoadEmfAsSvg(const QByteArray& file);

} // namespace halvane
