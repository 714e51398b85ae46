#include "WebTemplate.h"

#include "DecimalIndex.h"
#include "PageText.h"
#include "StoredText.h"
#include "TagTable.h"
#include "ValueText.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <optional>

namespace halvane {

namespace {

// Replacements allowed on one line beyond the markers it holds itself: room for markers
// inside tag texts and captions, and the end of one that inserts itself.
constexpr size_t kNestedReplacements = 1024;

enum class Marker {
    TagName,
    TagNameNext,
    TagValue,
    TagValueNext,
    TagUnit,
    TagUnitNext,
    TagStatus,
    TagStatusNext,
    TagCount,
    TagResetCount,
    ScreenName,
    ScreenNameNext,
    ScreenImg,
    ScreenImgNext,
    ScreenCount,
    ScreenResetCount,
    Other,
};

// The first word that a name starts with decides; the order matters.
constexpr std::array<std::pair<std::string_view, Marker>, 16> kMarkers{{
    {"tag_name.", Marker::TagName},
    {"tag_name_next", Marker::TagNameNext},
    {"tag_value.", Marker::TagValue},
    {"tag_value_next", Marker::TagValueNext},
    {"tag_unit.", Marker::TagUnit},
    {"tag_unit_next", Marker::TagUnitNext},
    {"tag_status.", Marker::TagStatus},
    {"tag_status_next", Marker::TagStatusNext},
    {"tag_count", Marker::TagCount},
    {"tag_resetcount", Marker::TagResetCount},
    {"screen_name.", Marker::ScreenName},
    {"screen_name_next", Marker::ScreenNameNext},
    {"screen_img.", Marker::ScreenImg},
    {"screen_img_next", Marker::ScreenImgNext},
    {"screen_count", Marker::ScreenCount},
    {"screen_resetcount", Marker::ScreenResetCount},
}};

Marker MarkerOf(std::string_view name) {
    const auto rule = std::find_if(kMarkers.begin(), kMarkers.end(), [&](const auto& entry) {
        return name.starts_with(entry.first);
    });
    return rule == kMarkers.end() ? Marker::Other : rule->second;
}

bool TakesIndex(Marker marker) {
    return marker == Marker::TagName || marker == Marker::TagValue || marker == Marker::TagUnit ||
           marker == Marker::TagStatus || marker == Marker::ScreenName ||
           marker == Marker::ScreenImg;
}

// A position given as a marker index or a counter; negative indexes name nothing.
std::optional<size_t> Position(int index) {
    return index < 0 ? std::nullopt : std::optional<size_t>(static_cast<size_t>(index));
}

std::string TagText(Marker marker, std::optional<size_t> position, const WebContext& context) {
    if (!position || *position >= context.tags.Size())
        return {};
    const TDataChannel tag = context.tags.Snapshot(*position);
    switch (marker) {
    case Marker::TagName:
    case Marker::TagNameNext:
        return StoredTextToUtf8(tag.Name);
    case Marker::TagUnit:
    case Marker::TagUnitNext:
        return StoredTextToUtf8(tag.Unit);
    case Marker::TagStatus:
    case Marker::TagStatusNext:
        return std::string(ShownStatus(tag.ValueValid, tag.Status));
    default: // a literal text in the display format is stored text too
        return StoredTextToUtf8(ValueText(tag));
    }
}

std::string ScreenText(Marker marker, std::optional<size_t> position, const WebContext& context) {
    if (!position || *position >= context.ScreenCount())
        return {};
    if (marker == Marker::ScreenName || marker == Marker::ScreenNameNext)
        return StoredTextToUtf8(context.screens->ScreenCaption(*position));
    return "screen-image-" + std::to_string(*position) + ".bmp";
}

std::string Resolve(Marker marker, std::optional<size_t> position, const WebContext& context) {
    switch (marker) {
    case Marker::TagName:
    case Marker::TagValue:
    case Marker::TagUnit:
    case Marker::TagStatus:
        return TagText(marker, position, context);
    case Marker::TagNameNext:
    case Marker::TagValueNext:
    case Marker::TagUnitNext:
    case Marker::TagStatusNext:
        return TagText(marker, context.counters.tag.Value(), context);
    case Marker::TagCount:
        return std::to_string(context.tags.Size());
    case Marker::TagResetCount:
        context.counters.tag.Reset();
        return {};
    case Marker::ScreenName:
    case Marker::ScreenImg:
        return ScreenText(marker, position, context);
    case Marker::ScreenNameNext:
    case Marker::ScreenImgNext:
        return ScreenText(marker, context.counters.screen.Value(), context);
    case Marker::ScreenCount:
        return std::to_string(context.ScreenCount());
    case Marker::ScreenResetCount:
        context.counters.screen.Reset();
        return {};
    case Marker::Other:
        break;
    }
    return {};
}

size_t Occurrences(std::string_view text, std::string_view word) {
    size_t count = 0;
    for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}

// One expansion under way: the page so far and the text gone through.
struct Expansion {
    const WebContext& context;
    std::stop_token stop;
    std::string page;
    size_t extent = 0;
};

// Counts `bytes` more text gone through; the error once that is more than allowed.
std::optional<RequestError> GoThrough(Expansion& expansion, size_t bytes) {
    expansion.extent += bytes;
    if (expansion.extent <= kMaxExpansionBytes)
        return std::nullopt;
    return RequestError{"The page is larger than " + std::to_string(kMaxExpansionBytes) + " bytes"};
}

// The text of a line still to be searched for markers, in front of which the values of
// markers are put. Room is kept before it, so that putting a value there copies the value
// alone, except when the room runs out and is made anew, as large as the text: every
// byte is then copied a bounded number of times on average.
class PendingText {
public:
    explicit PendingText(std::string_view text) : m_buffer(text) {}

