#include "ScreenTestSupport.h"

#include "MessageBox.h"
#include "ScreenActions.h"
#include "ScreenList.h"
#include "ScreenPaintArea.h"
#include "TFormInput.h"
#include "TFormScreen.h"
#include "TagTable.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace halvane;

namespace {

class FakeActions final : public ScreenActions {
public:
    void PreviousScreen() override { calls.emplace_back("PreviousScreen"); }
    void NextScreen() override { calls.emplace_back("NextScreen"); }
    void ExitNow() override { calls.emplace_back("ExitNow"); }
    void OpenHistoryFolder() override { calls.emplace_back("OpenHistoryFolder"); }
    void PresetTagValue(size_t tagIndex, double value) override {
        calls.emplace_back("PresetTagValue");
        presets.emplace_back(tagIndex, value);
    }
    void ExitProgram() override { calls.emplace_back("ExitProgram"); }

    std::vector<std::string> calls;
    std::vector<std::pair<size_t, double>> presets;
};

TScreenMarker Object(int32_t type, MarkerRect rect, int32_t attrInt = -1, int32_t channel = 0) {
    TScreenMarker object;
    object.Left = rect.Left;
    object.Top = rect.Top;
    object.Right = rect.Right;
    object.Bottom = rect.Bottom;
    object.Type = type;
    object.AttrInt1 = attrInt;
    object.Channel = channel;
    return object;
}

TScreenMarker PresetButton(MarkerRect rect, int32_t channel, double value,
                           const std::string& caption = "Set") {
    TScreenMarker object = Object(kPresetValueButton, rect, -1, channel);
    object.AttrDouble1 = value;
    object.AttrStr1 = caption;
    return object;
}

QPoint Centre(const MarkerRect& bounds) {
    return {(bounds.Left + bounds.Right) / 2, (bounds.Top + bounds.Bottom) / 2};
}

void SendMouse(QWidget* area, QEvent::Type type, QPoint at, Qt::MouseButton button) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? button : Qt::NoButton;
    QMouseEvent event(type, QPointF(at), QPointF(area->mapToGlobal(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(area, &event);
}

// A run-time screen of 640 x 480 over three tags.
class RunTimeScreenTest : public ScreenDataRootTest {
protected:
    static constexpr int kSetpoint = 0; // unit "°C" as stored in the Windows code page
    static constexpr int kBlank = 2;    // no format and no unit: an input shows nothing

    RunTimeScreenTest() {
        m_tags.Assign({MakeTag("Setpoint", 20, true, "\260C"), MakeTag("Speed", 0),
                       MakeTag("Blank", 0, true, "", "")});
        Prepare(m_screen, 1);
    }

    void Prepare(TFormScreen& screen, int number) {
        screen.OpenScreenFile(number);
        screen.LoadGeneralSettings();
        screen.SetActions(&m_actions);
    }

    // The objects, front first, painted so that their Bounds are known.
    void Place(TFormScreen& screen, std::vector<TScreenMarker> objects) {
        screen.Objects().assign(objects.begin(), objects.end());
        screen.PaintScreen();
    }
    void Place(std::vector<TScreenMarker> objects) { Place(m_screen, std::move(objects)); }

    QPoint At(int index) { return Centre(m_screen.Objects()[index].Bounds); }
    void Press(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        SendMouse(m_screen.PaintArea(), QEvent::MouseButtonPress, at, button);
    }
    void Release(QPoint at) {
        SendMouse(m_screen.PaintArea(), QEvent::MouseButtonRelease, at, Qt::LeftButton);
    }
    void Click(TFormScreen& screen, QPoint at) {
        SendMouse(screen.PaintArea(), QEvent::MouseButtonPress, at, Qt::LeftButton);
        SendMouse(screen.PaintArea(), QEvent::MouseButtonRelease, at, Qt::LeftButton);
    }
    void Click(QPoint at) { Click(m_screen, at); }
    void MoveTo(QPoint at) { SendMouse(m_screen.PaintArea(), QEvent::MouseMove, at, Qt::NoButton); }
    void RightClick(QPoint at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at,
                                m_screen.PaintArea()->mapToGlobal(at));
        QApplication::sendEvent(m_screen.PaintArea(), &event);
        m_screen.PopupMenu()->hide();
    }
    QAction* MenuItem(const char* name) const {
        return m_screen.PopupMenu()->findChild<QAction*>(name);
    }

    TagTable m_tags;
    QScrollArea m_dock;
    FakeActions m_actions;
    TFormScreen m_screen{m_config, m_tags, &m_dock};
};

TEST_F(RunTimeScreenTest, PressHighlightsTheTopButtonAndReleaseActsOnTheLowerOne) {
    m_config.WriteInteger("Style.0", "A.Font.Color.G", 0); // highlighted in magenta
    Place({Object(kFunctionButton, {20, 20, 220, 60}, 0),
           Object(kFunctionButton, {20, 20, 220, 60}, 1)});
    const QPoint on = At(0);
    ASSERT_EQ(on, At(1));
    const QImage idle = m_screen.Frame();

    Press(on);
    EXPECT_EQ(m_screen.Marks().pressed, 0);
    EXPECT_NE(m_screen.Frame(), idle) << "repainted highlighted at once";
    EXPECT_TRUE(m_actions.calls.empty()) << "a press does nothing by itself";

    Release(on);
    EXPECT_EQ(m_actions.calls, std::vector<std::string>{"NextScreen"});
    EXPECT_EQ(m_screen.Marks().pressed, -1);
    EXPECT_EQ(m_screen.Frame(), idle);
}

TEST_F(RunTimeScreenTest, ReleaseActsOnTheObjectUnderThePointerAtThatMoment) {
    Place({Object(kFunctionButton, {20, 20, 220, 60}, 0),
           Object(kFunctionButton, {20, 200, 220, 240}, 3)});
    const QPoint empty(400, 400);
    struct Case {
        const char* what;
        QPoint press, release;
        std::vector<std::string> calls;
    } const cases[] = {
        {"press on one, release on another", At(0), At(1), {"OpenHistoryFolder"}},
        {"press on a button, release on empty space", At(0), empty, {}},
        {"press on empty space, release on a button", empty, At(0), {"PreviousScreen"}},
        {"release outside the paint area", At(1), {700, 10}, {}},
    };
    for (const Case& c : cases) {
        m_actions.calls.clear();
        Press(c.press);
        Release(c.release);
        EXPECT_EQ(m_actions.calls, c.calls) << c.what;
        EXPECT_EQ(m_screen.Marks().pressed, -1) << c.what;
    }

    Press(empty);
    EXPECT_EQ(m_screen.Marks().pressed, -1) << "pressing on empty space changes nothing";
    Press(At(1), Qt::RightButton);
    EXPECT_EQ(m_screen.Marks().pressed, -1) << "only the left button presses";
}

TEST_F(RunTimeScreenTest, FunctionButtonsCallTheirActions) {
    struct Case {
        int32_t action;
        std::vector<std::string> calls;
    } const cases[] = {
        {0, {"PreviousScreen"}},
        {1, {"NextScreen"}},
        {2, {"ExitNow"}},
        {3, {"OpenHistoryFolder"}},
        {4, {}},
        {-1, {}},
    };
    for (const Case& c : cases) {
        m_actions.calls.clear();
        Place({Object(kFunctionButton, {20, 20, 220, 60}, c.action)});
        Click(At(0));
        EXPECT_EQ(m_actions.calls, c.calls) << "action " << c.action;
    }
}

TEST_F(RunTimeScreenTest, EditModeLeavesTheMouseToEditing) {
    m_screen.SetScreenMode(true, false, false);
    Place({Object(kFunctionButton, {20, 20, 220, 60}, 1)});
    Press(At(0));
    EXPECT_EQ(m_screen.Marks().pressed, -1);
    Release(At(0));
    EXPECT_TRUE(m_actions.calls.empty());
}

TEST_F(RunTimeScreenTest, CursorIsTheHandOverClickableObjects) {
    QWidget* area = m_screen.PaintArea();
    area->setCursor(Qt::CrossCursor);
    MoveTo({30, 30});
    EXPECT_EQ(area->cursor().shape(), Qt::CrossCursor) << "no objects: unchanged";

    Place({Object(kStaticText, {300, 20, 500, 60}), Object(kFunctionButton, {20, 20, 220, 60})});
    m_screen.Objects()[0].AttrStr1 = "Pumps";
    m_screen.PaintScreen();
    MoveTo(At(1));
    EXPECT_EQ(area->cursor().shape(), Qt::PointingHandCursor);
    MoveTo(At(0));
    EXPECT_EQ(area->cursor().shape(), Qt::ArrowCursor);
    MoveTo(At(1));
    MoveTo({600, 400});
    EXPECT_EQ(area->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(RunTimeScreenTest, NumericInputAsksAtThePointerAndPresetsTheAnsweredNumber) {
    Place({Object(kNumericInput, {20, 20, 300, 60}, -1, kSetpoint)});
    const QPoint on = At(0);
    for (const std::optional<double> answer :
         {std::optional<double>(21.5), std::optional<double>()}) {
        m_actions.presets.clear();
        std::vector<std::pair<QPoint, std::string>> asked;
        int pressedWhileAsking = -2;
        m_screen.SetValueQuestion([&](QPoint position, const TDataChannel& tag) {
            asked.emplace_back(position, tag.Name);
            pressedWhileAsking = m_screen.Marks().pressed;
            return answer;
        });
        Click(on);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0],
                  std::make_pair(m_screen.PaintArea()->mapToGlobal(on), std::string("Setpoint")));
        EXPECT_EQ(pressedWhileAsking, 0) << "the input looks pressed while it asks";
        if (answer)
            EXPECT_EQ(m_actions.presets,
                      (std::vector<std::pair<size_t, double>>{{kSetpoint, *answer}}));
        else
            EXPECT_TRUE(m_actions.presets.empty());
    }
}

TEST_F(RunTimeScreenTest, PresetButtonsWriteTheirValueWithFifteenDigits) {
    Place({PresetButton({20, 20, 220, 60}, 1, 0.1), PresetButton({20, 100, 220, 140}, 0, 1.0 / 3),
           PresetButton({20, 200, 220, 240}, 5, 1)});
    Click(At(0));
    Click(At(1));
    Click(At(2));
    EXPECT_EQ(m_actions.presets,
              (std::vector<std::pair<size_t, double>>{{1, 0.1}, {0, 0.333333333333333}}));
}

// Their value text is empty: Bounds without width, so nothing reacts.
// An object that asks writes only after Yes; an input asks once the value was typed. The
// answer prepared before the plain button is left for the first question: the plain
// button must not ask.
TEST_F(RunTimeScreenTest, ObjectsThatAskWriteOnlyAfterYes) {
    m_config.WriteString("Strings", "Marker.Binary.0", "Running;Stopped");
    TScreenMarker asking = PresetButton({20, 20, 220, 60}, 1, 1);
    asking.Confirm = true;
    TScreenMarker input = Object(kNumericInput, {20, 100, 300, 140}, -1, kSetpoint);
    input.Confirm = true;
    Place({asking, input, PresetButton({20, 200, 220, 240}, 1, 2),
           Object(kBinaryDisplay, {300, 300, 400, 340}, 0, 1)});
    m_screen.SetValueQuestion([](QPoint, const TDataChannel&) { return 21.5; });
    using Presets = std::vector<std::pair<size_t, double>>;

    MessageBox::SetNextAnswer(QMessageBox::No);
    Click(At(2));
    EXPECT_EQ(m_actions.presets, (Presets{{1, 2}}));
    Click(At(0));
    EXPECT_EQ(MessageBox::LastText(), "Set Speed to 1.0 (Running)?");
    EXPECT_EQ(m_actions.presets, (Presets{{1, 2}}));
    MessageBox::SetNextAnswer(QMessageBox::Yes);
    Click(At(0));
    EXPECT_EQ(m_actions.presets, (Presets{{1, 2}, {1, 1}}));

    MessageBox::SetNextAnswer(QMessageBox::No);
    Click(At(1));
    EXPECT_EQ(MessageBox::LastText(), "Set Setpoint to 21.5 °C?");
    EXPECT_EQ(m_actions.presets, (Presets{{1, 2}, {1, 1}}));
    MessageBox::SetNextAnswer(QMessageBox::Yes);
    Click(At(1));
    EXPECT_EQ(m_actions.presets, (Presets{{1, 2}, {1, 1}, {kSetpoint, 21.5}}));
}

TEST_F(RunTimeScreenTest, ObjectsWithoutTextCannotBePressedOrClicked) {
    int asked = 0;
    m_screen.SetValueQuestion([&](QPoint, const TDataChannel&) {
        ++asked;
        return std::optional<double>(1);
    });
    Place({PresetButton({20, 20, 220, 60}, 1, 5, ""),
           Object(kNumericInput, {20, 100, 220, 140}, -1, kBlank)});
    for (int index : {0, 1}) {
        const TScreenMarker& object = m_screen.Objects()[index];
        EXPECT_EQ(object.Bounds.Left, object.Bounds.Right);
        const QPoint at(object.Bounds.Left, (object.Bounds.Top + object.Bounds.Bottom) / 2);
        Press(at);
        EXPECT_EQ(m_screen.Marks().pressed, -1);
        Release(at);
    }
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(m_actions.calls.empty());
}

// The real dialog, answered from inside its modal loop.
TEST_F(RunTimeScreenTest, InputDialogOpensAtThePointerWithTheUnitBesideAnEmptyBoldField) {
    Place({Object(kNumericInput, {20, 20, 300, 60}, -1, kSetpoint)});
    const QPoint on = At(0);
    QString caption, unit, text;
    QPoint position;
    bool bold = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TFormInput*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        caption = dialog->windowTitle();
        unit = dialog->LabelUnit()->text();
        text = dialog->EditValue()->text();
        bold = dialog->EditValue()->font().bold();
        position = dialog->pos();
        dialog->close();
    });
    Click(on);
    EXPECT_EQ(caption, "Input");
    EXPECT_EQ(unit, QString::fromUtf8("°C"));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(bold);
    EXPECT_EQ(position, m_screen.PaintArea()->mapToGlobal(on));
    EXPECT_TRUE(m_actions.presets.empty()) << "closed: nothing written";
}

