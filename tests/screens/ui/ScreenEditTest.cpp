// A screen built in edit mode with the mouse and the popup menu; every case reads the
// screen file back after the screen was hidden, which is when edits reach it.
#include "ScreenTestSupport.h"

#include "MessageBox.h"
#include "ScreenFile.h"
#include "ScreenPaintArea.h"
#include "TFormEditScreenObject.h"
#include "TFormEditStyles.h"
#include "TFormScreen.h"
#include "TagTable.h"
#include "WidgetTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollArea>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace halvane;

namespace {

TScreenMarker Object(int32_t type, MarkerRect rect, const std::string& text = {}) {
    TScreenMarker object = PlacedObject(type, rect);
    object.AttrStr1 = text;
    return object;
}

// A picture whose file is missing: drawn as the placeholder, stretched to its rectangle.
TScreenMarker Picture(MarkerRect rect) {
    return Object(kGraphicalSymbol, rect, "missing\\none.bmp");
}

// One call of the object editor, as the screen made it.
struct EditorCall {
    int32_t type;
    bool isNew;
    QPoint position;
    bool operator==(const EditorCall&) const = default;
};

class ScreenEditTest : public ScreenDataRootTest {
protected:
    ScreenEditTest() {
        m_tags.Assign({MakeTag("Level", 1.5)});
        WriteText(ResolveDataPath(ScreenFileName(1)), "[General]\nWidth=640\nHeight=480\n");
        m_screen.OpenScreenFile(1);
        m_screen.SetScreenMode(true, false, false);
        m_screen.SetGrid(false, false);
        m_screen.SetObjectEditor([this](TScreenMarker& object, bool isNew, QPoint position) {
            m_editorCalls.push_back({object.Type, isNew, position});
            if (m_editorAnswer)
                object.AttrStr1 = "edited";
            return m_editorAnswer;
        });
        m_dock.resize(800, 600);
        m_dock.show();
        m_screen.show();
    }

    // The objects, front first, painted so that their Bounds are known.
    void Place(std::vector<TScreenMarker> objects) {
        m_screen.Objects().assign(objects.begin(), objects.end());
        m_screen.PaintScreen();
    }
    QWidget* Area() { return m_screen.PaintArea(); }
    void Drag(QPoint from, QPoint to) {
        QTest::mousePress(Area(), Qt::LeftButton, {}, from);
        QTest::mouseMove(Area(), to);
        QTest::mouseRelease(Area(), Qt::LeftButton, {}, to);
    }
    // Opens the popup menu at `at` and triggers `item`.
    void Command(QPoint at, const char* item) {
        Popup(at);
        m_screen.PopupMenu()->findChild<QAction*>(item)->trigger();
    }
    void Popup(QPoint at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, Area()->mapToGlobal(at));
        QApplication::sendEvent(Area(), &event);
        m_screen.PopupMenu()->hide();
    }
    bool Enabled(const char* item) {
        return m_screen.PopupMenu()->findChild<QAction*>(item)->isEnabled();
    }
    void Drop(int32_t type, QPoint at) {
        QMimeData data;
        data.setData(kObjectTypeMimeType, QByteArray::number(type));
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Area(), &enter);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Area(), &drop);
    }

    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(Area(), key, modifiers);
    }
    void ShiftClick(QPoint at) { QTest::mouseClick(Area(), Qt::LeftButton, Qt::ShiftModifier, at); }

    // The objects of the screen file after the screen was hidden, as stored:
    // "type:left,top,right,bottom:text".
    std::vector<std::string> Saved() { return Saved(m_screen); }
    static std::vector<std::string> Saved(TFormScreen& screen) {
        screen.hide();
        const ProfileStore file(ResolveDataPath(ScreenFileName(screen.ScreenFileNumber())));
        std::vector<std::string> saved;
        for (int i = 0; i < file.ReadInteger("General", "NoOfMarkers", 0); ++i) {
            const std::string section = "Marker." + std::to_string(i);
            saved.push_back(file.ReadString(section, "Type", "") + ":" +
                            file.ReadString(section, "TL", "") + "," +
                            file.ReadString(section, "BR", "") + ":" +
                            file.ReadString(section, "AttrStr1", ""));
        }
        return saved;
    }

    TagTable m_tags;
    QScrollArea m_dock;
    TFormScreen m_screen{m_config, m_tags, &m_dock};
    bool m_editorAnswer = true;
    std::vector<EditorCall> m_editorCalls;
};

