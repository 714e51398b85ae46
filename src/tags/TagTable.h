#pragma once

#include "TDataChannel.h"

#include <functional>
#include <vector>

namespace halvane {

// Loads "Channel.0", "Channel.1", ... up to the first absent section.
std::vector<TDataChannel> LoadAllTags(ProfileStore& store);

// Removes the tag at `index` from the table and renumbers the file: every remaining tag
// is saved again under its new index and the last, now stale, sections are erased.
// `processEvents` runs after every 10th saved tag so the window stays responsive. The
// file is written once, at the end; false when that failed (LastError says why).
bool DeleteTag(ProfileStore& store, std::vector<TDataChannel>& tags, size_t index,
               const std::function<void()>& processEvents = {});

} // namespace halvane