// A text that cannot be preset keeps the dialog open and says why beneath the field, in
// the words of the tag list's "Set value"; an empty field or the close box writes nothing.
TEST_F(RunTimeScreenTest, InputDialogSaysWhyItRefusesATextAndPresetsANumber) {
    Place({Object(kNumericInput, {20, 20, 300, 60}, -1, kSetpoint)});
    const std::map<std::string, std::string> why = {
        {"abc", "'abc' is not a valid floating point value"},
        {"21,5", "'21,5' is not a valid floating point value"},
        {"70000", "The value 70000 does not fit the register. The register takes 0 to 65535."},
    };
    struct Case {
        char separator;
        std::vector<std::string> refused; // typed and OK pressed, in turn
        std::optional<std::string> last;  // typed and OK pressed; nothing: the close box
        std::optional<double> preset;
    } const cases[] = {
        {'.', {}, "21.5", 21.5},  {',', {}, "21,5", 21.5},
        {',', {}, " 2.5e1 ", 25}, {'.', {"abc", "21,5", "70000"}, "7.25", 7.25},
        {'.', {"abc"}, "", {}},   {'.', {"abc"}, {}, {}},
    };
    for (const Case& c : cases) {
        const std::string what = c.last.value_or("(closed)");
        SetDecimalSeparator(c.separator);
        m_actions.presets.clear();
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TFormInput*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr) << what;
            auto* message = dialog->findChild<QLabel*>("LabelMessage");
            if (message == nullptr) {
                ADD_FAILURE() << "no message beneath the field";
                dialog->close();
                return;
            }
            EXPECT_TRUE(message->isHidden()) << what;
            for (const std::string& text : c.refused) {
                dialog->EditValue()->setText(QString::fromStdString(text));
                dialog->ButtonOk()->click();
                EXPECT_TRUE(dialog->isVisible()) << text;
                EXPECT_FALSE(message->isHidden()) << text;
                EXPECT_EQ(message->text().toStdString(), why.at(text));
            }
            if (!dialog->isVisible())
                return;
            if (!c.last) {
                dialog->close();
                return;
            }
            dialog->EditValue()->setText(QString::fromStdString(*c.last));
            dialog->ButtonOk()->click();
            EXPECT_FALSE(dialog->isVisible()) << what;
        });
        Click(At(0));
        if (c.preset)
            EXPECT_EQ(m_actions.presets,
                      (std::vector<std::pair<size_t, double>>{{kSetpoint, *c.preset}}))
                << what;
        else
            EXPECT_TRUE(m_actions.presets.empty()) << what;
    }
}

