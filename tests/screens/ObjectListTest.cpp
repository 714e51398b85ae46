#include "ObjectList.h"

#include <gtest/gtest.h>

#include <vector>

using namespace halvane;

namespace {

TScreenMarker Bound(int32_t type, int32_t channel) {
    TScreenMarker object;
    object.Type = type;
    object.Channel = channel;
    return object;
}

std::vector<int32_t> Channels(const ObjectList& objects) {
    std::vector<int32_t> channels;
    for (const TScreenMarker& object : objects)
        channels.push_back(object.Channel);
    return channels;
}

TEST(ObjectList, OnlyTagBoundTypesUseTags) {
    const int32_t types[] = {0, 1, 2, 3, 4, 5, 6, 50, 51, 52, 53, 100};
    const bool bound[] = {true,  true, true, false, false, false,
                          false, true, true, true,  false, false};
    for (size_t i = 0; i < std::size(types); ++i) {
        const ObjectList objects{Bound(types[i], 4)};
        EXPECT_EQ(IsTagUsed(objects, 4), bound[i]) << "type " << types[i];
        EXPECT_FALSE(IsTagUsed(objects, 3)) << "type " << types[i];
    }
}

// Deleting tag 3 of 6 renumbers the later tags down by one, as the tag list does it.
TEST(ObjectList, RenumberAfterDeletingATagKeepsOtherTypesChannels) {
    ObjectList objects{Bound(kNumericDisplay, 4),  Bound(kStaticText, 4),
                       Bound(kBinaryDisplay, 5),   Bound(kNumericInput, 2),
                       Bound(kGraphicalSymbol, 5), Bound(kPresetValueButton, 4)};
    ASSERT_FALSE(IsTagUsed(objects, 3));
    for (int j = 4; j < 6; ++j)
        RenumberTagReferences(objects, j, j - 1);
    EXPECT_EQ(Channels(objects), (std::vector<int32_t>{3, 4, 4, 2, 5, 3}));
}

} // namespace
