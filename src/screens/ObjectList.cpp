#include "ObjectList.h"

#include <algorithm>

namespace halvane {

namespace {

// A graphical symbol refers to a tag through the states it shows, not through `Channel`.
int32_t* SymbolTag(TScreenMarker& object) {
    return object.Type == kGraphicalSymbol && object.States.IsBound() ? &object.States.Tag
                                                                      : nullptr;
}

} // namespace

bool IsTagUsed(const ObjectList& objects, int tagIndex) {
    return std::ranges::any_of(objects, [tagIndex](const TScreenMarker& object) {
        return (IsTagBoundType(object.Type) && object.Channel == tagIndex) ||
               (object.Type == kGraphicalSymbol && object.States.Tag == tagIndex);
    });
}

void RenumberTagReferences(ObjectList& objects, int oldIndex, int newIndex) {
    for (TScreenMarker& object : objects) {
        if (IsTagBoundType(object.Type) && object.Channel == oldIndex)
            object.Channel = newIndex;
        if (int32_t* tag = SymbolTag(object); tag != nullptr && *tag == oldIndex)
            *tag = newIndex;
    }
}

} // namespace halvane
