#pragma once

#include "JournalTableModel.h"

#include <QWidget>

#include <cstddef>
#include <filesystem>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTableView;

namespace halvane {

// The journal viewer: the events of a range of days, filtered by a text found in any
// field, a tag number and an event, and the lines shown exported as CSV.
class TFormJournal final : public QWidget {
    Q_OBJECT
public:
    // Reading stops after this many lines of the range and says so.
    static constexpr size_t kMaxLines = 100'000;

    explicit TFormJournal(std::filesystem::path folder, QWidget* parent = nullptr,
                          size_t maxLines = kMaxLines);

    // Shows the window (in front) and reads the range again.
    void Open();
    // Reads the events of the range and shows those that pass the filter.
    void Reload();

    const JournalTableModel& Model() const { return *m_model; }

private:
    void BuildWindow();
    QWidget* BuildFilterBar();
    void ApplyFilter();

    void EditFilterChange();
    void SpinBoxTagChange();
    void ComboBoxEventChange();
    void ButtonRefreshClick();
    void ButtonExportClick();

    const std::filesystem::path m_folder;
    const size_t m_maxLines;
    bool m_cut = false;

    JournalTableModel* m_model = nullptr;
    QDateEdit* m_dateEditFrom = nullptr;
    QDateEdit* m_dateEditTo = nullptr;
    QLineEdit* m_editFilter = nullptr;
    QSpinBox* m_spinBoxTag = nullptr;
    QComboBox* m_comboBoxEvent = nullptr;
    QTableView* m_tableJournal = nullptr;
    QLabel* m_labelStatus = nullptr;
};

} // namespace halvane
