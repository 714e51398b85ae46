#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace halvane {

// The screens list shows one row per screen, in screen-list order. All texts are UTF-8.
inline constexpr int kScreenListColumnCount = 6;
inline constexpr int kScreenListRowHeight = 20;

std::span<const std::string_view> ScreenListHeaders();
// Widths in pixels.
std::span<const int> ScreenListColumnWidths();

// What a row shows of one screen window.
struct ScreenSummary {
    std::string title;   // the caption, stored bytes
    bool visible = true; // "General" / "Visible" of its screen file
    int left = 0;
    int top = 0;
    int width = 0; // outer size of the window
    int height = 0;
    size_t objects = 0;

    bool operator==(const ScreenSummary&) const = default;
};

using ScreenListCells = std::array<std::string, kScreenListColumnCount>;
// Id (the row number, position + 1, not the screen file number), title, "Yes" or "No",
// "left,top", "width,height" and the number of objects.
ScreenListCells ScreenRowCells(const ScreenSummary& screen, size_t position);

// The title that adding a screen offers: "My screen " and the count after adding it.
std::string NewScreenTitle(size_t screenCount);

} // namespace halvane
