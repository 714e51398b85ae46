#pragma once

#include "AlarmService.h"

#include <cstddef>
#include <optional>

namespace halvane {

// What the alarm list asks of the station around it. The main window implements it.
class AlarmListHost {
public:
    virtual ~AlarmListHost() = default;
    // Opens the first screen, in list order, that shows tag `tagIndex`.
    virtual void ShowTagScreen(size_t tagIndex) = 0;
    // Opens the journal viewer.
    virtual void ShowJournal() = 0;
    // Who acts on the alarms from this station; nothing when the user may not (the host
    // has said why).
    virtual std::optional<AlarmActor> Actor() = 0;
};

} // namespace halvane
