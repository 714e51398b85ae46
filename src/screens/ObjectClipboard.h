#pragma once

#include "ObjectList.h"

#include <string>
#include <string_view>
#include <vector>

namespace halvane {

// Copied screen objects travel as the keys a screen file holds for them ("[Marker.N]"
// sections, with "NoOfMarkers" and the screen they came from under "[General]"), in this
// clipboard format and as plain text.
inline constexpr char kScreenObjectsMimeType[] = "application/x-halvane-screen-objects";

struct CopiedObjects {
    int screen = -1; // the screen file number they were copied from; -1 when unknown
    ObjectList objects;
};

// The keys of the objects at `indices`, in that order, copied from screen `screen`.
std::string ObjectsToKeys(const ObjectList& objects, const std::vector<int>& indices, int screen);
// The objects that `keys` hold, read as a screen file reads them; none for other text.
CopiedObjects ObjectsFromKeys(std::string_view keys);

} // namespace halvane
