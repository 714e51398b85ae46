#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvane {

// Each role may do what the one before may, and more.
enum class Role { Viewer, Operator, Engineer, Admin };

// "viewer", "operator", "engineer", "admin".
std::string_view RoleName(Role role);
// The role of a name as RoleName writes it (any letter case); nothing for another text.
std::optional<Role> ParseRole(std::string_view name);

// One account of cfg/users.cfg ("[User.N]": Name, Role, Hash, Disabled).
struct Account {
    std::string name;
    Role role = Role::Viewer;
    std::string hash; // crypto_pwhash_str (Argon2id); never the password
    bool disabled = false;

    bool operator==(const Account&) const = default;
};

// Why a name or a password is refused, or nothing: a name has 1 to 64 characters (UTF-8)
// and no control character; a password at least 8 characters and at most 1024 bytes.
std::optional<std::string> NameProblem(std::string_view name);
std::optional<std::string> PasswordProblem(std::string_view password);

// The Argon2id hash of `password` with libsodium's interactive limits; empty when
// libsodium could not make one (out of memory).
std::string HashPassword(std::string_view password);
// Whether `password` matches `hash`; false for a hash that cannot be read.
bool VerifyPassword(const std::string& hash, std::string_view password);

// What the users file holds.
struct AccountList {
    bool exists = false;           // there is a users file: login is on
    std::string error;             // the file is there but cannot be read: nobody can log in
    std::vector<Account> accounts; // the accounts that can be used, in file order
    // One line per account that cannot be used: an unknown role, a hash that cannot be
    // read, a name that is not valid or not unique (both accounts of a name are left out).
    std::vector<std::string> problems;
};

// The station's accounts in cfg/users.cfg, in the configuration store's format and way of
// writing (a whole new file renamed over the old one), readable by its owner only (mode
// 0600). Every call reads the file as it is now, so that a change made by another program
// (the command line beside a running station) is seen at once. Changes are refused, with
// the message why, when they break a rule: names are unique regardless of case, and the
// last enabled admin cannot be deleted, disabled or demoted.
class AccountStore final {
public:
    explicit AccountStore(std::filesystem::path file);

    AccountList Load() const;

    // Each returns the message why it was refused, or nothing once the file holds it.
    std::optional<std::string> Add(std::string_view name, Role role, std::string_view password);
    std::optional<std::string> SetPassword(std::string_view name, std::string_view password);
    std::optional<std::string> SetRole(std::string_view name, Role role);
    std::optional<std::string> SetDisabled(std::string_view name, bool disabled);
    std::optional<std::string> Remove(std::string_view name);

    // The enabled account of `name` (any letter case) whose password is `password`.
    std::optional<Account> Verify(std::string_view name, std::string_view password) const;

    const std::filesystem::path& File() const { return m_file; }

private:
    std::filesystem::path m_file;
};

// cfg/users.cfg under the data root.
std::filesystem::path UsersFile();

} // namespace halvane
