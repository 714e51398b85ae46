#include "AlarmModel.h"

#include <algorithm>
#include <charconv>

namespace halvane {

namespace {

constexpr size_t kFieldCount = 12;

std::string Escaped(std::string_view field) {
    std::string out;
    for (char c : field) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string Unescaped(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char next = field[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next;
    }
    return out;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t tab = line.find('\t'); tab != std::string_view::npos;
         start = tab + 1, tab = line.find('\t', start))
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

template <typename Number> std::optional<Number> ParseNumber(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string NumberText(double value) {
    std::array<char, 32> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), end);
}

std::string TimeText(std::optional<AlarmTime> time) {
    if (!time)
        return {};
    return std::to_string(
        std::chrono::duration_cast<std::chrono::milliseconds>(time->time_since_epoch()).count());
}

// Empty text is a valid "no time"; anything else must be a whole number.
bool ParseTime(std::string_view text, std::optional<AlarmTime>& time) {
    time.reset();
    if (text.empty())
        return true;
    const auto ms = ParseNumber<long long>(text);
    if (!ms)
        return false;
    time =
        AlarmTime(std::chrono::duration_cast<AlarmTime::duration>(std::chrono::milliseconds(*ms)));
    return true;
}

constexpr std::array<std::string_view, 3> kKindNames{"high", "low", "communication"};

std::optional<AlarmKind> ParseKind(std::string_view text) {
    for (size_t i = 0; i < kKindNames.size(); ++i)
        if (text == kKindNames[i])
            return static_cast<AlarmKind>(i);
    return std::nullopt;
}

} // namespace

std::string AlarmModel::PhaseName(Phase phase) {
    switch (phase) {
    case Phase::Unacknowledged:
        return "unacknowledged";
    case Phase::Returned:
        return "returned";
    case Phase::Acknowledged:
        return "acknowledged";
    case Phase::Normal:
        break;
    }
    return "normal";
}

std::optional<AlarmModel::Phase> AlarmModel::ParsePhase(std::string_view text) {
    for (Phase phase : {Phase::Normal, Phase::Unacknowledged, Phase::Returned, Phase::Acknowledged})
        if (text == PhaseName(phase))
            return phase;
    return std::nullopt;
}

std::string AlarmModel::SaveState() const {
    std::string text;
    std::lock_guard lock(m_mutex);
    for (const auto& [tagIndex, alarms] : m_tags)
        for (size_t slot = 0; slot < kKindNames.size(); ++slot) {
            const Alarm& alarm = alarms[slot];
            if (!alarm.Listed() && !alarm.shelvedUntil)
                continue;
            const std::array<std::string, kFieldCount> fields{
                std::to_string(tagIndex),      std::string(kKindNames[slot]),
                PhaseName(alarm.phase),        std::to_string(alarm.priority),
                TimeText(alarm.since),         NumberText(alarm.value),
                NumberText(alarm.limit),       Escaped(alarm.text),
                Escaped(alarm.acknowledgedBy), TimeText(alarm.acknowledgedAt),
                TimeText(alarm.shelvedUntil),  Escaped(alarm.shelveReason)};
            for (size_t i = 0; i < fields.size(); ++i)
                text += (i == 0 ? "" : "\t") + fields[i];
            text += '\n';
        }
    return text;
}

bool AlarmModel::RestoreState(std::string_view text) {
    std::lock_guard lock(m_mutex);
    m_tags.clear();
    m_listed = 0;
    m_tooManySince.reset();
    bool allRead = true;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty())
            allRead = RestoreLine(line) && allRead;
    }
    return allRead;
}

bool AlarmModel::RestoreLine(std::string_view line) {
    const auto fields = SplitFields(line);
    if (fields.size() != kFieldCount)
        return false;
    const auto tagIndex = ParseNumber<size_t>(fields[0]);
    const auto kind = ParseKind(fields[1]);
    const auto phase = ParsePhase(fields[2]);
    const auto priority = ParseNumber<int>(fields[3]);
    const auto value = ParseNumber<double>(fields[5]);
    const auto limit = ParseNumber<double>(fields[6]);
    Alarm alarm;
    std::optional<AlarmTime> since;
    if (!tagIndex || !kind || !phase || !priority || !value || !limit ||
        !ParseTime(fields[4], since) || !since || !ParseTime(fields[9], alarm.acknowledgedAt) ||
        !ParseTime(fields[10], alarm.shelvedUntil))
        return false;
    if ((*phase == Phase::Normal && !alarm.shelvedUntil) ||
        (*phase != Phase::Normal && m_listed >= kMaxListedAlarms))
        return false;
    alarm.priority = *priority;
    alarm.since = *since;
    alarm.value = *value;
    alarm.limit = *limit;
    alarm.text = Unescaped(fields[7]);
    alarm.acknowledgedBy = Unescaped(fields[8]);
    alarm.shelveReason = Unescaped(fields[11]);
    Alarm& slot = m_tags[*tagIndex][static_cast<size_t>(*kind)];
    SetPhase(slot, Phase::Normal);
    SetPhase(alarm, *phase);
    slot = std::move(alarm);
    return true;
}

} // namespace halvane
