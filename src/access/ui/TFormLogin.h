#pragma once

#include "Accounts.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;

namespace halvane {

// Asks for a name and a password and checks them against the station's accounts.
class TFormLogin final : public QDialog {
    Q_OBJECT
public:
    TFormLogin(const AccountStore& store, QWidget* parent);

    // Runs the dialog modally: the account that logged in, or nothing after Cancel.
    std::optional<Account> Ask();
    // Told of each refused try with the name as typed (never the password).
    void SetFailureReport(std::function<void(const std::string& typedName)> report);

private:
    void BuildWindow();
    // Why nobody can log in now (the users file cannot be read), or nothing.
    std::optional<QString> Unreadable() const;
    void ButtonOKClick();

    const AccountStore& m_store;
    std::function<void(const std::string&)> m_failureReport;
    std::optional<Account> m_account;
    QLineEdit* m_editName = nullptr;
    QLineEdit* m_editPassword = nullptr;
    QLabel* m_labelMessage = nullptr;
};

} // namespace halvane
