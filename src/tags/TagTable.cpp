#include "TagTable.h"

#include "ProfileStore.h"

#include <algorithm>

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

namespace halvane {

void TagTable::Assign(std::vector<TDataChannel> tags) {
    std::lock_guard lock(m_mutex);
    m_tags = std::move(tags);
    m_changedAt.assign(m_tags.size(), std::nullopt);
    NotifyAllChanged();
}

size_t TagTable::Size() const {
    std::lock_guard lock(m_mutex);
    return m_tags.size();
}

TDataChannel TagTable::Snapshot(size_t index) const {
    std::lock_guard lock(m_mutex);
    return index < m_tags.size() ? m_tags[index] : TDataChannel{};
}

std::vector<TDataChannel> TagTable::SnapshotAll() const {
    std::lock_guard lock(m_mutex);
    return m_tags;
}

void CarryPendingWrites(const std::vector<TDataChannel>& before, std::vector<TDataChannel>& after) {
    const auto sameWrite = [](const TDataChannel& old, const TDataChannel& reloaded) {
        return reloaded.IsOutputTag() && reloaded.Port == old.Port &&
               reloaded.ModuleAddr == old.ModuleAddr && reloaded.RegisterAddr == old.RegisterAddr &&
               reloaded.Function == old.Function && reloaded.RealValue == old.RealValue;
    };
    for (const TDataChannel& old : before) {
        if (!old.WritePending)
            continue;
        const auto match = std::ranges::find_if(
            after, [&](const TDataChannel& reloaded) { return sameWrite(old, reloaded); });
        if (match != after.end()) {
            match->WritePending = true;
            match->SetTagError(std::string(kStatusPendingWrite));
        }
    }
}

bool TagTable::WritePending(size_t index) const {
    std::lock_guard lock(m_mutex);
    return index < m_tags.size() && m_tags[index].WritePending;
}

bool TagTable::Update(size_t index, const std::function<void(TDataChannel&)>& change) {
    std::lock_guard lock(m_mutex);
    if (index >= m_tags.size())
        return false;
    TDataChannel& tag = m_tags[index];
    const ShownState before = ShownStateOf(tag);
    change(tag);
    StampIfShownChanged(index, before);
    NotifyChanged(index);
    return true;
}

void TagTable::UpdateAll(const std::function<void(TDataChannel&, size_t)>& change) {
    std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < m_tags.size(); ++i) {
        const ShownState before = ShownStateOf(m_tags[i]);
        change(m_tags[i], i);
        StampIfShownChanged(i, before);
    }
    NotifyAllChanged();
}

bool TagTable::Read(size_t index, const std::function<void(const TDataChannel&)>& read) const {
    std::lock_guard lock(m_mutex);
    if (index >= m_tags.size())
        return false;
    read(m_tags[index]);
    return true;
}

void TagTable::ReadSome(std::span<const size_t> indices,
                        const std::function<void(const TDataChannel&, size_t)>& read) const {
    std::lock_guard lock(m_mutex);
    for (const size_t index : indices)
        if (index < m_tags.size())
            read(m_tags[index], index);
}

void TagTable::Locked(const std::function<void()>& run) const {
    std::lock_guard lock(m_mutex);
    run();
}

void TagTable::ReadAll(const std::function<void(const TDataChannel&, size_t)>& read) const {
    std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < m_tags.size(); ++i)
        read(m_tags[i], i);
}

void TagTable::ReadAllTimed(const TimedRead& read) const {
    std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < m_tags.size(); ++i)
        read(m_tags[i], i, m_changedAt[i]);
}

void TagTable::ReadSomeTimed(std::span<const size_t> indices, const TimedRead& read) const {
    std::lock_guard lock(m_mutex);
    for (const size_t index : indices)
        if (index < m_tags.size())
            read(m_tags[index], index, m_changedAt[index]);
}

void TagTable::StoreOutcome(size_t index, const TDataChannel& outcome) {
    std::lock_guard lock(m_mutex);
    if (index >= m_tags.size())
        return;
    TDataChannel& tag = m_tags[index];
    // Preset while the old value was on its way: the new one is still pending.
    if (tag.IsOutputTag() && tag.RealValue != outcome.RealValue)
        return;
    const bool changed = tag.RealValue != outcome.RealValue ||
                         tag.ValueValid != outcome.ValueValid || tag.Status != outcome.Status;
    tag.RawValue = outcome.RawValue;
    tag.RawInteger = outcome.RawInteger;
    if (!tag.IsOutputTag())
        tag.RealValue = outcome.RealValue;
    tag.ValueValid = outcome.ValueValid;
    tag.Status = outcome.Status;
    // The value it carried reached the device: a connection that writes only what was
    // set has nothing more to write for it.
    if (tag.IsOutputTag() && outcome.ValueValid)
        tag.WritePending = false;
    tag.FilterCountdown = outcome.FilterCountdown;
    if (!changed)
        return;
    m_changedAt[index] = std::chrono::system_clock::now();
    if (tag.IsOutputTag() && !outcome.ValueValid)
        for (TagChangeListener* listener : m_listeners)
            listener->WriteFailed(index, outcome.Status);
    NotifyChanged(index);
}

bool TagTable::StoreReadBack(size_t index, const TDataChannel& outcome) {
    std::lock_guard lock(m_mutex);
    if (index >= m_tags.size() || m_tags[index].WritePending)
        return false;
    TDataChannel& tag = m_tags[index];
    const bool changed = tag.RealValue != outcome.RealValue ||
                         tag.ValueValid != outcome.ValueValid || tag.Status != outcome.Status;
    tag.RawValue = outcome.RawValue;
    tag.RealValue = outcome.RealValue;
    tag.ValueValid = outcome.ValueValid;
    tag.Status = outcome.Status;
    tag.FilterCountdown = outcome.FilterCountdown;
    if (changed) {
        m_changedAt[index] = std::chrono::system_clock::now();
        NotifyChanged(index);
    }
    return true;
}

void TagTable::NotifyPresetStored(size_t index, double value, const WriteOrigin& origin) {
    std::lock_guard lock(m_mutex);
    for (TagChangeListener* listener : m_listeners)
        listener->PresetStored(index, value, origin);
}

void TagTable::AddChangeListener(TagChangeListener* listener) {
    std::lock_guard lock(m_mutex);
    m_listeners.push_back(listener);
}

void TagTable::RemoveChangeListener(TagChangeListener* listener) {
    std::lock_guard lock(m_mutex);
    std::erase(m_listeners, listener);
}

TagTable::ShownState TagTable::ShownStateOf(const TDataChannel& tag) {
    return {tag.RealValue, tag.ValueValid, tag.Status};
}

void TagTable::StampIfShownChanged(size_t index, const ShownState& before) {
    if (ShownStateOf(m_tags[index]) != before)
        m_changedAt[index] = std::chrono::system_clock::now();
}

void TagTable::NotifyChanged(size_t index) {
    for (TagChangeListener* listener : m_listeners)
        listener->TagChanged(index);
}

void TagTable::NotifyAllChanged() {
    for (TagChangeListener* listener : m_listeners)
        listener->AllTagsChanged();
}

} // namespace halvane
