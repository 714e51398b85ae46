#pragma once

#include "TDataChannel.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace halvane {

class ProfileStore;

// Yields whole numbers uniform in 0..kDemoValueMax.
using DemoRandom = std::function<uint32_t()>;
constexpr uint32_t kDemoValueMax = 999;

// A pseudo-random source for demo mode, repeatable for one seed.
DemoRandom MakeDemoRandom(uint32_t seed);

// One demo-mode tick over the table, in table order: a tag on a connection is no longer
// the one polled and takes the next random number as a reading, through its own byte
// order, data type, scaling and filter (`config` as for StoreReading); a tag on no
// connection is marked "Cfg: Disabled".
void DemoTick(std::vector<TDataChannel>& tags, const ProfileStore* config,
              const DemoRandom& random);

// Leaving demo mode: every tag is "Unknown" until its next reading; an input tag reads
// 0, an output tag holds its preset (`DefaultValue`) again, which its next turn writes.
void ResetDemoValues(std::vector<TDataChannel>& tags);

} // namespace halvane
