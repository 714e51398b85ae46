#include "TFormEditStyles.h"

#include "DialogWidgets.h"
#include "MessageBox.h"
#include "NumberFormat.h"
#include "ProfileStore.h"
#include "StoredText.h"
#include "StylePreview.h"
#include "TextStyles.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace halvane {

namespace {

constexpr int kPreviewWidth = 260;
constexpr int kPreviewHeight = 100;
constexpr int kValueLength = 50;
constexpr int kCaptionLength = 200;
constexpr int kOffsetWidth = 60;
constexpr int kSwatchSide = 12;
const QColor kLightBackground(192, 192, 192);
const QColor kDarkBackground(0, 0, 128);

QToolButton* NewAlignButton(const QString& hint, const char* icon, const char* name,
                            QWidget* parent) {
    auto* button = Named(new QToolButton(parent), name);
    button->setText(hint);
    button->setToolTip(hint);
    button->setIcon(QIcon::fromTheme(icon));
    button->setCheckable(true);
    return button;
}

QLineEdit* NewEdit(const QString& text, int limit, const char* name, QWidget* parent) {
    auto* edit = Named(new QLineEdit(text, parent), name);
    edit->setMaxLength(limit);
    return edit;
}

QIcon Swatch(const StyleColour& colour) {
    QPixmap swatch(kSwatchSide, kSwatchSide);
    swatch.fill(QColor(colour.red, colour.green, colour.blue));
    return QIcon(swatch);
}

QString Shown(const std::string& stored) {
    return QString::fromStdString(StoredTextToUtf8(stored));
}

} // namespace

TFormEditStyles::TFormEditStyles(ProfileStore& config, QWidget* parent)
    : QDialog(parent), m_config(config) {
    setObjectName("FormEditStyles");
    setWindowTitle(tr("Styles"));
    BuildWindow();
}

void TFormEditStyles::BuildWindow() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildStyleRow());
    layout->addWidget(BuildComponentBox());
    m_checkBoxHideCaption = Named(new QCheckBox(tr("Hide Caption"), this), "CheckBoxHideCaption");
    layout->addWidget(m_checkBoxHideCaption);
    layout->addWidget(BuildPreviewBox());
    layout->addWidget(BuildButtonsRow());
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_checkBoxHideCaption, &QCheckBox::clicked, this,
            &TFormEditStyles::CheckBoxHideCaptionClick);
}

QWidget* TFormEditStyles::BuildStyleRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_comboBoxStyle = Named(new QComboBox(row), "ComboBoxStyle");
    // Return in a field must not close the editor: no button becomes the default one.
    m_buttonChangeName = NewButton(tr("Change style name"), "ButtonChangeName", row, false);
    layout->addWidget(new QLabel(tr("Select style:"), row));
    layout->addWidget(m_comboBoxStyle, 1);
    layout->addWidget(m_buttonChangeName);
    connect(m_comboBoxStyle, &QComboBox::currentIndexChanged, this,
            &TFormEditStyles::ComboBoxStyleChange);
    connect(m_buttonChangeName, &QPushButton::clicked, this,
            &TFormEditStyles::ButtonChangeNameClick);
    return row;
}

QWidget* TFormEditStyles::BuildComponentBox() {
    auto* box = new QGroupBox(tr("Component"), this);
    m_componentBox = box;
    m_comboBoxComponent = Named(new QComboBox(box), "ComboBoxComponent");
    m_comboBoxComponent->addItems(
        {tr("Value - normal state"), tr("Value - highlighted state (e.g. alarm)"), tr("Caption")});
    m_buttonSelectFont = NewButton(tr("Select font..."), "ButtonSelectFont", box, false);
    m_buttonSelectColor = NewButton(tr("Select color..."), "ButtonSelectColor", box, false);
    m_alignment = new QButtonGroup(box);
    m_alignment->addButton(
        NewAlignButton(tr("Left"), "format-justify-left", "ButtonAlignLeft", box), kStyleAlignLeft);
    m_alignment->addButton(
        NewAlignButton(tr("Center"), "format-justify-center", "ButtonAlignCenter", box),
        kStyleAlignCentre);
    m_alignment->addButton(
        NewAlignButton(tr("Right"), "format-justify-right", "ButtonAlignRight", box),
        kStyleAlignRight);
    m_editOffset = Named(new QLineEdit(box), "EditOffset");
    m_editOffset->setFixedWidth(kOffsetWidth);

    auto* grid = new QGridLayout(box);
    grid->addWidget(m_comboBoxComponent, 0, 0, 1, 4);
    grid->addWidget(m_buttonSelectFont, 1, 0);
    grid->addWidget(m_buttonSelectColor, 1, 1);
    auto* align = new QHBoxLayout;
    for (QAbstractButton* button : m_alignment->buttons())
        align->addWidget(button);
    grid->addLayout(align, 1, 2, 1, 2);
    grid->addWidget(new QLabel(tr("Horizontal offset:"), box), 2, 0);
    grid->addWidget(m_editOffset, 2, 1);
    grid->addWidget(new QLabel(tr("pixels"), box), 2, 2);

    connect(m_comboBoxComponent, &QComboBox::currentIndexChanged, this,
            &TFormEditStyles::ComboBoxComponentChange);
    connect(m_buttonSelectFont, &QPushButton::clicked, this,
            &TFormEditStyles::ButtonSelectFontClick);
    connect(m_buttonSelectColor, &QPushButton::clicked, this,
            &TFormEditStyles::ButtonSelectColorClick);
    connect(m_alignment->button(kStyleAlignLeft), &QAbstractButton::clicked, this,
            &TFormEditStyles::ButtonAlignLeftClick);
    connect(m_alignment->button(kStyleAlignCentre), &QAbstractButton::clicked, this,
            &TFormEditStyles::ButtonAlignCenterClick);
    connect(m_alignment->button(kStyleAlignRight), &QAbstractButton::clicked, this,
            &TFormEditStyles::ButtonAlignRightClick);
    connect(m_editOffset, &QLineEdit::editingFinished, this, &TFormEditStyles::EditOffsetExit);
    return box;
}