TEST_F(ScreenEditTest, AnObjectFollowsTheMouseAndSnapsOntoTheGrid) {
    for (const bool snap : {false, true}) {
        m_screen.show();
        m_screen.SetGrid(false, snap);
        Place({Picture({100, 100, 200, 130})});
        Drag({110, 105}, {200, 300});
        EXPECT_EQ(Area()->cursor().shape(), Qt::ArrowCursor);
        const std::string at = snap ? "190,290,290,320" : "190,295,290,325";
        EXPECT_EQ(Saved(), std::vector<std::string>{"100:" + at + ":missing\\none.bmp"});
    }
}

TEST_F(ScreenEditTest, PicturesAreResizedByTheirHandleAndTextsAreNot) {
    Place({Object(kStaticText, {300, 300, 400, 330}, "Text"), Picture({50, 50, 80, 80})});
    QTest::mousePress(Area(), Qt::LeftButton, {}, {84, 76});
    EXPECT_EQ(Area()->cursor().shape(), Qt::SizeAllCursor);
    QTest::mouseMove(Area(), {60, 60});
    EXPECT_EQ(Area()->cursor().shape(), Qt::SizeFDiagCursor);
    QTest::mouseMove(Area(), {61, 61});
    QTest::mouseRelease(Area(), Qt::LeftButton, {}, {61, 61});

    const MarkerRect text = m_screen.Objects()[0].Bounds;
    const QPoint textCorner(text.Right - 1, text.Bottom - 1);
    Drag(textCorner, textCorner + QPoint(50, 40)); // a text object moves instead
    const std::vector<std::string> saved = Saved();
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0], "6:350,340,450,370:Text");
    EXPECT_EQ(saved[1], "100:50,50,61,61:missing\\none.bmp");
}

// A hovered picture and the popup's target show the dotted focus rectangle.
TEST_F(ScreenEditTest, HoverAndPopupTargetLooks) {
    Place({Picture({100, 100, 200, 200})});
    const QImage plain = m_screen.Frame();
    QTest::mouseMove(Area(), {150, 150});
    EXPECT_EQ(m_screen.Marks().hovered, 0);
    EXPECT_EQ(Area()->cursor().shape(), Qt::PointingHandCursor);
    m_screen.PaintScreen();
    const QImage hovered = m_screen.Frame();
    EXPECT_NE(hovered, plain);
    QTest::mouseMove(Area(), {195, 195});
    EXPECT_EQ(Area()->cursor().shape(), Qt::SizeFDiagCursor);
    QTest::mouseMove(Area(), {400, 400});
    EXPECT_EQ(m_screen.Marks().hovered, -1);
    EXPECT_EQ(Area()->cursor().shape(), Qt::ArrowCursor);

    Popup({150, 150});
    EXPECT_EQ(m_screen.Marks().popupTarget, 0);
    m_screen.PaintScreen();
    EXPECT_EQ(m_screen.Frame(), hovered);
    QTest::mousePress(Area(), Qt::LeftButton, {}, {400, 400});
    QTest::mouseRelease(Area(), Qt::LeftButton, {}, {400, 400});
    EXPECT_EQ(m_screen.Marks().popupTarget, -1);
    m_screen.PaintScreen();
    EXPECT_EQ(m_screen.Frame(), plain);
}

TEST_F(ScreenEditTest, PopupItemsOverAnObjectAndOverEmptySpace) {
    Place({Picture({100, 100, 200, 200})});
    const char* const needTarget[] = {"EditObject", "DeleteObject", "CloneObject", "BringToFront",
                                      "SendToBack"};
    for (const bool onObject : {true, false}) {
        Popup(onObject ? QPoint(150, 150) : QPoint(300, 300));
        for (const char* item : needTarget)
            EXPECT_EQ(Enabled(item), onObject) << item;
        EXPECT_EQ(Enabled("NewObject"), !onObject);
    }
    // Screen properties are there over an object and over empty space.
    const auto* properties = m_screen.PopupMenu()->findChild<QAction*>("ScreenProperties");
    EXPECT_TRUE(properties->isVisible() && properties->isEnabled());
    EXPECT_EQ(properties->toolTip(), "View or edit screen properties");
}

