#include "TagListRows.h"

#include "NumberFormat.h"
#include "StoredText.h"
#include "TagVocabulary.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace halvane {

namespace {

constexpr std::array<std::string_view, kTagListColumnCount> kHeaders{"Id",
                                                                     "Name",
                                                                     "Description",
                                                                     "Connection",
                                                                     "Slave address",
                                                                     "Function",
                                                                     "Register address",
                                                                     "Data type",
                                                                     "Raw value",
                                                                     "Real value",
                                                                     "Status",
                                                                     "Polling"};

constexpr std::array<int, kTagListColumnCount> kWidths{25, 125, 133, 68, 35,  93,
                                                       85, 75,  76,  75, 170, 64};

constexpr std::string_view kNoValue = "-";

std::string PortListText(int port) {
    const auto ports = Ports();
    if (port < 0 || static_cast<size_t>(port) >= ports.size())
        return std::string(kStatusUnknown);
    return std::string(ports[static_cast<size_t>(port)].listText);
}

} // namespace

std::span<const std::string_view> TagListHeaders() {
    return kHeaders;
}

std::span<const int> TagListColumnWidths() {
    return kWidths;
}

std::string RegisterAddressText(int address) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%d (0x%02X)", address, static_cast<unsigned>(address));
    return text.data();
}

std::string ShortNumberText(double value) {
    std::array<char, 64> text{};
    const auto result =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::general, 6);
    std::string out(text.data(), result.ptr);
    std::replace(out.begin(), out.end(), '.', DecimalSeparator());
    return out;
}

TagListConfigCells ConfigCells(const TDataChannel& tag, size_t index) {
    const auto dataType = FindDataType(tag.DataType);
    return {std::to_string(index + 1),
            StoredTextToUtf8(tag.Name),
            StoredTextToUtf8(tag.Desc),
            PortListText(tag.Port),
            std::to_string(static_cast<unsigned>(tag.ModuleAddr)),
            std::string(FunctionListText(tag.Function)),
            RegisterAddressText(tag.RegisterAddr),
            dataType ? std::string(dataType->name) : std::string()};
}

TagLiveState LiveState(const TDataChannel& tag) {
    return {tag.RawValue, tag.RealValue, tag.ValueValid, tag.PollingNow, tag.Status, tag.Unit};
}

TagListLiveCells LiveCells(const TagLiveState& state) {
    TagListLiveCells cells;
    if (state.valueValid) {
        cells[0] = ShortNumberText(state.rawValue);
        cells[1] = ShortNumberText(state.realValue);
        if (!state.unit.empty())
            cells[1] += ' ' + StoredTextToUtf8(state.unit);
    } else {
        cells[0] = kNoValue;
        cells[1] = kNoValue;
    }
    cells[2] = StoredTextToUtf8(ShownStatus(state.valueValid, state.status));
    cells[3] = "   ";
    return cells;
}

TagStatusIcon StatusIcon(const TagLiveState& state) {
    if (state.valueValid)
        return TagStatusIcon::Ok;
    return state.status == kStatusUnknown ? TagStatusIcon::None : TagStatusIcon::Error;
}

TDataChannel CloneTag(const TDataChannel& source) {
    TDataChannel copy = source;
    copy.Name += " (copy)";
    return copy;
}

} // namespace halvane
