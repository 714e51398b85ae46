#include "TFormEditScreenObject.h"

#include "DataRoot.h"
#include "DialogWidgets.h"
#include "Icons.h"
#include "MessageBox.h"
#include "ProfileStore.h"
#include "ScreenFile.h"
#include "StoredText.h"
#include "TFormEditStyles.h"
#include "TFormGalleryBrowser.h"
#include "TagTable.h"
#include "WindowPlacement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <utility>

namespace halvane {

namespace {

constexpr int kDialogWidth = 680;
constexpr int kCaptionWidth = 110;
constexpr int kControlWidth = 210;
constexpr int kButtonWidth = 80;
constexpr int kTextLength = 255;
constexpr int kPresetCaptionLength = 64;
constexpr int kSymbolStatesHeight = 3 * kEditorPanelHeight;

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

QComboBox* NewComboBox(QWidget* parent, const char* name) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    return combo;
}

QLineEdit* NewEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

void Fill(QComboBox* combo, const std::vector<std::string>& entries) {
    combo->clear();
    for (const std::string& entry : entries)
        combo->addItem(FromUtf8(entry));
}

// An entry outside the list selects nothing.
void Select(QComboBox* combo, int entry) {
    combo->setCurrentIndex(entry >= 0 && entry < combo->count() ? entry : -1);
}

std::string ToUtf8(const QLineEdit* edit) {
    return edit->text().toStdString();
}

size_t PanelIndex(EditorPanel panel) {
    return static_cast<size_t>(panel);
}

} // namespace

TFormEditScreenObject::TFormEditScreenObject(ProfileStore& config, const TagTable& tags,
                                             TFormEditStyles& styleEditor, QWidget* parent)
    : QDialog(parent), m_config(config), m_tags(tags), m_formEditStyles(styleEditor) {
    setObjectName("FormEditScreenObject");
    setWindowTitle(tr("Object"));
    BuildWindow();
    m_galleryBrowser = new TFormGalleryBrowser(this);
    setFixedWidth(kDialogWidth);
    LoadControls(ObjectEditorValues{});
    ComboBoxExTypeChange();
}

