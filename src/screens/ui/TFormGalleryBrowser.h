#pragma once

#include "Gallery.h"
#include "SymbolPicture.h"

#include <QDialog>

#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

class QLabel;
class QModelIndex;
class QPainter;
class QPushButton;
class QTableWidget;

namespace halvane {

// The symbol gallery browser ("Symbol Library Browser"), run modally: level 0 shows the
// gallery's categories as tiles, level 1 the pictures of the category opened. A double
// click on a picture closes the browser with OK; the caller then takes ChosenPath().
// The gallery index is opened when the browser is created and its categories are counted
// at every show; the category opened last is remembered from one show to the next.
// "New category...", "Add pictures..." and "Refresh" change and reread the gallery while
// the browser is open.
class TFormGalleryBrowser final : public QDialog {
    Q_OBJECT
public:
    explicit TFormGalleryBrowser(QWidget* parent = nullptr);

    // After the modal run: the full path of the picture double-clicked, else empty.
    const std::filesystem::path& ChosenPath() const { return m_chosenPath; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // What one cell shows: a category or a picture file. The picture is read when its
    // cell is first drawn, so that a large folder shows without reading every file first.
    struct Tile {
        Tile(std::filesystem::path path, QString text)
            : file(std::move(path)), caption(std::move(text)) {}

        std::filesystem::path file;
        QString caption;
        bool loaded = false;
        std::optional<SymbolPicture> picture;
    };

    void BuildWindow();
    QWidget* BuildGalleryPanel();
    void CentreOnMainWindow();
    void ShowLevel(int level);
    std::vector<Tile> CategoryTiles() const;
    std::vector<Tile> PictureTiles() const;
    void LayOutGrid();
    size_t EntryOf(int row, int column) const;
    std::optional<std::filesystem::path> SelectedCategoryFolder() const;

    void DrawGridGalleryDrawCell(QPainter& painter, const QRect& cell, int column, int row);
    void DrawGridGalleryDblClick(const QModelIndex& cell);
    void BitBtnUpClick();
    void ButtonExploreFolderClick();
    void ButtonCloseClick();
    void ButtonNewCategoryClick();
    void ButtonAddPicturesClick();
    void ButtonRefreshClick();

    Gallery m_gallery;
    int m_categoryCount = 0;
    int m_level = 0;
    int m_selectedCategory = -1;
    std::vector<Tile> m_tiles; // the categories or the pictures, in grid order
    std::filesystem::path m_chosenPath;

    QPushButton* m_bitBtnUp = nullptr;
    QPushButton* m_buttonExploreFolder = nullptr;
    QPushButton* m_buttonAddPictures = nullptr;
    QTableWidget* m_drawGridGallery = nullptr;
    QLabel* m_labelFolderEmpty = nullptr;
};

} // namespace halvane
