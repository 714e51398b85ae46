#pragma once

#include "TDataChannel.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace halvane {

using AlarmTime = std::chrono::system_clock::time_point;

// What judges one tag's alarms besides its thresholds.
struct AlarmSettings {
    int priority = 3;        // 1 (critical) .. 4 (low)
    double deadband = 0;     // engineering units an active limit alarm must fall back by
    double delaySeconds = 0; // how long a limit must be passed before it is raised
};

// The tag's "AlarmPriority", "AlarmDeadband" and "AlarmDelay".
AlarmSettings AlarmSettingsOf(const TDataChannel& tag);

// What the tag's connection says about communication alarms.
struct LinkContext {
    bool linkEnabled = true;
    bool demo = false;
    double commDelaySeconds = 10; // 0: no communication alarms
};

// TooMany is the single entry that stands for the alarms the full list could not take.
enum class AlarmKind { High, Low, Communication, TooMany };

// Normal alarms are not listed. Shelved is only reported by Alarms(true); a shelved
// alarm keeps following its condition underneath.
enum class AlarmListState { Unacknowledged, Returned, Acknowledged, Shelved };

enum class AlarmEventType { Raised, Acknowledged, Returned, Cleared, Shelved, Unshelved, TooMany };

constexpr size_t kNoTag = std::numeric_limits<size_t>::max();
constexpr size_t kMaxListedAlarms = 10000;
// The longest reason for shelving an alarm, in UTF-16 code units (the length of a line edit).
constexpr int kMaxShelveReasonLength = 200;
// The latest end a shelving may have: later than any plant needs, well within the range of
// the alarms' clock (which ends in 2262).
inline constexpr AlarmTime kLatestShelveEnd{std::chrono::sys_days{std::chrono::year{2200} / 1 / 1}};

// One transition, for the journal and the publishers. The limit is the threshold passed;
// for a communication alarm the delay in seconds. A TooMany event names no tag (kNoTag).
struct AlarmEvent {
    AlarmEventType type = AlarmEventType::Raised;
    size_t tagIndex = kNoTag;
    AlarmKind kind = AlarmKind::High;
    int priority = 3;
    double value = 0;
    double limit = 0;
    std::string user;
    AlarmTime time;
    // The condition ("High: 95.20 °C > 90 °C"); for a shelved event the reason.
    std::string text;
};

// What an alarm holds besides its tag, kind and state.
struct AlarmDetails {
    int priority = 3;
    AlarmTime since; // when it was last raised
    double value = 0;
    double limit = 0;
    std::string text;
    std::string acknowledgedBy;
    std::optional<AlarmTime> acknowledgedAt;
    std::optional<AlarmTime> shelvedUntil;
    std::string shelveReason;
    bool operator==(const AlarmDetails&) const = default;
};

// One row of the alarm list.
struct AlarmInfo : AlarmDetails {
    size_t tagIndex = kNoTag;
    AlarmKind kind = AlarmKind::High;
    AlarmListState state = AlarmListState::Unacknowledged;
    bool operator==(const AlarmInfo&) const = default;
};

struct AlarmCounts {
    size_t listed = 0;
    size_t unacknowledged = 0; // active or returned, not yet acknowledged
};

// "High: 95.20 °C > 90 °C", "Low: 3.10 m < 5 m" (the value in the tag's Format, the
// limit as short as it goes) and "No communication: <Status>".
std::string AlarmConditionText(AlarmKind kind, const TDataChannel& tag);

