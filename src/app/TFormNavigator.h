#pragma once

#include <QWidget>

class QPushButton;

namespace halvane {

class ProfileStore;
class ScreenList;

// Steps through the screens one by one, wrapping at both ends. Its position in the screen
// list (the navigator index) starts at 0, is independent of the main window's tabs and is
// shared by the window's buttons and the screens' "<<" and ">>" function buttons.
//
// A small tool window on top of the others; where it stands is kept in the "Navigator"
// section of config.cfg.
class TFormNavigator final : public QWidget {
    Q_OBJECT
public:
    TFormNavigator(ProfileStore& config, const ScreenList& screens, QWidget* owner);

    // With fewer than two screens both do nothing; otherwise they move the index by one,
    // wrapping, and show the screen there (it also comes to the front). Other screens and
    // the tag list stay as they are; `ScreenShown` lets the tabs follow.
    void PreviousScreen();
    void NextScreen();
    int Index() const { return m_index; }

signals:
    void ScreenShown(int index);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QPushButton* AddButton(const char* name, const QString& caption, const QString& hint);
    void ShowScreenAtIndex();

    ProfileStore& m_config;
    const ScreenList& m_screens;
    int m_index = 0;
};

} // namespace halvane
