#include "TFormScreen.h"

#include "DataRoot.h"
#include "MessageBox.h"
#include "ObjectClipboard.h"
#include "ProfileStore.h"
#include "RunTimeClick.h"
#include "ScreenActions.h"
#include "ScreenFile.h"
#include "ScreenPaintArea.h"
#include "ScreenProperties.h"
#include "StoredText.h"
#include "TFormInput.h"
#include "TagTable.h"

#include <QAction>
#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QHideEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <ranges>

namespace halvane {

namespace {

constexpr int kRefreshIntervalMs = 1000;
constexpr int kMinimumWindowSize = 10;
// The sizeable border of a docked screen in edit mode.
constexpr int kEditBorderWidth = 4;

// A clone's coordinate, held at the largest one a file can give.
int32_t OneGridStepOn(int32_t coordinate) {
    return coordinate > std::numeric_limits<int32_t>::max() - kGridSize
               ? std::numeric_limits<int32_t>::max()
               : coordinate + kGridSize;
}

// Whether every object of `a` lies where the same object of `b` lies.
bool SamePlaces(const ObjectList& a, const ObjectList& b) {
    return std::ranges::equal(
        a, b, [](const TScreenMarker& x, const TScreenMarker& y) { return x.Rect() == y.Rect(); });
}

} // namespace

TFormScreen::TFormScreen(ProfileStore& config, const TagTable& tags, QScrollArea* dock,
                         QWidget* owner)
    : QWidget(nullptr, Qt::Window), m_config(config), m_tags(tags), m_dock(dock), m_owner(owner),
      m_painter(config) {
    setObjectName("FormScreen");
    setMinimumSize(kMinimumWindowSize, kMinimumWindowSize);
    setMouseTracking(true);
    m_paintBoxScreen = new ScreenPaintArea(this);
    m_paintBoxScreen->setCursor(Qt::ArrowCursor); // the border's resize cursors stay on it
    connect(m_paintBoxScreen, &ScreenPaintArea::MouseDown, this,
            &TFormScreen::PaintBoxScreenMouseDown);
    connect(m_paintBoxScreen, &ScreenPaintArea::MouseMove, this,
            &TFormScreen::PaintBoxScreenMouseMove);
    connect(m_paintBoxScreen, &ScreenPaintArea::MouseUp, this, &TFormScreen::PaintBoxScreenMouseUp);
    connect(m_paintBoxScreen, &ScreenPaintArea::ContextPopup, this,
            &TFormScreen::PaintBoxScreenContextPopup);
    connect(m_paintBoxScreen, &ScreenPaintArea::DoubleClick, this,
            &TFormScreen::PaintBoxScreenDblClick);
    connect(m_paintBoxScreen, &ScreenPaintArea::ObjectDropped, this,
            &TFormScreen::PaintBoxScreenDragDrop);
    connect(m_paintBoxScreen, &ScreenPaintArea::KeyDown, this, &TFormScreen::PaintBoxScreenKeyDown);
    m_valueQuestion = [this](QPoint position, const TDataChannel& tag) {
        TFormInput dialog(this);
        return dialog.AskValue(position, tag);
    };
    m_timerRefresh = new QTimer(this);
    m_timerRefresh->setObjectName("TimerRefresh");
    m_timerRefresh->setInterval(kRefreshIntervalMs);
    connect(m_timerRefresh, &QTimer::timeout, this, &TFormScreen::TimerRefreshTimer);
    BuildPopupMenu();
    SetCaption(std::string(kDefaultScreenTitle));
    LayoutClient();
    m_timerRefresh->start();
}

TFormScreen::~TFormScreen() = default;

QAction* TFormScreen::AddMenuItem(const char* name, const QString& text, const QString& hint) {
    QAction* action = m_popupMenuScreen->addAction(text);
    action->setObjectName(name);
    action->setStatusTip(hint);
    action->setToolTip(hint);
    return action;
}

void TFormScreen::BuildPopupMenu() {
    m_popupMenuScreen = new QMenu(this);
    m_popupMenuScreen->setObjectName("PopupMenuScreen");
    m_exitProgram = AddMenuItem("ExitProgram", tr("Exit program"));
    m_popupMenuScreen->addSeparator();
    m_newObject =
        AddMenuItem("NewObject", tr("&New object..."), tr("Put a new object on the screen"));
    m_editObject = AddMenuItem("EditObject", tr("&Edit object..."), tr("Edit selected object"));
    m_deleteObject = AddMenuItem("DeleteObject", tr("&Delete object"));
    m_cloneObject = AddMenuItem("CloneObject", tr("&Clone object"));
    m_popupMenuScreen->addSeparator();
    m_bringToFront = AddMenuItem("BringToFront", tr("Bring to &front"));
    m_sendToBack = AddMenuItem("SendToBack", tr("Send to &back"));
    BuildArrangeMenus();
    m_popupMenuScreen->addSeparator();
    m_screenProperties = AddMenuItem("ScreenProperties", tr("&Screen properties..."),
                                     tr("View or edit screen properties"));
    connect(m_exitProgram, &QAction::triggered, this,
            &TFormScreen::PopupMenuScreenExitProgramClick);
    connect(m_newObject, &QAction::triggered, this, &TFormScreen::PopupMenuScreenNewObjectClick);
    connect(m_editObject, &QAction::triggered, this, &TFormScreen::PopupMenuScreenEditObjectClick);
    connect(m_deleteObject, &QAction::triggered, this,
            &TFormScreen::PopupMenuScreenDeleteObjectClick);
    connect(m_cloneObject, &QAction::triggered, this,
            &TFormScreen::PopupMenuScreenCloneObjectClick);
    connect(m_bringToFront, &QAction::triggered, this,
            &TFormScreen::PopupMenuScreenBringToFrontClick);
    connect(m_sendToBack, &QAction::triggered, this, &TFormScreen::PopupMenuScreenSendToBackClick);
    connect(m_screenProperties, &QAction::triggered, this,
            &TFormScreen::PopupMenuScreenScreenPropertiesClick);
}

// The commands for a selection of several objects.
void TFormScreen::BuildArrangeMenus() {
    m_alignMenu = m_popupMenuScreen->addMenu(tr("&Align"));
    m_alignMenu->setObjectName("Align");
    const std::pair<const char*, QString> alignments[] = {
        {"AlignLeft", tr("&Left")},
        {"AlignRight", tr("&Right")},
        {"AlignTop", tr("&Top")},
        {"AlignBottom", tr("&Bottom")},
        {"AlignHorizontalCentres", tr("Centres on a &vertical line")},
        {"AlignVerticalCentres", tr("Centres on a &horizontal line")}};
    const Alignment kinds[] = {Alignment::Left,
                               Alignment::Right,
                               Alignment::Top,
                               Alignment::Bottom,
                               Alignment::HorizontalCentres,
                               Alignment::VerticalCentres};
    for (size_t i = 0; i < std::size(kinds); ++i) {
        QAction* item = m_alignMenu->addAction(alignments[i].second);
        item->setObjectName(alignments[i].first);
        connect(item, &QAction::triggered, this, [this, kind = kinds[i]] { AlignSelection(kind); });
    }
    m_distributeMenu = m_popupMenuScreen->addMenu(tr("Distr&ibute"));
    m_distributeMenu->setObjectName("Distribute");
    QAction* horizontally = m_distributeMenu->addAction(tr("&Horizontally"));
    horizontally->setObjectName("DistributeHorizontally");
    connect(horizontally, &QAction::triggered, this,
            [this] { DistributeSelection(Distribution::Horizontally); });
    QAction* vertically = m_distributeMenu->addAction(tr("&Vertically"));
    vertically->setObjectName("DistributeVertically");
    connect(vertically, &QAction::triggered, this,
            [this] { DistributeSelection(Distribution::Vertically); });
}

void TFormScreen::OpenScreenFile(int number) {
    m_number = number;
    const std::filesystem::path path = ResolveDataPath(ScreenFileName(number));
    CreateScreenFile(path, number);
    m_screenFile = std::make_unique<ProfileStore>(path);
    LoadObjects();
}

void TFormScreen::LoadGeneralSettings() {
    LoadBackground();
    SetCaption(m_screenFile->ReadString(kScreenGeneralSection, "Title", kDefaultScreenTitle));
    move(0, 0);
    SetClientSize(
        {m_screenFile->ReadInteger(kScreenGeneralSection, "Width", kDefaultScreenWidth),
         m_screenFile->ReadInteger(kScreenGeneralSection, "Height", kDefaultScreenHeight)});
    PaintScreen();
}

// A picture that cannot be loaded leaves the background empty.
void TFormScreen::LoadBackground() {
    const std::optional<QImage> picture = LoadBackgroundPicture(BackgroundPicturePath(
        m_screenFile->ReadString(kScreenGeneralSection, "Background.Bitmap", "")));
    m_background = picture ? picture->convertToFormat(QImage::Format_RGB32) : QImage();
}

// The edits undone from here on are those made after this load.
void TFormScreen::LoadObjects() {
    m_objects = halvane::LoadObjects(*m_screenFile);
    m_marks = ScreenMarks{};
    m_history.Clear();
}

bool TFormScreen::SaveObjects() {
    return halvane::SaveObjects(*m_screenFile, m_objects);
}

void TFormScreen::SaveScreen() {
    if (!m_editMode)
        return;
    ProfileStore::Batch batch(*m_screenFile);
    m_screenFile->WriteString(kScreenGeneralSection, "Title", Caption());
    WritePlacement();
    SaveObjects();
}

void TFormScreen::WritePlacement() {
    ProfileStore::Batch batch(*m_screenFile);
    const QSize client = ClientSize();
    m_screenFile->WriteInteger(kScreenGeneralSection, "Left", x());
    m_screenFile->WriteInteger(kScreenGeneralSection, "Top", y());
    m_screenFile->WriteInteger(kScreenGeneralSection, "Width", client.width());
    m_screenFile->WriteInteger(kScreenGeneralSection, "Height", client.height());
}

void TFormScreen::SetScreenTitle(const std::string& text) {
    m_screenFile->WriteString(kScreenGeneralSection, "Title", text);
    SetCaption(text);
}

void TFormScreen::SetCaption(const std::string& stored) {
    {
        const std::lock_guard lock(m_publishedMutex);
        m_caption = stored;
    }
    setWindowTitle(QString::fromStdString(StoredTextToUtf8(stored)));
}

void TFormScreen::SetScreenMode(bool edit, bool startedInRunTime, bool floating) {
    // Run-time mode never saves: what was drawn in edit mode is written before it begins,
    // or a close in run-time mode would lose it.
    if (m_editMode && !edit)
        SaveScreen();
    else
        WritePlacement();
    m_editMode = edit;
    m_borderWidth = edit && !floating ? kEditBorderWidth : 0;
    if (floating)
        Float(edit);
    else
        Dock();
    m_exitProgram->setVisible(!edit && floating && startedInRunTime);
    for (QAction* item : {m_newObject, m_editObject, m_deleteObject, m_screenProperties,
                          m_alignMenu->menuAction(), m_distributeMenu->menuAction()})
        item->setVisible(edit);
    SetClientSize(
        {m_screenFile->ReadInteger(kScreenGeneralSection, "Width", kDefaultScreenWidth),
         m_screenFile->ReadInteger(kScreenGeneralSection, "Height", kDefaultScreenHeight)});
}

// Docked at no particular alignment into the dock area's contents, which are made when
// the dock area has none yet.
void TFormScreen::Dock() {
    QWidget* contents = m_dock->widget();
    if (contents == nullptr) {
        contents = new QWidget;
        contents->setObjectName("ScrollBoxDockContents");
        m_dock->setWidget(contents);
        m_dock->setWidgetResizable(true);
        contents->show();
    }
    Reparent(contents, Qt::Widget);
}

// A tool window at the current position; without any border in run-time mode.
void TFormScreen::Float(bool edit) {
    const QPoint position = pos();
    Reparent(m_owner, edit ? Qt::Tool : Qt::Tool | Qt::FramelessWindowHint);
    move(position);
}

// A change of parent hides the window; it comes back as it was, and the change itself
// neither saves nor reloads the screen.
void TFormScreen::Reparent(QWidget* parent, Qt::WindowFlags flags) {
    const bool wasVisible = isVisible();
    m_reparenting = true;
    setParent(parent, flags);
    setVisible(wasVisible);
    m_reparenting = false;
}

void TFormScreen::SetGrid(bool showGrid, bool snapToGrid) {
    m_showGrid = showGrid;
    m_snapToGrid = snapToGrid;
    PaintScreen();
}

bool TFormScreen::ReadVisibleFlag() const {
    return m_screenFile->ReadBool(kScreenGeneralSection, "Visible", true);
}

bool TFormScreen::IsTagUsed(int tagIndex) const {
    return halvane::IsTagUsed(m_objects, tagIndex);
}

void TFormScreen::RenumberTagReferences(int oldIndex, int newIndex) {
    halvane::RenumberTagReferences(m_objects, oldIndex, newIndex);
}

void TFormScreen::PaintScreen() {
    if (!m_screenFile)
        return;
    const ScreenView view{ClientSize(), m_editMode,   m_showGrid,
                          m_snapToGrid, m_background, m_marks};
    const std::vector<TDataChannel> tags = m_tags.SnapshotAll();
    // The paint reads a few thousand keys: the files are looked at for external edits once
    // per paint instead of at every read.
    const ProfileStore::Batch configReads(m_config);
    const ProfileStore::Batch screenReads(*m_screenFile);
    ScreenFrame frame = m_painter.PaintScreen(view, *m_screenFile, m_objects, tags);
    std::vector<ActingObject> acting = ActingObjects(m_objects, tags.size());
    {
        const std::lock_guard lock(m_publishedMutex);
        m_frame = frame.image;
        m_frameObjects = std::move(acting);
    }
    m_paintBoxScreen->ShowFrame(std::move(frame.image), frame.stretch);
}

void TFormScreen::TimerRefreshTimer() {
    PaintScreen();
}

void TFormScreen::PaintBoxScreenMouseDown(Qt::MouseButton button, QPoint position,
                                          Qt::KeyboardModifiers modifiers) {
    if (button != Qt::LeftButton)
        return;
    if (!m_editMode) {
        PressObject(position);
        return;
    }
    m_beforeGesture = m_objects;
    const bool extend = modifiers & (Qt::ShiftModifier | Qt::ControlModifier);
    ApplyEditStep(m_editing.Press(m_objects, m_marks, position, extend));
}

// Edit mode only. Plain arrows move the selection by a pixel, or by the grid step while
// snap to grid is on (the next draw would put a pixel's move back); Shift+arrow by the
// grid step.
void TFormScreen::PaintBoxScreenKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    if (!m_editMode)
        return;
    const bool control = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const int step = shift || m_snapToGrid ? kGridSize : 1;
    if (control && key == Qt::Key_Z)
        shift ? RedoEdit() : UndoEdit();
    else if (control && key == Qt::Key_Y)
        RedoEdit();
    else if (control && key == Qt::Key_C)
        CopySelection();
    else if (control && key == Qt::Key_X)
        CutSelection();
    else if (control && key == Qt::Key_V)
        PasteObjects();
    else if (key == Qt::Key_Delete)
        DeleteSelection();
    else if (key == Qt::Key_Left)
        MoveSelection(-step, 0);
    else if (key == Qt::Key_Right)
        MoveSelection(step, 0);
    else if (key == Qt::Key_Up)
        MoveSelection(0, -step);
    else if (key == Qt::Key_Down)
        MoveSelection(0, step);
}

