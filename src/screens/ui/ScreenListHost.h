#pragma once

#include <cstddef>

namespace halvane {

class TFormScreen;

// What the screens list asks of the station after it changed the screen list. The main
// window implements it.
class ScreenListHost {
public:
    virtual ~ScreenListHost() = default;
    // A screen that CreateScreen has just appended: it gets the dialogs, mode and grid that
    // the screens loaded at start have.
    virtual void ScreenCreated(TFormScreen* screen) = 0;
    // The screen at `position` is gone: the page shown follows the screens that moved up.
    virtual void ScreenDeleted(size_t position) = 0;
    // The tree's screen nodes and the tabs anew, with the screens' captions.
    virtual void RefreshScreenNodes() = 0;
};

} // namespace halvane
