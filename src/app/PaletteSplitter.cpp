#include "PaletteSplitter.h"

#include "ProfileStore.h"

#include <QTimer>

#include <algorithm>
#include <numeric>

namespace halvane {

namespace {

constexpr char kSection[] = "General";
constexpr char kKey[] = "PaletteHeight";
// A drag moves the splitter many times: it is stored once it has come to rest.
constexpr int kSaveDelayMs = 500;

} // namespace

PaletteSplitter::PaletteSplitter(QWidget* navigator, QWidget* palette, QWidget* parent)
    : QSplitter(Qt::Vertical, parent) {
    setObjectName("PanelLeft");
    setChildrenCollapsible(false);
    addWidget(navigator);
    addWidget(palette);
    setStretchFactor(0, 1);
    SetPaletteHeight(palette->sizeHint().height());
    m_timerSave = new QTimer(this);
    m_timerSave->setObjectName("TimerSavePaletteHeight");
    m_timerSave->setSingleShot(true);
    m_timerSave->setInterval(kSaveDelayMs);
    connect(m_timerSave, &QTimer::timeout, this, &PaletteSplitter::TimerSaveTimer);
    connect(this, &QSplitter::splitterMoved, this, &PaletteSplitter::PanelLeftSplitterMoved);
}

void PaletteSplitter::Restore(ProfileStore& store) {
    m_store = &store;
    SetPaletteHeight(store.ReadInteger(kSection, kKey, widget(1)->sizeHint().height()));
}

int PaletteSplitter::PaletteHeight() const {
    return sizes().value(1);
}

// The object navigator takes what the palette leaves of the panel.
void PaletteSplitter::SetPaletteHeight(int height) {
    const QList<int> now = sizes();
    const int panel = std::max(std::accumulate(now.begin(), now.end(), 0), height + 1);
    setSizes({panel - height, height});
}

void PaletteSplitter::PanelLeftSplitterMoved() {
    if (m_store)
        m_timerSave->start();
}

void PaletteSplitter::TimerSaveTimer() {
    m_store->WriteInteger(kSection, kKey, PaletteHeight());
}

} // namespace halvane
