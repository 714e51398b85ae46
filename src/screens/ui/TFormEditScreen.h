#pragma once

#include "ScreenProperties.h"

#include <QDialog>

class QLabel;
class QLineEdit;

namespace halvane {

class TFormScreen;

// The screen properties dialog ("Screen properties"): title, background file and colour of
// one screen, and its size to look at. Only "&Save" writes the screen file; choosing a
// background file resizes the screen window at once.
class TFormEditScreen final : public QDialog {
    Q_OBJECT
public:
    explicit TFormEditScreen(QWidget* parent = nullptr);

    // Shows the properties of `screen` modally, centred on `opener`: true when "&Save" wrote
    // them. The caller then reloads the screen's general settings.
    bool EditScreen(TFormScreen& screen, QWidget* opener);

private:
    void BuildWindow();
    QWidget* BuildTitleGroup();
    QWidget* BuildBackgroundGroup();
    QWidget* BuildSizeGroup();
    QWidget* BuildButtons();
    void CentreOn(const QWidget* opener);
    void LoadControls(const ScreenPropertiesValues& values);
    ScreenPropertiesValues ReadControls() const;
    void SetSwatchColour(uint32_t colour);

    void ButtonRemoveFileClick();
    void ButtonOpenFileClick();
    void ButtonSelectColorClick();
    void ButtonSaveClick();

    TFormScreen* m_screen = nullptr;
    QLineEdit* m_editTitle = nullptr;
    QLineEdit* m_editBitmap = nullptr;
    QLabel* m_shapeColor = nullptr;
    QLineEdit* m_editWidth = nullptr;
    QLineEdit* m_editHeight = nullptr;
};

} // namespace halvane
