#include "ReplyValues.h"

#include <algorithm>

namespace halvane {

ValueBuffer SliceValues(ModbusFunction function, std::span<const uint8_t> data, size_t offset,
                        size_t count) {
    ValueBuffer values{};
    if (IsBitRead(function)) {
        if (offset / 8 < data.size())
            values[0] = (data[offset / 8] >> (offset % 8)) & 1;
        return values;
    }
    const size_t first = 2 * offset;
    if (first >= data.size())
        return values;
    const size_t length = std::min({2 * count, values.size(), data.size() - first});
    for (size_t i = 0; i < length; ++i)
        values[i] = data[first + length - 1 - i];
    return values;
}

} // namespace halvane