void TFormEditScreenObject::BuildWindow() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QWidget* top = NewPanel("PanelTop", kEditorTopLineHeight);
    top->layout()->addWidget(new QLabel(tr("Define object located on the screen."), top));

    m_comboBoxExType = NewComboBox(this, "ComboBoxExType");
    const std::vector<std::string> typeNames = EditorTypeNames();
    for (size_t entry = 0; entry < kObjectKinds.size(); ++entry)
        m_comboBoxExType->addItem(MakeObjectKindIcon(kObjectKinds[entry].type),
                                  FromUtf8(typeNames[entry]));
    AddPanelRow(NewPanel("PanelType", kEditorPanelHeight), tr("Type:"), m_comboBoxExType, nullptr,
                tr("Type of screen object"));

    m_comboBoxPoints = NewComboBox(this, "ComboBoxPoints");
    QWidget* tagPanel = TypePanel(EditorPanel::Tag, "PanelTag");
    QHBoxLayout* tagRow = AddPanelRow(
        tagPanel, tr("Tag:"), m_comboBoxPoints, nullptr,
        tr("Tag associated with this screen object (the tag value can be displayed on the "
           "screen)"));
    // Shown only for the objects that write: they may ask before they do.
    m_checkBoxConfirm = new QCheckBox(tr("Ask before writing"), tagPanel);
    m_checkBoxConfirm->setObjectName("CheckBoxConfirm");
    tagRow->addWidget(m_checkBoxConfirm);

    m_labelPosition = new QLabel(this);
    m_labelPosition->setObjectName("LabelPosition");
    QHBoxLayout* positionRow = AddPanelRow(
        NewPanel("PanelPosition", kEditorPanelHeight), tr("Position:"), m_labelPosition, nullptr,
        tr("Position of the object on the screen (drag and drop object to reposition)"));
    const std::pair<const char*, QString> placeFields[] = {{"EditLeft", tr("X")},
                                                           {"EditTop", tr("Y")},
                                                           {"EditWidth", tr("W")},
                                                           {"EditHeight", tr("H")}};
    for (size_t i = 0; i < m_placeFields.size(); ++i) {
        auto* field = new QSpinBox(this);
        field->setObjectName(placeFields[i].first);
        field->setPrefix(placeFields[i].second + " ");
        field->setRange(i < 2 ? 0 : 1, kMaxScreenSide);
        positionRow->addWidget(field);
        m_placeFields[i] = field;
    }

    m_comboBoxFunction = NewComboBox(this, "ComboBoxFunction");
    m_comboBoxFunction->addItems({tr("Go to previous screen"), tr("Go to next screen"),
                                  tr("Exit application"), tr("Open history files")});
    auto* caption = NewButton(tr("Caption..."), "ButtonCaption", this);
    AddPanelRow(TypePanel(EditorPanel::Action, "PanelAction"), tr("Action:"), m_comboBoxFunction,
                caption, tr("Action executed on button click (in run-time only)"));

    m_comboBoxStyles = NewComboBox(this, "ComboBoxStyles");
    auto* styles = NewButton(tr("Styles..."), "ButtonStyles", this);
    AddPanelRow(TypePanel(EditorPanel::Style, "PanelStyle"), tr("Style:"), m_comboBoxStyles, styles,
                tr("Style defining look of value and caption, e.g. colors, fonts, caption "
                   "visibility"));

    m_comboBoxBinary = NewComboBox(this, "ComboBoxBinary");
    auto* editLabels = NewButton(tr("Edit..."), "ButtonEditLabels", this);
    AddPanelRow(TypePanel(EditorPanel::Labels, "PanelLabels"), tr("Labels:"), m_comboBoxBinary,
                editLabels,
                tr("Semicolon delimited 2 labels displayed when value>=0.5 or value<0.5, e.g. "
                   "\"Open;Closed\""));

    m_editLabel = NewEdit(this, "EditLabel");
    AddPanelRow(TypePanel(EditorPanel::Text, "PanelText"), tr("Text:"), m_editLabel, nullptr,
                tr("Static text displayed on the screen"));

    m_editPresetValue = NewEdit(this, "EditPresetValue");
    m_editPresetButtonLabel = NewEdit(this, "EditPresetButtonLabel");
    QWidget* preset = TypePanel(EditorPanel::Preset, "PanelPreset");
    AddPanelRow(preset, tr("Preset Value:"), m_editPresetValue, nullptr,
                tr("Preset value on button click"));
    AddPanelRow(preset, tr("Button Caption:"), m_editPresetButtonLabel, nullptr,
                tr("Text displayed on the button"));

    m_editSymbol = NewEdit(this, "EditSymbol");
    m_editSymbol->setReadOnly(true);
    auto* selectSymbol = NewButton(tr("Select..."), "ButtonSelectSymbol", this);
    AddPanelRow(TypePanel(EditorPanel::Symbol, "PanelSymbol"), tr("Symbol:"), m_editSymbol,
                selectSymbol, tr("Graphical symbol from the symbol library"));

    BuildSymbolStatesPanel();

    m_editEnum = NewEdit(this, "EditEnum");
    AddPanelRow(TypePanel(EditorPanel::Enumeration, "PanelEnum"), tr("Lables:"), m_editEnum,
                nullptr,
                tr("Semicolon delimited  expressions \"value=label\", e.g. "
                   "\"0=zero;1=one;2=two\""));

    layout->addStretch(1);
    layout->addWidget(BuildButtonsPanel());

    connect(m_comboBoxExType, &QComboBox::currentIndexChanged, this,
            &TFormEditScreenObject::ComboBoxExTypeChange);
    connect(caption, &QPushButton::clicked, this, &TFormEditScreenObject::ButtonCaptionClick);
    connect(styles, &QPushButton::clicked, this, &TFormEditScreenObject::ButtonStylesClick);
    connect(editLabels, &QPushButton::clicked, this, &TFormEditScreenObject::ButtonEditLabelsClick);
    connect(selectSymbol, &QPushButton::clicked, this,
            &TFormEditScreenObject::ButtonSelectSymbolClick);
}

