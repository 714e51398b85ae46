#pragma once

#include "ActingObjects.h"
#include "EditHistory.h"
#include "EncodedFrameCache.h"
#include "ObjectArrangement.h"
#include "ObjectList.h"
#include "ScreenEditing.h"
#include "ScreenPainter.h"
#include "ScreenSource.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QScrollArea;
class QTimer;

namespace halvane {

class ProfileStore;
class ScreenActions;
class ScreenPaintArea;
class TagTable;
struct TDataChannel;

// A screen: a window showing its objects over a background, kept in its own screen file
// "cfg\screen.<number>.cfg". Docked into the main window's dock area or floating as a
// tool window; in edit mode it has a sizeable border. Its refresh timer composes a new
// frame every second, shown or hidden, and that frame is what the web server serves.
// In run-time mode a left press highlights the topmost object under the pointer and the
// release acts on the lowest one there (function buttons, numeric inputs, preset buttons).
// In edit mode objects are selected with the mouse (a click, Shift or Ctrl and a click, a
// rubber band) and the keyboard acts on the selection: copy, cut and paste through the
// clipboard, Delete, the arrow keys, and undo and redo of every edit since the screen's
// objects were loaded.
class TFormScreen final : public QWidget {
    Q_OBJECT
public:
    // Asks the operator for a value of `tag`, the dialog's top-left corner at `position` on
    // the desktop: the value the dialog accepted, nothing when the operator gave none.
    using ValueQuestion =
        std::function<std::optional<double>(QPoint position, const TDataChannel& tag)>;
    // Opens the object editor modally, its top-left corner at `position` on the desktop,
    // on a new object or on one of the screen's objects: true when it ended with OK.
    using ObjectEditor = std::function<bool(TScreenMarker& object, bool isNew, QPoint position)>;
    // Opens the screen properties dialog modally on this screen: true when it saved them.
    using PropertiesDialog = std::function<bool(TFormScreen& screen)>;

    // `owner` keeps the floating window above it; null lets it float on its own.
    TFormScreen(ProfileStore& config, const TagTable& tags, QScrollArea* dock,
                QWidget* owner = nullptr);
    ~TFormScreen() override;

    // Binds the screen to "cfg\screen.<number>.cfg" (created with its comment line when
    // missing), opens the file and loads the objects.
    void OpenScreenFile(int number);
    // Background picture, title, position (0, 0) and client size from "General"; repaints.
    void LoadGeneralSettings();
    void LoadObjects();
    bool SaveObjects();
    // In edit mode: title, position, client size and the objects; else nothing.
    void SaveScreen();
    // `text` as stored (8-bit bytes).
    void SetScreenTitle(const std::string& text);
    void SetScreenMode(bool edit, bool startedInRunTime, bool floating);
    void SetGrid(bool showGrid, bool snapToGrid);
    bool ReadVisibleFlag() const;
    bool IsTagUsed(int tagIndex) const;
    void RenumberTagReferences(int oldIndex, int newIndex);
    // Composes a new frame from the current objects and tag values and shows it.
    void PaintScreen();

    int ScreenFileNumber() const { return m_number; }
    ProfileStore& ScreenFile() const { return *m_screenFile; }
    ObjectList& Objects() { return m_objects; }
    ScreenMarks& Marks() { return m_marks; }
    bool EditMode() const { return m_editMode; }
    bool ShowGrid() const { return m_showGrid; }
    bool SnapToGrid() const { return m_snapToGrid; }
    QSize ClientSize() const;
    // Resizes the window so that its client area is `size`, at most kMaxScreenSide each way.
    void SetClientSize(QSize size);
    ScreenPaintArea* PaintArea() const { return m_paintBoxScreen; }
    QMenu* PopupMenu() const { return m_popupMenuScreen; }
    void SetClock(ScreenPainter::Clock clock) { m_painter.SetClock(std::move(clock)); }
    // What run-time clicks ask of the station; null makes them do nothing.
    void SetActions(ScreenActions* actions) { m_actions = actions; }
    // Replaces the value dialog of numeric inputs (TFormInput, shown modally).
    void SetValueQuestion(ValueQuestion question) { m_valueQuestion = std::move(question); }
    // The station's one object editor; without it New and Edit open nothing.
    void SetObjectEditor(ObjectEditor editor) { m_objectEditor = std::move(editor); }
    // The station's one screen properties dialog; without it the item opens nothing.
    void SetPropertiesDialog(PropertiesDialog dialog) { m_propertiesDialog = std::move(dialog); }

