#pragma once

#include "TDataChannel.h"

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace halvane {

// The tag list shows one row per tag: columns 0..7 hold the configuration and are built
// when the list is filled, columns 8..11 hold the live values and are rebuilt at every
// refresh. All texts are UTF-8.
constexpr int kTagListColumnCount = 12;
constexpr int kTagListFirstLiveColumn = 8;
constexpr int kTagListStatusColumn = 10;
constexpr int kTagListPollingColumn = 11;

std::span<const std::string_view> TagListHeaders();
// Initial widths in pixels.
std::span<const int> TagListColumnWidths();

// "100 (0x64)": the address in decimal and in hexadecimal with at least two digits.
std::string RegisterAddressText(int address);
// printf "%g" with the locale's decimal separator.
std::string ShortNumberText(double value);

using TagListConfigCells = std::array<std::string, kTagListFirstLiveColumn>;
// Id (index + 1), name, description, connection, slave address, function, register
// address and data type (empty for an id without a table entry).
TagListConfigCells ConfigCells(const TDataChannel& tag, size_t index);

// What the live columns show of a tag, copied out of the shared table.
struct TagLiveState {
    double rawValue = 0;
    double realValue = 0;
    bool valueValid = false;
    bool pollingNow = false;
    std::string status;
    std::string unit;

    bool operator==(const TagLiveState&) const = default;
};
TagLiveState LiveState(const TDataChannel& tag);

using TagListLiveCells = std::array<std::string, kTagListColumnCount - kTagListFirstLiveColumn>;
// Raw value, real value with its unit (both "-" while not valid), "OK" or the status,
// and the polling column's three blanks.
TagListLiveCells LiveCells(const TagLiveState& state);

enum class TagStatusIcon { None, Ok, Error };
// Ok while valid; no icon while the status is "Unknown" (never polled); else Error.
TagStatusIcon StatusIcon(const TagLiveState& state);

// A copy of `source` whose name ends in " (copy)".
TDataChannel CloneTag(const TDataChannel& source);

} // namespace halvane
