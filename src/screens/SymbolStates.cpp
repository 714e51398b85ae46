#include "SymbolStates.h"

#include "NumberFormat.h"
#include "TDataChannel.h"
#include "TScreenMarker.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace halvane {
namespace {

std::optional<int64_t> WholeNumber(std::string_view text) {
    int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

// The whole number nearest to a valid tag's value; nothing beyond the 64-bit range.
std::optional<int64_t> NearestWholeValue(const TDataChannel& tag) {
    if (!tag.ValueValid || !std::isfinite(tag.RealValue) || std::fabs(tag.RealValue) >= 9.2e18)
        return std::nullopt;
    return std::llround(tag.RealValue);
}

const SymbolPicture* Pointer(const std::optional<SymbolPicture>& picture) {
    return picture ? &*picture : nullptr;
}

} // namespace

ParsedSymbolPictures ParseSymbolPictures(std::string_view text) {
    ParsedSymbolPictures parsed;
    while (!text.empty()) {
        const size_t semicolon = text.find(';');
        const std::string_view pair = TrimBlanks(text.substr(0, semicolon));
        text =
            semicolon == std::string_view::npos ? std::string_view() : text.substr(semicolon + 1);
        if (pair.empty())
            continue;
        const size_t equals = pair.find('=');
        const auto refuse = [&](const std::string& why) {
            parsed.Pairs.clear();
            parsed.Error = "\"" + std::string(pair) + "\": " + why;
            return parsed;
        };
        if (equals == std::string_view::npos)
            return refuse("a pair is a whole number, \"=\" and a picture, as in 1=pumps/on.svg");
        const std::optional<int64_t> value = WholeNumber(TrimBlanks(pair.substr(0, equals)));
        if (!value)
            return refuse("the value is not a whole number");
        const std::string_view picture = TrimBlanks(pair.substr(equals + 1));
        if (picture.empty())
            return refuse("no picture is given");
        if (std::ranges::any_of(parsed.Pairs, [&](const auto& p) { return p.Value == *value; }))
            return refuse("the value " + std::to_string(*value) + " has a picture already");
        parsed.Pairs.push_back({*value, std::string(picture)});
    }
    return parsed;
}

std::string FormatSymbolPictures(const std::vector<SymbolValuePicture>& pairs) {
    std::string text;
    for (const SymbolValuePicture& pair : pairs)
        text += (text.empty() ? "" : ";") + std::to_string(pair.Value) + "=" + pair.Picture;
    return text;
}

const SymbolPicture* CurrentSymbolPicture(const TScreenMarker& object,
                                          std::span<const TDataChannel> tags) {
    const SymbolStates& states = object.States;
    if (!states.IsBound())
        return Pointer(object.Graphic);
    const auto tag = static_cast<size_t>(states.Tag);
    const std::optional<int64_t> value =
        tag < tags.size() ? NearestWholeValue(tags[tag]) : std::nullopt;
    if (value) {
        const auto match = std::ranges::find_if(
            states.Loaded, [&](const auto& loaded) { return loaded.first == *value; });
        if (match != states.Loaded.end())
            return Pointer(match->second);
    }
    return states.NoValue.empty() ? Pointer(object.Graphic) : Pointer(states.NoValueLoaded);
}

} // namespace halvane
