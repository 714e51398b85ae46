// The screen properties dialog on one docked screen in edit mode; the screen file is read
// back from the disk.
#include "ScreenTestSupport.h"

#include "MessageBox.h"
#include "PictureBytes.h"
#include "ScreenFile.h"
#include "TFormEditScreen.h"
#include "TFormScreen.h"
#include "TagTable.h"
#include "WidgetTestSupport.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace halvane;
using test::Child;
using test::Click;
using test::ModalAnswers;
using test::SetText;
using test::Text;

namespace {

using Answer = std::function<void(TFormEditScreen&)>;

QColor Swatch(const TFormEditScreen& dialog) {
    return Child<QLabel>(dialog, "ShapeColor")->palette().color(QPalette::Window);
}

// The file dialog of "Open file..." picks `path`; an empty path cancels it.
std::function<void(QFileDialog&)> Choose(const std::filesystem::path& path) {
    return [path](QFileDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Select background bitmap file");
        EXPECT_EQ(dialog.nameFilters(), QStringList{"Bitmaps (*.bmp)"});
        EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
        if (path.empty())
            return;
        dialog.selectFile(QString::fromStdString(path.string()));
        static_cast<QDialog&>(dialog).accept();
    };
}

class TFormEditScreenTest : public ScreenDataRootTest {
protected:
    TFormEditScreenTest() {
        m_dock.resize(1000, 800);
        WriteText(CfgFile("back.bmp"), picture_bytes::SolidBmp(20, 20, Qt::blue).toStdString());
    }

    // Screen 3 holding `general`, prepared and docked in edit mode.
    TFormScreen& Screen(const std::string& general) {
        WriteText(ScreenPath(), "[General]\n" + general);
        m_screen = std::make_unique<TFormScreen>(m_config, m_tags, &m_dock);
        m_screen->OpenScreenFile(3);
        m_screen->LoadGeneralSettings();
        m_screen->SetScreenMode(true, false, false);
        return *m_screen;
    }
    // Runs the dialog on the screen as its callers do; `answer` works in it, `more` answers
    // the dialogs that it opens. True when it saved.
    bool Edit(const Answer& answer, const std::function<void(ModalAnswers&)>& more = {}) {
        ModalAnswers answers;
        answers.Then<TFormEditScreen>(answer);
        if (more)
            more(answers);
        return m_dialog.EditScreen(*m_screen, m_screen.get());
    }
    std::filesystem::path ScreenPath() const { return ResolveDataPath(ScreenFileName(3)); }
    std::string Stored(const char* key) const {
        return ProfileStore(ScreenPath()).ReadString("General", key, "absent");
    }