// A full-width strip of fixed height at the bottom of the column, rows stacked in it.
QWidget* TFormEditScreenObject::NewPanel(const char* name, int height) {
    auto* panel = new QWidget(this);
    panel->setObjectName(name);
    panel->setFixedHeight(height);
    auto* rows = new QVBoxLayout(panel);
    rows->setContentsMargins(8, 0, 8, 0);
    rows->setSpacing(0);
    layout()->addWidget(panel);
    return panel;
}

// A panel that only some types show.
QWidget* TFormEditScreenObject::TypePanel(EditorPanel panel, const char* name) {
    m_panels[PanelIndex(panel)] = NewPanel(name, EditorPanelHeight(panel));
    return m_panels[PanelIndex(panel)];
}

// Caption, control, an optional button and the description on the right.
QHBoxLayout* TFormEditScreenObject::AddPanelRow(QWidget* panel, const QString& caption,
                                                QWidget* control, QWidget* button,
                                                const QString& description) {
    auto* row = new QHBoxLayout;
    static_cast<QBoxLayout*>(panel->layout())->addLayout(row);
    auto* label = new QLabel(caption, panel);
    label->setFixedWidth(kCaptionWidth);
    row->addWidget(label);
    control->setFixedWidth(kControlWidth);
    row->addWidget(control);
    if (button != nullptr) {
        button->setFixedWidth(kButtonWidth);
        row->addWidget(button);
    } else {
        row->addSpacing(kButtonWidth + row->spacing());
    }
    auto* note = new QLabel(description, panel);
    note->setWordWrap(true);
    QFont small = note->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    note->setFont(small);
    row->addWidget(note, 1);
    return row;
}

// A symbol may show a picture per value of a tag instead of its own.
void TFormEditScreenObject::BuildSymbolStatesPanel() {
    m_panelSymbolStates = NewPanel("PanelSymbolStates", kSymbolStatesHeight);
    m_comboBoxSymbolTag = NewComboBox(this, "ComboBoxSymbolTag");
    AddPanelRow(m_panelSymbolStates, tr("Follows tag:"), m_comboBoxSymbolTag, nullptr,
                tr("Tag whose whole value chooses the picture"));
    m_editSymbolPictures = NewEdit(this, "EditSymbolPictures");
    AddPanelRow(m_panelSymbolStates, tr("Pictures:"), m_editSymbolPictures, nullptr,
                tr("Semicolon delimited \"value=picture\", e.g. "
                   "\"0=pumps/pump-off.svg;1=pumps/pump-on.svg\""));
    m_editSymbolNoValue = NewEdit(this, "EditSymbolNoValue");
    AddPanelRow(m_panelSymbolStates, tr("No value:"), m_editSymbolNoValue, nullptr,
                tr("Picture when the tag has no valid value or no pair matches"));
}

QWidget* TFormEditScreenObject::BuildButtonsPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName("PanelButtons");
    panel->setFixedHeight(kEditorButtonsHeight);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(8, 0, 8, 0);
    QPushButton* save = AddSaveCancelButtons(row, this);
    connect(save, &QPushButton::clicked, this, &TFormEditScreenObject::ButtonSaveClick);
    return panel;
}

void TFormEditScreenObject::EditObject(TScreenMarker& object) {
    m_object = &object;
    m_newObject = false;
}

void TFormEditScreenObject::NewObject(TScreenMarker& object) {
    object.Right = object.Left + 100;
    object.Bottom = object.Top + 100;
    m_object = &object;
    m_newObject = true;
}

