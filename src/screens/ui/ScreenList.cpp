#include "ScreenList.h"

#include "ProfileStore.h"
#include "ScreenFile.h"
#include "TFormScreen.h"

#include <algorithm>
#include <chrono>

namespace halvane {

namespace {

constexpr int kScreenNumberCount = 32000; // 0 .. 31999
// Drawing again when the number is taken gives up after this many tries.
constexpr int kScreenNumberTries = 1000;
constexpr int kNewScreenWidth = 640;
constexpr int kNewScreenHeight = 480;

} // namespace

ScreenList::ScreenList(ProfileStore& config, const TagTable& tags, QScrollArea* dock,
                       QWidget* owner)
    : m_config(config), m_tags(tags), m_dock(dock), m_owner(owner),
      m_random(static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count())) {
}

ScreenList::~ScreenList() = default;

std::unique_ptr<TFormScreen> ScreenList::NewWindow() const {
    auto screen = std::make_unique<TFormScreen>(m_config, m_tags, m_dock, m_owner);
    screen->SetActions(m_actions);
    return screen;
}

void ScreenList::Append(std::unique_ptr<TFormScreen> screen) {
    const std::lock_guard lock(m_mutex);
    m_screens.push_back(std::move(screen));
}

void ScreenList::LoadScreens() {
    m_leftOut = ScreensLeftOut(m_config);
    for (const int number : ReadScreenList(m_config)) {
        std::unique_ptr<TFormScreen> screen = NewWindow();
        screen->OpenScreenFile(number);
        screen->LoadGeneralSettings();
        Append(std::move(screen));
    }
}

void ScreenList::SeedScreenNumbers(uint32_t seed) {
    m_random.seed(seed);
}

// A number that no screen of the list uses yet, so that no two screens share a file.
int ScreenList::DrawScreenNumber() {
    int number = 0;
    for (int tries = 0; tries < kScreenNumberTries; ++tries) {
        number = static_cast<int>(m_random() % kScreenNumberCount);
        if (!NumberInUse(number))
            break;
    }
    return number;
}

bool ScreenList::NumberInUse(int number) const {
    if (std::find(m_leftOut.begin(), m_leftOut.end(), number) != m_leftOut.end())
        return true;
    const std::lock_guard lock(m_mutex);
    for (const auto& screen : m_screens) {
        if (screen->ScreenFileNumber() == number)
            return true;
    }
    return false;
}

TFormScreen* ScreenList::CreateScreen(const std::string& title) {
    std::unique_ptr<TFormScreen> screen = NewWindow();
    screen->resize(kNewScreenWidth, kNewScreenHeight);
    screen->OpenScreenFile(DrawScreenNumber());
    screen->SetScreenTitle(title);
    screen->SetScreenMode(true, false, false);
    TFormScreen* created = screen.get();
    Append(std::move(screen));
    return created;
}

void ScreenList::DeleteScreen(size_t position) {
    std::unique_ptr<TFormScreen> removed;
    {
        const std::lock_guard lock(m_mutex);
        if (position >= m_screens.size())
            return;
        removed = std::move(m_screens[position]);
        m_screens.erase(m_screens.begin() + static_cast<std::ptrdiff_t>(position));
    }
}

bool ScreenList::WriteScreenList() {
    std::vector<int> numbers;
    {
        const std::lock_guard lock(m_mutex);
        for (const auto& screen : m_screens)
            numbers.push_back(screen->ScreenFileNumber());
    }
    numbers.insert(numbers.end(), m_leftOut.begin(), m_leftOut.end());
    return halvane::WriteScreenList(m_config, numbers);
}

void ScreenList::SetActions(ScreenActions* actions) {
    m_actions = actions;
    const std::lock_guard lock(m_mutex);
    for (const auto& screen : m_screens)
        screen->SetActions(actions);
}

size_t ScreenList::Size() const {
    const std::lock_guard lock(m_mutex);
    return m_screens.size();
}

TFormScreen* ScreenList::At(size_t position) const {
    const std::lock_guard lock(m_mutex);
    return position < m_screens.size() ? m_screens[position].get() : nullptr;
}

size_t ScreenList::ScreenCount() const {
    return Size();
}

std::string ScreenList::ScreenCaption(size_t index) const {
    const std::lock_guard lock(m_mutex);
    return index < m_screens.size() ? m_screens[index]->Caption() : std::string();
}

// The frame is encoded outside the lock: a large one takes long, and neither the other
// requests nor the user-interface thread may wait for it.
SharedBmp ScreenList::EncodedFrame(size_t index, FrameCacheOf cacheOf) const {
    QImage frame;
    std::shared_ptr<EncodedFrameCache> cache;
    {
        const std::lock_guard lock(m_mutex);
        if (index >= m_screens.size())
            return nullptr;
        frame = m_screens[index]->Frame();
        cache = (*m_screens[index].*cacheOf)();
    }
    return cache->Get(frame);
}

SharedBmp ScreenList::ScreenBmp(size_t index) const {
    return EncodedFrame(index, &TFormScreen::BmpCache);
}

SharedBmp ScreenList::ScreenPng(size_t index) const {
    return EncodedFrame(index, &TFormScreen::PngCache);
}

std::optional<ScreenSize> ScreenList::ScreenSizeOf(size_t index) const {
    const std::lock_guard lock(m_mutex);
    if (index >= m_screens.size())
        return std::nullopt;
    const QSize size = m_screens[index]->Frame().size();
    return ScreenSize{std::max(size.width(), 0), std::max(size.height(), 0)};
}

// The goto targets depend on where the screen stands in the list, so they are worked out
// under the same lock as the objects are read.
std::vector<ScreenObjectInfo> ScreenList::ScreenObjects(size_t index) const {
    const std::lock_guard lock(m_mutex);
    if (index >= m_screens.size())
        return {};
    return ObjectsOfScreen(m_screens[index]->FrameObjects(), index, m_screens.size());
}

} // namespace halvane
