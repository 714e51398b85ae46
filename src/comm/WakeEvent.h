#pragma once

namespace halvane {

// An event that one thread raises to end another thread's waits on a device at once.
// Once raised it stays raised, so every later wait ends too, until Clear.
class WakeEvent final {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    // Any thread, at any time.
    void Raise();
    // Only while nobody waits.
    void Clear();
    // Readable while raised; −1 when the event could not be made (waits then run their
    // full time).
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace halvane
