#pragma once

#include <QDialog>

#include <cstddef>
#include <optional>

class QTableWidget;

namespace halvane {

class ProfileStore;
class ScreenList;
class ScreenListHost;
class TFormEditScreen;

// The screens list ("Screens"): every screen with its title, visibility flag, position,
// size and number of objects; adds, deletes and edits screens, and has the station follow
// each change at once. Closing it, whichever way, records the screen list in config.cfg.
class TFormEditScreens final : public QDialog {
    Q_OBJECT
public:
    TFormEditScreens(ScreenList& screens, ProfileStore& config, TFormEditScreen& properties,
                     ScreenListHost& host, QWidget* parent = nullptr);

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildWindow();
    QWidget* BuildButtons();
    void FillGrid();
    void Refresh();
    // The list position of the screen on the selected row; nothing without one.
    std::optional<size_t> SelectedScreen() const;

    void ButtonRefreshClick();
    void ButtonEditScreenClick();
    void ButtonAddScreenClick();
    void ButtonDeleteScreenClick();
    void StringGridScreensDblClick();

    ScreenList& m_screens;
    ProfileStore& m_config;
    TFormEditScreen& m_properties;
    ScreenListHost& m_host;
    QTableWidget* m_stringGridScreens = nullptr;
};

} // namespace halvane
