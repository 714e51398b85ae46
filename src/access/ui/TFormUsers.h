#pragma once

#include "Accounts.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace halvane {

// Lists the station's accounts and changes them under the store's rules: add, role, password,
// disable or enable, delete.
class TFormUsers final : public QDialog {
    Q_OBJECT
public:
    TFormUsers(AccountStore& store, QWidget* parent);

    // Told after each change the file took, with a short English text of what changed
    // ("added NAME (operator)", "role of NAME: engineer", "password of NAME reset",
    // "NAME disabled", "NAME enabled", "NAME deleted").
    void SetChangeReport(std::function<void(const std::string& text)> report);

private:
    void BuildWindow();
    // Fills the list from the file as it is now, keeping the account of `select` selected.
    void FillList(const std::string& select);
    const Account* Selected() const;
    // The form's password once both fields agree; nothing after telling the user they do not.
    std::optional<std::string> MatchingPassword();
    // Shows the store's refusal, or reports the change and fills the list again.
    void Finish(const std::optional<std::string>& refusal, const std::string& change,
                const std::string& select);
    void Refuse(const QString& message);

    void StringGridUsersSelectionChanged();
    void ButtonAddClick();
    void ButtonRoleClick();
    void ButtonPasswordClick();
    void ButtonDisableClick();
    void ButtonDeleteClick();

    AccountStore& m_store;
    std::function<void(const std::string&)> m_changeReport;
    AccountList m_list;
    QTableWidget* m_stringGridUsers = nullptr;
    QLabel* m_labelProblems = nullptr;
    QLineEdit* m_editName = nullptr;
    QComboBox* m_comboRole = nullptr;
    QLineEdit* m_editPassword = nullptr;
    QLineEdit* m_editPassword2 = nullptr;
    QPushButton* m_buttonRole = nullptr;
    QPushButton* m_buttonPassword = nullptr;
    QPushButton* m_buttonDisable = nullptr;
    QPushButton* m_buttonDelete = nullptr;
};

} // namespace halvane