// A show of the window system's own (a restore from minimised) keeps what is typed.
void TFormEditScreenObject::showEvent(QShowEvent* event) {
    if (m_object != nullptr && !event->spontaneous()) {
        const ObjectEditorValues previous = ReadControls();
        FillLists();
        LoadControls(LoadEditorValues(*m_object, m_newObject, previous));
        LoadPlaceFields();
        ComboBoxExTypeChange();
        KeepWithinScreen(*this);
    }
    QDialog::showEvent(event);
}

void TFormEditScreenObject::FillLists() {
    Fill(m_comboBoxStyles, StyleListNames(m_config));
    Fill(m_comboBoxPoints, TagListEntries(m_config, m_tags.Size()));
    Fill(m_comboBoxSymbolTag, TagListEntries(m_config, m_tags.Size()));
    m_comboBoxSymbolTag->insertItem(0, tr("(none)"));
    FillLabelSets();
}

void TFormEditScreenObject::FillLabelSets() {
    Fill(m_comboBoxBinary, LabelSetList(m_config));
}

void TFormEditScreenObject::LoadControls(const ObjectEditorValues& values) {
    Select(m_comboBoxExType, values.typeEntry);
    Select(m_comboBoxPoints, values.tagEntry);
    Select(m_comboBoxStyles, values.styleEntry);
    Select(m_comboBoxFunction, values.actionEntry);
    Select(m_comboBoxBinary, values.labelSetEntry);
    m_labelPosition->setText(FromUtf8(values.position));
    m_editEnum->setText(FromUtf8(values.enumeration));
    SetLimitedText(m_editLabel, values.text, kTextLength);
    m_editPresetValue->setText(FromUtf8(values.presetValue));
    SetLimitedText(m_editPresetButtonLabel, values.presetCaption, kPresetCaptionLength);
    m_editSymbol->setText(FromUtf8(values.symbol));
    m_checkBoxConfirm->setChecked(values.confirm);
    Select(m_comboBoxSymbolTag, values.symbolTagEntry);
    m_editSymbolPictures->setText(FromUtf8(values.symbolPictures));
    m_editSymbolNoValue->setText(FromUtf8(values.symbolNoValue));
}

ObjectEditorValues TFormEditScreenObject::ReadControls() const {
    ObjectEditorValues values;
    values.typeEntry = m_comboBoxExType->currentIndex();
    values.tagEntry = m_comboBoxPoints->currentIndex();
    values.styleEntry = m_comboBoxStyles->currentIndex();
    values.actionEntry = m_comboBoxFunction->currentIndex();
    values.labelSetEntry = m_comboBoxBinary->currentIndex();
    values.position = m_labelPosition->text().toStdString();
    values.enumeration = ToUtf8(m_editEnum);
    values.text = ToUtf8(m_editLabel);
    values.presetValue = ToUtf8(m_editPresetValue);
    values.presetCaption = ToUtf8(m_editPresetButtonLabel);
    values.symbol = ToUtf8(m_editSymbol);
    values.confirm = m_checkBoxConfirm->isChecked();
    values.symbolTagEntry = m_comboBoxSymbolTag->currentIndex();
    values.symbolPictures = ToUtf8(m_editSymbolPictures);
    values.symbolNoValue = ToUtf8(m_editSymbolNoValue);
    return values;
}

void TFormEditScreenObject::ComboBoxExTypeChange() {
    const int32_t type = TypeOfEntry(m_comboBoxExType->currentIndex());
    for (EditorPanel panel : kEditorPanels)
        m_panels[PanelIndex(panel)]->setVisible(ShowsPanel(panel, type));
    m_checkBoxConfirm->setVisible(CanAskBeforeWriting(type));
    const bool symbol = type == kGraphicalSymbol;
    m_panelSymbolStates->setVisible(symbol);
    // The height is the window's outer height; the frame is known once the window is shown.
    const int frame = frameGeometry().height() - geometry().height();
    setFixedHeight(EditorOuterHeight(type) + (symbol ? kSymbolStatesHeight : 0) - frame);
    if (isVisible())
        KeepWithinScreen(*this); // a taller type keeps its buttons on the screen
}