// The dialog has saved the file when it ends with OK: the screen shows it at once.
TEST_F(ScreenEditTest, ScreenPropertiesReloadTheScreenAfterOkOnly) {
    std::vector<bool> answers = {false, true};
    m_screen.SetPropertiesDialog([&](TFormScreen& screen) {
        EXPECT_EQ(&screen, &m_screen);
        screen.ScreenFile().WriteString("General", "Title", "Renamed");
        screen.ScreenFile().WriteInteger("General", "Width", 300);
        const bool answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    });
    Command({10, 10}, "ScreenProperties");
    EXPECT_EQ(m_screen.Caption(), "Screen");
    EXPECT_EQ(m_screen.ClientSize(), QSize(640, 480));
    Command({10, 10}, "ScreenProperties");
    EXPECT_EQ(m_screen.Caption(), "Renamed");
    EXPECT_EQ(m_screen.ClientSize(), QSize(300, 480));
}

TEST_F(ScreenEditTest, CloneDeleteFrontAndBackReorderTheList) {
    Place({Picture({20, 20, 120, 120}), Picture({200, 20, 220, 40}), Picture({300, 20, 320, 40}),
           Picture({400, 20, 420, 40}), Picture({500, 20, 520, 40})});
    Command({410, 30}, "BringToFront");
    Command({410, 30}, "SendToBack"); // the object now at 0 goes back
    Command({50, 50}, "CloneObject");
    MessageBox::SetNextAnswer(QMessageBox::No);
    Command({210, 30}, "DeleteObject");
    MessageBox::SetNextAnswer(QMessageBox::Yes);
    Command({310, 30}, "DeleteObject");
    EXPECT_EQ(MessageBox::LastCaption(), "Confirmation");
    EXPECT_EQ(MessageBox::LastText(),
              "Do you want to delete this object permanently? Click 'Yes' to continue.");
    const std::string pic = ":missing\\none.bmp";
    EXPECT_EQ(Saved(),
              (std::vector<std::string>{"100:30,30,130,130" + pic, "100:20,20,120,120" + pic,
                                        "100:200,20,220,40" + pic, "100:500,20,520,40" + pic,
                                        "100:400,20,420,40" + pic}));
    EXPECT_TRUE(m_editorCalls.empty());
}

// New objects go in front only when the editor ends with OK; the editor opens where the
// popup opened or the palette entry was dropped.
TEST_F(ScreenEditTest, NewObjectsFromThePopupAndThePalette) {
    Place({Picture({300, 300, 330, 330})});
    m_editorAnswer = false;
    Command({40, 50}, "NewObject");
    Drop(kCurrentDate, {60, 70});
    m_editorAnswer = true;
    Command({40, 50}, "NewObject");
    const int32_t codes[] = {0, 1, 2, 3, 4, 5, 6, 100, 50, 51};
    for (const int32_t code : codes)
        Drop(code, {10 + code, 20});
    Drop(7, {10, 10}); // not a creatable kind: refused
    Drop(52, {10, 10});

    std::vector<EditorCall> expected = {{0, true, Area()->mapToGlobal(QPoint(40, 50))},
                                        {kCurrentDate, true, Area()->mapToGlobal(QPoint(60, 70))},
                                        {0, true, Area()->mapToGlobal(QPoint(40, 50))}};
    for (const int32_t code : codes)
        expected.push_back({code, true, Area()->mapToGlobal(QPoint(10 + code, 20))});
    EXPECT_EQ(m_editorCalls, expected);
    const std::vector<std::string> saved = Saved();
    ASSERT_EQ(saved.size(), 12u);
    EXPECT_EQ(saved[0], "51:61,20,0,0:edited"); // the last drop is in front
    EXPECT_EQ(saved[10], "0:40,50,0,0:edited");
    EXPECT_EQ(saved[11], "100:300,300,330,330:missing\\none.bmp");
}

TEST_F(ScreenEditTest, EditChangesTheObjectInPlaceAndADoubleClickOpensIt) {
    Place({Picture({100, 100, 200, 200}), Picture({300, 300, 330, 330})});
    Command({310, 310}, "EditObject");
    QTest::mouseDClick(Area(), Qt::LeftButton, {}, {150, 150});
    QTest::mouseDClick(Area(), Qt::LeftButton, {}, {400, 100}); // empty space: nothing
    ASSERT_EQ(m_editorCalls.size(), 2u);
    EXPECT_FALSE(m_editorCalls[0].isNew);
    EXPECT_EQ(m_screen.Marks(), ScreenMarks{});
    EXPECT_EQ(Saved(), (std::vector<std::string>{"100:100,100,200,200:edited",
                                                 "100:300,300,330,330:edited"}));
}

