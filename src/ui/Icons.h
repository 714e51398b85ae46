#pragma once

#include <QIcon>

#include <cstdint>

namespace halvane {

// The small pictures of the object navigator and the palette, drawn here so that the
// program needs no picture files.
enum class NavigatorIcon {
    Connections,
    Screens,
    Tags,
    Screen,
    Connected,
    Disconnected,
    ConnectionDisabled,
    InputTag,
    OutputTag,
};

QIcon MakeNavigatorIcon(NavigatorIcon icon);

// The palette's picture of a screen-object type code; an unknown code gets an empty frame.
QIcon MakeObjectKindIcon(int32_t type);

} // namespace halvane
