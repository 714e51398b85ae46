#pragma once

#include <cstddef>

namespace halvane {

// What a click on a screen in run-time mode asks of the station. The main window
// implements it; screens only call it.
class ScreenActions {
public:
    virtual ~ScreenActions() = default;
    // The navigator's previous and next screen ("<<" and ">>" function buttons).
    virtual void PreviousScreen() = 0;
    virtual void NextScreen() = 0;
    // Ends the message loop at once ("Exit" function button).
    virtual void ExitNow() = 0;
    // Opens the history folder in the file browser ("History" function button).
    virtual void OpenHistoryFolder() = 0;
    // Presets an output tag's value (numeric inputs, preset-value buttons).
    virtual void PresetTagValue(size_t tagIndex, double value) = 0;
    // "Exit program" of the run-time popup menu: asks, then closes the main window.
    virtual void ExitProgram() = 0;
};

} // namespace halvane