    // Safe from any thread: the caption as stored, the last composed frame and the objects
    // that act or show a tag as that frame drew them (empty before the first paint).
    std::string Caption() const;
    QImage Frame() const;
    std::vector<ActingObject> FrameObjects() const;
    // The last composed frame as the bytes of a BMP file, shared by its readers (see
    // EncodedFrameCache); null before the first paint.
    SharedBmp FrameBmp() const;
    // Likewise as the bytes of a PNG file.
    SharedBmp FramePng() const;
    // Where FrameBmp and FramePng keep their encodings, for a reader that must not hold the
    // screen while it encodes; they outlive the screen for as long as the reader holds them.
    std::shared_ptr<EncodedFrameCache> BmpCache() const { return m_bmpCache; }
    std::shared_ptr<EncodedFrameCache> PngCache() const { return m_pngCache; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void BuildPopupMenu();
    QAction* AddMenuItem(const char* name, const QString& text, const QString& hint = {});
    void SetCaption(const std::string& stored);
    void LoadBackground();
    void WritePlacement();
    void Dock();
    void Float(bool edit);
    void Reparent(QWidget* parent, Qt::WindowFlags flags);
    void LayoutClient();
    Qt::Edges BorderEdges(QPoint position) const;
    void TimerRefreshTimer();
    void PaintBoxScreenMouseDown(Qt::MouseButton button, QPoint position,
                                 Qt::KeyboardModifiers modifiers);
    void PaintBoxScreenKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void PaintBoxScreenMouseMove(QPoint position);
    void PaintBoxScreenMouseUp(Qt::MouseButton button, QPoint position, QPoint globalPosition);
    void PaintBoxScreenContextPopup(QPoint position, QPoint globalPosition);
    void PaintBoxScreenDblClick(QPoint position);
    void PaintBoxScreenDragDrop(int32_t type, QPoint position);
    void ApplyEditStep(const ScreenEditing::Step& step);
    void PressObject(QPoint position);
    void UpdateRunTimeCursor(QPoint position);
    void ClickObject(QPoint position, QPoint globalPosition);
    void ReleaseObject();
    void InputValue(size_t tagIndex, bool confirm, QPoint globalPosition);
    void PresetObjectValue(size_t tagIndex, double value, bool confirm);
    void PreparePopup(QPoint position);
    bool HasPopupTarget() const;
    void PopupMenuScreenExitProgramClick();
    void PopupMenuScreenNewObjectClick();
    void PopupMenuScreenEditObjectClick();
    void PopupMenuScreenDeleteObjectClick();
    void AddNewObject(TScreenMarker object, QPoint position);
    void PopupMenuScreenCloneObjectClick();
    void PopupMenuScreenBringToFrontClick();
    void PopupMenuScreenSendToBackClick();
    void PopupMenuScreenScreenPropertiesClick();
    void BuildArrangeMenus();
    void RecordEdit(ObjectList before);
    void UndoEdit();
    void RedoEdit();
    void ShowRestored(std::optional<ObjectList> objects);
    void CopySelection();
    void CutSelection();
    void PasteObjects();
    void DeleteSelection();
    void EraseSelection();
    void MoveSelection(int dx, int dy);
    void AlignSelection(Alignment alignment);
    void DistributeSelection(Distribution distribution);

    ProfileStore& m_config;
    const TagTable& m_tags;
    QScrollArea* m_dock;
    QWidget* m_owner;
    ScreenPainter m_painter;
    int m_number = 0;
    std::unique_ptr<ProfileStore> m_screenFile;
    bool m_editMode = false;
    bool m_showGrid = true;
    bool m_snapToGrid = true;
    ObjectList m_objects;
    QImage m_background;
    ScreenMarks m_marks;
    ScreenActions* m_actions = nullptr;
    ValueQuestion m_valueQuestion;
    ObjectEditor m_objectEditor;
    PropertiesDialog m_propertiesDialog;
    ScreenEditing m_editing;
    EditHistory m_history;
    ObjectList m_beforeGesture; // the objects as the last left press found them
    QPoint m_popupPoint;        // where the popup menu opened, in client coordinates
    int m_borderWidth = 0;
    bool m_reparenting = false;
    Qt::Edges m_resizeEdges;
    QPoint m_resizeOrigin;
    QSize m_resizeStartSize;

    ScreenPaintArea* m_paintBoxScreen = nullptr;
    QTimer* m_timerRefresh = nullptr;
    QMenu* m_popupMenuScreen = nullptr;
    QAction* m_exitProgram = nullptr;
    QAction* m_newObject = nullptr;
    QAction* m_editObject = nullptr;
    QAction* m_deleteObject = nullptr;
    QAction* m_cloneObject = nullptr;
    QAction* m_bringToFront = nullptr;
    QAction* m_sendToBack = nullptr;
    QAction* m_screenProperties = nullptr;
    QMenu* m_alignMenu = nullptr;
    QMenu* m_distributeMenu = nullptr;

    mutable std::mutex m_publishedMutex; // guards the three below, read by request threads
    std::string m_caption;
    QImage m_frame;
    std::vector<ActingObject> m_frameObjects;
    const std::shared_ptr<EncodedFrameCache> m_bmpCache =
        std::make_shared<EncodedFrameCache>(EncodeBmp);
    const std::shared_ptr<EncodedFrameCache> m_pngCache =
        std::make_shared<EncodedFrameCache>(EncodePng);
};

} // namespace halvane