TEST(TFormInput, StartsWithAQuestionMarkAndOnlyAnOkButton) {
    TFormInput dialog;
    EXPECT_EQ(dialog.windowTitle(), "Input");
    EXPECT_EQ(dialog.LabelUnit()->text(), "? ");
    EXPECT_EQ(dialog.findChildren<QPushButton*>().size(), 1);
    EXPECT_EQ(dialog.ButtonOk()->text(), "OK");
    EXPECT_EQ(dialog.windowType(), Qt::Tool);
    dialog.layout()->activate();
    EXPECT_GT(dialog.LabelUnit()->geometry().left(), dialog.EditValue()->geometry().left());
}

// A screen input keeps to the tag's write limits as the tag list does: the reason shows in
// place and only an accepted value comes back.
TEST(TFormInput, RefusesAValueOutsideTheWriteLimits) {
    TFormInput dialog;
    TDataChannel tag = MakeTag("Pump speed setpoint", 20, true, "%");
    tag.Function = 5;
    tag.WriteMin = 0;
    tag.WriteMax = 100;
    std::string refused;
    QTimer::singleShot(0, [&] {
        dialog.EditValue()->setText("250");
        dialog.ButtonOk()->click();
        if (auto* message = dialog.findChild<QLabel*>("LabelMessage"))
            refused = message->text().toStdString();
        dialog.EditValue()->setText("100");
        dialog.ButtonOk()->click();
    });
    EXPECT_EQ(dialog.AskValue({10, 10}, tag), 100);
    EXPECT_EQ(refused, "The value 250 is outside the limits of Pump speed setpoint: 0 to 100 %.");
}

