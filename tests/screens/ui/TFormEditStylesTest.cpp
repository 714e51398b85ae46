#include "TFormEditStyles.h"

#include "MessageBox.h"
#include "ScreenTestSupport.h"
#include "StylePreview.h"
#include "TextStyles.h"
#include "WidgetTestSupport.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <map>

using namespace halvane;
using test::Child;
using test::Click;
using test::ModalAnswers;
using test::SetText;
using test::Text;

namespace {

const QColor kSilver(192, 192, 192);
const QColor kNavy(0, 0, 128);

using Keys = std::map<std::string, std::string>;

class TFormEditStylesTest : public ScreenDataRootTest {
protected:
    TFormEditStylesTest() {
        m_config.WriteString("Style.0", "Name", "Big");
        m_config.WriteString("Style.1", "M.Name", "Liberation Serif"); // listed as "Style 2"
        m_config.WriteString("Style.2", "Name", "Gro\xDF");            // Windows-1252
    }
    ~TFormEditStylesTest() override { m_form.hide(); }

    void Open(std::optional<int> style) {
        if (style)
            m_form.SetStyle(*style);
        m_form.hide();
        m_form.show();
    }
    QComboBox* Combo(const char* name) { return Child<QComboBox>(m_form, name); }
    QImage Preview(const char* name) { return Child<StylePreview>(m_form, name)->Image(); }
    bool HasPixel(const QImage& image, const QColor& colour) {
        return !InkBox(image, image.rect(), [&](const QColor& c) { return c == colour; }).isEmpty();
    }
    // Every key of the section with its value.
    Keys Section(int style) {
        Keys keys;
        for (const std::string& key : m_config.ReadKeys(StyleSection(style)))
            keys[key] = m_config.ReadString(StyleSection(style), key, "");
        return keys;
    }

