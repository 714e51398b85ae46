#pragma once

#include "ObjectList.h"
#include "ScreenSource.h"

#include <cstddef>
#include <span>
#include <vector>

namespace halvane {

// A screen object that shows or writes a tag or goes to another screen, as a browser sees
// it, and the way a button that goes to another screen steps through the screen list.
struct ActingObject {
    ScreenObjectInfo info;
    int screenStep = 0; // -1 to the previous screen, +1 to the next, 0 for no other screen
    bool operator==(const ActingObject&) const = default;
};

// The objects of a screen that show or write a tag (numeric, binary and multi-state
// displays, numeric inputs, preset value buttons) or go to the previous or next screen
// (function buttons), from the back to the front as they are drawn, each at the area that
// it covered when last drawn, which is also where a click reaches it. With `tagCount` tags in
// the table, an object bound to no tag of the table names no tag and acts on nothing, as a
// click on it does nothing; so does a preset button whose value is not a number.
std::vector<ActingObject> ActingObjects(const ObjectList& objects, size_t tagCount);

// The objects of the screen at `position` among `screenCount` screens, each button that goes
// to another screen naming the one the station shows for it: the list wraps around at both
// ends, and with fewer than two screens there is none to go to.
std::vector<ScreenObjectInfo> ObjectsOfScreen(std::span<const ActingObject> objects,
                                              size_t position, size_t screenCount);

} // namespace halvane