// The station keeps one dialog for every input: a new question starts without the last
// one's message.
TEST(TFormInput, ANewQuestionStartsWithoutTheLastMessage) {
    TFormInput dialog;
    const TDataChannel tag = MakeTag("Setpoint", 20);
    std::vector<bool> messageHidden;
    for (const char* typed : {"abc", ""}) {
        QTimer::singleShot(0, [&] {
            if (auto* message = dialog.findChild<QLabel*>("LabelMessage"))
                messageHidden.push_back(message->isHidden());
            dialog.EditValue()->setText(typed);
            dialog.ButtonOk()->click();
            dialog.close();
        });
        EXPECT_EQ(dialog.AskValue({10, 10}, tag), std::nullopt);
    }
    EXPECT_EQ(messageHidden, (std::vector<bool>{true, true}));
}

TEST_F(RunTimeScreenTest, PopupEnablesTheObjectCommandsOnlyOverAnObject) {
    Place({Object(kFunctionButton, {20, 20, 220, 60}, 0)});
    RightClick(At(0));
    EXPECT_EQ(m_screen.Marks().popupTarget, 0);
    for (const char* name : {"CloneObject", "BringToFront", "SendToBack"})
        EXPECT_TRUE(MenuItem(name)->isEnabled()) << name;
    EXPECT_FALSE(MenuItem("NewObject")->isEnabled());

    RightClick({400, 400});
    EXPECT_EQ(m_screen.Marks().popupTarget, -1);
    for (const char* name : {"CloneObject", "BringToFront", "SendToBack"})
        EXPECT_FALSE(MenuItem(name)->isEnabled()) << name;
    EXPECT_TRUE(MenuItem("ExitProgram")->isEnabled());
    EXPECT_TRUE(m_actions.calls.empty());
}

