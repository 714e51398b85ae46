#include "TFormUsers.h"

#include "DialogWidgets.h"
#include "MessageBox.h"
#include "WaitCursor.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace halvane {

namespace {

constexpr Role kRoles[] = {Role::Viewer, Role::Operator, Role::Engineer, Role::Admin};

QString RoleText(Role role) {
    return QString::fromUtf8(RoleName(role).data(), static_cast<qsizetype>(RoleName(role).size()));
}

std::string RoleString(Role role) {
    return std::string(RoleName(role));
}

// What stands above the list: why the file cannot be read, or the accounts that cannot be used.
QString ProblemsText(const AccountList& list) {
    if (!list.error.empty())
        return QString::fromStdString(list.error);
    QStringList lines;
    for (const std::string& problem : list.problems)
        lines << QString::fromStdString(problem);
    return lines.join('\n');
}

} // namespace

TFormUsers::TFormUsers(AccountStore& store, QWidget* parent) : QDialog(parent), m_store(store) {
    setObjectName("FormUsers");
    setWindowTitle(tr("Users"));
    BuildWindow();
    FillList({});
}

void TFormUsers::SetChangeReport(std::function<void(const std::string& text)> report) {
    m_changeReport = std::move(report);
}

void TFormUsers::BuildWindow() {
    m_labelProblems = Named(new QLabel, "LabelProblems");
    m_labelProblems->setWordWrap(true);
    m_stringGridUsers = Named(new QTableWidget(0, 3), "StringGridUsers");
    m_stringGridUsers->setHorizontalHeaderLabels({tr("Name"), tr("Role"), tr("Disabled")});
    m_stringGridUsers->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_stringGridUsers->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_stringGridUsers->setSelectionMode(QAbstractItemView::SingleSelection);
    m_stringGridUsers->verticalHeader()->hide();
    m_stringGridUsers->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    connect(m_stringGridUsers, &QTableWidget::itemSelectionChanged, this,
            &TFormUsers::StringGridUsersSelectionChanged);

    m_editName = Named(new QLineEdit, "EditName");
    m_comboRole = Named(new QComboBox, "ComboRole");
    for (Role role : kRoles)
        m_comboRole->addItem(RoleText(role));
    m_editPassword = Named(new QLineEdit, "EditPassword");
    m_editPassword->setEchoMode(QLineEdit::Password);
    m_editPassword2 = Named(new QLineEdit, "EditPassword2");
    m_editPassword2->setEchoMode(QLineEdit::Password);
    auto* form = new QFormLayout;
    form->addRow(tr("&Name:"), m_editName);
    form->addRow(tr("&Role:"), m_comboRole);
    form->addRow(tr("&Password:"), m_editPassword);
    form->addRow(tr("&Again:"), m_editPassword2);

    auto* add = NewButton(tr("&Add"), "ButtonAdd", this, false);
    m_buttonRole = NewButton(tr("Set &role"), "ButtonRole", this, false);
    m_buttonPassword = NewButton(tr("Set pass&word"), "ButtonPassword", this, false);
    m_buttonDisable = NewButton(tr("&Disable"), "ButtonDisable", this, false);
    m_buttonDelete = NewButton(tr("D&elete"), "ButtonDelete", this, false);
    auto* close = NewButton(tr("&Close"), "ButtonClose", this, false);
    connect(add, &QPushButton::clicked, this, &TFormUsers::ButtonAddClick);
    connect(m_buttonRole, &QPushButton::clicked, this, &TFormUsers::ButtonRoleClick);
    connect(m_buttonPassword, &QPushButton::clicked, this, &TFormUsers::ButtonPasswordClick);
    connect(m_buttonDisable, &QPushButton::clicked, this, &TFormUsers::ButtonDisableClick);
    connect(m_buttonDelete, &QPushButton::clicked, this, &TFormUsers::ButtonDeleteClick);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button :
         {add, m_buttonRole, m_buttonPassword, m_buttonDisable, m_buttonDelete})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_labelProblems);
    layout->addWidget(m_stringGridUsers, 1);
    layout->addLayout(form);
    layout->addLayout(buttons);
    resize(560, 460);
}

