#include "TFormGalleryBrowser.h"

#include "DialogWidgets.h"
#include "MessageBox.h"
#include "OpenWithDesktop.h"
#include "PictureFile.h"
#include "StoredText.h"
#include "WindowPlacement.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <functional>
#include <utility>

namespace halvane {

namespace {

constexpr int kCellSize = 120;
constexpr int kGridLineWidth = 1;
constexpr int kWidth = 560;
constexpr int kHeight = 540;

// Paints every cell through the form, over the view's own cell background and focus frame.
class GalleryCellDelegate final : public QStyledItemDelegate {
public:
    using DrawCell = std::function<void(QPainter&, const QRect&, int column, int row)>;

    GalleryCellDelegate(DrawCell drawCell, QObject* parent)
        : QStyledItemDelegate(parent), m_drawCell(std::move(drawCell)) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        background.text.clear(); // the form writes the caption itself
        const QWidget* view = option.widget;
        view->style()->drawControl(QStyle::CE_ItemViewItem, &background, painter, view);
        painter->save();
        m_drawCell(*painter, option.rect, index.column(), index.row());
        painter->restore();
    }

private:
    DrawCell m_drawCell;
};

QString Caption(std::string_view stored) {
    return QString::fromStdString(StoredTextToUtf8(stored));
}

// A picture narrower and lower than the cell keeps its size, centred; any other is
// stretched over the whole cell.
QRect PictureRect(const QSize& picture, const QRect& cell) {
    if (picture.width() >= cell.width() || picture.height() >= cell.height())
        return cell;
    return {cell.left() + (cell.width() - picture.width()) / 2,
            cell.top() + (cell.height() - picture.height()) / 2, picture.width(), picture.height()};
}

// Centred horizontally, its bottom on the cell's bottom edge.
void DrawCaption(QPainter& painter, const QRect& cell, const QString& caption) {
    const QFontMetrics metrics(painter.font());
    const int left = cell.left() + (cell.width() - metrics.horizontalAdvance(caption)) / 2;
    const int top = cell.top() + cell.height() - metrics.height();
    painter.drawText(QPoint(left, top + metrics.ascent()), caption);
}

// Keeps the window painted while a large or slow folder is read; clicks wait.
void ProcessPendingEvents() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

TFormGalleryBrowser::TFormGalleryBrowser(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("FormGalleryBrowser");
    setWindowTitle(tr("Symbol Library Browser"));
    BuildWindow();
    resize(kWidth, kHeight);
}

void TFormGalleryBrowser::BuildWindow() {
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    layout->addLayout(top);
    top->addWidget(new QLabel(tr("Double click to select"), this));
    top->addStretch(1);
    m_bitBtnUp = NewButton(tr("Go to &Categories"), "BitBtnUp", this);
    m_bitBtnUp->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    top->addWidget(m_bitBtnUp);
    m_buttonExploreFolder = NewButton(tr("Explore Category's Folder"), "ButtonExploreFolder", this);
    m_buttonExploreFolder->setToolTip(
        tr("Use this function to add more images to the gallery folder."));
    top->addWidget(m_buttonExploreFolder);
    auto* newCategory = NewButton(tr("New category..."), "ButtonNewCategory", this);
    top->addWidget(newCategory);
    m_buttonAddPictures = NewButton(tr("Add pictures..."), "ButtonAddPictures", this);
    top->addWidget(m_buttonAddPictures);
    auto* refresh = NewButton(tr("Refresh"), "ButtonRefresh", this);
    top->addWidget(refresh);

    layout->addWidget(BuildGalleryPanel(), 1);

    auto* bottom = new QHBoxLayout;
    layout->addLayout(bottom);
    bottom->addStretch(1);
    auto* close = NewButton(tr("Close"), "ButtonClose", this);
    bottom->addWidget(close);

    connect(m_bitBtnUp, &QPushButton::clicked, this, &TFormGalleryBrowser::BitBtnUpClick);
    connect(m_buttonExploreFolder, &QPushButton::clicked, this,
            &TFormGalleryBrowser::ButtonExploreFolderClick);
    connect(close, &QPushButton::clicked, this, &TFormGalleryBrowser::ButtonCloseClick);
    connect(newCategory, &QPushButton::clicked, this, &TFormGalleryBrowser::ButtonNewCategoryClick);
    connect(m_buttonAddPictures, &QPushButton::clicked, this,
            &TFormGalleryBrowser::ButtonAddPicturesClick);
    connect(refresh, &QPushButton::clicked, this, &TFormGalleryBrowser::ButtonRefreshClick);
}

// The grid of square cells, on a panel that says when there is nothing to show.
QWidget* TFormGalleryBrowser::BuildGalleryPanel() {
    auto* panel = new QFrame(this);
    panel->setObjectName("PanelGallery");
    panel->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    m_labelFolderEmpty = new QLabel(tr("This folder is empty"), panel);
    m_labelFolderEmpty->setObjectName("LabelFolderEmpty");
    m_labelFolderEmpty->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_labelFolderEmpty);