QWidget* TFormEditStyles::BuildPreviewBox() {
    auto* box = new QGroupBox(tr("Preview"), this);
    m_editValue = NewEdit(tr("100 %"), kValueLength, "EditValue", box);
    m_editCaption = NewEdit(tr("This is tag name"), kCaptionLength, "EditCaption", box);
    m_radioButtonLight = Named(new QRadioButton(tr("Light background"), box), "RadioButtonLight");
    m_radioButtonLight->setChecked(true);
    auto* dark = Named(new QRadioButton(tr("Dark background"), box), "RadioButtonDark");
    m_paintBoxNormal = Named(new StylePreview(m_config, false, box), "PaintBoxNormal");
    m_paintBoxHighlighted = Named(new StylePreview(m_config, true, box), "PaintBoxHighlighted");
    m_paintBoxNormal->setFixedSize(kPreviewWidth, kPreviewHeight);
    m_paintBoxHighlighted->setFixedSize(kPreviewWidth, kPreviewHeight);

    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(tr("Value:"), box), 0, 0);
    grid->addWidget(m_editValue, 0, 1);
    grid->addWidget(new QLabel(tr("Caption:"), box), 1, 0);
    grid->addWidget(m_editCaption, 1, 1);
    grid->addWidget(m_radioButtonLight, 0, 2);
    grid->addWidget(dark, 1, 2);
    grid->addWidget(new QLabel(tr("Normal state preview"), box), 2, 0, 1, 2);
    grid->addWidget(new QLabel(tr("Highlighted state preview"), box), 2, 2);
    grid->addWidget(m_paintBoxNormal, 3, 0, 1, 2);
    grid->addWidget(m_paintBoxHighlighted, 3, 2);

    connect(m_editValue, &QLineEdit::textChanged, this, &TFormEditStyles::RepaintPreviews);
    connect(m_editCaption, &QLineEdit::textChanged, this, &TFormEditStyles::RepaintPreviews);
    connect(m_radioButtonLight, &QRadioButton::toggled, this, &TFormEditStyles::RepaintPreviews);
    return box;
}

QWidget* TFormEditStyles::BuildButtonsRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch(1);
    auto* close = NewButton(tr("&Close"), "ButtonClose", row, false);
    layout->addWidget(close);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    return row;
}

void TFormEditStyles::SetStyle(int style) {
    m_presetStyle = style;
}

// A show of the window system's own (a restore from minimised) keeps the style and the
// component chosen.
void TFormEditStyles::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        LoadStyles();
    QDialog::showEvent(event);
}

void TFormEditStyles::LoadStyles() {
    {
        const QSignalBlocker blocker(m_comboBoxStyle);
        m_comboBoxStyle->clear();
        for (const std::string& name : StyleListNames(m_config))
            m_comboBoxStyle->addItem(QString::fromStdString(name));
        m_comboBoxStyle->setCurrentIndex(
            m_presetStyle >= 0 && m_presetStyle < m_comboBoxStyle->count() ? m_presetStyle : -1);
    }
    ComboBoxStyleChange();
}

int TFormEditStyles::Style() const {
    return m_comboBoxStyle->currentIndex();
}

char TFormEditStyles::Prefix() const {
    return kStyleComponents.at(static_cast<size_t>(m_comboBoxComponent->currentIndex()));
}

// Without a style there is nothing to edit but the choice of one.
void TFormEditStyles::ComboBoxStyleChange() {
    const bool hasStyle = Style() >= 0;
    m_buttonChangeName->setEnabled(hasStyle);
    m_componentBox->setEnabled(hasStyle);
    m_checkBoxHideCaption->setEnabled(hasStyle);
    {
        const QSignalBlocker blocker(m_comboBoxComponent);
        m_comboBoxComponent->setCurrentIndex(0);
    }
    LoadComponent();
    RepaintPreviews();
}

void TFormEditStyles::ComboBoxComponentChange() {
    LoadComponent();
}