// What was drawn is where the next start finds it: drags and resizes stop at the screen's
// edges, and the border does not shrink the screen below its objects.
TEST_F(ScreenEditTest, ObjectsStayInsideTheScreenAndKeepTheirPlaceAtTheNextLoad) {
    Place({Picture({100, 100, 200, 130}), Picture({300, 300, 330, 330})});
    Drag({110, 105}, {630, 470}); // the pointer stays inside
    QTest::mousePress(Area(), Qt::LeftButton, {}, {330, 330});
    QTest::mouseMove(Area(), {500, 400});
    QTest::mouseMove(Area(), {700, 520}); // beyond the edges
    QTest::mouseRelease(Area(), Qt::LeftButton, {}, {700, 520});
    const std::vector<std::string> placed = {"100:539,449,639,479:missing\\none.bmp",
                                             "100:300,300,639,479:missing\\none.bmp"};
    EXPECT_EQ(Saved(), placed);

    m_screen.show();
    Place({Picture({500, 300, 600, 400})});
    const QPoint corner(m_screen.width() - 1, m_screen.height() - 1);
    QTest::mousePress(&m_screen, Qt::LeftButton, {}, corner);
    QTest::mouseMove(&m_screen, corner - QPoint(400, 300));
    QTest::mouseRelease(&m_screen, Qt::LeftButton, {}, corner - QPoint(400, 300));
    EXPECT_EQ(m_screen.ClientSize(), QSize(601, 401));
    EXPECT_EQ(Saved(), std::vector<std::string>{"100:500,300,600,400:missing\\none.bmp"});
    const ProfileStore file(ResolveDataPath(ScreenFileName(1)));
    EXPECT_EQ(file.ReadInteger("General", "Width", 0), 601);
    EXPECT_EQ(file.ReadInteger("General", "Height", 0), 401);
    EXPECT_EQ(LoadObjects(file)[0].Rect(), (MarkerRect{500, 300, 530, 330})) << "not moved";
}

// A new object made near an edge, or a copy one grid step beyond it, is moved back inside:
// left partly outside, it would go to the origin at the next load.
TEST_F(ScreenEditTest, NewObjectsAndCopiesNearAnEdgeStayInside) {
    m_screen.SetObjectEditor([](TScreenMarker& object, bool, QPoint) {
        object.Right = object.Left + 100;
        object.Bottom = object.Top + 100;
        return true;
    });
    Place({Picture({600, 440, 639, 479})});
    Command({620, 460}, "CloneObject");
    Command({600, 20}, "NewObject");
    const std::string pic = ":missing\\none.bmp";
    EXPECT_EQ(Saved(), (std::vector<std::string>{"0:539,20,639,120:", "100:600,440,639,479" + pic,
                                                 "100:600,440,639,479" + pic}));
}

// A screen drawn in edit mode and closed in run-time mode keeps what was drawn.
TEST_F(ScreenEditTest, LeavingEditModeWritesTheScreen) {
    Place({Picture({100, 100, 130, 130})});
    Drag({110, 110}, {210, 110});
    m_screen.SetScreenMode(false, false, false);
    const ProfileStore file(ResolveDataPath(ScreenFileName(1)));
    EXPECT_EQ(file.ReadString("Marker.0", "TL", ""), "200,100");
    EXPECT_EQ(file.ReadInteger("General", "NoOfMarkers", 0), 1);
}

// The station's own editor on a palette drop: the type of the dropped entry is selected,
// and only "Save" puts the object, 100 x 100 from the drop point, on the screen.
TEST_F(ScreenEditTest, APaletteDropOpensTheObjectEditorOnItsType) {
    TFormEditStyles styleEditor(m_config);
    TFormEditScreenObject editor(m_config, m_tags, styleEditor);
    m_screen.SetObjectEditor([&editor](TScreenMarker& object, bool isNew, QPoint position) {
        isNew ? editor.NewObject(object) : editor.EditObject(object);
        editor.move(position);
        return editor.exec() == QDialog::Accepted;
    });
    for (const bool save : {false, true}) {
        test::ModalAnswers answers;
        answers.Then<TFormEditScreenObject>([save](TFormEditScreenObject& dialog) {
            EXPECT_EQ(test::Child<QComboBox>(dialog, "ComboBoxExType")->currentText(),
                      "Current Date");
            test::Click(dialog, save ? "ButtonSave" : "ButtonCancel");
        });
        Drop(kCurrentDate, {200, 150});
    }
    EXPECT_EQ(Saved(), std::vector<std::string>{"4:200,150,300,250:"});
}