    m_drawGridGallery = new QTableWidget(panel);
    m_drawGridGallery->setObjectName("DrawGridGallery");
    for (QHeaderView* header :
         {m_drawGridGallery->horizontalHeader(), m_drawGridGallery->verticalHeader()}) {
        header->hide();
        header->setSectionResizeMode(QHeaderView::Fixed);
        // The view draws a cell's lines inside its section.
        header->setDefaultSectionSize(kCellSize + kGridLineWidth);
    }
    m_drawGridGallery->setShowGrid(true);
    m_drawGridGallery->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_drawGridGallery->setSelectionMode(QAbstractItemView::NoSelection);
    m_drawGridGallery->setItemDelegate(new GalleryCellDelegate(
        [this](QPainter& painter, const QRect& cell, int column, int row) {
            DrawGridGalleryDrawCell(painter, cell, column, row);
        },
        m_drawGridGallery));
    layout->addWidget(m_drawGridGallery);
    connect(m_drawGridGallery, &QTableWidget::doubleClicked, this,
            &TFormGalleryBrowser::DrawGridGalleryDblClick);
    return panel;
}

// A show of the window system's own (a restore from minimised) keeps the level shown.
void TFormGalleryBrowser::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        m_chosenPath.clear();
        m_categoryCount = m_gallery.CountCategories();
        ShowLevel(0);
        CentreOnMainWindow();
        KeepWithinScreen(*this);
    }
    QDialog::showEvent(event);
}

// The main window is the outermost of the windows that own this one.
void TFormGalleryBrowser::CentreOnMainWindow() {
    const QWidget* main = parentWidget();
    if (main == nullptr)
        return;
    while (main->parentWidget() != nullptr)
        main = main->parentWidget();
    QRect frame = frameGeometry();
    frame.moveCenter(main->frameGeometry().center());
    move(frame.topLeft());
}

void TFormGalleryBrowser::ShowLevel(int level) {
    m_level = level;
    m_bitBtnUp->setEnabled(level == 1);
    m_buttonExploreFolder->setEnabled(level == 1);
    m_buttonAddPictures->setEnabled(level == 1);
    m_tiles = level == 0 ? CategoryTiles() : PictureTiles();
    LayOutGrid();
    m_drawGridGallery->viewport()->update();
}

std::vector<TFormGalleryBrowser::Tile> TFormGalleryBrowser::CategoryTiles() const {
    std::vector<Tile> tiles;
    for (int i = 0; i < m_categoryCount; ++i) {
        const GalleryCategory category = m_gallery.Category(i);
        tiles.emplace_back(GalleryPath(category.Image), Caption(category.Name));
    }
    return tiles;
}

std::vector<TFormGalleryBrowser::Tile> TFormGalleryBrowser::PictureTiles() const {
    std::vector<Tile> tiles;
    if (m_selectedCategory < 0)
        return tiles;
    const GalleryCategory category = m_gallery.Category(m_selectedCategory);
    for (const std::string& name : ListCategoryPictures(category, ProcessPendingEvents))
        tiles.emplace_back(CategoryPicturePath(category, name), Caption(name));
    return tiles;
}

// As many columns as the whole part of the entries' square root, filled row by row; no
// entries hide the grid.
void TFormGalleryBrowser::LayOutGrid() {
    const int entries = static_cast<int>(m_tiles.size());
    m_drawGridGallery->setVisible(entries > 0);
    m_labelFolderEmpty->setVisible(entries == 0);
    if (entries == 0)
        return;
    const int columns = static_cast<int>(std::sqrt(entries));
    m_drawGridGallery->clearContents();
    m_drawGridGallery->setColumnCount(columns);
    m_drawGridGallery->setRowCount((entries + columns - 1) / columns);
    for (int i = 0; i < entries; ++i)
        m_drawGridGallery->setItem(i / columns, i % columns,
                                   new QTableWidgetItem(m_tiles[static_cast<size_t>(i)].caption));
}