void TFormScreen::PaintBoxScreenMouseMove(QPoint position) {
    if (m_editMode)
        ApplyEditStep(m_editing.Move(m_objects, m_marks, position, ClientSize()));
    else
        UpdateRunTimeCursor(position);
}

// The click's action, a modal dialog included, runs while the object still looks pressed.
// A release outside the area only ends the press.
void TFormScreen::PaintBoxScreenMouseUp(Qt::MouseButton button, QPoint position,
                                        QPoint globalPosition) {
    if (button != Qt::LeftButton)
        return;
    if (m_editMode) {
        ApplyEditStep(m_editing.Drop(m_objects, m_marks, position, ClientSize()));
        if (!SamePlaces(m_objects, m_beforeGesture))
            RecordEdit(std::move(m_beforeGesture));
        m_beforeGesture.clear();
        return;
    }
    if (m_paintBoxScreen->rect().contains(position))
        ClickObject(position, globalPosition);
    ReleaseObject();
}

// In edit mode a double click ends the drag its press began and opens the editor on the
// object under the pointer.
void TFormScreen::PaintBoxScreenDblClick(QPoint position) {
    if (!m_editMode)
        return;
    ApplyEditStep(m_editing.Drop(m_objects, m_marks, position, ClientSize()));
    m_marks.popupTarget = FrontObjectAt(m_objects, position);
    PopupMenuScreenEditObjectClick();
}

