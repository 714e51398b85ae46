#pragma once

#include "TDataChannel.h"

#include <QWidget>

class QAction;
class QMenu;
class QModelIndex;
class QTableView;
class QTimer;

namespace halvane {

class ProfileStore;
class TFormEditPoint;
class TagListHost;
class TagListModel;
class TagTable;

// The tag list ("Tags"): one row per tag with its configuration and its live values,
// refreshed twice a second. Tags are added, cloned, edited and deleted here, and output
// tags preset. Every change is saved at once and ends with the host reloading the tags.
class TFormChannelSetup final : public QWidget {
    Q_OBJECT
public:
    TFormChannelSetup(TagTable& tags, ProfileStore& config, TagListHost& host,
                      QWidget* parent = nullptr);

    // Rebuilds every row from the tag table.
    void Fill();
    // Brings the live columns up to date (the refresh timer's work).
    void Refresh();
    // Opens the tag editor on tag `index`; on OK stores and saves it and reloads the tags.
    void EditTag(int index);
    // The selected tag's index, -1 when the selection holds no tag.
    int SelectedTag() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildWindow();
    void StringGridChannelsDblClick(const QModelIndex& index);
    void PopupMenu1Popup();
    void ButtonEditClick();
    void ButtonAddClick();
    void ButtonCloneClick();
    void ButtonDeleteClick();
    void ButtonCommMonitorClick();
    void SetValue1Click();
    void ShowTrend1Click();
    void TimerRefreshTimer();

    // Opens the editor on `tag` shown as tag number `number`; true when it closed with OK.
    bool RunEditor(const TDataChannel& tag, int number);
    // Add's second step: the editor's tag goes to the end of the table and the file.
    void AppendEditedTag();
    // The end of Edit, Add and Clone, once the live table holds `tag` at `index`: the list
    // shows it, the file takes it and the host reloads the tags.
    void SaveAndReload(const TDataChannel& tag, int index);
    void ReportNotSaved();
    void ProcessPendingEvents();

    TagTable& m_tags;
    ProfileStore& m_config;
    TagListHost& m_host;
    TagListModel* m_model = nullptr;
    QTableView* m_stringGridChannels = nullptr;
    QMenu* m_popupMenu1 = nullptr;
    QAction* m_setValue1 = nullptr;
    QAction* m_showTrend1 = nullptr;
    QTimer* m_timerRefresh = nullptr;
    TFormEditPoint* m_formEditPoint = nullptr;
};

} // namespace halvane
