#include "ObjectEditorValues.h"

#include "ConversionMessages.h"
#include "PictureBytes.h"
#include "ScreenTestSupport.h"
#include "SymbolGraphic.h"
#include "TagTable.h"

#include <gtest/gtest.h>

using namespace halvane;

namespace {

TDataChannel TagWithFunction(int function) {
    TDataChannel tag;
    tag.Function = function;
    return tag;
}

TagTable& Assign(TagTable& table, std::initializer_list<int> functions) {
    std::vector<TDataChannel> tags;
    for (int function : functions)
        tags.push_back(TagWithFunction(function));
    table.Assign(std::move(tags));
    return table;
}

// Every control holding something that loading must either keep or replace.
ObjectEditorValues PreviousValues() {
    ObjectEditorValues previous;
    previous.typeEntry = 4;
    previous.tagEntry = previous.styleEntry = previous.labelSetEntry = 2;
    previous.actionEntry = 1;
    previous.position = "0,0 px";
    previous.enumeration = "prev enum";
    previous.text = "prev text";
    previous.presetValue = "7";
    previous.presetCaption = "prev caption";
    previous.symbol = "prev\\symbol.bmp";
    return previous;
}

// What every save reads: each type takes its own fields from here.
ObjectEditorValues TypedValues(int32_t type, int tagEntry = 0) {
    ObjectEditorValues values;
    values.typeEntry = TypeEntry(type);
    values.tagEntry = tagEntry;
    values.styleEntry = 1;
    values.labelSetEntry = 3;
    values.actionEntry = 2;
    values.enumeration = "0=a;1=b";
    values.text = "Hello";
    values.presetValue = "2.5";
    values.presetCaption = "Go";
    values.symbol = "missing.bmp";
    return values;
}

class ObjectEditorValuesTest : public ScreenDataRootTest {
protected:
    ~ObjectEditorValuesTest() override { SetDecimalSeparator('.'); }
};

TEST_F(ObjectEditorValuesTest, TagEntriesNumberEveryTagWithItsNameFromTheFile) {
    m_config.WriteString("Channel.0", "Name", "Boiler");
    m_config.WriteString("Channel.1", "Name", "Caf\xE9");
    m_config.WriteString("Channel.2", "Name", "Beyond the table");
    EXPECT_EQ(TagListEntries(m_config, 2), (std::vector<std::string>{"1. Boiler", "2. Café"}));
    EXPECT_EQ(TagListEntries(m_config, 4).back(), "4. ");
    EXPECT_TRUE(TagListEntries(m_config, 0).empty());
}

TEST_F(ObjectEditorValuesTest, LabelSetsStopAtTheFirstEmptyOrAbsentSet) {
    EXPECT_TRUE(LabelSetList(m_config).empty());
    m_config.WriteString("Strings", "Marker.Binary.0", "1;0");
    m_config.WriteString("Strings", "Marker.Binary.1", "On;Off");
    m_config.WriteString("Strings", "Marker.Binary.3", "Yes;No");
    EXPECT_EQ(LabelSetList(m_config), (std::vector<std::string>{"1;0", "On;Off"}));
    m_config.WriteString("Strings", "Marker.Binary.2", "");
    EXPECT_EQ(LabelSetList(m_config).size(), 2u);
    EXPECT_EQ(LabelSetKey(4), "Marker.Binary.4");
    EXPECT_EQ(FunctionButtonKey(3), "FunctionButton.3");
}

TEST_F(ObjectEditorValuesTest, TypeListIsThePalettesOrderWithTheEditorsSpelling) {
    const std::vector<std::string> names = EditorTypeNames();
    ASSERT_EQ(names.size(), kObjectKinds.size());
    EXPECT_EQ(names[0], "Numeric Display");
    EXPECT_EQ(names[7], "Graphical Symbol");
    EXPECT_EQ(names[9], "Preset Value Button");

    const struct {
        int32_t type;
        int entry;
    } cases[] = {{0, 0}, {4, 4}, {6, 6}, {100, 7}, {50, 8}, {51, 9}, {52, 0}, {7, 0}, {-1, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(TypeEntry(c.type), c.entry) << c.type;
    for (int entry = 0; entry < static_cast<int>(kObjectKinds.size()); ++entry)
        EXPECT_EQ(TypeEntry(TypeOfEntry(entry)), entry);
    EXPECT_EQ(TypeOfEntry(-1), kNumericDisplay);
    EXPECT_EQ(TypeOfEntry(10), kNumericDisplay);
}

TEST_F(ObjectEditorValuesTest, PanelsAndOuterHeightFollowTheType) {
    // Always there: top line 27, type 40, position 40, buttons 41, plus 60 for the window.
    const struct {
        int32_t type;
        const char* panels; // Tag, Action, Style, Labels, teXt, Preset, Graphic, Enumeration
        int height;
    } cases[] = {
        {kNumericDisplay, "T.S.....", 288},    {kBinaryDisplay, "T.SL....", 328},
        {kMultiStateDisplay, "T.S....E", 328}, {kCurrentTime, "..S.....", 248},
        {kCurrentDate, "..S.....", 248},       {kFunctionButton, ".AS.....", 288},
        {kStaticText, "..S.X...", 288},        {kGraphicalSymbol, "......G.", 248},
        {kNumericInput, "T.S.....", 288},      {kPresetValueButton, "T.S..P..", 368},
        {kReservedWriteType, "T.S.....", 288},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (size_t i = 0; i < kEditorPanels.size(); ++i)
            shown += ShowsPanel(kEditorPanels[i], c.type) ? "TASLXPGE"[i] : '.';
        EXPECT_EQ(shown, c.panels) << c.type;
        EXPECT_EQ(EditorOuterHeight(c.type), c.height) << c.type;
    }
}

TEST_F(ObjectEditorValuesTest, NewObjectStartsOnFirstEntriesAndKeepsPresetAndSymbol) {
    TScreenMarker object;
    object.Left = 12;
    object.Top = 34;
    object.Type = kGraphicalSymbol;
    object.AttrStr1 = "ignored.bmp";
    ObjectEditorValues expected = PreviousValues();
    expected.typeEntry = 7;
    expected.tagEntry = expected.styleEntry = expected.actionEntry = expected.labelSetEntry = 0;
    expected.position = "12,34 px";
    expected.enumeration.clear();
    expected.text.clear();
    EXPECT_EQ(LoadEditorValues(object, true, PreviousValues()), expected);

    object.Type = kReservedWriteType;
    EXPECT_EQ(LoadEditorValues(object, true, PreviousValues()).typeEntry, 0);
}

TEST_F(ObjectEditorValuesTest, ExistingObjectShowsTheAttributesOfItsType) {
    TScreenMarker object;
    object.Left = -5;
    object.Top = 600;
    object.Channel = 3;
    object.UseStyle = 2;
    object.AttrInt1 = 3;
    object.AttrStr1 = "0=zero;1=one";
    object.AttrDouble1 = 0.1 + 0.2; // 15 significant digits show 0.3

    const struct {
        int32_t type;
        int labelSet, action;
        const char *enumeration, *text, *presetValue, *presetCaption, *symbol;
    } cases[] = {
        {0, -1, 1, "prev enum", "prev text", "7", "prev caption", "prev\\symbol.bmp"},
        {1, 3, 1, "prev enum", "prev text", "7", "prev caption", "prev\\symbol.bmp"},
        {2, -1, 1, "0=zero;1=one", "prev text", "7", "prev caption", "prev\\symbol.bmp"},
        {4, -1, 1, "prev enum", "prev text", "7", "prev caption", "prev\\symbol.bmp"},
        {5, -1, 3, "prev enum", "prev text", "7", "prev caption", "prev\\symbol.bmp"},
        {6, -1, 1, "prev enum", "0=zero;1=one", "7", "prev caption", "prev\\symbol.bmp"},
        {50, -1, 1, "prev enum", "prev text", "7", "prev caption", "prev\\symbol.bmp"},
        {51, -1, 1, "prev enum", "prev text", "0.3", "0=zero;1=one", "prev\\symbol.bmp"},
        {100, -1, 1, "prev enum", "prev text", "7", "prev caption", "0=zero;1=one"},
    };
    for (const auto& c : cases) {
        object.Type = c.type;
        const ObjectEditorValues values = LoadEditorValues(object, false, PreviousValues());
        const ObjectEditorValues expected{.typeEntry = TypeEntry(c.type),
                                          .tagEntry = 3,
                                          .styleEntry = 2,
                                          .actionEntry = c.action,
                                          .labelSetEntry = c.labelSet,
                                          .position = "-5,600 px",
                                          .enumeration = c.enumeration,
                                          .text = c.text,
                                          .presetValue = c.presetValue,
                                          .presetCaption = c.presetCaption,
                                          .symbol = c.symbol};
        EXPECT_EQ(values, expected) << c.type;
    }
}

TEST_F(ObjectEditorValuesTest, PresetValueShowsInTheLocalesShortestForm) {
    TScreenMarker object;
    object.Type = kPresetValueButton;
    const struct {
        double value;
        char separator;
        const char* shown;
    } cases[] = {
        {2.5, ',', "2,5"},
        {-0.25, '.', "-0.25"},
        {1e20, '.', "1E20"},
        {100, ',', "100"},
        {1.0 / 3, '.', "0.333333333333333"},
    };
    for (const auto& c : cases) {
        SetDecimalSeparator(c.separator);
        object.AttrDouble1 = c.value;
        EXPECT_EQ(LoadEditorValues(object, false, {}).presetValue, c.shown) << c.value;
    }
}

// Only the objects that write keep the question; a new object starts without it, an
// existing one shows its own.
TEST_F(ObjectEditorValuesTest, OnlyWritingObjectsAskBeforeWriting) {
    TagTable tags;
    Assign(tags, {5});
    for (const ObjectKind& kind : kObjectKinds) {
        ObjectEditorValues values = TypedValues(kind.type);
        values.confirm = true;
        TScreenMarker object;
        ApplyEditorValues(values, tags, false, object);
        EXPECT_EQ(object.Confirm, kind.type == kNumericInput || kind.type == kPresetValueButton)
            << kind.name;
        EXPECT_EQ(LoadEditorValues(object, false, {}).confirm, object.Confirm) << kind.name;
        EXPECT_FALSE(LoadEditorValues(object, true, values).confirm) << kind.name;
    }
}

TEST_F(ObjectEditorValuesTest, SavingKeepsOnlyTheAttributesOfTheType) {
    TagTable tags;
    Assign(tags, {5});
    const struct {
        int32_t type;
        int attrInt;
        const char* attrStr;
        double attrDouble;
    } cases[] = {
        {kNumericDisplay, 0, "", 0},
        {kBinaryDisplay, 3, "", 0},
        {kMultiStateDisplay, 0, "0=a;1=b", 0},
        {kCurrentTime, 0, "", 0},
        {kCurrentDate, 0, "", 0},
        {kFunctionButton, 2, "", 0},
        {kStaticText, 0, "Hello", 0},
        {kGraphicalSymbol, 0, "missing.bmp", 0},
        {kNumericInput, 0, "", 0},
        {kPresetValueButton, 0, "Go", 2.5},
    };
    for (const auto& c : cases) {
        TScreenMarker object;
        object.Left = 10;
        object.Top = 20;
        object.AttrInt1 = 9;
        object.AttrStr1 = "old";
        object.AttrDouble1 = 7;
        const EditorSaveResult result = ApplyEditorValues(TypedValues(c.type), tags, false, object);
        EXPECT_FALSE(result.inputTagForWrite) << c.type;
        EXPECT_EQ(result.presetError, std::nullopt) << c.type;
        EXPECT_EQ(object.Type, c.type);
        EXPECT_EQ(object.Channel, 0);
        EXPECT_EQ(object.UseStyle, 1);
        EXPECT_EQ(object.AttrInt1, c.attrInt) << c.type;
        EXPECT_EQ(object.AttrStr1, c.attrStr) << c.type;
        EXPECT_EQ(object.AttrDouble1, c.attrDouble) << c.type;
        // Only a symbol loads a picture: the placeholder for a missing file, at its size.
        EXPECT_EQ(object.Graphic.has_value(), c.type == kGraphicalSymbol) << c.type;
    }
}

TEST_F(ObjectEditorValuesTest, WritingObjectsRefuseInputTagsAfterTakingTheValues) {
    TagTable tags;
    Assign(tags, {2, 4, 5, 0, 1, 3});
    const struct {
        int32_t type;
        int tagEntry;
        bool refused;
    } cases[] = {
        {kNumericInput, 0, true},
        {kNumericInput, 1, false},
        {kNumericInput, 2, false},
        {kNumericInput, 3, true},
        {kPresetValueButton, 4, true},
        {kPresetValueButton, 5, true},
        {kPresetValueButton, 2, false},
        {kNumericDisplay, 0, false},
        {kBinaryDisplay, 3, false},
        {kNumericInput, -1, false}, // no tag selected: nothing to test
        {kNumericInput, 6, false},  // a stored index beyond the table selects nothing either
    };
    for (const auto& c : cases) {
        TScreenMarker object;
        const EditorSaveResult result =
            ApplyEditorValues(TypedValues(c.type, c.tagEntry), tags, false, object);
        EXPECT_EQ(result.inputTagForWrite, c.refused) << c.type << " " << c.tagEntry;
        EXPECT_EQ(object.Channel, c.tagEntry);
        EXPECT_EQ(object.Type, c.type);
        if (c.type == kPresetValueButton) {
            EXPECT_EQ(object.AttrStr1, "Go"); // refused or not, the object took the values
        }
    }

    TScreenMarker object;
    const TagTable noTags;
    EXPECT_FALSE(
        ApplyEditorValues(TypedValues(kNumericInput), noTags, false, object).inputTagForWrite);
}

TEST_F(ObjectEditorValuesTest, PresetValueReadsTheLocalesSeparatorOrAPoint) {
    TagTable tags;
    Assign(tags, {5});
    const struct {
        char separator;
        const char* text;
        double value;
        bool converts;
    } cases[] = {
        {'.', "2.5", 2.5, true},      {',', "2,5", 2.5, true}, {',', "2.5", 2.5, true},
        {'.', " -1e3 ", -1000, true}, {'.', "2,5", 0, false},  {'.', "abc", 0, false},
        {'.', "", 0, false},          {'.', "inf", 0, false},
    };
    for (const auto& c : cases) {
        SetDecimalSeparator(c.separator);
        ObjectEditorValues values = TypedValues(kPresetValueButton);
        values.presetValue = c.text;
        TScreenMarker object;
        object.AttrDouble1 = 9;
        const EditorSaveResult result = ApplyEditorValues(values, tags, false, object);
        EXPECT_EQ(object.AttrDouble1, c.value) << c.text;
        EXPECT_EQ(object.AttrStr1, "Go") << c.text;
        const auto error = c.converts ? std::nullopt : std::optional(NotAFloatMessage(c.text));
        EXPECT_EQ(result.presetError, error) << c.text;
    }
}

TEST_F(ObjectEditorValuesTest, TextLeftAsShownKeepsItsStoredBytes) {
    TagTable tags;
    Assign(tags, {5});
    const struct {
        int32_t type;
        const char* stored;
        const char* shown;
        const char* saved;
    } cases[] = {
        {kStaticText, "Caf\xE9", "Café", "Caf\xE9"},
        {kStaticText, "Caf\xE9", "Cafés", "Cafés"},
        {kMultiStateDisplay, "0=\xE9t\xE9", "0=été", "0=\xE9t\xE9"},
        {kPresetValueButton, "Arr\xEAt", "Arrêt", "Arr\xEAt"},
    };
    for (const auto& c : cases) {
        TScreenMarker object;
        object.Type = c.type;
        object.AttrStr1 = c.stored;
        ObjectEditorValues values = LoadEditorValues(object, false, TypedValues(c.type));
        values.text = values.enumeration = values.presetCaption = c.shown;
        ApplyEditorValues(values, tags, false, object);
        EXPECT_EQ(object.AttrStr1, c.saved) << c.shown;
    }
}

TEST_F(ObjectEditorValuesTest, AnswerWritesTheStoredBytesBackWhenUnchanged) {
    const struct {
        const char* stored;
        const char* answer;
        std::optional<std::string> written;
    } cases[] = {
        {"On;Off", "Auto;Manual", "Auto;Manual"},
        {"On;Off", "On;Off", "On;Off"},
        {"Marche;Arr\xEAt", "Marche;Arrêt", "Marche;Arr\xEAt"},
        {"On;Off", "", std::nullopt},
        {"", "", std::nullopt},
        {"", "Exit", "Exit"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StoredAnswer(c.stored, c.answer), c.written) << c.answer;
}

TEST_F(ObjectEditorValuesTest, SymbolPathIsTakenRelativeToTheGalleryFolder) {
    const std::filesystem::path gallery = "/data/root/gallery";
    const struct {
        const char* chosen;
        const char* stored;
    } cases[] = {
        {"/data/root/gallery/pumps/pump.emf", "pumps\\pump.emf"},
        {"/data/root/gallery/a/b/c.wmf", "a\\b\\c.wmf"},
        {"/data/root/gallery/tank.bmp", "tank.bmp"},
        {"/data/root/gallery/../gallery/./pumps/p.bmp", "pumps\\p.bmp"},
        // Outside the gallery: paths that lead somewhere else under it.
        {"/data/root/cfg/back.bmp", "back.bmp"},
        {"/data/root/x.bmp", "x.bmp"},
        {"/data/gallery/y.bmp", "gallery\\y.bmp"},
        {"/elsewhere/x.bmp", "..\\elsewhere\\x.bmp"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GalleryRelativeSymbolPath(c.chosen, gallery), c.stored) << c.chosen;
}

TEST_F(ObjectEditorValuesTest, PictureOutsideTheGalleryGivesThePlaceholder) {
    const QByteArray picture = picture_bytes::SolidBmp(64, 48, Qt::blue);
    WriteText(m_root / "gallery/pumps/pump.bmp", picture.toStdString());
    TempDir elsewhere;
    WriteText(elsewhere / "pump.bmp", picture.toStdString());

    const std::filesystem::path gallery = ResolveDataPath("gallery");
    for (const auto& [chosen, size] : {std::pair{m_root / "gallery/pumps/pump.bmp", QSize(64, 48)},
                                       std::pair{elsewhere / "pump.bmp", QSize(30, 30)}}) {
        TScreenMarker object;
        object.AttrStr1 = GalleryRelativeSymbolPath(chosen, gallery);
        LoadSymbolGraphic(object, true);
        ASSERT_TRUE(object.Graphic.has_value()) << chosen;
        EXPECT_EQ(object.Graphic->Size(), size) << object.AttrStr1;
    }
}

} // namespace
