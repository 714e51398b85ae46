#pragma once

#include <QSplitter>

class QTimer;

namespace halvane {

class ProfileStore;

// The left panel: the object navigator above the palette. The palette starts tall enough
// for all its entries; where the user drags the splitter is kept in `General` /
// `PaletteHeight` (the palette's height in pixels) for the next start.
class PaletteSplitter final : public QSplitter {
    Q_OBJECT
public:
    PaletteSplitter(QWidget* navigator, QWidget* palette, QWidget* parent = nullptr);

    // Gives the palette its stored height, or the height of its contents; from now on a
    // drag of the splitter is stored.
    void Restore(ProfileStore& store);
    int PaletteHeight() const;

private:
    void SetPaletteHeight(int height);
    void PanelLeftSplitterMoved();
    void TimerSaveTimer();

    ProfileStore* m_store = nullptr;
    QTimer* m_timerSave = nullptr;
};

} // namespace halvane
