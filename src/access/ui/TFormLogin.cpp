#include "TFormLogin.h"

#include "DialogWidgets.h"
#include "WaitCursor.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace halvane {

TFormLogin::TFormLogin(const AccountStore& store, QWidget* parent)
    : QDialog(parent), m_store(store) {
    setObjectName("FormLogin");
    setWindowTitle(tr("Log in"));
    BuildWindow();
}

void TFormLogin::BuildWindow() {
    m_editName = Named(new QLineEdit, "EditName");
    m_editPassword = Named(new QLineEdit, "EditPassword");
    m_editPassword->setEchoMode(QLineEdit::Password);
    m_labelMessage = Named(new QLabel, "LabelMessage");
    m_labelMessage->setWordWrap(true);
    m_labelMessage->setText(Unreadable().value_or(QString()));

    auto* fields = new QFormLayout;
    fields->addRow(tr("&Name:"), m_editName);
    fields->addRow(tr("&Password:"), m_editPassword);

    auto* buttons = new QHBoxLayout;
    connect(AddOkCancelButtons(buttons, this), &QPushButton::clicked, this,
            &TFormLogin::ButtonOKClick);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_labelMessage);
    layout->addLayout(buttons);
    resize(340, sizeHint().height());
}

std::optional<Account> TFormLogin::Ask() {
    m_account.reset();
    m_editPassword->clear();
    m_editName->setFocus();
    exec();
    return m_account;
}

void TFormLogin::SetFailureReport(std::function<void(const std::string& typedName)> report) {
    m_failureReport = std::move(report);
}

std::optional<QString> TFormLogin::Unreadable() const {
    const AccountList list = m_store.Load();
    if (list.error.empty())
        return std::nullopt;
    return tr("Nobody can log in: %1").arg(QString::fromStdString(list.error));
}

void TFormLogin::ButtonOKClick() {
    const std::string name = m_editName->text().toStdString();
    // Looked at again on each try: the file may have been mended or spoilt meanwhile.
    const auto unreadable = Unreadable();
    if (!unreadable) {
        const WaitCursor wait;
        m_account = m_store.Verify(name, m_editPassword->text().toStdString());
    }
    if (m_account) {
        accept();
        return;
    }
    m_labelMessage->setText(unreadable.value_or(tr("Wrong name or password.")));
    m_editPassword->clear();
    m_editPassword->setFocus();
    if (m_failureReport)
        m_failureReport(name);
}

} // namespace halvane
