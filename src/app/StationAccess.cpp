#include "StationAccess.h"

#include "MessageBox.h"
#include "TFormLogin.h"
#include "TFormUsers.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace halvane {

namespace {

bool IsInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
        return true;
    default:
        return false;
    }
}

bool SameName(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

} // namespace

StationAccess::StationAccess(const ProfileStore& store, QMainWindow& window, RightsChanged changed)
    : QObject(&window), m_window(window), m_accounts(UsersFile()),
      m_session(UsersFile(), ReadSecurityOptions(store)), m_changed(std::move(changed)) {
    m_labelUser = new QLabel(m_window.statusBar());
    m_labelUser->setObjectName("LabelUser");
    m_window.statusBar()->addPermanentWidget(m_labelUser);
    m_timerIdle = new QTimer(this);
    m_timerIdle->setObjectName("TimerIdleLogout");
    m_timerIdle->setSingleShot(true);
    m_timerIdle->setInterval(std::chrono::minutes(m_session.Options().idleLogoutMinutes));
    connect(m_timerIdle, &QTimer::timeout, this, &StationAccess::TimerIdleLogoutTimer);
    qApp->installEventFilter(this);
    ReportAccountProblems();
    ShowUser();
}

// Accounts that cannot log in are named once, at the start; the others work.
void StationAccess::ReportAccountProblems() const {
    if (!m_session.LoginOn())
        return;
    const AccountList list = m_accounts.Load();
    if (!list.error.empty())
        std::fprintf(stderr, "halvane: nobody can log in: %s\n", list.error.c_str());
    for (const std::string& problem : list.problems)
        std::fprintf(stderr, "halvane: %s\n", problem.c_str());
}

StationAccess::~StationAccess() {
    qApp->removeEventFilter(this);
}

void StationAccess::AddMenuItems(QMenu& file, QMenu& settings) {
    m_fileMenu = &file;
    m_settingsMenu = &settings;
    m_logIn1 = NewAction("LogIn1", tr("&Log in..."), &StationAccess::LogIn1Click);
    m_logIn1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    m_logIn1->setShortcutContext(Qt::ApplicationShortcut);
    m_window.addAction(m_logIn1); // the key works without the menu bar too
    m_logOut1 = NewAction("LogOut1", tr("Log &out"), &StationAccess::LogOut1Click);
    m_users1 = NewAction("Users1", tr("&Users..."), &StationAccess::Users1Click);
    ShowUser();
}

QAction* StationAccess::NewAction(const char* name, const QString& caption,
                                  void (StationAccess::*handler)()) {
    auto* action = new QAction(caption, &m_window);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, handler);
    return action;
}

// A station without accounts keeps its menus as they were; the first account (made by the
// command line, even while the station runs) brings the items in.
void StationAccess::ShowMenuItems() {
    if (!m_fileMenu || !m_settingsMenu || !m_session.LoginOn() ||
        m_fileMenu->actions().contains(m_logIn1))
        return;
    QAction* first = m_fileMenu->actions().value(0);
    m_fileMenu->insertActions(first, {m_logIn1, m_logOut1});
    m_fileMenu->insertSeparator(first);
    m_settingsMenu->addAction(m_users1);
}

void StationAccess::SetJournal(JournalSink sink) {
    m_journal = std::move(sink);
}

bool StationAccess::StartUp(bool runtimeSwitch) {
    if (runtimeSwitch || !m_session.LoginOn())
        return false;
    LogIn1Click();
    return m_session.User().has_value();
}

bool StationAccess::Permit(Role needed) {
    FollowAccountChanges();
    ShowUser();
    if (m_session.Allows(needed))
        return true;
    MessageBox::Error(&m_window, QCoreApplication::applicationName(),
                      QString::fromStdString(m_session.Refusal(needed)));
    return false;
}

// The account as the file holds it now: the logged-in user keeps the rights it gives.
void StationAccess::FollowAccountChanges() {
    if (!m_session.User())
        return;
    const AccountList list = m_accounts.Load();
    const auto account = std::ranges::find_if(list.accounts, [this](const Account& a) {
        return SameName(a.name, m_session.User()->name);
    });
    if (account == list.accounts.end() || account->disabled) {
        LogOut("the account was disabled or deleted");
        return;
    }
    if (account->role != m_session.User()->role) {
        m_session.LogIn(*account);
        ShowUser();
        m_changed();
    }
}

void StationAccess::LogIn(Account account) {
    const std::string name = account.name;
    m_session.LogIn(std::move(account));
    Journal("login", name);
    if (m_session.Options().idleLogoutMinutes > 0)
        m_timerIdle->start();
    ShowUser();
    m_changed();
}

void StationAccess::LogOut(const std::string& why) {
    if (!m_session.User())
        return;
    const std::string name = m_session.User()->name;
    m_session.LogOut();
    m_timerIdle->stop();
    Journal("logout", name, why);
    ShowUser();
    m_changed();
}

void StationAccess::LogIn1Click() {
    TFormLogin dialog(m_accounts, &m_window);
    dialog.SetFailureReport(
        [this](const std::string& typedName) { Journal("login-failed", typedName); });
    std::optional<Account> account = dialog.Ask();
    if (!account)
        return;
    // The rights go from one user to the next without a guest's in between: an engineer
    // taking over from another stays in edit mode.
    if (m_session.User())
        Journal("logout", m_session.User()->name, "another user logged in");
    LogIn(std::move(*account));
}

void StationAccess::LogOut1Click() {
    LogOut({});
}

void StationAccess::Users1Click() {
    if (!Permit(Role::Admin))
        return;
    TFormUsers dialog(m_accounts, &m_window);
    dialog.SetChangeReport(
        [this](const std::string& text) { Journal("user-changed", User(), text); });
    dialog.exec();
    FollowAccountChanges(); // the admin may have changed their own account
    ShowUser();
}

void StationAccess::TimerIdleLogoutTimer() {
    LogOut("idle");
}

bool StationAccess::eventFilter(QObject* watched, QEvent* event) {
    if (m_timerIdle->isActive() && IsInput(event->type()))
        m_timerIdle->start();
    return QObject::eventFilter(watched, event);
}

void StationAccess::Journal(const std::string& event, const std::string& user,
                            const std::string& text) {
    if (m_journal)
        m_journal(EventNow(event, "station", user, text));
}

void StationAccess::ShowUser() {
    const bool loginOn = m_session.LoginOn();
    m_labelUser->setText(QString::fromStdString(m_session.StatusText()));
    m_labelUser->setVisible(loginOn);
    if (!m_logIn1)
        return;
    ShowMenuItems();
    m_logIn1->setEnabled(loginOn);
    m_logOut1->setEnabled(m_session.User().has_value());
}

} // namespace halvane
