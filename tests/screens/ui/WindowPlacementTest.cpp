// Dialogs that place themselves open within the available area of their screen (800 × 800
// offscreen), however near its edge they are asked to open.
#include "WindowPlacement.h"

#include "ObjectEditorValues.h"
#include "ScreenTestSupport.h"
#include "TFormEditScreenObject.h"
#include "TFormEditStyles.h"
#include "TFormInput.h"
#include "TagTable.h"
#include "WidgetTestSupport.h"

#include <QComboBox>
#include <QScreen>

#include <gtest/gtest.h>

using namespace halvane;

namespace {

TEST(KeptWithin, MovesAFrameIntoTheAreaAsLittleAsNeeded) {
    const QRect screen(0, 0, 800, 800);
    const struct {
        QRect frame;
        QRect area;
        QPoint kept; // top-left corner
    } cases[] = {
        {{100, 100, 200, 150}, screen, {100, 100}},       // inside: unchanged
        {{700, 100, 200, 150}, screen, {600, 100}},       // beyond the right edge
        {{100, 750, 200, 150}, screen, {100, 650}},       // beyond the bottom
        {{-50, -20, 200, 150}, screen, {0, 0}},           // before the top-left corner
        {{600, 700, 900, 1000}, screen, {0, 0}},          // larger: its top-left shows
        {{0, 0, 200, 150}, {50, 30, 700, 600}, {50, 30}}, // beside a task bar
        {{700, 600, 200, 150}, {50, 30, 700, 600}, {550, 480}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KeptWithin(c.frame, c.area), QRect(c.kept, c.frame.size()))
            << c.frame.x() << "," << c.frame.y();
}

class DialogAtTheEdgeTest : public ScreenDataRootTest {
protected:
    static bool WithinScreen(const QWidget& dialog) {
        return dialog.screen()->availableGeometry().contains(dialog.frameGeometry());
    }
};

// A palette drop near the bottom-right corner: the editor opens whole, and a type with
// taller panels keeps it whole.
TEST_F(DialogAtTheEdgeTest, TheObjectEditorOpensWithinTheScreen) {
    const TagTable tags;
    TFormEditStyles styleEditor(m_config);
    TFormEditScreenObject editor(m_config, tags, styleEditor);
    TScreenMarker object;
    object.Type = kCurrentDate;
    editor.NewObject(object);
    editor.move(760, 600);
    editor.show();
    EXPECT_TRUE(WithinScreen(editor))
        << editor.frameGeometry().x() << "," << editor.frameGeometry().y();
    test::Child<QComboBox>(editor, "ComboBoxExType")
        ->setCurrentIndex(TypeEntry(kPresetValueButton));
    EXPECT_TRUE(WithinScreen(editor)) << editor.frameGeometry().bottom();
    editor.hide();
}

TEST_F(DialogAtTheEdgeTest, TheValueQuestionOpensWithinTheScreen) {
    TFormInput input;
    test::ModalAnswers answers;
    answers.Then<TFormInput>([](TFormInput& dialog) {
        EXPECT_TRUE(WithinScreen(dialog))
            << dialog.frameGeometry().x() << "," << dialog.frameGeometry().y();
    });
    EXPECT_EQ(input.AskValue({790, 790}, MakeTag("Level", 1.5)), std::nullopt);
}

} // namespace
