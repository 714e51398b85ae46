#pragma once

#include "ObjectEditorValues.h"
#include "TScreenMarker.h"

#include <QDialog>
#include <QSize>

#include <array>
#include <string>

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace halvane {

class ProfileStore;
class TagTable;
class TFormEditStyles;
class TFormGalleryBrowser;

// The screen-object editor ("Object"): type, tag, style and the attributes of one object,
// plus the shared label sets and function button captions of the "Strings" section.
// The caller hands over the object, places the dialog and runs it modally; the object
// must live until the dialog closes. The style editor is the station's one, shared with
// the settings dialog, so that it opens on the style set last by either.
class TFormEditScreenObject final : public QDialog {
    Q_OBJECT
public:
    TFormEditScreenObject(ProfileStore& config, const TagTable& tags, TFormEditStyles& styleEditor,
                          QWidget* parent = nullptr);

    // Edits `object` in place: it changes only when "&Save" closes the dialog.
    void EditObject(TScreenMarker& object);
    // Makes `object` 100 × 100 from its top-left corner and edits it as a new object,
    // starting on its type; the caller inserts it when the dialog ends with OK.
    void NewObject(TScreenMarker& object);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildWindow();
    QWidget* NewPanel(const char* name, int height);
    QWidget* TypePanel(EditorPanel panel, const char* name);
    QHBoxLayout* AddPanelRow(QWidget* panel, const QString& caption, QWidget* control,
                             QWidget* button = nullptr, const QString& description = {});
    QWidget* BuildButtonsPanel();
    void BuildSymbolStatesPanel();
    void FillLists();
    void FillLabelSets();
    void LoadControls(const ObjectEditorValues& values);
    ObjectEditorValues ReadControls() const;
    void LoadPlaceFields();
    void ApplyPlaceFields(TScreenMarker& object) const;
    void EditStringsText(const std::string& key, const QString& caption, const QString& prompt);

    void ComboBoxExTypeChange();
    void ButtonSaveClick();
    void ButtonEditLabelsClick();
    void ButtonCaptionClick();
    void ButtonStylesClick();
    void ButtonSelectSymbolClick();

    ProfileStore& m_config;
    const TagTable& m_tags;
    TFormEditStyles& m_formEditStyles;
    TScreenMarker* m_object = nullptr;
    bool m_newObject = false;

    std::array<QWidget*, kEditorPanels.size()> m_panels{}; // by EditorPanel
    QComboBox* m_comboBoxExType = nullptr;
    QComboBox* m_comboBoxPoints = nullptr;
    QCheckBox* m_checkBoxConfirm = nullptr;
    QLabel* m_labelPosition = nullptr;
    // Left, top, width and height as typed; the size as it was shown, so that a size left
    // alone lets a new picture take its own.
    std::array<QSpinBox*, 4> m_placeFields{};
    QSize m_shownSize;
    QComboBox* m_comboBoxFunction = nullptr;
    QComboBox* m_comboBoxStyles = nullptr;
    QComboBox* m_comboBoxBinary = nullptr;
    QLineEdit* m_editLabel = nullptr;
    QLineEdit* m_editPresetValue = nullptr;
    QLineEdit* m_editPresetButtonLabel = nullptr;
    QLineEdit* m_editSymbol = nullptr;
    QLineEdit* m_editEnum = nullptr;
    QWidget* m_panelSymbolStates = nullptr; // graphical symbols only
    QComboBox* m_comboBoxSymbolTag = nullptr;
    QLineEdit* m_editSymbolPictures = nullptr;
    QLineEdit* m_editSymbolNoValue = nullptr;
    TFormGalleryBrowser* m_galleryBrowser = nullptr;
};

} // namespace halvane
