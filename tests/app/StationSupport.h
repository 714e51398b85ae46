#pragma once

// A station on a temporary data root: config.cfg with its screens, the main window made and
// shown as the program does.
#include "DataRoot.h"
#include "NumberFormat.h"
#include "ScreenList.h"
#include "TFormChannelSetup.h"
#include "TFormMain.h"
#include "TFormScreen.h"
#include "TempDir.h"

#include <QAction>
#include <QApplication>
#include <QStringList>
#include <QTabBar>

#include <memory>
#include <string>
#include <vector>

struct ScreenSpec {
    int number;
    std::string title;
    int width;
    int height;
};

// config.cfg holding `sections` and a "Screens" section listing `screens`, each with its file.
inline void WriteStation(const TempDir& root, const std::string& sections,
                         const std::vector<ScreenSpec>& screens) {
    std::string list = "[Screens]\n";
    for (size_t i = 0; i < screens.size(); ++i) {
        const ScreenSpec& s = screens[i];
        list += "ScreenCfgId." + std::to_string(i) + "=" + std::to_string(s.number) + "\n";
        WriteText(root / ("cfg/screen." + std::to_string(s.number) + ".cfg"),
                  "[General]\nTitle=" + s.title + "\nWidth=" + std::to_string(s.width) +
                      "\nHeight=" + std::to_string(s.height) + "\n");
    }
    WriteText(root / "cfg/config.cfg", sections + list);
}

inline std::unique_ptr<halvane::TFormMain> StartStation(const TempDir& root, bool runtime = false) {
    halvane::SetDecimalSeparator('.');
    halvane::SetDataRoot(root.Path().string());
    auto form = std::make_unique<halvane::TFormMain>(runtime);
    if (!form->Create())
        return nullptr;
    form->show();
    QApplication::processEvents();
    return form;
}

// The tabs' captions.
inline QStringList TabCaptions(const halvane::TFormMain& form) {
    QStringList captions;
    for (int i = 0; i < form.TabSetScreens()->count(); ++i)
        captions << form.TabSetScreens()->tabText(i);
    return captions;
}

// Which screens are shown, then whether the tag list window is: "10|0".
inline std::string Pages(const halvane::TFormMain& form) {
    std::string shown;
    for (size_t i = 0; i < form.Screens()->Size(); ++i)
        shown += form.Screens()->At(i)->isVisible() ? '1' : '0';
    return shown + "|" + (form.TagListWindow()->isVisible() ? "1" : "0");
}

// Triggers the window's menu item `item` (its object name).
inline void Trigger(halvane::TFormMain& form, const char* item) {
    form.findChild<QAction*>(item)->trigger();
}