// Through the station's editor to the file: a preset button first bound to an input tag
// (refused, the editor stays open), then to the output tag, with a value that is no number.
TEST_F(ScreenEditTest, AnObjectMadeInTheEditorReachesTheFile) {
    TDataChannel valve = MakeTag("Valve", 0);
    valve.Function = 5;
    m_tags.Assign({MakeTag("Level", 1.5), valve});
    m_config.WriteString("Channel.0", "Name", "Level");
    m_config.WriteString("Channel.1", "Name", "Valve");
    TFormEditStyles styleEditor(m_config);
    TFormEditScreenObject editor(m_config, m_tags, styleEditor);
    m_screen.SetObjectEditor([&editor](TScreenMarker& object, bool isNew, QPoint position) {
        isNew ? editor.NewObject(object) : editor.EditObject(object);
        editor.move(position);
        return editor.exec() == QDialog::Accepted;
    });
    test::ModalAnswers answers;
    answers.Then<TFormEditScreenObject>([](TFormEditScreenObject& dialog) {
        test::Child<QComboBox>(dialog, "ComboBoxExType")->setCurrentIndex(9);
        test::SetText(dialog, "EditPresetValue", "abc");
        test::SetText(dialog, "EditPresetButtonLabel", "Open");
        test::Click(dialog, "ButtonSave");
        EXPECT_TRUE(dialog.isVisible()) << "an input tag cannot be written";
        test::Child<QComboBox>(dialog, "ComboBoxPoints")->setCurrentIndex(1);
        test::Click(dialog, "ButtonSave");
    });
    Command({40, 50}, "NewObject");
    EXPECT_EQ(MessageBox::LastText(), "'abc' is not a valid floating point value");
    EXPECT_EQ(Saved(), std::vector<std::string>{"51:40,50,140,150:Open"});
    const ProfileStore file(ResolveDataPath(ScreenFileName(1)));
    EXPECT_EQ(file.ReadInteger("Marker.0", "Channel", -1), 1);
    EXPECT_EQ(file.ReadFloat("Marker.0", "AttrDouble1", -1), 0.0);
}

} // namespace

namespace {

const std::string kPic = ":missing\\none.bmp";

std::string SavedPicture(const std::string& rect) {
    return "100:" + rect + kPic;
}

// A rubber band selects what lies wholly inside it, Shift-clicks add and take out, and a
// drag of any selected object carries the others along; Ctrl+Z and Ctrl+Y take the move
// back and make it again.
TEST_F(ScreenEditTest, SeveralObjectsAreSelectedAndMovedTogether) {
    Place({Picture({100, 100, 130, 130}), Picture({200, 100, 230, 130}),
           Picture({400, 300, 430, 330}), Picture({500, 100, 530, 130})});
    Drag({90, 90}, {240, 140}); // the first two; the fourth only in part
    ShiftClick({410, 310});
    ShiftClick({510, 110});
    ShiftClick({510, 110}); // out again
    EXPECT_EQ(m_screen.Marks().selection.Indices(), (std::vector<int>{0, 1, 2}));
    Drag({205, 105}, {255, 165});
    const std::vector<std::string> moved = {
        SavedPicture("150,160,180,190"), SavedPicture("250,160,280,190"),
        SavedPicture("450,360,480,390"), SavedPicture("500,100,530,130")};
    EXPECT_EQ(Saved(), moved);

    m_screen.show();
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Saved(), (std::vector<std::string>{
                           SavedPicture("100,100,130,130"), SavedPicture("200,100,230,130"),
                           SavedPicture("400,300,430,330"), SavedPicture("500,100,530,130")}));
    m_screen.show();
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Saved(), moved);
}

