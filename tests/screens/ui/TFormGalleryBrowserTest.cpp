#include "TFormGalleryBrowser.h"

#include "GalleryBrowserTestSupport.h"
#include "MessageBox.h"
#include "PictureBytes.h"
#include "ScreenTestSupport.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include <gtest/gtest.h>

using namespace halvane;
using test::Child;
using test::Click;
using test::DoubleClickCell;
using test::DoubleClickEntry;
using test::GalleryGrid;
using test::ModalAnswers;

namespace {

// Takes the folders that the browser hands to the desktop instead of opening them.
class UrlRecorder final : public QObject {
    Q_OBJECT
public:
    UrlRecorder() { QDesktopServices::setUrlHandler("file", this, "Open"); }
    ~UrlRecorder() override { QDesktopServices::unsetUrlHandler("file"); }
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened << url; }
};

// The captions of the grid's cells, row by row; none while the grid is hidden.
QStringList Entries(const TFormGalleryBrowser& browser) {
    QStringList captions;
    const QTableWidget* grid = GalleryGrid(browser);
    const bool shown = grid->isVisibleTo(&browser);
    EXPECT_NE(shown, Child(browser, "LabelFolderEmpty")->isVisibleTo(&browser));
    for (int row = 0; shown && row < grid->rowCount(); ++row)
        for (int column = 0; column < grid->columnCount(); ++column)
            if (const QTableWidgetItem* item = grid->item(row, column))
                captions << item->text();
    return captions;
}

// Columns and rows.
QSize Shape(const TFormGalleryBrowser& browser) {
    const QTableWidget* grid = GalleryGrid(browser);
    return {grid->columnCount(), grid->rowCount()};
}

bool AtLevelOne(const TFormGalleryBrowser& browser) {
    const bool up = Child(browser, "BitBtnUp")->isEnabled();
    EXPECT_EQ(Child(browser, "ButtonExploreFolder")->isEnabled(), up);
    return up;
}

QRect Cell(const TFormGalleryBrowser& browser, int entry) {
    const QTableWidget* grid = GalleryGrid(browser);
    const int columns = grid->columnCount();
    return grid->visualRect(grid->model()->index(entry / columns, entry % columns));
}

QImage GridImage(const TFormGalleryBrowser& browser) {
    return GalleryGrid(browser)->viewport()->grab().toImage();
}

// What a click on "Explore Category's Folder" writes as an error line.
std::string ExploreErrors(const TFormGalleryBrowser& browser) {
    return StderrOf([&] { Click(browser, "ButtonExploreFolder"); });
}

class TFormGalleryBrowserTest : public ::testing::Test {
protected:
    TFormGalleryBrowserTest() { SetDataRoot(m_root.Path().string()); }

    void Put(const std::string& relative, const QByteArray& bytes = "x") {
        WriteText(m_root / ("gallery/" + relative), bytes.toStdString());
    }
    void PutIndex(const std::vector<GalleryCategory>& categories) {
        std::string index;
        for (size_t i = 0; i < categories.size(); ++i)
            index += "[category." + std::to_string(i) + "]\nname=" + categories[i].Name +
                     "\nimage=" + categories[i].Image + "\ndirectory=" + categories[i].Directory +
                     "\n";
        Put("gallery.cfg", QByteArray::fromStdString(index));
    }
    // Five categories holding 1, 3, 4, 5 and 10 bitmaps named p00.bmp, p01.bmp, ...
    void PutNumberedGallery() {
        std::vector<GalleryCategory> categories;
        for (const Numbered& category : kNumbered) {
            const std::string folder = QString(category.name).toLower().toStdString();
            for (int i = 0; i < category.pictures; ++i)
                Put(folder + "/p0" + std::to_string(i) + ".bmp",
                    picture_bytes::SolidBmp(8, 8, Qt::blue));
            categories.push_back({category.name, folder + "\\p00.bmp", folder});
        }
        PutIndex(categories);
    }
    struct Numbered {
        const char* name;
        int pictures;
        QSize shape; // columns, rows
    };
    static constexpr Numbered kNumbered[] = {{"One", 1, {1, 1}},
                                             {"Three", 3, {1, 3}},
                                             {"Four", 4, {2, 2}},
                                             {"Five", 5, {2, 3}},
                                             {"Ten", 10, {3, 4}}};

    TempDir m_root;
};