// A palette entry dropped on the screen, in either mode: a new object of its type there.
void TFormScreen::PaintBoxScreenDragDrop(int32_t type, QPoint position) {
    TScreenMarker object;
    object.Left = position.x();
    object.Top = position.y();
    object.Type = type;
    AddNewObject(std::move(object), position);
}

void TFormScreen::ApplyEditStep(const ScreenEditing::Step& step) {
    if (step.cursor)
        m_paintBoxScreen->setCursor(*step.cursor);
    if (step.repaint)
        PaintScreen();
}

void TFormScreen::PaintBoxScreenContextPopup(QPoint position, QPoint globalPosition) {
    m_popupPoint = position;
    PreparePopup(position);
    m_popupMenuScreen->popup(globalPosition);
}

void TFormScreen::PressObject(QPoint position) {
    const int index = FrontObjectAt(m_objects, position);
    if (index < 0)
        return;
    m_marks.pressed = index;
    PaintScreen();
}

void TFormScreen::UpdateRunTimeCursor(QPoint position) {
    if (const auto cursor = RunTimeCursorAt(m_objects, position))
        m_paintBoxScreen->setCursor(*cursor);
}

void TFormScreen::ClickObject(QPoint position, QPoint globalPosition) {
    const int target = BackObjectAt(m_objects, position);
    if (target < 0 || m_actions == nullptr)
        return;
    const TScreenMarker& object = m_objects[static_cast<size_t>(target)];
    const RunTimeClick click = ClickActionOf(object, m_tags.Size());
    const bool confirm = object.Confirm;
    switch (click.kind) {
    case RunTimeClick::Kind::PreviousScreen:
        m_actions->PreviousScreen();
        break;
    case RunTimeClick::Kind::NextScreen:
        m_actions->NextScreen();
        break;
    case RunTimeClick::Kind::ExitNow:
        m_actions->ExitNow();
        break;
    case RunTimeClick::Kind::OpenHistoryFolder:
        m_actions->OpenHistoryFolder();
        break;
    case RunTimeClick::Kind::AskValue:
        InputValue(click.tagIndex, confirm, globalPosition);
        break;
    case RunTimeClick::Kind::PresetValue:
        PresetObjectValue(click.tagIndex, click.value, confirm);
        break;
    case RunTimeClick::Kind::None:
        break;
    }
}

