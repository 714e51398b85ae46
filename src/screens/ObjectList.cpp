#include "ObjectList.h"

#include <algorithm>

namespace halvane {

bool IsTagUsed(const ObjectList& objects, int tagIndex) {
    return std::ranges::any_of(objects, [tagIndex](const TScreenMarker& object) {
        return IsTagBoundType(object.Type) && object.Channel == tagIndex;
    });
}

void RenumberTagReferences(ObjectList& objects, int oldIndex, int newIndex) {
    for (TScreenMarker& object : objects) {
        if (IsTagBoundType(object.Type) && object.Channel == oldIndex)
            object.Channel = newIndex;
    }
}

} // namespace halvane
