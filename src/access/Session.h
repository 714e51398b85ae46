#pragma once

#include "Accounts.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace halvane {

class ProfileStore;

// The station's "Security" settings: what nobody logged in may do, and after how many
// minutes without input the user is logged out (0: never).
struct SecurityOptions {
    bool guestViewer = true;
    int idleLogoutMinutes = 0;
};
SecurityOptions ReadSecurityOptions(const ProfileStore& store);

// Why `user`, whose role is `role`, may not do what needs `needed`.
std::string RoleRefusal(std::string_view user, Role role, Role needed);

// Who works at the station and what they may do. Without a users file everybody may do
// everything, as a station without accounts always did; with one, the user logged in
// may do what the role allows, and nobody logged in may watch (guest viewer) or nothing.
class Session final {
public:
    Session(std::filesystem::path usersFile, SecurityOptions options);

    // Whether there is a users file now (the first account made turns login on).
    bool LoginOn() const;
    void LogIn(Account account);
    void LogOut();
    const std::optional<Account>& User() const { return m_user; }
    const SecurityOptions& Options() const { return m_options; }

    // What the station lets do now: every right without accounts, the user's role, a
    // guest's viewer role, or nothing (locked).
    std::optional<Role> EffectiveRole() const;
    bool Allows(Role needed) const;
    bool Locked() const { return !EffectiveRole(); }
    // Why an action that needs `needed` is refused now.
    std::string Refusal(Role needed) const;
    // The user for the journal: the name logged in, or nothing.
    std::string JournalUser() const;
    // "NAME (ROLE)", "Not logged in" or empty without accounts: for the status bar.
    std::string StatusText() const;

private:
    std::filesystem::path m_usersFile;
    SecurityOptions m_options;
    std::optional<Account> m_user;
};

} // namespace halvane
