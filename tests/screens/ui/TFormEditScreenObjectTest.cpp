#include "TFormEditScreenObject.h"

#include "ConversionMessages.h"
#include "GalleryBrowserTestSupport.h"
#include "MessageBox.h"
#include "PictureBytes.h"
#include "ScreenTestSupport.h"
#include "TFormEditStyles.h"
#include "TFormGalleryBrowser.h"
#include "TagTable.h"
#include "WidgetInput.h"
#include "WidgetTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

#include <gtest/gtest.h>

using namespace halvane;
using test::Child;
using test::Click;
using test::DoubleClickEntry;
using test::ModalAnswers;
using test::SetText;
using test::Text;

namespace {

TDataChannel Tag(const std::string& name, int function) {
    TDataChannel tag;
    tag.Name = name;
    tag.Function = function;
    return tag;
}

// An object at (10, 20) to (110, 70).
TScreenMarker Object(int32_t type, int32_t attrInt = 0, const std::string& attrStr = {},
                     double attrDouble = 0) {
    TScreenMarker object;
    object.Left = 10;
    object.Top = 20;
    object.Right = 110;
    object.Bottom = 70;
    object.Channel = 1;
    object.UseStyle = 1;
    object.Type = type;
    object.AttrInt1 = attrInt;
    object.AttrStr1 = attrStr;
    object.AttrDouble1 = attrDouble;
    return object;
}

class TFormEditScreenObjectTest : public ScreenDataRootTest {
protected:
    TFormEditScreenObjectTest() {
        // The file's names differ from the tags' in memory: the list shows the file's.
        m_tags.Assign({Tag("Level", 2), Tag("Valve", 5), Tag("Pump", 0)});
        m_config.WriteString("Channel.0", "Name", "Boiler");
        m_config.WriteString("Channel.1", "Name", "Inlet valve");
        m_config.WriteString("Channel.2", "Name", "Pump");
        m_config.WriteString("Style.0", "Name", "Big");
        m_config.WriteString("Style.1", "M.Name", "Arial");
        const char* labelSets[] = {"1;0", "On;Off", "Open;Close", "True;False", "Yes;No"};
        for (int n = 0; n < 5; ++n)
            m_config.WriteString("Strings", LabelSetKey(n), labelSets[n]);
        m_config.WriteString("Strings", FunctionButtonKey(2), "Exit");
        WriteText(m_root / "gallery/pumps/pump.bmp",
                  picture_bytes::SolidBmp(64, 48, Qt::blue).toStdString());
        WriteText(m_root / "gallery/tanks/tank.bmp",
                  picture_bytes::SolidBmp(40, 40, Qt::red).toStdString());
    }
    ~TFormEditScreenObjectTest() override { m_dialog.hide(); }

    void Edit(TScreenMarker& object) {
        m_dialog.EditObject(object);
        m_dialog.show();
    }
    void New(TScreenMarker& object) {
        m_dialog.NewObject(object);
        m_dialog.show();
    }
    // Saves; true when the dialog closed with OK.
    bool Save() {
        Click(m_dialog, "ButtonSave");
        return !m_dialog.isVisible() && m_dialog.result() == QDialog::Accepted;
    }
    QComboBox* Combo(const char* name) { return Child<QComboBox>(m_dialog, name); }
    // What a list or an edit shows.
    QString Shown(const char* name) {
        if (auto* combo = m_dialog.findChild<QComboBox*>(name))
            return combo->currentText();
        return Text(m_dialog, name);
    }
    bool PanelShown(const char* name) { return Child(m_dialog, name)->isVisibleTo(&m_dialog); }