// The dialog says why it refuses a text; only a value it accepted is written.
void TFormScreen::InputValue(size_t tagIndex, bool confirm, QPoint globalPosition) {
    if (const std::optional<double> value =
            m_valueQuestion(globalPosition, m_tags.Snapshot(tagIndex)))
        PresetObjectValue(tagIndex, *value, confirm);
}

// An object that asks before writing writes nothing unless the operator answers Yes.
void TFormScreen::PresetObjectValue(size_t tagIndex, double value, bool confirm) {
    if (confirm) {
        const std::string question =
            WriteQuestion(m_objects, tagIndex, m_tags.Snapshot(tagIndex), value, m_config);
        if (MessageBox::Question(this, tr("Confirmation"), QString::fromStdString(question)) !=
            QMessageBox::Yes)
            return;
    }
    m_actions->PresetTagValue(tagIndex, value);
}

void TFormScreen::ReleaseObject() {
    m_marks.pressed = -1;
    PaintScreen();
}

// In both modes: the commands that need an object act on the topmost one under the pointer.
void TFormScreen::PreparePopup(QPoint position) {
    m_marks.popupTarget = FrontObjectAt(m_objects, position);
    const bool onObject = m_marks.popupTarget >= 0;
    for (QAction* item :
         {m_editObject, m_cloneObject, m_deleteObject, m_bringToFront, m_sendToBack})
        item->setEnabled(onObject);
    m_newObject->setEnabled(!onObject);
    m_alignMenu->setEnabled(m_marks.selection.Size() >= 2);
    m_distributeMenu->setEnabled(m_marks.selection.Size() >= 3);
}