TEST(TFormGalleryBrowserDemoTest, BrowsesCategoriesAndPicturesAndChoosesOne) {
    const std::filesystem::path gallery(HALVANE_DEMO_GALLERY);
    SetDataRoot(gallery.parent_path().string());
    TFormGalleryBrowser browser;
    browser.show();
    EXPECT_EQ(Entries(browser), QStringList({"Pumps", "Tanks", "Valves"}));
    EXPECT_EQ(Shape(browser), QSize(1, 3));
    EXPECT_FALSE(AtLevelOne(browser));
    const QImage categories = GridImage(browser);
    const QColor base = GalleryGrid(browser)->palette().color(QPalette::Base);
    for (int entry = 0; entry < 3; ++entry) // each tile draws its picture above its caption
        EXPECT_FALSE(InkBox(categories, Cell(browser, entry).adjusted(2, 2, -2, -30),
                            [&](const QColor& c) { return c != base; })
                         .isNull())
            << entry;

    DoubleClickEntry(browser, "Valves");
    EXPECT_EQ(Entries(browser), QStringList({"valve-alarm.wmf", "valve-closed.bmp",
                                             "valve-open.bmp", "valve-open.emf"}));
    EXPECT_EQ(Shape(browser), QSize(2, 2));
    EXPECT_TRUE(AtLevelOne(browser));
    const QUrl valves = QUrl::fromLocalFile(QString::fromStdString((gallery / "valves").string()));
    {
        UrlRecorder recorder;
        EXPECT_EQ(ExploreErrors(browser), "");
        EXPECT_EQ(recorder.opened, QList<QUrl>{valves});
    }
    // Nothing on this desktop opens folders: the user learns where the folder is.
    const TempDir emptyPath;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", emptyPath.Path().string().c_str());
    Click(browser, "ButtonExploreFolder");
    qputenv("PATH", path);
    EXPECT_EQ(MessageBox::LastText(), "No program to open " + valves.toLocalFile() +
                                          " was found. Open it with a file manager.");

    Click(browser, "BitBtnUp");
    EXPECT_EQ(Entries(browser), QStringList({"Pumps", "Tanks", "Valves"}));
    EXPECT_FALSE(AtLevelOne(browser));
    DoubleClickEntry(browser, "Pumps");
    EXPECT_EQ(Entries(browser), QStringList({"pump.bmp", "pump.emf", "pump.wmf"}));
    DoubleClickEntry(browser, "pump.emf");
    EXPECT_FALSE(browser.isVisible());
    EXPECT_EQ(browser.result(), QDialog::Accepted);
    EXPECT_EQ(browser.ChosenPath(), gallery / "pumps" / "pump.emf");
}

TEST_F(TFormGalleryBrowserTest, GridHoldsEntriesRowByRowInTheSquareRootsColumns) {
    PutNumberedGallery();
    TFormGalleryBrowser browser;
    browser.show();
    EXPECT_EQ(Entries(browser), QStringList({"One", "Three", "Four", "Five", "Ten"}));
    EXPECT_EQ(Shape(browser), QSize(2, 3));
    EXPECT_EQ(GalleryGrid(browser)->item(2, 0)->text(), "Ten");
    EXPECT_EQ(Cell(browser, 0).size(), QSize(120, 120));

    for (const Numbered& category : kNumbered) {
        DoubleClickEntry(browser, category.name);
        EXPECT_EQ(Shape(browser), category.shape) << category.name;
        const QStringList pictures = Entries(browser);
        EXPECT_EQ(pictures.size(), category.pictures) << category.name;
        EXPECT_EQ(pictures.value(0), "p00.bmp");
        Click(browser, "BitBtnUp");
    }
}

TEST_F(TFormGalleryBrowserTest, EmptyCellsDoNothingAndCloseReturnsNoPath) {
    PutNumberedGallery();
    TFormGalleryBrowser browser;
    browser.show();
    QTableWidget* grid = GalleryGrid(browser);
    DoubleClickCell(grid, 2, 1); // the sixth cell of five categories
    EXPECT_FALSE(AtLevelOne(browser));
    EXPECT_EQ(Entries(browser).size(), 5);

    DoubleClickEntry(browser, "Ten");
    test::MinimiseAndRestore(browser); // no show of the browser's: the level stays
    EXPECT_TRUE(AtLevelOne(browser));
    DoubleClickCell(grid, 3, 2); // the twelfth cell of ten pictures
    EXPECT_TRUE(browser.isVisible());
    EXPECT_TRUE(browser.ChosenPath().empty());
    Click(browser, "ButtonClose");
    EXPECT_FALSE(browser.isVisible());
    EXPECT_EQ(browser.result(), QDialog::Rejected);
    EXPECT_TRUE(browser.ChosenPath().empty());

    // Categories are counted at every show, which starts at the categories.
    Put("gallery.cfg", QByteArray::fromStdString(ReadText(m_root / "gallery/gallery.cfg") +
                                                 "[category.5]\nname=Added\n"));
    browser.show();
    EXPECT_FALSE(AtLevelOne(browser));
    EXPECT_EQ(Entries(browser).size(), 6);
    DoubleClickEntry(browser, "Four");
    DoubleClickEntry(browser, "p03.bmp");
    EXPECT_EQ(browser.result(), QDialog::Accepted);
    EXPECT_EQ(browser.ChosenPath(), m_root / "gallery/four/p03.bmp");
    browser.show();
    EXPECT_TRUE(browser.ChosenPath().empty());
}

