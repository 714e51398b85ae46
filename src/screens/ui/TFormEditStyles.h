#pragma once

#include <QDialog>
#include <QString>

#include <optional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace halvane {

class ProfileStore;
class StylePreview;

// The text style editor ("Styles"): font, colour, alignment and offset of each component
// of a style, its caption switch and its name, with previews of the style's normal and
// highlighted looks. Every change is written to the configuration at once; there is
// nothing to cancel. Run modally.
class TFormEditStyles final : public QDialog {
    Q_OBJECT
public:
    explicit TFormEditStyles(ProfileStore& config, QWidget* parent = nullptr);

    // The style selected when the editor shows next; it stays for later shows until
    // set again (0 at first). A number without a style selects none.
    void SetStyle(int style);

    // Asks whether to add a style and for its name, writes it as the first absent
    // style number and confirms. The name to append to a list of styles, or nothing
    // when the user declined or the file could not be written (reported).
    static std::optional<QString> AskToAddStyle(QWidget* parent, ProfileStore& config);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildWindow();
    QWidget* BuildStyleRow();
    QWidget* BuildComponentBox();
    QWidget* BuildPreviewBox();
    QWidget* BuildButtonsRow();

    void LoadStyles();
    int Style() const;
    char Prefix() const;
    void LoadComponent();
    void RepaintPreviews();
    void WriteAlignment(int alignment);
    void ReportWrite(bool written);

    void ComboBoxStyleChange();
    void ComboBoxComponentChange();
    void ButtonSelectFontClick();
    void ButtonSelectColorClick();
    void ButtonAlignLeftClick();
    void ButtonAlignCenterClick();
    void ButtonAlignRightClick();
    void EditOffsetExit();
    void CheckBoxHideCaptionClick(bool checked);
    void ButtonChangeNameClick();

    ProfileStore& m_config;
    int m_presetStyle = 0;

    QComboBox* m_comboBoxStyle = nullptr;
    QPushButton* m_buttonChangeName = nullptr;
    QWidget* m_componentBox = nullptr;
    QComboBox* m_comboBoxComponent = nullptr;
    QPushButton* m_buttonSelectFont = nullptr;
    QPushButton* m_buttonSelectColor = nullptr;
    QButtonGroup* m_alignment = nullptr;
    QLineEdit* m_editOffset = nullptr;
    QCheckBox* m_checkBoxHideCaption = nullptr;
    QLineEdit* m_editValue = nullptr;
    QLineEdit* m_editCaption = nullptr;
    QRadioButton* m_radioButtonLight = nullptr;
    StylePreview* m_paintBoxNormal = nullptr;
    StylePreview* m_paintBoxHighlighted = nullptr;
};

} // namespace halvane