bool TFormScreen::HasPopupTarget() const {
    return m_marks.popupTarget >= 0 && static_cast<size_t>(m_marks.popupTarget) < m_objects.size();
}

void TFormScreen::PopupMenuScreenExitProgramClick() {
    if (m_actions != nullptr)
        m_actions->ExitProgram();
}

void TFormScreen::PopupMenuScreenNewObjectClick() {
    TScreenMarker object;
    object.Left = m_popupPoint.x();
    object.Top = m_popupPoint.y();
    AddNewObject(std::move(object), m_popupPoint);
}

// The editor opens on a new object at `position` (client coordinates); only OK puts the
// object on the screen, in front of all others.
void TFormScreen::AddNewObject(TScreenMarker object, QPoint position) {
    if (m_objectEditor && m_objectEditor(object, true, m_paintBoxScreen->mapToGlobal(position))) {
        KeepInside(object, ClientSize());
        RecordEdit(m_objects);
        m_objects.push_front(std::move(object));
        m_marks.selection.Clear();
    }
    m_marks.popupTarget = -1;
    PaintScreen();
}

// The editor changes the object in place when its "Save" is pressed.
void TFormScreen::PopupMenuScreenEditObjectClick() {
    if (HasPopupTarget() && m_objectEditor) {
        ObjectList before = m_objects;
        if (m_objectEditor(m_objects[static_cast<size_t>(m_marks.popupTarget)], false,
                           QCursor::pos()))
            RecordEdit(std::move(before));
    }
    m_marks.popupTarget = -1;
    PaintScreen();
}