TEST_F(TFormGalleryBrowserTest, PicturesBelowTheCellSizeAreCentredOthersStretched) {
    const struct {
        const char* file;
        QSize size;
        QRect drawn; // in the cell
    } cases[] = {
        {"a.bmp", {48, 48}, {36, 36, 48, 48}},
        {"b.bmp", {47, 45}, {36, 37, 47, 45}}, // halves round toward zero
        {"c.bmp", {119, 119}, {0, 0, 119, 119}},
        {"d.bmp", {120, 100}, {0, 0, 120, 120}}, // as wide as the cell
        {"e.bmp", {30, 200}, {0, 0, 120, 120}},
    };
    for (const auto& c : cases)
        Put(std::string("sizes/") + c.file,
            picture_bytes::SolidBmp(c.size.width(), c.size.height(), Qt::red));
    PutIndex({{"Sizes", "", "sizes"}});
    TFormGalleryBrowser browser;
    browser.show();
    DoubleClickEntry(browser, "Sizes");
    const QImage image = GridImage(browser);
    for (int entry = 0; entry < static_cast<int>(std::size(cases)); ++entry) {
        const QRect cell = Cell(browser, entry);
        EXPECT_EQ(InkBox(image, cell, [](const QColor& c) { return c == Qt::red; })
                      .translated(-cell.topLeft()),
                  cases[entry].drawn)
            << cases[entry].file;
    }
}

TEST_F(TFormGalleryBrowserTest, UnreadablePicturesAndMissingFoldersShowOnlyCaptions) {
    Put("broken/garbage.bmp", "not a bitmap");
    Put("broken/empty.emf", "");
    Put("broken/text.wmf", "text");
    Put("broken/cut.bmp", picture_bytes::SolidBmp(40, 40, Qt::red).left(70));
    PutIndex({{"Broken", "missing.bmp", "broken"},
              {"Gone", "gone\\x.bmp", "gone"},
              {"No folder", "", ""}});
    TFormGalleryBrowser browser;
    browser.show();
    const QColor base = GalleryGrid(browser)->palette().color(QPalette::Base);
    const QFontMetrics metrics(GalleryGrid(browser)->font());
    const auto expectCaptionsOnly = [&] {
        const QImage image = GridImage(browser);
        const QStringList captions = Entries(browser);
        for (int entry = 0; entry < captions.size(); ++entry) {
            const QRect cell = Cell(browser, entry);
            const QRect ink = InkBox(image, cell.adjusted(2, 2, -2, -2),
                                     [&](const QColor& c) { return c != base; });
            EXPECT_GE(ink.top(), cell.bottom() + 1 - metrics.height())
                << captions[entry].toStdString();
            EXPECT_NEAR(ink.center().x(), cell.center().x(), 3) << captions[entry].toStdString();
        }
    };
    EXPECT_EQ(Entries(browser), QStringList({"Broken", "Gone", "No folder"}));
    expectCaptionsOnly();

    DoubleClickEntry(browser, "Broken");
    EXPECT_EQ(Entries(browser), QStringList({"cut.bmp", "empty.emf", "garbage.bmp", "text.wmf"}));
    expectCaptionsOnly();
    Click(browser, "BitBtnUp");

    for (const char* empty : {"Gone", "No folder"}) {
        DoubleClickEntry(browser, empty);
        EXPECT_TRUE(AtLevelOne(browser));
        EXPECT_EQ(Entries(browser), QStringList()) << empty;
        EXPECT_EQ(Child<QLabel>(browser, "LabelFolderEmpty")->text(), "This folder is empty");
        EXPECT_EQ(ExploreErrors(browser), "Folder not found: This folder does not exists.\n");
        Click(browser, "BitBtnUp");
    }
}

