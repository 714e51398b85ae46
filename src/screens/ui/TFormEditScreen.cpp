#include "TFormEditScreen.h"

#include "DataRoot.h"
#include "DialogWidgets.h"
#include "MessageBox.h"
#include "ProfileStore.h"
#include "StoredText.h"
#include "TFormScreen.h"
#include "WindowPlacement.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace halvane {

namespace {

constexpr int kTitleLength = 200;
constexpr int kEditWidth = 260;
constexpr int kSizeEditWidth = 60;
constexpr int kSwatchWidth = 60;
constexpr int kSwatchHeight = 21;

QLineEdit* NewEdit(QWidget* parent, const char* name, bool readOnly = false) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setReadOnly(readOnly);
    return edit;
}

QLabel* NewNote(QWidget* parent, const QString& text) {
    auto* note = new QLabel(text, parent);
    note->setWordWrap(true);
    return note;
}

} // namespace

TFormEditScreen::TFormEditScreen(QWidget* parent) : QDialog(parent) {
    setObjectName("FormEditScreen");
    setWindowTitle(tr("Screen properties"));
    BuildWindow();
    setFixedSize(sizeHint());
}

void TFormEditScreen::BuildWindow() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildTitleGroup());
    layout->addWidget(BuildBackgroundGroup());
    layout->addWidget(BuildSizeGroup());
    layout->addWidget(BuildButtons());
}

QWidget* TFormEditScreen::BuildTitleGroup() {
    auto* group = new QGroupBox(tr("Title"), this);
    auto* row = new QHBoxLayout(group);
    m_editTitle = NewEdit(group, "EditTitle");
    m_editTitle->setMaxLength(kTitleLength);
    m_editTitle->setFixedWidth(kEditWidth);
    row->addWidget(new QLabel(tr("Title:"), group));
    row->addWidget(m_editTitle);
    row->addStretch(1);
    return group;
}