// The group stops at the screen's edge as a whole: no object leaves it, none moves closer
// to another.
TEST_F(ScreenEditTest, AGroupStopsAtTheEdgeKeepingItsShape) {
    Place({Picture({100, 100, 130, 130}), Picture({300, 100, 330, 130})});
    Drag({90, 90}, {340, 140});
    Drag({310, 110}, {630, 110});
    EXPECT_EQ(Saved(), (std::vector<std::string>{SavedPicture("409,100,439,130"),
                                                 SavedPicture("609,100,639,130")}));
}

// The arrow keys move the selection by a pixel or, with Shift, by the grid step; Delete asks
// once for all of it. Each step is undone in turn.
TEST_F(ScreenEditTest, KeysMoveAndDeleteTheSelectionAndEachStepIsUndone) {
    Place({Picture({100, 100, 130, 130}), Picture({200, 100, 230, 130}),
           Picture({300, 300, 330, 330})});
    Drag({90, 90}, {240, 140});
    Key(Qt::Key_Right);
    Key(Qt::Key_Down, Qt::ShiftModifier);
    const std::vector<std::string> moved = {SavedPicture("101,110,131,140"),
                                            SavedPicture("201,110,231,140"),
                                            SavedPicture("300,300,330,330")};
    EXPECT_EQ(Saved(), moved);
    m_screen.show();
    MessageBox::SetNextAnswer(QMessageBox::No);
    Key(Qt::Key_Delete);
    EXPECT_EQ(Saved(), moved);
    m_screen.show();
    MessageBox::SetNextAnswer(QMessageBox::Yes);
    Key(Qt::Key_Delete);
    EXPECT_EQ(MessageBox::LastText(),
              "Do you want to delete this object permanently? Click 'Yes' to continue.");
    EXPECT_EQ(Saved(), std::vector<std::string>{SavedPicture("300,300,330,330")});

    m_screen.show();
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Saved(), moved);
    m_screen.show();
    Key(Qt::Key_Z, Qt::ControlModifier);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Saved()[0], SavedPicture("100,100,130,130"));
}