void TFormScreen::PopupMenuScreenDeleteObjectClick() {
    if (!HasPopupTarget())
        return;
    if (MessageBox::Question(this, tr("Confirmation"),
                             tr("Do you want to delete this object permanently? Click 'Yes' to "
                                "continue.")) != QMessageBox::Yes)
        return;
    RecordEdit(m_objects);
    m_objects.erase(m_objects.begin() + m_marks.popupTarget);
    m_marks = ScreenMarks{};
    PaintScreen();
}

// The copy lies one grid step right of and below the original, in front of everything.
void TFormScreen::PopupMenuScreenCloneObjectClick() {
    if (!HasPopupTarget())
        return;
    TScreenMarker copy = m_objects[static_cast<size_t>(m_marks.popupTarget)];
    for (int32_t* coordinate : {&copy.Left, &copy.Top, &copy.Right, &copy.Bottom})
        *coordinate = OneGridStepOn(*coordinate);
    const QSize client = ClientSize();
    if (CornersInside(m_objects[static_cast<size_t>(m_marks.popupTarget)].Rect(), client.width(),
                      client.height()))
        KeepInside(copy, client);
    RecordEdit(m_objects);
    m_objects.push_front(std::move(copy));
    m_marks.popupTarget = -1;
    m_marks.selection.Clear();
    PaintScreen();
}

void TFormScreen::PopupMenuScreenBringToFrontClick() {
    if (!HasPopupTarget())
        return;
    RecordEdit(m_objects);
    m_marks.selection.Clear();
    const auto target = m_objects.begin() + m_marks.popupTarget;
    std::rotate(m_objects.begin(), target, target + 1);
    PaintScreen();
}