    TFormEditStyles m_form{m_config};
};

TEST_F(TFormEditStylesTest, OpensOnThePresetStyleWithItsFirstComponent) {
    const struct {
        std::optional<int> preset; // nullopt: not set again
        int selected;
    } cases[] = {
        {std::nullopt, 0}, // 0 before any opener set one
        {1, 1},
        {std::nullopt, 1}, // the number set last stays
        {5, -1},           // beyond the last style
        {-1, -1},          // the opener had none selected
        {2, 2},
    };
    for (const auto& c : cases) {
        Open(c.preset);
        QComboBox* styles = Combo("ComboBoxStyle");
        ASSERT_EQ(styles->count(), 3);
        EXPECT_EQ(styles->itemText(0), "Big");
        EXPECT_EQ(styles->itemText(1), "Style 2");
        EXPECT_EQ(styles->itemText(2), "Groß");
        EXPECT_EQ(styles->currentIndex(), c.selected);
        EXPECT_EQ(Combo("ComboBoxComponent")->currentIndex(), 0);
        // Without a style only another style can be chosen, and the previews stay empty.
        const bool editable = c.selected >= 0;
        EXPECT_EQ(Child(m_form, "ButtonSelectFont")->isEnabled(), editable);
        EXPECT_EQ(Child(m_form, "ButtonChangeName")->isEnabled(), editable);
        EXPECT_EQ(Child(m_form, "CheckBoxHideCaption")->isEnabled(), editable);
        EXPECT_EQ(HasPixel(Preview("PaintBoxNormal"), Qt::white), editable);
        EXPECT_EQ(HasPixel(Preview("PaintBoxHighlighted"), Qt::white), editable);
    }
    EXPECT_EQ(m_form.windowTitle(), "Styles");
}

TEST_F(TFormEditStylesTest, ControlsShowTheComponentOfTheChosenStyle) {
    m_config.WriteInteger("Style.1", "A.VAlign", 1);
    m_config.WriteInteger("Style.1", "A.HOffset", 12);
    m_config.WriteBool("Style.1", "HideDescription", true);
    Open(0);
    Combo("ComboBoxComponent")->setCurrentIndex(2);
    Combo("ComboBoxStyle")->setCurrentIndex(1); // a change of style starts on the value again
    EXPECT_EQ(Combo("ComboBoxComponent")->currentIndex(), 0);
    EXPECT_EQ(Child<QAbstractButton>(m_form, "ButtonSelectFont")->text(), "Liberation Serif");
    EXPECT_TRUE(Child<QAbstractButton>(m_form, "ButtonAlignCenter")->isChecked());
    EXPECT_EQ(Text(m_form, "EditOffset"), "0");
    EXPECT_TRUE(Child<QCheckBox>(m_form, "CheckBoxHideCaption")->isChecked());

    Combo("ComboBoxComponent")->setCurrentIndex(1);
    EXPECT_EQ(Child<QAbstractButton>(m_form, "ButtonSelectFont")->text(), "Arial");
    EXPECT_TRUE(Child<QAbstractButton>(m_form, "ButtonAlignRight")->isChecked());
    EXPECT_EQ(Text(m_form, "EditOffset"), "12");

    // Restored from minimised, the editor is not shown anew: the choices stay.
    test::MinimiseAndRestore(m_form);
    EXPECT_EQ(Combo("ComboBoxStyle")->currentIndex(), 1);
    EXPECT_EQ(Combo("ComboBoxComponent")->currentIndex(), 1);
    EXPECT_EQ(Text(m_form, "EditOffset"), "12");
}

// Each control writes its keys of the component shown, and the previews show the change
// at once: the normal one draws the value's normal look, the highlighted one its
// highlighted look, both the caption.
TEST_F(TFormEditStylesTest, EveryControlWritesItsKeysAndRepaintsThePreviews) {
    const auto answerFont = [](ModalAnswers& answers) {
        answers.Then<QFontDialog>([](QFontDialog& dialog) {
            QFont font("Liberation Serif", 24);
            font.setBold(true);
            dialog.setCurrentFont(font);
            dialog.accept();
        });
    };
    const auto answerColour = [](ModalAnswers& answers) {
        answers.Then<QColorDialog>([](QColorDialog& dialog) {
            dialog.setCurrentColor(QColor(255, 0, 0));
            dialog.accept();
        });
    };
    const struct {
        const char* name;
        int component; // 0 M, 1 A, 2 D
        std::function<void(ModalAnswers&)> answer;
        std::function<void(TFormEditStyles&)> act;
        Keys written;
        bool normalChanges;
        bool highlightedChanges;
    } cases[] = {
        {"font of the value",
         0,
         answerFont,
         [](TFormEditStyles& form) { Click(form, "ButtonSelectFont"); },
         {{"M.Name", "Liberation Serif"}, {"M.Height", "-32"}, {"M.Bold", "1"}, {"M.Italic", "0"}},
         true,
         false},
        {"colour of the highlighted value",
         1,
         answerColour,
         [](TFormEditStyles& form) { Click(form, "ButtonSelectColor"); },
         {{"A.Font.Color.R", "255"}, {"A.Font.Color.G", "0"}, {"A.Font.Color.B", "0"}},
         false,
         true},
        {"value aligned right",
         0,
         nullptr,
         [](TFormEditStyles& form) { Click(form, "ButtonAlignRight"); },
         {{"M.VAlign", "1"}},
         true,
         false},
        {"caption aligned left",
         2,
         nullptr,
         [](TFormEditStyles& form) { Click(form, "ButtonAlignLeft"); },
         {{"D.VAlign", "3"}},
         true,
         true},
        {"highlighted value centred",
         1,
         nullptr,
         [](TFormEditStyles& form) { Click(form, "ButtonAlignCenter"); },
         {{"A.VAlign", "2"}},
         false,
         false},
        {"caption offset typed",
         2,
         nullptr,
         [](TFormEditStyles& form) {
             auto* edit = Child<QLineEdit>(form, "EditOffset");
             edit->selectAll();
             QTest::keyClicks(edit, "35");
             QTest::keyClick(edit, Qt::Key_Return);
         },
         {{"D.HOffset", "35"}},
         true,
         true},
        {"caption hidden",
         0,
         nullptr,
         [](TFormEditStyles& form) { Click(form, "CheckBoxHideCaption"); },
         {{"HideDescription", "1"}},
         true,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_config.EraseSection("Style.0");
        m_config.WriteString("Style.0", "Name", "Big");
        Open(0);
        Combo("ComboBoxComponent")->setCurrentIndex(c.component);
        const QImage normal = Preview("PaintBoxNormal");
        const QImage highlighted = Preview("PaintBoxHighlighted");
        {
            ModalAnswers answers;
            if (c.answer)
                c.answer(answers);
            c.act(m_form);
        }
        Keys expected = c.written;
        expected["Name"] = "Big";
        EXPECT_EQ(Section(0), expected);
        EXPECT_EQ(Preview("PaintBoxNormal") != normal, c.normalChanges);
        EXPECT_EQ(Preview("PaintBoxHighlighted") != highlighted, c.highlightedChanges);
    }
    // Return in the offset field presses no button (the first one would be made default
    // on show otherwise).
    EXPECT_TRUE(m_form.isVisible());
    for (const QPushButton* button : m_form.findChildren<QPushButton*>())
        EXPECT_FALSE(button->isDefault()) << button->objectName().toStdString();
}

TEST_F(TFormEditStylesTest, FontAndColourDialogsStartFromTheComponentAndCancelWritesNothing) {
    m_config.WriteInteger("Style.0", "D.Height", -32);
    m_config.WriteBool("Style.0", "D.Italic", true);
    m_config.WriteInteger("Style.0", "D.Font.Color.R", 0x1FF); // only the low 8 bits count
    m_config.WriteInteger("Style.0", "D.Font.Color.G", 128);
    m_config.WriteInteger("Style.0", "D.Font.Color.B", 0);
    const Keys before = Section(0);
    Open(0);
    Combo("ComboBoxComponent")->setCurrentIndex(2);
    ModalAnswers answers;
    answers.Then<QFontDialog>([](QFontDialog& dialog) {
        EXPECT_DOUBLE_EQ(dialog.currentFont().pointSizeF(), 24);
        EXPECT_TRUE(dialog.currentFont().italic());
        dialog.reject();
    });
    answers.Then<QColorDialog>([](QColorDialog& dialog) {
        EXPECT_EQ(dialog.currentColor(), QColor(255, 128, 0));
        dialog.reject();
    });
    Click(m_form, "ButtonSelectFont");
    Click(m_form, "ButtonSelectColor");
    EXPECT_EQ(Section(0), before);
}

TEST_F(TFormEditStylesTest, OnlyAWholeNumberTypedIntoTheOffsetIsWritten) {
    const struct {
        const char* typed;
        const char* stored; // nullptr: nothing written
    } cases[] = {
        {"35", "35"},  {" -5 ", "-5"},    {"abc", nullptr},         {"1.5", nullptr},
        {"", nullptr}, {"12px", nullptr}, {"99999999999", nullptr},
    };
    for (const auto& c : cases) {
        m_config.DeleteKey("Style.0", "D.HOffset");
        Open(0);
        Combo("ComboBoxComponent")->setCurrentIndex(2);
        auto* edit = Child<QLineEdit>(m_form, "EditOffset");
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, c.typed);
        emit edit->editingFinished();
        EXPECT_EQ(m_config.ReadString("Style.0", "D.HOffset", "(absent)"),
                  c.stored != nullptr ? c.stored : "(absent)")
            << c.typed;
    }

    // Passing through the field shows 0 for the caption but keeps the absent key, which
    // draws the caption 20 pixels lower.
    m_config.DeleteKey("Style.0", "D.HOffset");
    Open(0);
    Combo("ComboBoxComponent")->setCurrentIndex(2);
    EXPECT_EQ(Text(m_form, "EditOffset"), "0");
    emit Child<QLineEdit>(m_form, "EditOffset")->editingFinished();
    EXPECT_FALSE(m_config.ReadKeys("Style.0").size() > 1);
}

TEST_F(TFormEditStylesTest, RenamingWritesANonEmptyNameShownAtTheNextOpening) {
    const struct {
        const char* answer;
        const char* stored;
    } cases[] = {
        {"Large", "Large"},
        {"", "Large"}, // an empty answer (or a cancelled box) keeps the name
        {"Größe", "Gr\xC3\xB6\xC3\x9F"
                  "e"},
    };
    for (const auto& c : cases) {
        Open(0);
        MessageBox::SetNextInput(c.answer);
        Click(m_form, "ButtonChangeName");
        EXPECT_EQ(MessageBox::LastCaption(), "Style name");
        EXPECT_EQ(MessageBox::LastText(), "Enter style name");
        EXPECT_EQ(m_config.ReadString("Style.0", "Name", ""), c.stored);
    }
    EXPECT_EQ(Combo("ComboBoxStyle")->itemText(0), "Large");
    Open(0);
    EXPECT_EQ(Combo("ComboBoxStyle")->itemText(0), "Größe");
}

TEST_F(TFormEditStylesTest, PreviewTextsAndBackgroundAreTheEditorsOwn) {
    m_config.WriteBool("Style.0", "HideDescription", true);
    Open(0);
    EXPECT_EQ(Text(m_form, "EditValue"), "100 %");
    EXPECT_EQ(Text(m_form, "EditCaption"), "This is tag name");
    EXPECT_EQ(Child<QLineEdit>(m_form, "EditValue")->maxLength(), 50);
    EXPECT_EQ(Child<QLineEdit>(m_form, "EditCaption")->maxLength(), 200);
    const QImage normal = Preview("PaintBoxNormal");
    EXPECT_EQ(normal.pixelColor(0, normal.height() - 1), kSilver);

    SetText(m_form, "EditValue", "42 bar");
    EXPECT_NE(Preview("PaintBoxNormal"), normal);
    const QImage shortValue = Preview("PaintBoxNormal");
    SetText(m_form, "EditCaption", "Level"); // hidden caption: nothing changes
    EXPECT_EQ(Preview("PaintBoxNormal"), shortValue);

    Child<QRadioButton>(m_form, "RadioButtonDark")->click();
    for (const char* preview : {"PaintBoxNormal", "PaintBoxHighlighted"}) {
        const QImage image = Preview(preview);
        EXPECT_EQ(image.pixelColor(0, image.height() - 1), kNavy) << preview;
    }
    EXPECT_EQ(Section(0), (Keys{{"Name", "Big"}, {"HideDescription", "1"}}));
}

// Keys of the wrong type show and draw as their defaults, and looking at them changes
// nothing in the file.
TEST_F(TFormEditStylesTest, KeysOfTheWrongTypeShowDefaultsAndStayInTheFile) {
    for (const char* key : {"M.Height", "M.Font.Color.R", "M.VAlign", "M.HOffset", "D.HOffset",
                            "A.Font.Color.B", "HideDescription"})
        m_config.WriteString("Style.3", key, "not a number");
    m_config.WriteString("Style.4", "Name", "Only a name");
    const std::string file = ReadText(CfgFile("config.cfg"));
    Open(4);
    const QImage normal = Preview("PaintBoxNormal");
    const QImage highlighted = Preview("PaintBoxHighlighted");
    Open(3);
    EXPECT_EQ(Preview("PaintBoxNormal"), normal);
    EXPECT_EQ(Preview("PaintBoxHighlighted"), highlighted);
    for (int component : {0, 1, 2}) {
        Combo("ComboBoxComponent")->setCurrentIndex(component);
        EXPECT_EQ(Text(m_form, "EditOffset"), "0");
        EXPECT_TRUE(Child<QAbstractButton>(m_form, "ButtonAlignCenter")->isChecked());
        emit Child<QLineEdit>(m_form, "EditOffset")->editingFinished();
    }
    EXPECT_FALSE(Child<QCheckBox>(m_form, "CheckBoxHideCaption")->isChecked());
    Click(m_form, "ButtonClose");
    EXPECT_FALSE(m_form.isVisible());
    EXPECT_EQ(ReadText(CfgFile("config.cfg")), file);
}

TEST_F(TFormEditStylesTest, WithoutStylesNothingCanBeEdited) {
    TempDir empty;
    ProfileStore config(empty / "config.cfg");
    TFormEditStyles form(config);
    ModalAnswers answers; // a dialog opened by mistake is recorded, not waited for
    form.show();
    EXPECT_EQ(Child<QComboBox>(form, "ComboBoxStyle")->count(), 0);
    Click(form, "ButtonSelectFont"); // disabled: no dialog, no key
    Click(form, "ButtonChangeName");
    EXPECT_FALSE(config.SectionExists("Style.0"));
    EXPECT_FALSE(config.SectionExists("Style.-1"));
    form.hide();
}

TEST_F(TFormEditStylesTest, AWriteThatFailsIsReported) {
    Open(0);
    std::filesystem::remove(CfgFile("config.cfg"));
    std::filesystem::create_directories(CfgFile("config.cfg")); // unreadable from now on
    const std::string reported = StderrOf([&] { Click(m_form, "CheckBoxHideCaption"); });
    EXPECT_NE(reported.find("Configuration not saved"), std::string::npos) << reported;
}

TEST_F(TFormEditStylesTest, AddingAStyleAsksTwiceAndNamesTheFirstAbsentNumber) {
    m_config.WriteString("Style.3", "Name", "Style"); // 0 to 3 exist
    const struct {
        MessageBox::Button answer;
        const char* name; // nullptr: no name asked
        std::optional<QString> added;
        const char* lastCaption;
    } cases[] = {
        {QMessageBox::No, nullptr, std::nullopt, "Add a new style"},
        {QMessageBox::Yes, "", std::nullopt, "Style name"},
        {QMessageBox::Yes, "Tank", "Tank", "Style added"},
        {QMessageBox::Yes, "Pump", "Pump", "Style added"},
    };
    for (const auto& c : cases) {
        MessageBox::SetNextAnswer(c.answer);
        if (c.name != nullptr)
            MessageBox::SetNextInput(c.name);
        EXPECT_EQ(TFormEditStyles::AskToAddStyle(nullptr, m_config), c.added);
        EXPECT_EQ(MessageBox::LastCaption(), c.lastCaption);
    }
    EXPECT_EQ(MessageBox::LastText(), "Style has been added.");
    EXPECT_EQ(StyleListNames(m_config),
              (std::vector<std::string>{"Big", "Style 2", "Groß", "Style", "Tank", "Pump"}));
    EXPECT_EQ(Section(4), (Keys{{"Name", "Tank"}}));

    MessageBox::SetNextAnswer(QMessageBox::No);
    TFormEditStyles::AskToAddStyle(nullptr, m_config);
    EXPECT_EQ(MessageBox::LastText(),
              "You can reuse available styles. Do you want to add one more style?");

    std::filesystem::create_directories(m_root / "cfg/folder.cfg");
    ProfileStore unreadable(m_root / "cfg/folder.cfg");
    MessageBox::SetNextAnswer(QMessageBox::Yes);
    MessageBox::SetNextInput("Tank");
    const std::string reported = StderrOf(
        [&] { EXPECT_EQ(TFormEditStyles::AskToAddStyle(nullptr, unreadable), std::nullopt); });
    EXPECT_NE(reported.find("Configuration not saved"), std::string::npos) << reported;
    EXPECT_EQ(MessageBox::LastCaption(), "Configuration not saved"); // not "Style added"
}

} // namespace
