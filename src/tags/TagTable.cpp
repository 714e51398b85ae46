#include "TagTable.h"

#include "ProfileStore.h"

namespace halvane {

std::vector<TDataChannel> LoadAllTags(ProfileStore& store) {
    // One batch: the file is looked at once, not at every key.
    ProfileStore::Batch batch(store);
    std::vector<TDataChannel> tags;
    for (int n = 0;; ++n) {
        TDataChannel tag;
        if (!tag.LoadFromConfig(store, n))
            break;
        tags.push_back(std::move(tag));
    }
    return tags;
}

bool DeleteTag(ProfileStore& store, std::vector<TDataChannel>& tags, size_t index,
               const std::function<void()>& processEvents) {
    if (index >= tags.size())
        return true;
    const int oldCount = static_cast<int>(tags.size());
    tags.erase(tags.begin() + static_cast<std::ptrdiff_t>(index));
    ProfileStore::Batch batch(store);
    for (size_t i = 0; i < tags.size(); ++i) {
        tags[i].SaveToConfig(store, static_cast<int>(i));
        if (i % 10 == 0 && processEvents)
            processEvents();
    }
    store.EraseSection(ChannelSection(oldCount - 1));
    store.EraseSection(PointsSection(oldCount - 1));
    return batch.Commit();
}

} // namespace halvane