TEST_F(RunTimeScreenTest, PopupCloneBringToFrontAndSendToBack) {
    std::vector<TScreenMarker> five;
    for (int i = 0; i < 5; ++i)
        five.push_back(Object(kFunctionButton, {20, 20 + 60 * i, 220, 60 + 60 * i}, i));
    const auto order = [this] {
        std::vector<int32_t> actions;
        for (const TScreenMarker& object : m_screen.Objects())
            actions.push_back(object.AttrInt1);
        return actions;
    };

    Place(five);
    RightClick(At(3));
    MenuItem("BringToFront")->trigger();
    EXPECT_EQ(order(), (std::vector<int32_t>{3, 0, 1, 2, 4}));

    Place(five);
    RightClick(At(3));
    MenuItem("SendToBack")->trigger();
    EXPECT_EQ(order(), (std::vector<int32_t>{0, 1, 2, 4, 3}));

    Place(five);
    RightClick(At(1));
    MenuItem("CloneObject")->trigger();
    ASSERT_EQ(m_screen.Objects().size(), 6u);
    EXPECT_EQ(m_screen.Objects()[0].Rect(), (MarkerRect{30, 90, 230, 130}));
    EXPECT_EQ(m_screen.Objects()[0].AttrInt1, 1);
    EXPECT_EQ(m_screen.Marks().popupTarget, -1);
    EXPECT_EQ(order(), (std::vector<int32_t>{1, 0, 1, 2, 3, 4}));

    // A picture reaching the largest coordinate a file can hold stays there.
    Place({Object(kGraphicalSymbol, {0, 0, std::numeric_limits<int32_t>::max(), 40})});
    RightClick({5, 5});
    MenuItem("CloneObject")->trigger();
    ASSERT_EQ(m_screen.Objects().size(), 2u);
    EXPECT_EQ(m_screen.Objects()[0].Rect(), (MarkerRect{10, 10, 2147483640, 50}));
}

TEST_F(RunTimeScreenTest, ExitProgramOfAFloatingRunTimeScreenAsksTheStation) {
    m_screen.SetScreenMode(false, true, true);
    RightClick({400, 400});
    ASSERT_TRUE(MenuItem("ExitProgram")->isVisible());
    MenuItem("ExitProgram")->trigger();
    EXPECT_EQ(m_actions.calls, std::vector<std::string>{"ExitProgram"});
}

TEST_F(RunTimeScreenTest, ScreenListGivesItsActionsToScreensMadeBeforeAndAfter) {
    ScreenList list(m_config, m_tags, &m_dock, nullptr);
    TFormScreen* before = list.CreateScreen("Before");
    list.SetActions(&m_actions);
    TFormScreen* after = list.CreateScreen("After");
    for (TFormScreen* screen : {before, after}) {
        screen->SetScreenMode(false, false, false);
        Place(*screen, {Object(kFunctionButton, {20, 20, 220, 60}, 1)});
        Click(*screen, Centre(screen->Objects()[0].Bounds));
    }
    EXPECT_EQ(m_actions.calls, (std::vector<std::string>{"NextScreen", "NextScreen"}));
}

} // namespace
