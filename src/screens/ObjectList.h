#pragma once

#include "TScreenMarker.h"

#include <deque>

namespace halvane {

// A screen's objects. Index 0 is the topmost object: drawn last, first in hit tests.
using ObjectList = std::deque<TScreenMarker>;

// True when an object of a tag-bound type, or a graphical symbol that changes with a tag,
// refers to tag `tagIndex`.
bool IsTagUsed(const ObjectList& objects, int tagIndex);

// Moves every tag-bound reference to `oldIndex` (symbols' tags included) over to
// `newIndex`; objects of other types keep their `Channel`.
void RenumberTagReferences(ObjectList& objects, int oldIndex, int newIndex);

} // namespace halvane