    std::string_view View() const { return std::string_view(m_buffer).substr(m_start); }
    void Drop(size_t count) { m_start += count; }
    void PutInFront(std::string_view text) {
        if (text.size() > m_start) {
            const size_t room = text.size() + View().size();
            m_buffer = std::string(room, '\0').append(View());
            m_start = room;
        }
        m_start -= text.size();
        m_buffer.replace(m_start, text.size(), text);
    }

private:
    std::string m_buffer;
    size_t m_start = 0;
};

// Appends the line with its markers replaced, and CR LF.
std::optional<RequestError> ExpandLine(std::string_view line, Expansion& expansion) {
    if (auto error = GoThrough(expansion, line.size() + 2))
        return error;
    std::string& page = expansion.page;
    const size_t markers = Occurrences(line, "${");
    if (markers == 0) {
        page.append(line).append("\r\n");
        return std::nullopt;
    }
    const size_t lineStart = page.size();
    PendingText pending(line);
    for (size_t budget = markers + kNestedReplacements; budget > 0; --budget) {
        if (expansion.stop.stop_requested())
            return RequestError{"The server is stopping"};
        const std::string_view rest = pending.View();
        const size_t open = rest.find("${");
        const size_t close = open == std::string_view::npos ? open : rest.find('}', open + 2);
        if (close == std::string_view::npos)
            break;
        page.append(rest.substr(0, open));
        auto value = ResolveMarker(rest.substr(open + 2, close - open - 2), expansion.context);
        if (auto* error = std::get_if<RequestError>(&value))
            return *error;
        const std::string& text = std::get<std::string>(value);
        if (auto error = GoThrough(expansion, text.size()))
            return error;
        pending.Drop(close + 1);
        pending.PutInFront(text);
        // A "$" right before the marker starts a new one when the value begins with "{".
        if (page.size() > lineStart && page.back() == '$') {
            page.pop_back();
            pending.PutInFront("$");
        }
    }
    page.append(pending.View());
    page += "\r\n";
    return std::nullopt;
}

// Advances the counter of a "gotonext" line for one more repetition; false when the line
// does not repeat (no such marker, counter at the last position, or `repeats` used up).
bool RepeatsLineAbove(std::string_view line, size_t repeats, const WebContext& context) {
    if (line.find("${tag_gotonext}") != std::string_view::npos) {
        const size_t count = context.tags.Size();
        return repeats < count && context.counters.tag.AdvanceBelowLast(count);
    }
    if (line.find("${screen_gotonext}") != std::string_view::npos) {
        const size_t count = context.ScreenCount();
        return repeats < count && context.counters.screen.AdvanceBelowLast(count);
    }
    return false;
}

} // namespace

OrRequestError<std::string> ResolveMarker(std::string_view name, const WebContext& context) {
    const Marker marker = MarkerOf(name);
    std::optional<size_t> position;
    if (TakesIndex(marker)) {
        const auto index = ParseDecimalIndex(name.substr(name.find('.') + 1));
        if (auto* error = std::get_if<RequestError>(&index))
            return *error;
        position = Position(std::get<int>(index));
    }
    return Resolve(marker, position, context);
}

OrRequestError<std::string> ExpandTemplate(std::string_view text, const WebContext& context,
                                           std::stop_token stop) {
    const std::lock_guard oneAtATime(context.counters.expansion);
    Expansion expansion{context, std::move(stop), {}, 0};
    std::string_view rest = text;
    std::optional<std::string_view> above;
    while (const auto line = TakeLine(rest)) {
        for (size_t repeats = 0; above && RepeatsLineAbove(*line, repeats, context); ++repeats) {
            if (auto error = ExpandLine(*above, expansion))
                return *error;
        }
        if (auto error = ExpandLine(*line, expansion))
            return *error;
        above = line;
    }
    return std::move(expansion.page);
}

} // namespace halvane
