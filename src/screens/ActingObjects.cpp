#include "ActingObjects.h"

#include "RunTimeClick.h"

#include <algorithm>

namespace halvane {

namespace {

constexpr bool IsDisplayType(int32_t type) {
    return type == kNumericDisplay || type == kBinaryDisplay || type == kMultiStateDisplay;
}

std::string TypeName(int32_t type) {
    const auto kind = std::ranges::find(kObjectKinds, type, &ObjectKind::type);
    return kind == kObjectKinds.end() ? std::string() : std::string(kind->name);
}

std::optional<int> TagNumber(int32_t channel, size_t tagCount) {
    if (channel < 0 || static_cast<size_t>(channel) >= tagCount)
        return std::nullopt;
    return channel + 1;
}

// What a click on `object` does, for an object that acts; nothing for one that does not.
std::optional<ActingObject> Acting(const TScreenMarker& object, size_t tagCount) {
    ActingObject acting;
    const RunTimeClick click = ClickActionOf(object, tagCount);
    switch (click.kind) {
    case RunTimeClick::Kind::PreviousScreen:
    case RunTimeClick::Kind::NextScreen:
        acting.info.action = "goto";
        acting.screenStep = click.kind == RunTimeClick::Kind::NextScreen ? 1 : -1;
        break;
    case RunTimeClick::Kind::AskValue:
        acting.info.action = "input";
        break;
    case RunTimeClick::Kind::PresetValue:
        acting.info.action = "preset";
        acting.info.value = click.value;
        break;
    default:
        if (!IsDisplayType(object.Type) && !CanAskBeforeWriting(object.Type))
            return std::nullopt;
    }
    if (IsTagBoundType(object.Type))
        acting.info.tag = TagNumber(object.Channel, tagCount);
    acting.info.confirm = CanAskBeforeWriting(object.Type) && object.Confirm;
    return acting;
}

} // namespace

std::vector<ActingObject> ActingObjects(const ObjectList& objects, size_t tagCount) {
    std::vector<ActingObject> acting;
    for (auto object = objects.rbegin(); object != objects.rend(); ++object) {
        auto found = Acting(*object, tagCount);
        if (!found)
            continue;
        const MarkerRect& area = object->Bounds;
        found->info.type = TypeName(object->Type);
        found->info.x = area.Left;
        found->info.y = area.Top;
        found->info.width = area.Right - area.Left;
        found->info.height = area.Bottom - area.Top;
        acting.push_back(std::move(*found));
    }
    return acting;
}

std::vector<ScreenObjectInfo> ObjectsOfScreen(std::span<const ActingObject> objects,
                                              size_t position, size_t screenCount) {
    std::vector<ScreenObjectInfo> infos;
    infos.reserve(objects.size());
    for (const ActingObject& object : objects) {
        ScreenObjectInfo info = object.info;
        if (object.screenStep != 0 && screenCount >= 2) {
            const auto count = static_cast<long long>(screenCount);
            const long long target = (static_cast<long long>(position) + object.screenStep) % count;
            info.screen = static_cast<int>(target < 0 ? target + count : target);
        }
        infos.push_back(std::move(info));
    }
    return infos;
}

} // namespace halvane
