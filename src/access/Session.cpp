#include "Session.h"

#include "ProfileStore.h"

#include <algorithm>

namespace halvane {

SecurityOptions ReadSecurityOptions(const ProfileStore& store) {
    SecurityOptions options;
    options.guestViewer = store.ReadBool("Security", "GuestViewer", true);
    options.idleLogoutMinutes = std::max(0, store.ReadInteger("Security", "IdleLogout", 0));
    return options;
}

std::string RoleRefusal(std::string_view user, Role role, Role needed) {
    return "You are logged in as " + std::string(user) + " (" + std::string(RoleName(role)) +
           "); this needs the " + std::string(RoleName(needed)) + " role.";
}

Session::Session(std::filesystem::path usersFile, SecurityOptions options)
    : m_usersFile(std::move(usersFile)), m_options(options) {}

// A file that is there but cannot be read still turns login on: nobody gets in.
bool Session::LoginOn() const {
    std::error_code ec;
    return std::filesystem::exists(m_usersFile, ec) || ec;
}

void Session::LogIn(Account account) {
    m_user = std::move(account);
}

void Session::LogOut() {
    m_user.reset();
}

std::optional<Role> Session::EffectiveRole() const {
    if (!LoginOn())
        return Role::Admin;
    if (m_user)
        return m_user->role;
    if (m_options.guestViewer)
        return Role::Viewer;
    return std::nullopt;
}

bool Session::Allows(Role needed) const {
    const std::optional<Role> role = EffectiveRole();
    return role && *role >= needed;
}

std::string Session::Refusal(Role needed) const {
    const std::string neededName(RoleName(needed));
    if (!m_user)
        return "Nobody is logged in; this needs the " + neededName + " role. Log in first.";
    return RoleRefusal(m_user->name, m_user->role, needed);
}

std::string Session::JournalUser() const {
    return m_user ? m_user->name : std::string();
}

std::string Session::StatusText() const {
    if (!LoginOn())
        return {};
    if (!m_user)
        return "Not logged in";
    return m_user->name + " (" + std::string(RoleName(m_user->role)) + ")";
}

} // namespace halvane
