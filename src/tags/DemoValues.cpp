#include "DemoValues.h"

#include "ValueConversion.h"

#include <random>

namespace halvane {

DemoRandom MakeDemoRandom(uint32_t seed) {
    return [engine = std::mt19937(seed),
            values = std::uniform_int_distribution<uint32_t>(0, kDemoValueMax)]() mutable {
        return values(engine);
    };
}

void DemoTick(std::vector<TDataChannel>& tags, const ProfileStore* config,
              const DemoRandom& random) {
    for (TDataChannel& tag : tags) {
        if (tag.Port == 0) {
            tag.SetTagError(std::string(kStatusDisabled));
            continue;
        }
        tag.PollingNow = false;
        StoreReading(tag, ValueBufferFromInteger(random()), config);
    }
}

void ResetDemoValues(std::vector<TDataChannel>& tags) {
    for (TDataChannel& tag : tags) {
        tag.RawValue = 0;
        // The next poll writes an output tag's value to the plant: it must be the
        // operator's last preset again, never a demo value or 0.
        tag.RealValue = tag.IsOutputTag() ? tag.DefaultValue : 0;
        tag.SetTagError(std::string(kStatusUnknown));
    }
}

} // namespace halvane
