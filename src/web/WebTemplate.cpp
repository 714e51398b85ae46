#include "WebTemplate.h"

#include "DecimalIndex.h"
#include "PageText.h"
#include "StoredText.h"
#include "TagTable.h"
#include "ValueText.h"

#include <algorithm>
#include <array>
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
constexpr std::array<std::pair<std::string_view, Marker>, 14> kMarkers{{
    {"tag_name.", Marker::TagName},
    {"tag_name_next", Marker::TagNameNext},
    {"tag_value.", Marker::TagValue},
    {"tag_value_next", Marker::TagValueNext},
    {"tag_unit.", Marker::TagUnit},
    {"tag_unit_next", Marker::TagUnitNext},
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
           marker == Marker::ScreenName || marker == Marker::ScreenImg;
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
        return TagText(marker, position, context);
    case Marker::TagNameNext:
    case Marker::TagValueNext:
    case Marker::TagUnitNext:
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

OrRequestError<std::string> ExpandLine(std::string line, const WebContext& context) {
    const size_t budget = Occurrences(line, "${") + kNestedReplacements;
    size_t from = 0;
    for (size_t done = 0; done < budget; ++done) {
        const size_t open = line.find("${", from);
        const size_t close = open == std::string::npos ? open : line.find('}', open + 2);
        if (close == std::string::npos)
            break;
        auto value =
            ResolveMarker(std::string_view(line).substr(open + 2, close - open - 2), context);
        if (auto* error = std::get_if<RequestError>(&value))
            return *error;
        line.replace(open, close - open + 1, std::get<std::string>(value));
        // Nothing before `open` starts a marker, except a "$" right before it that the
        // inserted text may now follow with "{".
        from = open > 0 ? open - 1 : 0;
    }
    return line;
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

OrRequestError<std::string> ExpandTemplate(std::string_view text, const WebContext& context) {
    const std::vector<std::string> lines = SplitLines(text);
    std::string out;
    size_t repeats = 0;
    for (size_t i = 0; i < lines.size();) {
        const bool repeat = i > 0 && RepeatsLineAbove(lines[i], repeats, context);
        repeats = repeat ? repeats + 1 : 0;
        auto line = ExpandLine(lines[repeat ? i - 1 : i], context);
        if (auto* error = std::get_if<RequestError>(&line))
            return *error;
        out += std::get<std::string>(line);
        out += "\r\n";
        if (!repeat)
            ++i;
    }
    return out;
}

} // namespace halvane
