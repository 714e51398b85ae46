#include "StartUp.h"

#include "ProfileStore.h"

#include <array>
#include <string>
#include <utility>

namespace halvane {

void EnsureStringDefaults(ProfileStore& store) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kDefaults{{
        {"Marker.Binary.0", "1;0"},
        {"Marker.Binary.1", "On;Off"},
        {"Marker.Binary.2", "Open;Close"},
        {"Marker.Binary.3", "True;False"},
        {"Marker.Binary.4", "Yes;No"},
        {"FunctionButton.0", "<<"},
        {"FunctionButton.1", ">>"},
        {"FunctionButton.2", "Exit"},
        {"FunctionButton.3", "History"},
    }};
    ProfileStore::Batch batch(store);
    for (const auto& [key, fallback] : kDefaults)
        store.WriteString("Strings", key, store.ReadString("Strings", key, fallback));
}

} // namespace halvane