size_t TFormGalleryBrowser::EntryOf(int row, int column) const {
    return static_cast<size_t>(row * m_drawGridGallery->columnCount() + column);
}

void TFormGalleryBrowser::DrawGridGalleryDrawCell(QPainter& painter, const QRect& cell, int column,
                                                  int row) {
    const size_t entry = EntryOf(row, column);
    if (entry >= m_tiles.size())
        return;
    Tile& tile = m_tiles[entry];
    if (!tile.loaded) {
        tile.picture = LoadPictureFile(tile.file);
        tile.loaded = true;
    }
    painter.setClipRect(cell);
    if (tile.picture)
        tile.picture->Draw(painter, PictureRect(tile.picture->Size(), cell));
    painter.setFont(m_drawGridGallery->font());
    painter.setPen(m_drawGridGallery->palette().color(QPalette::Text));
    DrawCaption(painter, cell, tile.caption);
}

// Level 0 opens the category, level 1 chooses the picture; a cell beyond the last entry
// does nothing.
void TFormGalleryBrowser::DrawGridGalleryDblClick(const QModelIndex& cell) {
    const size_t entry = EntryOf(cell.row(), cell.column());
    if (m_level == 0) {
        if (entry < m_tiles.size()) {
            m_selectedCategory = static_cast<int>(entry);
            ShowLevel(1);
        }
        return;
    }
    m_chosenPath.clear();
    if (entry < m_tiles.size()) {
        m_chosenPath = m_tiles[entry].file;
        accept();
    }
}

void TFormGalleryBrowser::BitBtnUpClick() {
    ShowLevel(0);
}

// The folder of the category opened, when it names one.
std::optional<std::filesystem::path> TFormGalleryBrowser::SelectedCategoryFolder() const {
    if (m_selectedCategory < 0)
        return std::nullopt;
    const std::string directory = m_gallery.Category(m_selectedCategory).Directory;
    if (directory.empty())
        return std::nullopt;
    return GalleryPath(directory);
}

void TFormGalleryBrowser::ButtonExploreFolderClick() {
    const std::optional<std::filesystem::path> folder = SelectedCategoryFolder();
    std::error_code ec;
    if (!folder || !std::filesystem::is_directory(*folder, ec)) {
        MessageBox::Error(this, tr("Folder not found"), tr("This folder does not exists."));
        return;
    }
    OpenWithDesktop(this, *folder);
}

void TFormGalleryBrowser::ButtonCloseClick() {
    m_chosenPath.clear();
    reject();
}

// The new category shows among the others; a refused name says why.
void TFormGalleryBrowser::ButtonNewCategoryClick() {
    const QString name = MessageBox::InputBox(this, tr("New category"), tr("Category name:"));
    if (name.trimmed().isEmpty())
        return;
    if (const auto refused = m_gallery.AddCategory(name.toStdString())) {
        MessageBox::Error(this, tr("Category not added"), QString::fromStdString(*refused));
        return;
    }
    m_categoryCount = m_gallery.CountCategories();
    ShowLevel(0);
}

// Copies the chosen files into the category shown and shows them; files left out are listed.
void TFormGalleryBrowser::ButtonAddPicturesClick() {
    if (m_selectedCategory < 0)
        return;
    QFileDialog dialog(this, tr("Add pictures to the category"), QDir::homePath(),
                       tr("Pictures (*.svg *.bmp *.wmf *.emf)"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted)
        return;
    std::vector<std::filesystem::path> files;
    for (const QString& file : dialog.selectedFiles())
        files.emplace_back(file.toStdString());
    const Gallery::AddedPictures added = m_gallery.AddPictures(m_selectedCategory, files);
    ShowLevel(1);
    if (!added.refused.empty()) {
        QStringList lines;
        for (const std::string& line : added.refused)
            lines << QString::fromStdString(line);
        MessageBox::Warning(this, tr("Pictures not added"), lines.join('\n'));
    }
}

// Reads gallery.cfg and the folders again: a gallery made or changed outside the station
// shows without a restart.
void TFormGalleryBrowser::ButtonRefreshClick() {
    m_gallery = Gallery();
    m_categoryCount = m_gallery.CountCategories();
    ShowLevel(m_selectedCategory < m_categoryCount ? m_level : 0);
}

} // namespace halvane