// Each kind of edit is one step back and forth: the file after undo holds the objects as
// they were, after redo as the edit left them.
TEST_F(ScreenEditTest, EveryEditIsUndoneAndRedone) {
    m_screen.SetObjectEditor([](TScreenMarker& object, bool isNew, QPoint) {
        object.AttrStr1 = isNew ? "new" : "edited";
        return true;
    });
    const std::vector<TScreenMarker> start = {Picture({100, 100, 130, 130}),
                                              Picture({200, 100, 230, 130})};
    const std::pair<const char*, std::function<void()>> edits[] = {
        {"move",
         [&] {
             Drag({105, 105}, {305, 205});
         }},
        {"resize",
         [&] {
             Drag({130, 130}, {160, 170});
         }},
        {"properties",
         [&] {
             Command({105, 105}, "EditObject");
         }},
        {"add",
         [&] {
             Command({400, 400}, "NewObject");
         }},
        {"palette",
         [&] {
             Drop(kStaticText, {400, 400});
         }},
        {"clone",
         [&] {
             Command({105, 105}, "CloneObject");
         }},
        {"delete",
         [&] {
             MessageBox::SetNextAnswer(QMessageBox::Yes);
             Command({105, 105}, "DeleteObject");
         }},
        {"front",
         [&] {
             Command({205, 105}, "BringToFront");
         }},
        {"back",
         [&] {
             Command({105, 105}, "SendToBack");
         }},
        {"cut",
         [&] {
             QTest::mouseClick(Area(), Qt::LeftButton, {}, {105, 105});
             Key(Qt::Key_X, Qt::ControlModifier);
         }},
    };
    Place(start);
    const std::vector<std::string> before = Saved();
    for (const auto& [name, edit] : edits) {
        m_screen.show();
        Place(start);
        edit();
        const std::vector<std::string> after = Saved();
        EXPECT_NE(after, before) << name;
        m_screen.show();
        Key(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(Saved(), before) << name;
        m_screen.show();
        Key(Qt::Key_Z, Qt::ShiftModifier | Qt::ControlModifier);
        EXPECT_EQ(Saved(), after) << name;
    }
}

// Copies keep their keys: pasted on the same screen one grid step away, on another screen
// where they were; both become the selection. Cut leaves the screen without asking.
TEST_F(ScreenEditTest, TheClipboardCarriesObjectsBetweenScreens) {
    Place({Object(kStaticText, {100, 100, 200, 130}, "Label"), Picture({300, 100, 330, 130})});
    m_screen.Objects()[0].UseStyle = 2;
    Drag({90, 90}, {340, 140});
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains("[Marker.1]"));
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(m_screen.Marks().selection.Indices(), (std::vector<int>{0, 1}));
    EXPECT_EQ(Saved(), (std::vector<std::string>{
                           "6:110,110,210,140:Label", SavedPicture("310,110,340,140"),
                           "6:100,100,200,130:Label", SavedPicture("300,100,330,130")}));

    WriteText(ResolveDataPath(ScreenFileName(2)), "[General]\nWidth=640\nHeight=480\n");
    QScrollArea dock;
    TFormScreen other(m_config, m_tags, &dock);
    other.OpenScreenFile(2);
    other.SetScreenMode(true, false, false);
    other.SetGrid(false, false);
    dock.show();
    other.show();
    m_screen.show();
    QTest::mouseClick(Area(), Qt::LeftButton, {}, {305, 105});
    Key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(Saved(),
              (std::vector<std::string>{"6:110,110,210,140:Label", SavedPicture("310,110,340,140"),
                                        "6:100,100,200,130:Label"}));
    QTest::keyClick(other.PaintArea(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(other.Marks().selection.Indices(), std::vector<int>{0});
    EXPECT_EQ(Saved(other), std::vector<std::string>{SavedPicture("300,100,330,130")});
    const ProfileStore file(ResolveDataPath(ScreenFileName(1)));
    EXPECT_EQ(file.ReadInteger("Marker.0", "UseStyle", -1), 2);
}

// The popup's Align and Distribute act on the selection, and only on a selection of enough
// objects.
TEST_F(ScreenEditTest, AlignAndDistributeTheSelectionFromThePopup) {
    Place({Picture({100, 100, 130, 130}), Picture({150, 120, 170, 160}),
           Picture({400, 90, 420, 100}), Picture({500, 400, 520, 420})});
    Popup({20, 20});
    EXPECT_FALSE(m_screen.PopupMenu()->findChild<QMenu*>("Align")->isEnabled());
    Drag({90, 80}, {430, 170});
    Command({20, 20}, "AlignTop");
    Command({20, 20}, "DistributeHorizontally");
    EXPECT_EQ(Saved(), (std::vector<std::string>{
                           SavedPicture("100,90,130,120"), SavedPicture("255,90,275,130"),
                           SavedPicture("400,90,420,100"), SavedPicture("500,400,520,420")}));
}

} // namespace

namespace {

// The object editor's place fields: X and Y move the object, a changed width or height
// sizes it; a size left as shown keeps the one the object has. One undo takes it back.
TEST_F(ScreenEditTest, TheObjectEditorPlacesAndSizesTheObject) {
    TFormEditStyles styleEditor(m_config);
    TFormEditScreenObject editor(m_config, m_tags, styleEditor);
    m_screen.SetObjectEditor([&editor](TScreenMarker& object, bool isNew, QPoint) {
        isNew ? editor.NewObject(object) : editor.EditObject(object);
        return editor.exec() == QDialog::Accepted;
    });
    Place({Picture({100, 100, 130, 140}), Picture({300, 300, 330, 330})});
    test::ModalAnswers answers;
    answers.Then<TFormEditScreenObject>([](TFormEditScreenObject& dialog) {
        EXPECT_EQ(test::Child<QSpinBox>(dialog, "EditWidth")->value(), 30);
        EXPECT_EQ(test::Child<QSpinBox>(dialog, "EditHeight")->value(), 40);
        // Saving a picture whose file is missing gives it the placeholder's 30 x 30.
        test::Child<QSpinBox>(dialog, "EditLeft")->setValue(50);
        test::Child<QSpinBox>(dialog, "EditTop")->setValue(60);
        test::Click(dialog, "ButtonSave");
    });
    answers.Then<TFormEditScreenObject>([](TFormEditScreenObject& dialog) {
        test::Child<QSpinBox>(dialog, "EditWidth")->setValue(80);
        test::Click(dialog, "ButtonSave");
    });
    Command({105, 105}, "EditObject");
    Command({305, 305}, "EditObject");
    EXPECT_EQ(Saved(), (std::vector<std::string>{SavedPicture("50,60,80,90"),
                                                 SavedPicture("300,300,380,330")}));
    m_screen.show();
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Saved()[1], SavedPicture("300,300,330,330"));
}

} // namespace