void TFormScreen::PopupMenuScreenSendToBackClick() {
    if (!HasPopupTarget())
        return;
    RecordEdit(m_objects);
    m_marks.selection.Clear();
    const auto target = m_objects.begin() + m_marks.popupTarget;
    std::rotate(target, target + 1, m_objects.end());
    PaintScreen();
}

// The dialog has saved when it ends with OK: title, background and size show at once.
void TFormScreen::PopupMenuScreenScreenPropertiesClick() {
    if (m_propertiesDialog && m_propertiesDialog(*this))
        LoadGeneralSettings();
}

void TFormScreen::RecordEdit(ObjectList before) {
    m_history.Record(std::move(before));
}

void TFormScreen::UndoEdit() {
    ShowRestored(m_history.Undo(m_objects));
}

void TFormScreen::RedoEdit() {
    ShowRestored(m_history.Redo(m_objects));
}

void TFormScreen::ShowRestored(std::optional<ObjectList> objects) {
    if (!objects)
        return;
    m_objects = std::move(*objects);
    m_marks = ScreenMarks{};
    PaintScreen();
}

// The selected objects go to the clipboard as their screen file keys, in front-to-back
// order, both in our own format and as text.
void TFormScreen::CopySelection() {
    m_marks.selection.KeepWithin(m_objects.size());
    if (m_marks.selection.Empty())
        return;
    const QByteArray keys =
        QByteArray::fromStdString(ObjectsToKeys(m_objects, m_marks.selection.Indices(), m_number));
    auto* data = new QMimeData;
    data->setData(kScreenObjectsMimeType, keys);
    data->setText(QString::fromUtf8(keys));
    QGuiApplication::clipboard()->setMimeData(data);
}

void TFormScreen::CutSelection() {
    CopySelection();
    EraseSelection();
}

// Objects copied from this screen land one grid step right of and below their originals;
// from another screen, where they were there. They go in front of all others, inside the
// screen, and become the selection.
void TFormScreen::PasteObjects() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr)
        return;
    const QByteArray keys = data->hasFormat(kScreenObjectsMimeType)
                                ? data->data(kScreenObjectsMimeType)
                                : data->text().toUtf8();
    CopiedObjects copied = ObjectsFromKeys(keys.toStdString());
    if (copied.objects.empty())
        return;
    RecordEdit(m_objects);
    const int offset = copied.screen == m_number ? kGridSize : 0;
    for (TScreenMarker& object : copied.objects | std::views::reverse) {
        Shift(object, offset, offset);
        KeepInside(object, ClientSize());
        m_objects.push_front(std::move(object));
    }
    m_marks = ScreenMarks{};
    m_marks.selection.SetFront(static_cast<int>(copied.objects.size()));
    PaintScreen();
}

// The question is the one for a single object, asked once for the whole selection.
void TFormScreen::DeleteSelection() {
    m_marks.selection.KeepWithin(m_objects.size());
    if (m_marks.selection.Empty())
        return;
    if (MessageBox::Question(this, tr("Confirmation"),
                             tr("Do you want to delete this object permanently? Click 'Yes' to "
                                "continue.")) != QMessageBox::Yes)
        return;
    EraseSelection();
}

void TFormScreen::EraseSelection() {
    m_marks.selection.KeepWithin(m_objects.size());
    if (m_marks.selection.Empty())
        return;
    RecordEdit(m_objects);
    for (const int index : m_marks.selection.Indices() | std::views::reverse)
        m_objects.erase(m_objects.begin() + index);
    m_marks = ScreenMarks{};
    PaintScreen();
}

void TFormScreen::MoveSelection(int dx, int dy) {
    m_marks.selection.KeepWithin(m_objects.size());
    if (m_marks.selection.Empty())
        return;
    ObjectList before = m_objects;
    MoveObjects(m_objects, m_marks.selection.Indices(), dx, dy, ClientSize());
    if (!SamePlaces(m_objects, before))
        RecordEdit(std::move(before));
    PaintScreen();
}