void TFormUsers::FillList(const std::string& select) {
    m_list = m_store.Load();
    const QString problems = ProblemsText(m_list);
    m_labelProblems->setText(problems);
    m_labelProblems->setVisible(!problems.isEmpty());

    const QSignalBlocker quiet(m_stringGridUsers);
    m_stringGridUsers->clearSelection();
    m_stringGridUsers->setRowCount(static_cast<int>(m_list.accounts.size()));
    int selectRow = -1;
    for (int row = 0; row < m_stringGridUsers->rowCount(); ++row) {
        const Account& account = m_list.accounts[static_cast<size_t>(row)];
        const QString cells[] = {QString::fromStdString(account.name), RoleText(account.role),
                                 account.disabled ? tr("yes") : QString()};
        for (int column = 0; column < 3; ++column)
            m_stringGridUsers->setItem(row, column, new QTableWidgetItem(cells[column]));
        if (account.name == select)
            selectRow = row;
    }
    if (selectRow >= 0)
        m_stringGridUsers->selectRow(selectRow);
    StringGridUsersSelectionChanged();
}

const Account* TFormUsers::Selected() const {
    const QList<QTableWidgetSelectionRange> ranges = m_stringGridUsers->selectedRanges();
    if (ranges.isEmpty())
        return nullptr;
    const auto row = static_cast<size_t>(ranges.front().topRow());
    return row < m_list.accounts.size() ? &m_list.accounts[row] : nullptr;
}

void TFormUsers::StringGridUsersSelectionChanged() {
    const Account* account = Selected();
    for (QPushButton* button : {m_buttonRole, m_buttonPassword, m_buttonDisable, m_buttonDelete})
        button->setEnabled(account != nullptr);
    m_buttonDisable->setText(account != nullptr && account->disabled ? tr("&Enable")
                                                                     : tr("&Disable"));
    if (account == nullptr)
        return;
    m_editName->setText(QString::fromStdString(account->name));
    m_comboRole->setCurrentIndex(static_cast<int>(account->role));
}

std::optional<std::string> TFormUsers::MatchingPassword() {
    if (m_editPassword->text() != m_editPassword2->text()) {
        Refuse(tr("The passwords do not match."));
        return std::nullopt;
    }
    return m_editPassword->text().toStdString();
}

void TFormUsers::Refuse(const QString& message) {
    MessageBox::Error(this, windowTitle(), message);
}

void TFormUsers::Finish(const std::optional<std::string>& refusal, const std::string& change,
                        const std::string& select) {
    if (refusal) {
        Refuse(QString::fromStdString(*refusal));
        return;
    }
    m_editPassword->clear();
    m_editPassword2->clear();
    FillList(select);
    if (m_changeReport)
        m_changeReport(change);
}

void TFormUsers::ButtonAddClick() {
    const auto password = MatchingPassword();
    if (!password)
        return;
    const std::string name = m_editName->text().toStdString();
    const Role role = kRoles[m_comboRole->currentIndex()];
    std::optional<std::string> refusal;
    {
        const WaitCursor wait;
        refusal = m_store.Add(name, role, *password);
    }
    Finish(refusal, "added " + name + " (" + RoleString(role) + ")", name);
}

void TFormUsers::ButtonRoleClick() {
    const Account* account = Selected();
    if (account == nullptr)
        return;
    const std::string name = account->name;
    const Role role = kRoles[m_comboRole->currentIndex()];
    Finish(m_store.SetRole(name, role), "role of " + name + ": " + RoleString(role), name);
}

void TFormUsers::ButtonPasswordClick() {
    const Account* account = Selected();
    if (account == nullptr)
        return;
    const auto password = MatchingPassword();
    if (!password)
        return;
    const std::string name = account->name;
    std::optional<std::string> refusal;
    {
        const WaitCursor wait;
        refusal = m_store.SetPassword(name, *password);
    }
    Finish(refusal, "password of " + name + " reset", name);
}

void TFormUsers::ButtonDisableClick() {
    const Account* account = Selected();
    if (account == nullptr)
        return;
    const std::string name = account->name;
    const bool disable = !account->disabled;
    Finish(m_store.SetDisabled(name, disable), name + (disable ? " disabled" : " enabled"), name);
}

void TFormUsers::ButtonDeleteClick() {
    const Account* account = Selected();
    if (account == nullptr)
        return;
    const std::string name = account->name;
    if (MessageBox::Question(this, windowTitle(),
                             tr("Delete the account %1?").arg(QString::fromStdString(name))) !=
        QMessageBox::Yes)
        return;
    Finish(m_store.Remove(name), name + " deleted", {});
}

} // namespace halvane
