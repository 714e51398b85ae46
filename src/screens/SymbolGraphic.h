#pragma once

#include "TScreenMarker.h"

namespace halvane {

// (Re)loads the picture of a graphical symbol from "gallery\" + AttrStr1 (.bmp, .wmf or
// .emf, extension compared exactly). With `resize` the object takes the picture's size;
// a missing file gives the 30 × 30 placeholder and that size whatever `resize` says.
void LoadSymbolGraphic(TScreenMarker& object, bool resize);

} // namespace halvane
