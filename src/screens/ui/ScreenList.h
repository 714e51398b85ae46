#pragma once

#include "ScreenSource.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

class QScrollArea;
class QWidget;

namespace halvane {

class ProfileStore;
class EncodedFrameCache;
class ScreenActions;
class TagTable;
class TFormScreen;

// The screen windows in display order, owned here, and the "Screens" section that
// records them. Changed on the user-interface thread only; the web server's request
// threads read captions and frames through ScreenSource.
//
// Docked and floating screens have the dock area's contents or `owner` as their Qt
// parent: destroy this list before those widgets.
class ScreenList final : public ScreenSource {
public:
    ScreenList(ProfileStore& config, const TagTable& tags, QScrollArea* dock, QWidget* owner);
    ~ScreenList() override;
    ScreenList(const ScreenList&) = delete;
    ScreenList& operator=(const ScreenList&) = delete;

    // One screen per "Screens" entry, opened from its file and prepared (general settings).
    void LoadScreens();
    // Seeds the draw of new screen file numbers.
    void SeedScreenNumbers(uint32_t seed);
    // A new hidden screen with a newly drawn file number, titled `title` (stored bytes), in
    // edit mode, appended to the list. The number reaches config.cfg with WriteScreenList.
    TFormScreen* CreateScreen(const std::string& title);
    // Destroys the screen at `position`; its file stays on disk.
    void DeleteScreen(size_t position);
    // Rewrites "Screens" with the file numbers in list order, followed by the entries that
    // the load left out, so that no entry is lost.
    bool WriteScreenList();
    // What run-time clicks ask of the station, for every screen of the list, those made
    // later included.
    void SetActions(ScreenActions* actions);

    size_t Size() const;
    TFormScreen* At(size_t position) const;

    size_t ScreenCount() const override;
    std::string ScreenCaption(size_t index) const override;
    SharedBmp ScreenBmp(size_t index) const override;
    SharedBmp ScreenPng(size_t index) const override;
    // The size of the last composed frame; zero before the first paint.
    std::optional<ScreenSize> ScreenSizeOf(size_t index) const override;
    // As the last composed frame drew them.
    std::vector<ScreenObjectInfo> ScreenObjects(size_t index) const override;

private:
    using FrameCacheOf = std::shared_ptr<EncodedFrameCache> (TFormScreen::*)() const;
    SharedBmp EncodedFrame(size_t index, FrameCacheOf cacheOf) const;
    std::unique_ptr<TFormScreen> NewWindow() const;
    void Append(std::unique_ptr<TFormScreen> screen);
    int DrawScreenNumber();
    bool NumberInUse(int number) const;

    ProfileStore& m_config;
    const TagTable& m_tags;
    QScrollArea* m_dock;
    QWidget* m_owner;
    ScreenActions* m_actions = nullptr;
    std::minstd_rand m_random;
    std::vector<int> m_leftOut; // "Screens" entries beyond the most a start opens
    mutable std::mutex m_mutex; // guards the sequence below against the request threads
    std::vector<std::unique_ptr<TFormScreen>> m_screens;
};

} // namespace halvane
