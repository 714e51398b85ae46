#pragma once

#include "ObjectList.h"

#include <cstdint>
#include <vector>

namespace halvane {

// Lining objects up by what they cover on the screen (their Bounds): the left, right, top
// or bottom edges on the outermost one, or the centres on the middle of the area they
// cover together.
enum class Alignment { Left, Right, Top, Bottom, HorizontalCentres, VerticalCentres };
// Equal gaps between neighbours, the outermost two staying where they are.
enum class Distribution { Horizontally, Vertically };

// Moves the object by (dx, dy): its rectangle and its drawn area, keeping its size.
void Shift(TScreenMarker& object, int64_t dx, int64_t dy);

// Each acts on the objects at `indices` and needs two (align) or three (distribute) of them.
void Align(ObjectList& objects, const std::vector<int>& indices, Alignment alignment);
void Distribute(ObjectList& objects, const std::vector<int>& indices, Distribution distribution);

} // namespace halvane