void TFormScreen::AlignSelection(Alignment alignment) {
    m_marks.selection.KeepWithin(m_objects.size());
    RecordEdit(m_objects);
    Align(m_objects, m_marks.selection.Indices(), alignment);
    PaintScreen();
}

void TFormScreen::DistributeSelection(Distribution distribution) {
    m_marks.selection.KeepWithin(m_objects.size());
    RecordEdit(m_objects);
    Distribute(m_objects, m_marks.selection.Indices(), distribution);
    PaintScreen();
}

QSize TFormScreen::ClientSize() const {
    return m_paintBoxScreen->size();
}

void TFormScreen::SetClientSize(QSize size) {
    size = size.boundedTo({kMaxScreenSide, kMaxScreenSide});
    resize(size.width() + 2 * m_borderWidth, size.height() + 2 * m_borderWidth);
    LayoutClient();
}

void TFormScreen::LayoutClient() {
    m_paintBoxScreen->setGeometry(
        rect().adjusted(m_borderWidth, m_borderWidth, -m_borderWidth, -m_borderWidth));
}

std::string TFormScreen::Caption() const {
    const std::lock_guard lock(m_publishedMutex);
    return m_caption;
}

QImage TFormScreen::Frame() const {
    const std::lock_guard lock(m_publishedMutex);
    return m_frame;
}

std::vector<ActingObject> TFormScreen::FrameObjects() const {
    const std::lock_guard lock(m_publishedMutex);
    return m_frameObjects;
}

SharedBmp TFormScreen::FrameBmp() const {
    return m_bmpCache->Get(Frame());
}

SharedBmp TFormScreen::FramePng() const {
    return m_pngCache->Get(Frame());
}

void TFormScreen::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous() && !m_reparenting && m_screenFile)
        LoadGeneralSettings();
}

void TFormScreen::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous() && !m_reparenting && m_screenFile)
        SaveScreen();
}

void TFormScreen::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutClient();
}

void TFormScreen::paintEvent(QPaintEvent*) {
    if (m_borderWidth == 0)
        return;
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

// The right and bottom edges of the edit-mode border size the client area.
Qt::Edges TFormScreen::BorderEdges(QPoint position) const {
    Qt::Edges edges;
    if (m_borderWidth == 0)
        return edges;
    if (position.x() >= width() - m_borderWidth)
        edges |= Qt::RightEdge;
    if (position.y() >= height() - m_borderWidth)
        edges |= Qt::BottomEdge;
    return edges;
}

void TFormScreen::mousePressEvent(QMouseEvent* event) {
    m_resizeEdges =
        event->button() == Qt::LeftButton ? BorderEdges(event->position().toPoint()) : Qt::Edges();
    m_resizeOrigin = event->globalPosition().toPoint();
    m_resizeStartSize = ClientSize();
}

void TFormScreen::mouseMoveEvent(QMouseEvent* event) {
    if (!m_resizeEdges) {
        const Qt::Edges edges = BorderEdges(event->position().toPoint());
        setCursor(edges == (Qt::RightEdge | Qt::BottomEdge) ? Qt::SizeFDiagCursor
                  : edges == Qt::RightEdge                  ? Qt::SizeHorCursor
                  : edges == Qt::BottomEdge                 ? Qt::SizeVerCursor
                                                            : Qt::ArrowCursor);
        return;
    }
    const QPoint moved = event->globalPosition().toPoint() - m_resizeOrigin;
    QSize size = m_resizeStartSize;
    if (m_resizeEdges & Qt::RightEdge)
        size.rwidth() += moved.x();
    if (m_resizeEdges & Qt::BottomEdge)
        size.rheight() += moved.y();
    // Objects keep their place: the screen does not shrink from under them.
    SetClientSize(size.expandedTo(SmallestClientSize(m_objects, m_resizeStartSize)));
    PaintScreen();
}

void TFormScreen::mouseReleaseEvent(QMouseEvent*) {
    m_resizeEdges = {};
}

} // namespace halvane
