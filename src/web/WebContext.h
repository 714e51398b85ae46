#pragma once

#include "ScreenSource.h"
#include "TemplateCounter.h"

namespace halvane {

class AlarmService;
class ProfileStore;
class TagTable;

// The station's data that requests read and the actions of those allowed write: the
// configuration store (credentials, presets), the tag table, the screens, the template
// counters and the alarms. Owned by the main window; everything here must outlive the web
// server.
struct WebContext {
    ProfileStore& store;
    TagTable& tags;
    const ScreenSource* screens; // null while the station has no screens to offer
    TemplateCounters& counters;
    AlarmService* alarms = nullptr; // null while the station has no alarm service; journals logins

    size_t ScreenCount() const { return screens ? screens->ScreenCount() : 0; }
};

} // namespace halvane