TEST_F(TFormGalleryBrowserTest, WithoutAnIndexTheEmptyBrowserCentresOnTheMainWindow) {
    QWidget main;
    main.setGeometry(40, 30, 700, 720); // within the screen, which a dialog never leaves
    main.show();
    QDialog editor(&main);
    editor.setGeometry(0, 0, 300, 200);
    TFormGalleryBrowser browser(&editor);
    PutIndex({{"Too late", "", ""}}); // the index is opened when the browser is created
    browser.show();
    EXPECT_EQ(Entries(browser), QStringList());
    EXPECT_FALSE(AtLevelOne(browser));
    const QPoint offset = browser.frameGeometry().center() - main.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2);

    EXPECT_EQ(browser.windowTitle(), "Symbol Library Browser");
    EXPECT_FALSE(browser.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(Child<QPushButton>(browser, "BitBtnUp")->text(), "Go to &Categories");
    EXPECT_EQ(Child<QPushButton>(browser, "ButtonExploreFolder")->toolTip(),
              "Use this function to add more images to the gallery folder.");
    EXPECT_EQ(Child<QPushButton>(browser, "ButtonClose")->text(), "Close");
}

// The file dialog of "Add pictures..." picks `names` in `folder`.
std::function<void(QFileDialog&)> ChooseFiles(const std::filesystem::path& folder,
                                              const QStringList& names) {
    return [=](QFileDialog& dialog) {
        EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFiles);
        dialog.setDirectory(QString::fromStdString(folder.string()));
        dialog.selectFile("\"" + names.join("\" \"") + "\"");
        static_cast<QDialog&>(dialog).accept();
    };
}

// A gallery that did not exist when the browser was made: the commands make it, copy
// pictures in from elsewhere and read what was changed outside the station.
TEST_F(TFormGalleryBrowserTest, CommandsMakeCategoriesCopyPicturesAndRefresh) {
    TFormGalleryBrowser browser;
    browser.show();
    EXPECT_EQ(Entries(browser), QStringList());

    MessageBox::SetNextInput("Heat Exchangers");
    Click(browser, "ButtonNewCategory");
    EXPECT_EQ(Entries(browser), QStringList({"Heat Exchangers"}));
    EXPECT_TRUE(std::filesystem::is_directory(m_root / "gallery/heat-exchangers"));
    EXPECT_EQ(ReadText(m_root / "gallery/gallery.cfg"),
              "[category.0]\nname=Heat Exchangers\nimage=\ndirectory=heat-exchangers\n");
    const struct {
        const char* name;
        const char* said; // the last box's text
    } refused[] = {{"heat exchangers", "There is already a category called heat exchangers."},
                   {"  ", "Category name:"}};
    for (const auto& r : refused) {
        MessageBox::SetNextInput(r.name);
        StderrOf([&] { Click(browser, "ButtonNewCategory"); });
        EXPECT_EQ(Entries(browser), QStringList({"Heat Exchangers"})) << r.name;
        EXPECT_EQ(MessageBox::LastText(), r.said);
    }

    const TempDir elsewhere;
    const QByteArray svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="8" height="8"/>)";
    WriteText(elsewhere / "hx.svg", svg.toStdString());
    WriteText(elsewhere / "hx.bmp", picture_bytes::SolidBmp(8, 8, Qt::red).toStdString());
    WriteText(elsewhere / "notes.txt", "not a picture");
    DoubleClickEntry(browser, "Heat Exchangers");
    {
        ModalAnswers answers;
        answers.Then<QFileDialog>(ChooseFiles(elsewhere.Path(), {"hx.svg", "notes.txt", "hx.bmp"}));
        Click(browser, "ButtonAddPictures");
    }
    EXPECT_EQ(Entries(browser), QStringList({"hx.bmp", "hx.svg"}));
    EXPECT_EQ(ReadText(m_root / "gallery/heat-exchangers/hx.svg"), svg.toStdString());
    EXPECT_EQ(MessageBox::LastText(), "notes.txt: not a .bmp, .wmf, .emf or .svg picture");
    EXPECT_EQ(Gallery().Category(0).Image, "heat-exchangers\\hx.svg"); // the first copied

    WriteText(m_root / "gallery/heat-exchangers/later.svg", svg.toStdString());
    Put("gallery.cfg", QByteArray::fromStdString(ReadText(m_root / "gallery/gallery.cfg") +
                                                 "[category.1]\nname=Later\n"));
    EXPECT_EQ(Entries(browser), QStringList({"hx.bmp", "hx.svg"}));
    Click(browser, "ButtonRefresh");
    EXPECT_EQ(Entries(browser), QStringList({"hx.bmp", "hx.svg", "later.svg"}));
    Click(browser, "BitBtnUp");
    EXPECT_EQ(Entries(browser), QStringList({"Heat Exchangers", "Later"}));

    // An index made after the browser was.
    std::filesystem::remove(m_root / "gallery/gallery.cfg");
    TFormGalleryBrowser later;
    later.show();
    PutIndex({{"Fans", "", "fans"}});
    EXPECT_EQ(Entries(later), QStringList());
    Click(later, "ButtonRefresh");
    EXPECT_EQ(Entries(later), QStringList({"Fans"}));
}

} // namespace

#include "TFormGalleryBrowserTest.moc"
