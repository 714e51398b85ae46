#include "ScreenListRows.h"

#include "StoredText.h"

namespace halvane {

namespace {

constexpr std::array<std::string_view, kScreenListColumnCount> kHeaders{
    "Id", "Title", "Visible", "Position", "Size", "# objects"};
constexpr std::array<int, kScreenListColumnCount> kWidths{29, 241, 54, 54, 59, 54};

std::string Pair(int first, int second) {
    return std::to_string(first) + "," + std::to_string(second);
}

} // namespace

std::span<const std::string_view> ScreenListHeaders() {
    return kHeaders;
}

std::span<const int> ScreenListColumnWidths() {
    return kWidths;
}

ScreenListCells ScreenRowCells(const ScreenSummary& screen, size_t position) {
    return {std::to_string(position + 1),      StoredTextToUtf8(screen.title),
            screen.visible ? "Yes" : "No",     Pair(screen.left, screen.top),
            Pair(screen.width, screen.height), std::to_string(screen.objects)};
}

std::string NewScreenTitle(size_t screenCount) {
    return "My screen " + std::to_string(screenCount + 1);
}

} // namespace halvane