// The alarms of the station, per tag and kind. All inputs carry their time; the model
// never reads a clock. Every call returns the transitions it caused, at most one event
// for each. Safe to call from several threads.
//
// Transitions: a condition raised -> unacknowledged; acknowledged while active ->
// acknowledged; condition ends while unacknowledged -> returned, while acknowledged ->
// cleared (leaves the list); acknowledging a returned alarm clears it (one "cleared" event
// carrying the user); raised again while returned -> unacknowledged. Shelving hides an
// alarm from the list and from Counts() until its time or Unshelve(); meanwhile its state
// follows the condition without events, and it shows that state when unshelved.
class AlarmModel final {
public:
    // Judges the tag's high, low and communication conditions after a reading was
    // stored. High and low are judged only on a valid value.
    std::vector<AlarmEvent> Evaluate(size_t tagIndex, const TDataChannel& tag,
                                     const AlarmSettings& settings, const LinkContext& link,
                                     AlarmTime now);
    std::vector<AlarmEvent> Acknowledge(size_t tagIndex, AlarmKind kind, std::string_view user,
                                        AlarmTime now);
    // Every listed alarm that is not shelved.
    std::vector<AlarmEvent> AcknowledgeAll(std::string_view user, AlarmTime now);
    // Only a listed or shelved alarm can be shelved, and only until a later time; shelving
    // a shelved alarm again sets its new time and reason.
    std::vector<AlarmEvent> Shelve(size_t tagIndex, AlarmKind kind, AlarmTime until,
                                   std::string_view reason, AlarmTime now);
    std::vector<AlarmEvent> Unshelve(size_t tagIndex, AlarmKind kind, AlarmTime now);
    // Unshelves what reached its time; looks only at the alarms the model holds.
    std::vector<AlarmEvent> Tick(AlarmTime now);
    // The tags with a condition that holds and waits for its delay: nothing else judges
    // them again while their reading stays the same.
    std::vector<size_t> WaitingTags() const;
    // Holds the model's lock until the result goes: a caller that judges many tags in a
    // row takes it once for them all (the calls inside take it again cheaply).
    [[nodiscard]] std::unique_lock<std::recursive_mutex> Hold() const;
    // Forgets the alarms of the tags from `count` on (the table became shorter).
    void ForgetTagsFrom(size_t count);

    // Sorted by state (unacknowledged first), priority (1 first), newest first.
    std::vector<AlarmInfo> Alarms(bool withShelved) const;
    AlarmCounts Counts() const;
    // The newest alarm waiting for acknowledgement that is not shelved.
    std::optional<AlarmInfo> NewestUnacknowledged() const;

    // The listed and shelved alarms as text, one line per alarm, fields separated by a
    // tab (a tab, line end or backslash inside a field written as \t, \n, \\):
    //   tag  kind  state  priority  since  value  limit  text  acknowledgedBy
    //   acknowledgedAt  shelvedUntil  shelveReason
    // kind: high|low|communication; state: unacknowledged|returned|acknowledged|normal
    // (normal: shelved while its condition is off); times in milliseconds since 1970
    // UTC, empty when none; numbers with a "." decimal point.
    std::string SaveState() const;
    // Replaces the model's alarms with saved ones; lines that cannot be read are skipped
    // (false then). A restored active alarm keeps its state on its next evaluation when
    // still active, and goes on as usual when not (an acknowledged one clears).
    bool RestoreState(std::string_view text);

private:
    enum class Phase { Normal, Unacknowledged, Acknowledged, Returned };
    struct Alarm : AlarmDetails {
        Phase phase = Phase::Normal;
        std::optional<AlarmTime> pendingSince; // condition holds, waiting for its delay

        bool Listed() const { return phase != Phase::Normal; }
        bool Active() const {
            return phase == Phase::Unacknowledged || phase == Phase::Acknowledged;
        }
        bool Idle() const { return !Listed() && !pendingSince && !shelvedUntil; }
    };
    using TagAlarms = std::array<Alarm, 3>;

    struct Condition {
        bool holds = false;
        double delaySeconds = 0;
        bool strictDelay = false; // must last longer than the delay, not just as long
        double value = 0;
        double limit = 0;
    };

    void Judge(size_t tagIndex, AlarmKind kind, Alarm& alarm, const Condition& condition,
               const TDataChannel& tag, int priority, AlarmTime now,
               std::vector<AlarmEvent>& events);
    void Raise(size_t tagIndex, AlarmKind kind, Alarm& alarm, const Condition& condition,
               const TDataChannel& tag, int priority, AlarmTime now,
               std::vector<AlarmEvent>& events);
    void SetPhase(Alarm& alarm, Phase phase);
    Alarm* Find(size_t tagIndex, AlarmKind kind);
    void DropIfIdle(size_t tagIndex);
    AlarmInfo Info(size_t tagIndex, AlarmKind kind, const Alarm& alarm) const;
    bool RestoreLine(std::string_view line);
    static std::string PhaseName(Phase phase);
    static std::optional<Phase> ParsePhase(std::string_view text);
    static AlarmEvent Event(AlarmEventType type, size_t tagIndex, AlarmKind kind,
                            const Alarm& alarm, AlarmTime now);

    // Recursive: a caller that judges many tags holds it across them (Hold).
    mutable std::recursive_mutex m_mutex;
    std::unordered_map<size_t, TagAlarms> m_tags;
    size_t m_listed = 0;
    std::optional<AlarmTime> m_tooManySince;
};

} // namespace halvane