QWidget* TFormEditScreen::BuildBackgroundGroup() {
    auto* group = new QGroupBox(tr("Background"), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(NewNote(group, tr("Select a bitmap file with background graphics.")), 0, 0, 1,
                    4);

    m_editBitmap = NewEdit(group, "EditBitmap", true);
    m_editBitmap->setFixedWidth(kEditWidth);
    auto* remove = new QToolButton(group);
    remove->setObjectName("ButtonRemoveFile");
    remove->setToolTip(tr("Remove file"));
    remove->setIcon(style()->standardIcon(QStyle::SP_LineEditClearButton));
    auto* open = NewButton(tr("Open file..."), "ButtonOpenFile", group);
    grid->addWidget(new QLabel(tr("Background file:"), group), 1, 0);
    grid->addWidget(m_editBitmap, 1, 1);
    grid->addWidget(remove, 1, 2);
    grid->addWidget(open, 1, 3);

    m_shapeColor = new QLabel(group);
    m_shapeColor->setObjectName("ShapeColor");
    m_shapeColor->setFixedSize(kSwatchWidth, kSwatchHeight);
    m_shapeColor->setFrameShape(QFrame::Box);
    m_shapeColor->setAutoFillBackground(true);
    auto* select = NewButton(tr("Select color..."), "ButtonSelectColor", group);
    grid->addWidget(new QLabel(tr("Background color:"), group), 2, 0);
    grid->addWidget(m_shapeColor, 2, 1, Qt::AlignLeft);
    grid->addWidget(select, 2, 3);

    connect(remove, &QToolButton::clicked, this, &TFormEditScreen::ButtonRemoveFileClick);
    connect(open, &QPushButton::clicked, this, &TFormEditScreen::ButtonOpenFileClick);
    connect(select, &QPushButton::clicked, this, &TFormEditScreen::ButtonSelectColorClick);
    return group;
}

QWidget* TFormEditScreen::BuildSizeGroup() {
    auto* group = new QGroupBox(tr("Size"), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(NewNote(group, tr("Use a mouse to change screen size.")), 0, 0, 1, 5);
    m_editWidth = NewEdit(group, "EditWidth", true);
    m_editHeight = NewEdit(group, "EditHeight", true);
    m_editWidth->setFixedWidth(kSizeEditWidth);
    m_editHeight->setFixedWidth(kSizeEditWidth);
    grid->addWidget(new QLabel(tr("Width:"), group), 1, 0);
    grid->addWidget(m_editWidth, 1, 1);
    grid->addWidget(new QLabel(tr("Height:"), group), 1, 2);
    grid->addWidget(m_editHeight, 1, 3);
    grid->setColumnStretch(4, 1);
    return group;
}

QWidget* TFormEditScreen::BuildButtons() {
    auto* panel = new QWidget(this);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    QPushButton* save = AddSaveCancelButtons(row, this);
    connect(save, &QPushButton::clicked, this, &TFormEditScreen::ButtonSaveClick);
    return panel;
}

bool TFormEditScreen::EditScreen(TFormScreen& screen, QWidget* opener) {
    m_screen = &screen;
    LoadControls(LoadScreenProperties(screen.ScreenFile(), screen.Caption(), screen.ClientSize()));
    CentreOn(opener);
    const bool saved = exec() == QDialog::Accepted;
    m_screen = nullptr;
    return saved;
}

void TFormEditScreen::CentreOn(const QWidget* opener) {
    const QPoint centre = opener != nullptr ? opener->mapToGlobal(opener->rect().center())
                                            : screen()->availableGeometry().center();
    move(centre - rect().center());
    KeepWithinScreen(*this);
}

void TFormEditScreen::LoadControls(const ScreenPropertiesValues& values) {
    SetLimitedText(m_editTitle, values.title, kTitleLength);
    m_editBitmap->setText(QString::fromStdString(values.bitmap));
    SetSwatchColour(values.colour);
    m_editWidth->setText(QString::number(values.width));
    m_editHeight->setText(QString::number(values.height));
}

ScreenPropertiesValues TFormEditScreen::ReadControls() const {
    return {m_editTitle->text().toStdString(), m_editBitmap->text().toStdString(),
            ColourToStore(m_shapeColor->palette().color(QPalette::Window)),
            m_editWidth->text().toInt(), m_editHeight->text().toInt()};
}

void TFormEditScreen::SetSwatchColour(uint32_t colour) {
    QPalette palette = m_shapeColor->palette();
    palette.setColor(QPalette::Window, ColourFromStored(colour));
    m_shapeColor->setPalette(palette);
}

void TFormEditScreen::ButtonRemoveFileClick() {
    m_editBitmap->clear();
}

// The path stays in the edit even when the file is no bitmap; a bitmap sizes the screen
// window at once, and the size edits keep what they showed.
void TFormEditScreen::ButtonOpenFileClick() {
    QFileDialog dialog(this, tr("Select background bitmap file"),
                       QString::fromStdString(ResolveDataPath("cfg").string()),
                       tr("Bitmaps (*.bmp)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString chosen = dialog.selectedFiles().front();
    m_editBitmap->setText(chosen);
    const std::optional<QImage> picture =
        LoadBackgroundPicture(std::filesystem::path(chosen.toStdString()));
    if (!picture) {
        MessageBox::Warning(this, tr("Image load error"),
                            tr("Cannot load background image from file. Verify whether the file "
                               "contains a valid bitmap."));
        return;
    }
    m_screen->SetClientSize(ClientSizeForBackground(m_screen->ClientSize(), picture->size()));
    m_screen->PaintScreen();
}

void TFormEditScreen::ButtonSelectColorClick() {
    QColorDialog dialog(m_shapeColor->palette().color(QPalette::Window), this);
    if (dialog.exec() == QDialog::Accepted)
        SetSwatchColour(ColourToStore(dialog.selectedColor()));
}

// Title, background and placement in one write of the screen file. A file that cannot be
// written is said; the dialog still ends with OK, and the screen shows what it holds.
void TFormEditScreen::ButtonSaveClick() {
    const ScreenPropertiesValues values = ReadControls();
    ProfileStore& file = m_screen->ScreenFile();
    bool written = false;
    {
        ProfileStore::Batch batch(file);
        m_screen->SetScreenTitle(TextToStore(values.title, m_screen->Caption()));
        SaveScreenProperties(file, values, m_screen->pos(), m_screen->ClientSize());
        written = batch.Commit();
    }
    if (!written)
        MessageBox::Warning(this, tr("Configuration not saved"),
                            QString::fromStdString(file.LastError()));
    accept();
}

} // namespace halvane