void TFormEditStyles::LoadComponent() {
    if (Style() < 0) {
        m_buttonSelectFont->setText(tr("Select font..."));
        m_buttonSelectColor->setIcon({});
        m_editOffset->clear();
        m_checkBoxHideCaption->setChecked(false);
        return;
    }
    const char prefix = Prefix();
    m_buttonSelectFont->setText(Shown(ReadStyleFont(m_config, Style(), prefix).face));
    m_buttonSelectColor->setIcon(Swatch(ReadStyleColour(m_config, Style(), prefix)));
    const int alignment = ReadStyleAlignment(m_config, Style(), prefix);
    const bool named = alignment == kStyleAlignRight || alignment == kStyleAlignCentre;
    m_alignment->button(named ? alignment : kStyleAlignLeft)->setChecked(true);
    m_editOffset->setText(QString::number(ReadStyleOffset(m_config, Style(), prefix)));
    m_checkBoxHideCaption->setChecked(
        m_config.ReadBool(StyleSection(Style()), "HideDescription", false));
}

void TFormEditStyles::RepaintPreviews() {
    const QColor background = m_radioButtonLight->isChecked() ? kLightBackground : kDarkBackground;
    m_paintBoxNormal->ShowStyle(Style(), m_editValue->text(), m_editCaption->text(), background);
    m_paintBoxHighlighted->ShowStyle(Style(), m_editValue->text(), m_editCaption->text(),
                                     background);
}

void TFormEditStyles::ReportWrite(bool written) {
    if (!written)
        MessageBox::Warning(this, tr("Configuration not saved"),
                            QString::fromStdString(m_config.LastError()));
}

void TFormEditStyles::ButtonSelectFontClick() {
    const StyleFont shown = ReadStyleFont(m_config, Style(), Prefix());
    QFontDialog dialog(DialogFont(shown, *this), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    ReportWrite(WriteStyleFont(m_config, Style(), Prefix(),
                               ChosenStyleFont(dialog.selectedFont(), shown, *this)));
    LoadComponent();
    RepaintPreviews();
}

void TFormEditStyles::ButtonSelectColorClick() {
    const StyleColour shown = ReadStyleColour(m_config, Style(), Prefix());
    QColorDialog dialog(QColor(shown.red, shown.green, shown.blue), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QColor chosen = dialog.selectedColor();
    ReportWrite(WriteStyleColour(m_config, Style(), Prefix(),
                                 {chosen.red(), chosen.green(), chosen.blue()}));
    LoadComponent();
    RepaintPreviews();
}

void TFormEditStyles::ButtonAlignLeftClick() {
    WriteAlignment(kStyleAlignLeft);
}

void TFormEditStyles::ButtonAlignCenterClick() {
    WriteAlignment(kStyleAlignCentre);
}

void TFormEditStyles::ButtonAlignRightClick() {
    WriteAlignment(kStyleAlignRight);
}

void TFormEditStyles::WriteAlignment(int alignment) {
    ReportWrite(
        m_config.WriteInteger(StyleSection(Style()), StyleKey(Prefix(), "VAlign"), alignment));
    RepaintPreviews();
}

// Only what the user typed is written: passing through the field keeps the stored offset
// (an absent caption offset draws at 20 although the field shows 0). Text that is not a
// whole number is left in the field and written nowhere.
void TFormEditStyles::EditOffsetExit() {
    if (!m_editOffset->isModified())
        return;
    const std::optional<int> offset = ParseInteger(m_editOffset->text().toStdString());
    if (!offset)
        return;
    m_editOffset->setModified(false);
    ReportWrite(
        m_config.WriteInteger(StyleSection(Style()), StyleKey(Prefix(), "HOffset"), *offset));
    RepaintPreviews();
}

void TFormEditStyles::CheckBoxHideCaptionClick(bool checked) {
    ReportWrite(m_config.WriteBool(StyleSection(Style()), "HideDescription", checked));
    RepaintPreviews();
}

// The list of styles shows the new name from the next show of the editor on.
void TFormEditStyles::ButtonChangeNameClick() {
    const QString name = MessageBox::InputBox(this, tr("Style name"), tr("Enter style name"));
    if (!name.isEmpty())
        ReportWrite(m_config.WriteString(StyleSection(Style()), "Name", name.toStdString()));
}

std::optional<QString> TFormEditStyles::AskToAddStyle(QWidget* parent, ProfileStore& config) {
    if (MessageBox::Question(parent, tr("Add a new style"),
                             tr("You can reuse available styles. Do you want to add one more "
                                "style?")) != QMessageBox::Yes)
        return std::nullopt;
    const QString name = MessageBox::InputBox(parent, tr("Style name"), tr("Enter style name"));
    if (name.isEmpty())
        return std::nullopt;
    if (!AddStyle(config, name.toStdString())) {
        MessageBox::Warning(parent, tr("Configuration not saved"),
                            QString::fromStdString(config.LastError()));
        return std::nullopt;
    }
    MessageBox::Show(parent, QMessageBox::Information, tr("Style added"),
                     tr("Style has been added."));
    return name;
}

} // namespace halvane
