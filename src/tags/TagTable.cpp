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

namespace halvane {

void TagTable::Assign(std::vector<TDataChannel> tags) {
    std::lock_guard lock(m_mutex);
    m_tags = std::move(tags);
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

std::vector<std::pair<size_t, int>> TagTable::Ports() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::pair<size_t, int>> ports;
    ports.reserve(m_tags.size());
    for (size_t i = 0; i < m_tags.size(); ++i)
        ports.emplace_back(i, m_tags[i].Port);
    return ports;
}

bool TagTable::Update(size_t index, const std::function<void(TDataChannel&)>& change) {
    std::lock_guard lock(m_mutex);
    if (index >= m_tags.size())
        return false;
    change(m_tags[index]);
    NotifyChanged(index);
    return true;
}

void TagTable::UpdateAll(const std::function<void(TDataChannel&, size_t)>& change) {
    std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < m_tags.size(); ++i)
        change(m_tags[i], i);
    NotifyAllChanged();
}

void TagTable::ReadAll(const std::function<void(const TDataChannel&, size_t)>& read) const {
    std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < m_tags.size(); ++i)
        read(m_tags[i], i);
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
    tag.FilterCountdown = outcome.FilterCountdown;
    if (changed)
        NotifyChanged(index);
}

void TagTable::SetChangeListener(TagChangeListener* listener) {
    std::lock_guard lock(m_mutex);
    m_listener = listener;
}

void TagTable::NotifyChanged(size_t index) {
    if (m_listener)
        m_listener->TagChanged(index);
}

void TagTable::NotifyAllChanged() {
    if (m_listener)
        m_listener->AllTagsChanged();
}

} // namespace halvane