// A refused save leaves the object as it was, so that "&Cancel" after it changes nothing.
void TFormEditScreenObject::ButtonSaveClick() {
    TScreenMarker edited = *m_object;
    const EditorSaveResult result = ApplyEditorValues(ReadControls(), m_tags, m_newObject, edited);
    if (result.inputTagForWrite)
        MessageBox::Error(this, tr("Read-only tag selected for write operation"),
                          tr("You selected an input (read-only) tag. Write operation will take no "
                             "effect for input tag. Please select an output tag to continue."));
    if (result.presetError)
        MessageBox::Error(this, QCoreApplication::applicationName(), FromUtf8(*result.presetError));
    if (result.symbolPicturesError)
        MessageBox::Error(this, tr("Pictures per value not read"),
                          FromUtf8(*result.symbolPicturesError));
    if (result.inputTagForWrite || result.symbolPicturesError)
        return;
    ApplyPlaceFields(edited);
    *m_object = std::move(edited);
    accept();
}

void TFormEditScreenObject::LoadPlaceFields() {
    const TScreenMarker& object = *m_object;
    m_shownSize =
        QSize(std::max(object.Right - object.Left, 1), std::max(object.Bottom - object.Top, 1));
    const int values[] = {object.Left, object.Top, m_shownSize.width(), m_shownSize.height()};
    for (size_t i = 0; i < m_placeFields.size(); ++i)
        m_placeFields[i]->setValue(values[i]);
}

// The object goes where the fields say; its size changes only when a size field did.
void TFormEditScreenObject::ApplyPlaceFields(TScreenMarker& object) const {
    const QSize typed(m_placeFields[2]->value(), m_placeFields[3]->value());
    const QSize size = typed == m_shownSize
                           ? QSize(object.Right - object.Left, object.Bottom - object.Top)
                           : typed;
    object.Left = m_placeFields[0]->value();
    object.Top = m_placeFields[1]->value();
    object.Right = object.Left + size.width();
    object.Bottom = object.Top + size.height();
}

// The list shows the set as written, still selected.
void TFormEditScreenObject::ButtonEditLabelsClick() {
    const int labelSet = m_comboBoxBinary->currentIndex();
    if (labelSet < 0)
        return;
    EditStringsText(LabelSetKey(labelSet), tr("Edit labels for binary value"),
                    tr("Enter 2 labels (true;false):"));
    FillLabelSets();
    Select(m_comboBoxBinary, labelSet);
}

void TFormEditScreenObject::ButtonCaptionClick() {
    if (const int action = m_comboBoxFunction->currentIndex(); action >= 0)
        EditStringsText(FunctionButtonKey(action), tr("Edit button caption"), tr("Enter caption:"));
}

// The style list of this dialog keeps what it showed, changed names included, until the
// next show.
void TFormEditScreenObject::ButtonStylesClick() {
    m_formEditStyles.SetStyle(m_comboBoxStyles->currentIndex());
    m_formEditStyles.exec();
}

// Asks for a new value of a "Strings" key and writes it.
void TFormEditScreenObject::EditStringsText(const std::string& key, const QString& caption,
                                            const QString& prompt) {
    const std::string stored = m_config.ReadString(kStringsSection, key, "");
    const QString answer =
        MessageBox::InputBox(this, caption, prompt, FromUtf8(StoredTextToUtf8(stored)));
    const auto value = StoredAnswer(stored, answer.toStdString());
    if (value && !m_config.WriteString(kStringsSection, key, *value))
        MessageBox::Warning(this, tr("Configuration not saved"), FromUtf8(m_config.LastError()));
}

void TFormEditScreenObject::ButtonSelectSymbolClick() {
    m_galleryBrowser->exec();
    const std::filesystem::path& chosen = m_galleryBrowser->ChosenPath();
    if (!chosen.empty())
        m_editSymbol->setText(
            FromUtf8(GalleryRelativeSymbolPath(chosen, ResolveDataPath("gallery"))));
}

} // namespace halvane
