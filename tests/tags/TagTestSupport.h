#pragma once

#include "TDataChannel.h"
#include "TagVocabulary.h"
#include "ValueConversion.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

namespace halvane::test {

// The value buffer a read transaction fills from a reply's data bytes: the last byte
// received becomes byte 0.
inline ValueBuffer FromReply(std::initializer_list<uint8_t> data) {
    ValueBuffer buffer{};
    std::reverse_copy(data.begin(), data.end(), buffer.begin());
    return buffer;
}

// A new tag of `dataType` with its byte length, converting y = x.
// A tag scaled by `linear` with the line a·x + b, the offset and the points given.
inline TDataChannel ScaledTag(int linear, double a, double b, double offset,
                              const std::vector<std::pair<int32_t, double>>& points) {
    TDataChannel tag;
    tag.Linear = linear;
    tag.ACoff = a;
    tag.BCoff = b;
    tag.Offset = offset;
    for (const auto& [x, y] : points) {
        tag.PointX[static_cast<size_t>(tag.PointCount)] = x;
        tag.PointY[static_cast<size_t>(tag.PointCount++)] = y;
    }
    return tag;
}

inline TDataChannel MakeTag(int dataType, bool isSigned = false) {
    TDataChannel tag;
    tag.DataType = dataType;
    tag.ByteLength = DataTypeByteLength(dataType);
    tag.Signed = isSigned;
    tag.Linear = 0;
    return tag;
}

struct ByteOrder {
    bool reverse = false;
    bool swapBytes = false;
    bool swapWords = false;
    bool swapDWords = false;
};

inline void SetByteOrder(TDataChannel& tag, ByteOrder order) {
    tag.ReverseOrder = order.reverse;
    tag.SwapBytes = order.swapBytes;
    tag.SwapWords = order.swapWords;
    tag.SwapDWords = order.swapDWords;
}

// The 16 combinations of the byte-order options.
inline std::vector<ByteOrder> AllByteOrders() {
    std::vector<ByteOrder> orders;
    for (int bits = 0; bits < 16; ++bits)
        orders.push_back({(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0});
    return orders;
}

inline std::string Describe(ByteOrder order) {
    return std::string(order.reverse ? "R" : "-") + (order.swapBytes ? "B" : "-") +
           (order.swapWords ? "W" : "-") + (order.swapDWords ? "D" : "-");
}

// A configuration file in a folder of its own, removed with the folder.
class TempConfig {
public:
    explicit TempConfig(std::string_view content = "") {
        static std::atomic<int> counter = 0;
        m_folder = std::filesystem::temp_directory_path() /
                   ("halvane_tags_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(m_folder);
        std::ofstream(Path(), std::ios::binary) << content;
    }
    ~TempConfig() { std::filesystem::remove_all(m_folder); }
    TempConfig(const TempConfig&) = delete;
    TempConfig& operator=(const TempConfig&) = delete;

    std::filesystem::path Path() const { return m_folder / "config.cfg"; }

private:
    std::filesystem::path m_folder;
};

} // namespace halvane::test
