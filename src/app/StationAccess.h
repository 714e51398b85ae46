#pragma once

#include "Accounts.h"
#include "JournalFormat.h"
#include "Session.h"

#include <QMenu>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QMainWindow;
class QTimer;

namespace halvane {

class ProfileStore;

// Who works at the station, beside the main window: the login at the start and from the
// "File" menu, the user and role in the status bar, the logout after idle minutes, the
// users dialog, and the one check every guarded action makes before it runs.
class StationAccess final : public QObject {
    Q_OBJECT
public:
    using JournalSink = std::function<void(JournalEvent)>;
    // Told after the user or the rights changed (login, logout, an account changed).
    using RightsChanged = std::function<void()>;

    StationAccess(const ProfileStore& store, QMainWindow& window, RightsChanged changed);
    ~StationAccess() override;

    // "Log in..." and "Log out" in `file`, "Users..." in `settings`, once there are
    // accounts. "Log in..." also works by its key (Ctrl+L) on the window, without a menu bar.
    void AddMenuItems(QMenu& file, QMenu& settings);
    void SetJournal(JournalSink sink);
    // With accounts, asks who logs in (the station runs meanwhile); not with the run-time
    // switch, whose unattended station starts logged out. Whether somebody logged in.
    bool StartUp(bool runtimeSwitch);

    // Whether the action that needs `needed` may run now; when not, says why in a message
    // box. The user's account is read again first: one disabled, deleted or given another
    // role meanwhile (by the command line) counts at once.
    bool Permit(Role needed);
    const Session& CurrentSession() const { return m_session; }
    // The user logged in, for the journal (empty when nobody is).
    std::string User() const { return m_session.JournalUser(); }
    QTimer* TimerIdleLogout() const { return m_timerIdle; }

    void LogIn(Account account);
    void LogOut(const std::string& why);

    void LogIn1Click();
    void LogOut1Click();
    void Users1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void TimerIdleLogoutTimer();
    void FollowAccountChanges();
    void ReportAccountProblems() const;
    void Journal(const std::string& event, const std::string& user, const std::string& text = {});
    void ShowUser();
    void ShowMenuItems();
    QAction* NewAction(const char* name, const QString& caption, void (StationAccess::*handler)());

    QMainWindow& m_window;
    AccountStore m_accounts;
    Session m_session;
    RightsChanged m_changed;
    JournalSink m_journal;
    QLabel* m_labelUser = nullptr;
    QAction* m_logIn1 = nullptr;
    QAction* m_logOut1 = nullptr;
    QAction* m_users1 = nullptr;
    // The menu bar goes with the run-time switch, and its menus with it.
    QPointer<QMenu> m_fileMenu;
    QPointer<QMenu> m_settingsMenu;
    QTimer* m_timerIdle = nullptr;
};

} // namespace halvane
