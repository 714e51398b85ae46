#pragma once

#include "TScreenMarker.h"

namespace halvane {

// (Re)loads the picture of a graphical symbol from "gallery\" + AttrStr1 (.bmp, .wmf, .emf
// or .svg, extension compared exactly). With `resize` the object takes the picture's size;
// a missing file gives the 30 × 30 placeholder and that size whatever `resize` says.
// A symbol bound to a tag also loads its picture per value and its no-value picture
// (a missing file: the placeholder, the object's size unchanged).
void LoadSymbolGraphic(TScreenMarker& object, bool resize);

} // namespace halvane