    TagTable m_tags;
    TFormEditStyles m_styleEditor{m_config};
    TFormEditScreenObject m_dialog{m_config, m_tags, m_styleEditor};
};

TEST_F(TFormEditScreenObjectTest, EveryTypeShowsItsAttributesAndSavesThemBack) {
    const struct {
        int32_t type;
        int32_t attrInt;
        const char* attrStr;
        double attrDouble;
        const char* shownIn; // nullptr: the type shows no attribute
        const char* shown;
        int32_t savedInt;
        const char* savedStr;
        double savedDouble;
    } cases[] = {
        {0, 3, "x", 2.5, nullptr, "", 0, "", 0},
        {1, 3, "x", 2.5, "ComboBoxBinary", "True;False", 3, "", 0},
        {2, 3, "0=off;1=on", 2.5, "EditEnum", "0=off;1=on", 0, "0=off;1=on", 0},
        {3, 3, "x", 2.5, nullptr, "", 0, "", 0},
        {4, 3, "x", 2.5, nullptr, "", 0, "", 0},
        {5, 3, "x", 2.5, "ComboBoxFunction", "Open history files", 3, "", 0},
        {6, 3, "Raw water", 2.5, "EditLabel", "Raw water", 0, "Raw water", 0},
        {100, 3, "tanks\\tank.bmp", 2.5, "EditSymbol", "tanks\\tank.bmp", 0, "tanks\\tank.bmp", 0},
        {50, 3, "x", 2.5, nullptr, "", 0, "", 0},
        {51, 3, "Open", 2.5, "EditPresetButtonLabel", "Open", 0, "Open", 2.5},
    };
    for (const auto& c : cases) {
        TScreenMarker object = Object(c.type, c.attrInt, c.attrStr, c.attrDouble);
        Edit(object);
        EXPECT_EQ(Shown("ComboBoxExType"),
                  QString::fromStdString(EditorTypeNames()[size_t(TypeEntry(c.type))]));
        EXPECT_EQ(Shown("ComboBoxPoints"), "2. Inlet valve");
        EXPECT_EQ(Shown("ComboBoxStyles"), "Style 2");
        EXPECT_EQ(Child<QLabel>(m_dialog, "LabelPosition")->text(), "10,20 px");
        if (c.shownIn != nullptr) {
            EXPECT_EQ(Shown(c.shownIn), c.shown) << c.type;
        }
        if (c.type == kPresetValueButton) {
            EXPECT_EQ(Text(m_dialog, "EditPresetValue"), "2.5");
        }

        ASSERT_TRUE(Save()) << c.type;
        EXPECT_EQ(object.Type, c.type);
        EXPECT_EQ(object.Channel, 1);
        EXPECT_EQ(object.UseStyle, 1);
        EXPECT_EQ(object.AttrInt1, c.savedInt) << c.type;
        EXPECT_EQ(object.AttrStr1, c.savedStr) << c.type;
        EXPECT_EQ(object.AttrDouble1, c.savedDouble) << c.type;
        EXPECT_EQ(object.Rect(), (MarkerRect{10, 20, 110, 70})) << c.type;
    }
}

// Restored from minimised, the dialog is not shown anew: the typing stays. "&Cancel", even
// after a refused save, leaves the object as it was.
TEST_F(TFormEditScreenObjectTest, CancelLeavesTheObjectAsItWas) {
    for (const bool refusedFirst : {false, true}) {
        SCOPED_TRACE(refusedFirst);
        TScreenMarker object = Object(kStaticText, 0, "Raw water");
        Edit(object);
        SetText(m_dialog, "EditLabel", "Changed");
        test::MinimiseAndRestore(m_dialog);
        EXPECT_EQ(Text(m_dialog, "EditLabel"), "Changed");
        if (refusedFirst) {
            Combo("ComboBoxExType")->setCurrentIndex(TypeEntry(kNumericInput));
            Combo("ComboBoxPoints")->setCurrentIndex(0); // an input tag
            EXPECT_FALSE(Save());
        } else {
            Combo("ComboBoxExType")->setCurrentIndex(TypeEntry(kCurrentTime));
        }
        Click(m_dialog, "ButtonCancel");
        EXPECT_EQ(m_dialog.result(), QDialog::Rejected);
        EXPECT_EQ(object.Type, kStaticText);
        EXPECT_EQ(object.Channel, 1);
        EXPECT_EQ(object.AttrStr1, "Raw water");
    }
}

TEST_F(TFormEditScreenObjectTest, DroppedCurrentDateShowsItsPanelsAndHeight) {
    TScreenMarker object;
    object.Left = 40;
    object.Top = 50;
    object.Type = kCurrentDate;
    New(object);
    EXPECT_EQ(object.Rect(), (MarkerRect{40, 50, 140, 150}));
    EXPECT_EQ(Shown("ComboBoxExType"), "Current Date");
    EXPECT_FALSE(PanelShown("PanelTag"));
    EXPECT_TRUE(PanelShown("PanelStyle"));
    EXPECT_TRUE(PanelShown("PanelPosition"));
    for (const char* hidden :
         {"PanelAction", "PanelLabels", "PanelText", "PanelPreset", "PanelSymbol", "PanelEnum"})
        EXPECT_FALSE(PanelShown(hidden)) << hidden;
    EXPECT_EQ(m_dialog.frameGeometry().height(), 27 + 40 + 40 + 40 + 41 + 60);

    Combo("ComboBoxExType")->setCurrentIndex(TypeEntry(kPresetValueButton));
    EXPECT_TRUE(PanelShown("PanelTag"));
    EXPECT_TRUE(PanelShown("PanelPreset"));
    EXPECT_EQ(m_dialog.frameGeometry().height(), 27 + 40 + 40 + 40 + 40 + 80 + 41 + 60);
    Combo("ComboBoxExType")->setCurrentIndex(TypeEntry(kGraphicalSymbol));
    EXPECT_FALSE(PanelShown("PanelStyle"));
    EXPECT_TRUE(PanelShown("PanelSymbol"));
}

TEST_F(TFormEditScreenObjectTest, NewObjectStartsOnFirstEntriesAndKeepsPresetAndSymbol) {
    TScreenMarker preset = Object(kPresetValueButton, 0, "Open", 2.5);
    Edit(preset);
    SetText(m_dialog, "EditEnum", "0=a");
    SetText(m_dialog, "EditLabel", "Old text");
    Combo("ComboBoxFunction")->setCurrentIndex(3);
    Click(m_dialog, "ButtonCancel");

    TScreenMarker object;
    New(object);
    EXPECT_EQ(Shown("ComboBoxExType"), "Numeric Display");
    EXPECT_EQ(Shown("ComboBoxPoints"), "1. Boiler");
    EXPECT_EQ(Shown("ComboBoxStyles"), "Big");
    EXPECT_EQ(Combo("ComboBoxFunction")->currentIndex(), 0);
    EXPECT_EQ(Shown("ComboBoxBinary"), "1;0");
    EXPECT_EQ(Text(m_dialog, "EditEnum"), "");
    EXPECT_EQ(Text(m_dialog, "EditLabel"), "");
    EXPECT_EQ(Text(m_dialog, "EditPresetValue"), "2.5");
    EXPECT_EQ(Text(m_dialog, "EditPresetButtonLabel"), "Open");
    EXPECT_EQ(Text(m_dialog, "EditSymbol"), "Select symbol...");
}

TEST_F(TFormEditScreenObjectTest, NewStaticTextSavesAnEmptyText) {
    TScreenMarker object;
    object.Type = kStaticText;
    object.AttrStr1 = "stale";
    New(object);
    ASSERT_TRUE(Save());
    EXPECT_EQ(object.Type, kStaticText);
    EXPECT_EQ(object.AttrStr1, "");
}

TEST_F(TFormEditScreenObjectTest, BinaryDisplayShowsItsSetAndStoresNoneFromAnEmptyList) {
    TScreenMarker object = Object(kBinaryDisplay, 3);
    Edit(object);
    ASSERT_EQ(Combo("ComboBoxBinary")->count(), 5);
    EXPECT_EQ(Combo("ComboBoxBinary")->currentIndex(), 3);
    Click(m_dialog, "ButtonCancel");

    m_config.WriteString("Strings", LabelSetKey(0), "");
    Edit(object);
    EXPECT_EQ(Combo("ComboBoxBinary")->count(), 0);
    ASSERT_TRUE(Save());
    EXPECT_EQ(object.AttrInt1, -1);
}

TEST_F(TFormEditScreenObjectTest, NumericInputOnAnInputTagStaysOpenUntilAnOutputTagIsChosen) {
    TScreenMarker object;
    object.Type = kNumericInput;
    New(object);
    ASSERT_EQ(Shown("ComboBoxPoints"), "1. Boiler"); // Function 2: Read Holding Register
    EXPECT_FALSE(Save());
    EXPECT_TRUE(m_dialog.isVisible());
    EXPECT_EQ(MessageBox::LastCaption(), "Read-only tag selected for write operation");
    EXPECT_EQ(MessageBox::LastText(),
              "You selected an input (read-only) tag. Write operation will take no effect for "
              "input tag. Please select an output tag to continue.");

    Combo("ComboBoxPoints")->setCurrentIndex(1); // Function 5: Write Holding Register
    EXPECT_TRUE(Save());
    EXPECT_EQ(object.Channel, 1);
}

// The check box is offered to the objects that write and reaches the object on save.
TEST_F(TFormEditScreenObjectTest, AskBeforeWritingForInputsAndPresetButtons) {
    TScreenMarker object = Object(kPresetValueButton, 0, "Start", 1);
    Edit(object);
    auto* confirm = Child<QCheckBox>(m_dialog, "CheckBoxConfirm");
    EXPECT_EQ(confirm->text(), "Ask before writing");
    EXPECT_TRUE(confirm->isVisibleTo(&m_dialog));
    EXPECT_FALSE(confirm->isChecked());
    test::MouseClick(m_dialog, "CheckBoxConfirm");
    ASSERT_TRUE(Save());
    EXPECT_TRUE(object.Confirm);

    Edit(object);
    EXPECT_TRUE(confirm->isChecked());
    for (const ObjectKind& kind : kObjectKinds) {
        Combo("ComboBoxExType")->setCurrentIndex(TypeEntry(kind.type));
        EXPECT_EQ(confirm->isVisibleTo(&m_dialog),
                  kind.type == kNumericInput || kind.type == kPresetValueButton)
            << kind.name;
    }
    Combo("ComboBoxExType")->setCurrentIndex(TypeEntry(kNumericDisplay));
    ASSERT_TRUE(Save());
    EXPECT_FALSE(object.Confirm);
}

TEST_F(TFormEditScreenObjectTest, WritingObjectWithoutATagIsAccepted) {
    TScreenMarker stale = Object(kNumericInput);
    stale.Channel = 7; // beyond the table: no entry is selected
    Edit(stale);
    EXPECT_EQ(Combo("ComboBoxPoints")->currentIndex(), -1);
    EXPECT_TRUE(Save());
    EXPECT_EQ(stale.Channel, -1);

    const TagTable noTags;
    TFormEditScreenObject dialog(m_config, noTags, m_styleEditor);
    TScreenMarker object;
    object.Type = kNumericInput;
    dialog.NewObject(object);
    dialog.show();
    EXPECT_EQ(Child<QComboBox>(dialog, "ComboBoxPoints")->count(), 0);
    Click(dialog, "ButtonSave");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(object.Channel, -1);
}

TEST_F(TFormEditScreenObjectTest, PresetValueThatIsNotANumberIsReportedAndTheDialogCloses) {
    TScreenMarker object;
    object.Type = kPresetValueButton;
    New(object);
    Combo("ComboBoxPoints")->setCurrentIndex(1);
    SetText(m_dialog, "EditPresetValue", "abc");
    SetText(m_dialog, "EditPresetButtonLabel", "Go");
    EXPECT_TRUE(Save());
    EXPECT_EQ(MessageBox::LastText(), QString::fromStdString(NotAFloatMessage("abc")));
    EXPECT_EQ(object.AttrStr1, "Go");
    EXPECT_EQ(object.AttrDouble1, 0.0);
}

TEST_F(TFormEditScreenObjectTest, EditWritesTheLabelSetAndCancelWritesItBackUnchanged) {
    TScreenMarker object = Object(kBinaryDisplay, 1);
    Edit(object);
    MessageBox::SetNextInput("Auto;Manual");
    Click(m_dialog, "ButtonEditLabels");
    EXPECT_EQ(MessageBox::LastCaption(), "Edit labels for binary value");
    EXPECT_EQ(MessageBox::LastText(), "Enter 2 labels (true;false):");
    EXPECT_EQ(m_config.ReadString("Strings", "Marker.Binary.1", ""), "Auto;Manual");
    EXPECT_EQ(Shown("ComboBoxBinary"), "Auto;Manual"); // shown at once, still selected

    // Offscreen, an unanswered input box is cancelled: its default text comes back.
    m_config.WriteString("Strings", LabelSetKey(2), "Ouvert;Ferm\xE9");
    Combo("ComboBoxBinary")->setCurrentIndex(2);
    Click(m_dialog, "ButtonEditLabels");
    EXPECT_NE(ReadText(CfgFile("config.cfg")).find("Marker.Binary.2=Ouvert;Ferm\xE9\n"),
              std::string::npos);

    MessageBox::SetNextInput("");
    Click(m_dialog, "ButtonEditLabels");
    EXPECT_EQ(m_config.ReadString("Strings", "Marker.Binary.2", ""), "Ouvert;Ferm\xE9");
}

TEST_F(TFormEditScreenObjectTest, CaptionWritesTheFunctionButtonText) {
    TScreenMarker object = Object(kFunctionButton, 2);
    Edit(object);
    MessageBox::SetNextInput("Quit");
    Click(m_dialog, "ButtonCaption");
    EXPECT_EQ(MessageBox::LastCaption(), "Edit button caption");
    EXPECT_EQ(MessageBox::LastText(), "Enter caption:");
    EXPECT_EQ(m_config.ReadString("Strings", "FunctionButton.2", ""), "Quit");
}

TEST_F(TFormEditScreenObjectTest, TextThatCouldNotBeWrittenIsReported) {
    std::filesystem::create_directories(m_root / "cfg/folder.cfg");
    ProfileStore unreadable(m_root / "cfg/folder.cfg");
    TFormEditScreenObject dialog(unreadable, m_tags, m_styleEditor);
    TScreenMarker object = Object(kFunctionButton, 0);
    dialog.EditObject(object);
    dialog.show();
    MessageBox::SetNextInput("<<<");
    Click(dialog, "ButtonCaption");
    EXPECT_EQ(MessageBox::LastCaption(), "Configuration not saved");
}

TEST_F(TFormEditScreenObjectTest, SymbolChosenInTheGallerySizesANewSymbolOnly) {
    std::filesystem::copy(HALVANE_DEMO_GALLERY, m_root / "gallery",
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::skip_existing);
    TFormEditScreenObject dialog(m_config, m_tags,
                                 m_styleEditor); // its browser opens the gallery index now
    const auto choose = [](const char* picture) {
        return [picture](TFormGalleryBrowser& browser) {
            DoubleClickEntry(browser, "Valves");
            DoubleClickEntry(browser, picture);
        };
    };
    {
        ModalAnswers answers;
        answers.Then<TFormGalleryBrowser>(choose("valve-closed.bmp")); // 48 × 40
        TScreenMarker object;
        object.Left = 5;
        object.Top = 6;
        object.Type = kGraphicalSymbol;
        dialog.NewObject(object);
        dialog.show();
        Click(dialog, "ButtonSelectSymbol");
        EXPECT_EQ(Text(dialog, "EditSymbol"), "valves\\valve-closed.bmp");
        Click(dialog, "ButtonSave");
        EXPECT_EQ(object.AttrStr1, "valves\\valve-closed.bmp");
        EXPECT_EQ(object.Rect(), (MarkerRect{5, 6, 53, 46}));
    }
    ModalAnswers answers;
    answers.Then<TFormGalleryBrowser>(choose("valve-open.bmp"));
    answers.Then<TFormGalleryBrowser>([](TFormGalleryBrowser& browser) {
        DoubleClickEntry(browser, "Pumps");
        Click(browser, "ButtonClose");
    });
    TScreenMarker object = Object(kGraphicalSymbol, 0, "tanks\\tank.bmp");
    dialog.EditObject(object);
    dialog.show();
    Click(dialog, "ButtonSelectSymbol");
    Click(dialog, "ButtonSelectSymbol"); // closed without a choice: the choice stays
    EXPECT_EQ(Text(dialog, "EditSymbol"), "valves\\valve-open.bmp");
    Click(dialog, "ButtonSave");
    EXPECT_EQ(object.AttrStr1, "valves\\valve-open.bmp");
    EXPECT_EQ(object.Rect(), (MarkerRect{10, 20, 110, 70}));
    ASSERT_TRUE(object.Graphic.has_value());
    EXPECT_EQ(object.Graphic->Size(), QSize(48, 40));
}

// A symbol follows the chosen tag with its pictures; pairs that do not read keep the
// dialog open and the object as it was; another type follows no tag.
TEST_F(TFormEditScreenObjectTest, SymbolsFollowATagWithAPicturePerValue) {
    TScreenMarker object = Object(kGraphicalSymbol, 0, "tanks\\tank.bmp");
    Edit(object);
    EXPECT_TRUE(PanelShown("PanelSymbolStates"));
    EXPECT_EQ(m_dialog.frameGeometry().height(), 27 + 40 + 40 + 40 + 120 + 41 + 60);
    EXPECT_EQ(Shown("ComboBoxSymbolTag"), "(none)");
    Combo("ComboBoxSymbolTag")->setCurrentIndex(3);
    SetText(m_dialog, "EditSymbolPictures", "0=pumps/pump.bmp;on=tanks/tank.bmp");
    StderrOf([&] { EXPECT_FALSE(Save()); });
    EXPECT_EQ(MessageBox::LastCaption(), "Pictures per value not read");
    EXPECT_FALSE(object.States.IsBound());

    SetText(m_dialog, "EditSymbolPictures", " 0 = pumps/pump.bmp ; 1=tanks\\tank.bmp");
    SetText(m_dialog, "EditSymbolNoValue", "pumps/absent.svg");
    ASSERT_TRUE(Save());
    EXPECT_EQ(object.States.Tag, 2);
    EXPECT_EQ(object.States.Pictures, "0=pumps/pump.bmp;1=tanks\\tank.bmp");
    EXPECT_EQ(object.States.NoValue, "pumps/absent.svg");
    ASSERT_EQ(object.States.Loaded.size(), 2u);
    EXPECT_EQ(object.States.Loaded[0].second->Size(), QSize(64, 48));
    EXPECT_EQ(object.States.NoValueLoaded->Size(), QSize(30, 30)); // the placeholder
    EXPECT_EQ(object.Rect(), (MarkerRect{10, 20, 110, 70}));

    Edit(object);
    EXPECT_EQ(Shown("ComboBoxSymbolTag"), "3. Pump");
    EXPECT_EQ(Shown("EditSymbolPictures"), "0=pumps/pump.bmp;1=tanks\\tank.bmp");
    Combo("ComboBoxExType")->setCurrentIndex(TypeEntry(kStaticText));
    EXPECT_FALSE(PanelShown("PanelSymbolStates"));
    ASSERT_TRUE(Save());
    EXPECT_FALSE(object.States.IsBound());
    EXPECT_TRUE(object.States.Pictures.empty());
}

TEST_F(TFormEditScreenObjectTest, ListsShowStylesTagsAndTypesFromTheFile) {
    TScreenMarker object = Object(kNumericDisplay);
    object.UseStyle = 5; // no such style: nothing selected
    Edit(object);
    QComboBox* styles = Combo("ComboBoxStyles");
    ASSERT_EQ(styles->count(), 2);
    EXPECT_EQ(styles->itemText(0), "Big");
    EXPECT_EQ(styles->itemText(1), "Style 2");
    EXPECT_EQ(styles->currentIndex(), -1);
    EXPECT_FALSE(Child(m_dialog, "ButtonStyles")->isHidden());

    QComboBox* tags = Combo("ComboBoxPoints");
    ASSERT_EQ(tags->count(), 3);
    EXPECT_EQ(tags->itemText(0), "1. Boiler");
    EXPECT_EQ(tags->itemText(2), "3. Pump");

    QComboBox* types = Combo("ComboBoxExType");
    ASSERT_EQ(types->count(), 10);
    EXPECT_EQ(types->itemText(7), "Graphical Symbol");
    EXPECT_FALSE(types->itemIcon(7).isNull());
    EXPECT_EQ(m_dialog.windowTitle(), "Object");
}

// The style editor opens on the style selected here; what it changes shows in this
// dialog's list only from its next show.
TEST_F(TFormEditScreenObjectTest, StylesOpensTheStyleEditorOnTheSelectedStyle) {
    for (int selected : {1, 0}) {
        TScreenMarker object = Object(kNumericDisplay);
        Edit(object);
        Combo("ComboBoxStyles")->setCurrentIndex(selected);
        const QString listed = Combo("ComboBoxStyles")->itemText(selected);
        {
            ModalAnswers answers;
            answers.Then<TFormEditStyles>([&](TFormEditStyles& editor) {
                EXPECT_EQ(Child<QComboBox>(editor, "ComboBoxStyle")->currentIndex(), selected);
                MessageBox::SetNextInput("Renamed");
                Click(editor, "ButtonChangeName");
                Click(editor, "ButtonClose");
            });
            Click(m_dialog, "ButtonStyles");
        }
        EXPECT_EQ(m_config.ReadString(StyleSection(selected), "Name", ""), "Renamed");
        EXPECT_EQ(Combo("ComboBoxStyles")->itemText(selected), listed);
        ASSERT_TRUE(Save());
        EXPECT_EQ(object.UseStyle, selected);
    }
}

} // namespace