    TagTable m_tags;
    QScrollArea m_dock;
    std::unique_ptr<TFormScreen> m_screen;
    TFormEditScreen m_dialog;
};

TEST_F(TFormEditScreenTest, ShowsTheScreenAndSavesTitleBackgroundAndColour) {
    Screen("Title=Tank\nWidth=300\nHeight=200\nBackground.Bitmap=back.bmp\n"
           "Background.Solid.Color=255\n");
    const bool saved = Edit(
        [](TFormEditScreen& dialog) {
            EXPECT_EQ(dialog.windowTitle(), "Screen properties");
            EXPECT_EQ(Text(dialog, "EditTitle"), "Tank");
            EXPECT_EQ(Child<QLineEdit>(dialog, "EditTitle")->maxLength(), 200);
            EXPECT_EQ(Text(dialog, "EditBitmap"), "back.bmp");
            EXPECT_EQ(Text(dialog, "EditWidth") + "x" + Text(dialog, "EditHeight"), "300x200");
            for (const char* name : {"EditBitmap", "EditWidth", "EditHeight"})
                EXPECT_TRUE(Child<QLineEdit>(dialog, name)->isReadOnly()) << name;
            EXPECT_EQ(Swatch(dialog), QColor(255, 0, 0));
            EXPECT_TRUE(Child<QPushButton>(dialog, "ButtonSave")->font().bold());
            EXPECT_EQ(Child(dialog, "ButtonRemoveFile")->toolTip(), "Remove file");
            SetText(dialog, "EditTitle", "Pumps");
            Click(dialog, "ButtonSelectColor"); // cancelled
            EXPECT_EQ(Swatch(dialog), QColor(255, 0, 0));
            Click(dialog, "ButtonSelectColor");
            EXPECT_EQ(Swatch(dialog), QColor(0, 0, 255));
            Click(dialog, "ButtonSave");
        },
        [](ModalAnswers& answers) {
            answers.Then<QColorDialog>([](QColorDialog& colours) {
                EXPECT_EQ(colours.currentColor(), QColor(255, 0, 0));
            });
            answers.Then<QColorDialog>([](QColorDialog& colours) {
                colours.setCurrentColor(QColor(0, 0, 255));
                colours.accept();
            });
        });
    EXPECT_TRUE(saved);
    EXPECT_EQ(m_screen->Caption(), "Pumps");
    EXPECT_EQ(Stored("Title"), "Pumps");
    EXPECT_EQ(Stored("Background.Solid.Color"), "16711680");
    EXPECT_EQ(Stored("Background.Bitmap"), "back.bmp");
    EXPECT_EQ(Stored("Left") + "," + Stored("Top") + "," + Stored("Width") + "," + Stored("Height"),
              "0,0,300,200");

    // Cancel writes nothing.
    const std::string before = ReadText(ScreenPath());
    EXPECT_FALSE(Edit([](TFormEditScreen& dialog) {
        SetText(dialog, "EditTitle", "Other");
        Click(dialog, "ButtonRemoveFile");
        Click(dialog, "ButtonCancel");
    }));
    EXPECT_EQ(ReadText(ScreenPath()), before);
    EXPECT_EQ(m_screen->Caption(), "Pumps");
}

// The chosen file stays in the edit; a bitmap sizes the screen at once, even when the dialog
// is cancelled afterwards, and the size edits keep what they showed.
TEST_F(TFormEditScreenTest, ChosenBackgroundSizesTheScreenAtOnce) {
    WriteText(CfgFile("big.bmp"), picture_bytes::SolidBmp(800, 600, Qt::red).toStdString());
    WriteText(CfgFile("tall.bmp"), picture_bytes::SolidBmp(8, 600, Qt::red).toStdString());
    WriteText(CfgFile("text.bmp"), "no bitmap here");
    const struct {
        const char* chosen; // empty: the file dialog is cancelled
        QSize client;
        bool warned;
    } cases[] = {
        {"big.bmp", {800, 600}, false},
        {"tall.bmp", {300, 600}, false},
        {"text.bmp", {300, 200}, true},
        {"", {300, 200}, false},
    };
    for (const auto& c : cases) {
        Screen("Width=300\nHeight=200\nBackground.Bitmap=back.bmp\n");
        const std::filesystem::path chosen =
            *c.chosen ? CfgFile(c.chosen) : std::filesystem::path();
        const std::string said = StderrOf([&] {
            EXPECT_FALSE(Edit(
                [&](TFormEditScreen& dialog) {
                    Click(dialog, "ButtonOpenFile");
                    EXPECT_EQ(Text(dialog, "EditBitmap").toStdString(),
                              *c.chosen ? chosen.string() : "back.bmp");
                    EXPECT_EQ(Text(dialog, "EditWidth") + "x" + Text(dialog, "EditHeight"),
                              "300x200");
                    Click(dialog, "ButtonCancel");
                },
                [&](ModalAnswers& answers) { answers.Then<QFileDialog>(Choose(chosen)); }));
        });
        EXPECT_EQ(m_screen->ClientSize(), c.client) << c.chosen;
        EXPECT_EQ(said.find("Image load error: Cannot load background image from file. Verify "
                            "whether the file contains a valid bitmap.") != std::string::npos,
                  c.warned)
            << c.chosen << ": " << said;
        EXPECT_EQ(Stored("Background.Bitmap"), "back.bmp");
    }
}

TEST_F(TFormEditScreenTest, RemovedBackgroundIsSavedEmptyAndTheScreenLosesIt) {
    Screen("Width=300\nHeight=200\nBackground.Bitmap=back.bmp\nBackground.Solid.Color=255\n");
    EXPECT_EQ(m_screen->Frame().pixelColor(5, 5), QColor(Qt::blue));
    ASSERT_TRUE(Edit([](TFormEditScreen& dialog) {
        Click(dialog, "ButtonRemoveFile");
        EXPECT_EQ(Text(dialog, "EditBitmap"), "");
        Click(dialog, "ButtonSave");
    }));
    m_screen->LoadGeneralSettings();
    EXPECT_EQ(Stored("Background.Bitmap"), "");
    EXPECT_EQ(m_screen->Frame().pixelColor(5, 5), QColor(Qt::red));
}

// A size that is no number gives the default size, a colour that is no number black, and a
// missing picture no background; saving changes none of the texts it was not asked to.
TEST_F(TFormEditScreenTest, FileValuesItCannotUseAreShownAsDefaultsAndKept) {
    Screen("Title=caf\xE9\nWidth=abc\nHeight=200\nBackground.Bitmap=missing.bmp\n"
           "Background.Solid.Color=red\n");
    EXPECT_EQ(m_screen->Frame().pixelColor(5, 5), QColor(Qt::black));
    ASSERT_TRUE(Edit([](TFormEditScreen& dialog) {
        EXPECT_EQ(Text(dialog, "EditTitle"), "caf\xC3\xA9");
        EXPECT_EQ(Text(dialog, "EditWidth"), "640");
        EXPECT_EQ(Text(dialog, "EditBitmap"), "missing.bmp");
        EXPECT_EQ(Swatch(dialog), QColor(Qt::black));
        Click(dialog, "ButtonSave");
    }));
    EXPECT_EQ(Stored("Title"), "caf\xE9");
    EXPECT_EQ(Stored("Background.Solid.Color"), "red");
    EXPECT_EQ(Stored("Background.Bitmap"), "missing.bmp");
    EXPECT_EQ(Stored("Width"), "640");
}

} // namespace
