#pragma once

#include <string>

namespace halvane {

// Where workers hand their trace lines. The communication monitor implements it on the
// UI thread; Append is called on a worker thread and must not wait for the UI.
class TraceSink {
public:
    virtual ~TraceSink() = default;
    // Whether a line traced now would be shown (the monitor is visible, tracing is on).
    virtual bool Accepting() const = 0;
    virtual void Append(std::string line) = 0;
};

} // namespace halvane
