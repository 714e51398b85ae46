#pragma once

#include "Accounts.h"

#include <optional>
#include <string>

namespace halvane {

// What the tag windows ask of the station around a change of the tag table. The main
// window implements it.
class TagListHost {
public:
    virtual ~TagListHost() = default;
    // Stops communication, loads the tag table again from the file and restarts it.
    virtual void ReloadTags() = 0;
    // Stops communication (before the live table is changed).
    virtual void StopCommunication() = 0;
    // The title (stored bytes) of the first screen, in list order, with an object bound to
    // the tag; nothing when no screen uses it.
    virtual std::optional<std::string> ScreenUsingTag(int tagIndex) = 0;
    // After tag `deletedIndex` of `oldCount` tags was deleted: every screen moves its
    // references to the later tags down by one and saves its objects.
    virtual void RenumberScreenTags(int deletedIndex, int oldCount) = 0;
    // The progress window during long operations.
    virtual void ShowProgress(bool shown) = 0;
    // Opens the communication monitor.
    virtual void ShowCommunicationMonitor() = 0;
    // Opens the trends window with tag `tagIndex` among the tags shown.
    virtual void ShowTrend(int tagIndex) = 0;
    // Whether the user at the station may do what needs `needed` (told why when not).
    virtual bool Permit(Role needed) = 0;
    // The user logged in at the station, for the journal (empty when nobody is).
    virtual std::string User() = 0;
};

} // namespace halvane
