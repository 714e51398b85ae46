#include "Accounts.h"

#include "DataRoot.h"
#include "ProfileStore.h"
#include "StoredText.h"

#include <sodium.h>

#include <QList>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <system_error>
#include <unistd.h>

namespace halvane {

namespace {

constexpr size_t kMaxNameCharacters = 64;
constexpr size_t kMinPasswordCharacters = 8;
constexpr size_t kMaxPasswordBytes = 1024;
constexpr std::string_view kRoleNames[] = {"viewer", "operator", "engineer", "admin"};

std::string UserSection(size_t n) {
    return "User." + std::to_string(n);
}

bool SameName(std::string_view a, std::string_view b) {
    return QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()))
               .compare(QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())),
                        Qt::CaseInsensitive) == 0;
}

size_t Characters(std::string_view text) {
    return static_cast<size_t>(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUcs4().size());
}

bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

// An account as it stands in the file, with where it stands.
struct Entry {
    size_t section = 0;
    std::string name;
    std::string role;
    std::string hash;
    bool disabled = false;
};

std::vector<Entry> ReadEntries(const ProfileStore& store) {
    std::vector<Entry> entries;
    for (size_t n = 0; store.SectionExists(UserSection(n)); ++n) {
        const std::string section = UserSection(n);
        entries.push_back(
            {n, store.ReadString(section, "Name", ""), store.ReadString(section, "Role", ""),
             store.ReadString(section, "Hash", ""), store.ReadBool(section, "Disabled", false)});
    }
    return entries;
}

// Why the entry cannot be used, or nothing.
std::optional<std::string> EntryProblem(const Entry& entry, const std::vector<Entry>& all) {
    if (auto problem = NameProblem(entry.name))
        return *problem;
    if (!ParseRole(entry.role))
        return "its role \"" + entry.role + "\" is unknown";
    if (!entry.hash.starts_with("$argon2id$"))
        return "its password hash cannot be read";
    const auto same = std::ranges::count_if(
        all, [&](const Entry& other) { return SameName(other.name, entry.name); });
    if (same > 1)
        return "its name is used by another account too";
    return std::nullopt;
}

// The file is made readable by its owner only before anything is written to it; the
// store's later writes keep the mode of the file they replace.
std::optional<std::string> MakePrivateFile(const std::filesystem::path& file) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return std::nullopt;
    }
    if (errno == EEXIST)
        return std::nullopt;
    return "Cannot create " + file.string() + ": " + std::generic_category().message(errno);
}

} // namespace

std::string_view RoleName(Role role) {
    return kRoleNames[static_cast<size_t>(role)];
}

std::optional<Role> ParseRole(std::string_view name) {
    for (size_t i = 0; i < std::size(kRoleNames); ++i)
        if (SameName(name, kRoleNames[i]))
            return static_cast<Role>(i);
    return std::nullopt;
}

std::optional<std::string> NameProblem(std::string_view name) {
    if (!IsValidUtf8(name))
        return "A user name must be UTF-8 text.";
    const size_t characters = Characters(name);
    if (characters == 0 || characters > kMaxNameCharacters)
        return "A user name has 1 to 64 characters.";
    const bool control = std::ranges::any_of(name, [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
    if (control)
        return "A user name cannot hold control characters.";
    return std::nullopt;
}

std::optional<std::string> PasswordProblem(std::string_view password) {
    if (password.size() > kMaxPasswordBytes)
        return "A password has at most 1024 bytes.";
    if (!IsValidUtf8(password) || Characters(password) < kMinPasswordCharacters)
        return "A password has at least 8 characters.";
    return std::nullopt;
}

std::string HashPassword(std::string_view password) {
    if (!SodiumReady())
        return {};
    std::string hash(crypto_pwhash_STRBYTES, '\0');
    if (crypto_pwhash_str(hash.data(), password.data(), password.size(),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return {};
    hash.resize(hash.find('\0'));
    return hash;
}

bool VerifyPassword(const std::string& hash, std::string_view password) {
    if (!SodiumReady() || hash.empty() || hash.size() >= crypto_pwhash_STRBYTES ||
        password.size() > kMaxPasswordBytes)
        return false;
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

AccountStore::AccountStore(std::filesystem::path file) : m_file(std::move(file)) {}

AccountList AccountStore::Load() const {
    AccountList list;
    std::error_code ec;
    list.exists = std::filesystem::exists(m_file, ec) || ec;
    if (!list.exists)
        return list;
    const ProfileStore store(m_file);
    list.error = store.ReadError();
    if (!list.error.empty())
        return list;
    const std::vector<Entry> entries = ReadEntries(store);
    for (const Entry& entry : entries) {
        if (auto problem = EntryProblem(entry, entries)) {
            list.problems.push_back("User." + std::to_string(entry.section) + " (\"" + entry.name +
                                    "\") cannot log in: " + *problem + ".");
            continue;
        }
        list.accounts.push_back({entry.name, *ParseRole(entry.role), entry.hash, entry.disabled});
    }
    return list;
}

namespace {

const Entry* FindEntry(const std::vector<Entry>& entries, std::string_view name) {
    const auto found = std::ranges::find_if(
        entries, [&](const Entry& entry) { return SameName(entry.name, name); });
    return found == entries.end() ? nullptr : &*found;
}

bool IsLastEnabledAdmin(const Entry& target, const std::vector<Entry>& entries) {
    const auto usableAdmin = [&](const Entry& entry) {
        return !entry.disabled && ParseRole(entry.role) == Role::Admin &&
               !EntryProblem(entry, entries);
    };
    return usableAdmin(target) && std::ranges::count_if(entries, usableAdmin) == 1;
}

std::string NoSuchUser(std::string_view name) {
    return "There is no user \"" + std::string(name) + "\".";
}

void WriteEntry(ProfileStore& store, size_t section, const Entry& entry) {
    const std::string s = UserSection(section);
    store.WriteString(s, "Name", entry.name);
    store.WriteString(s, "Role", entry.role);
    store.WriteString(s, "Hash", entry.hash);
    store.WriteBool(s, "Disabled", entry.disabled);
}

// Reads the file, lets `change` refuse (a message) or make its writes, and writes the file
// once; the message why when anything failed. Only an addition makes a file that is not
// there: an empty one would turn login on with nobody to log in.
std::optional<std::string> ChangeFile(
    const std::filesystem::path& file, bool create,
    const std::function<std::optional<std::string>(ProfileStore&, std::vector<Entry>&)>& change) {
    std::error_code ec;
    if (!create && !std::filesystem::exists(file, ec) && !ec) {
        ProfileStore none(file);
        std::vector<Entry> entries;
        return change(none, entries);
    }
    if (auto failure = MakePrivateFile(file))
        return failure;
    ProfileStore store(file);
    if (const std::string error = store.ReadError(); !error.empty())
        return "Cannot read " + file.string() + ": " + error;
    ProfileStore::Batch batch(store);
    std::vector<Entry> entries = ReadEntries(store);
    if (auto refusal = change(store, entries))
        return refusal;
    if (!batch.Commit())
        return store.LastError();
    return std::nullopt;
}

// ChangeFile for the account of `name`, which must be there.
std::optional<std::string> ChangeAccount(
    const std::filesystem::path& file, std::string_view name,
    const std::function<std::optional<std::string>(ProfileStore&, const std::vector<Entry>&,
                                                   const Entry&)>& change) {
    return ChangeFile(
        file, false,
        [&](ProfileStore& store, std::vector<Entry>& entries) -> std::optional<std::string> {
            const Entry* entry = FindEntry(entries, name);
            if (!entry)
                return NoSuchUser(name);
            return change(store, entries, *entry);
        });
}

} // namespace

std::optional<std::string> AccountStore::Add(std::string_view name, Role role,
                                             std::string_view password) {
    if (auto problem = NameProblem(name))
        return problem;
    if (auto problem = PasswordProblem(password))
        return problem;
    return ChangeFile(
        m_file, true,
        [&](ProfileStore& store, std::vector<Entry>& entries) -> std::optional<std::string> {
            if (FindEntry(entries, name))
                return "A user \"" + std::string(name) + "\" exists already.";
            const std::string hash = HashPassword(password);
            if (hash.empty())
                return "The password could not be hashed.";
            WriteEntry(store, entries.size(),
                       {0, std::string(name), std::string(RoleName(role)), hash, false});
            return std::nullopt;
        });
}

std::optional<std::string> AccountStore::SetPassword(std::string_view name,
                                                     std::string_view password) {
    if (auto problem = PasswordProblem(password))
        return problem;
    return ChangeAccount(m_file, name,
                         [&](ProfileStore& store, const std::vector<Entry>& /*entries*/,
                             const Entry& entry) -> std::optional<std::string> {
                             const std::string hash = HashPassword(password);
                             if (hash.empty())
                                 return "The password could not be hashed.";
                             store.WriteString(UserSection(entry.section), "Hash", hash);
                             return std::nullopt;
                         });
}

std::optional<std::string> AccountStore::SetRole(std::string_view name, Role role) {
    return ChangeAccount(m_file, name,
                         [&](ProfileStore& store, const std::vector<Entry>& entries,
                             const Entry& entry) -> std::optional<std::string> {
                             if (role != Role::Admin && IsLastEnabledAdmin(entry, entries))
                                 return "\"" + entry.name +
                                        "\" is the last enabled admin and stays admin.";
                             store.WriteString(UserSection(entry.section), "Role", RoleName(role));
                             return std::nullopt;
                         });
}

std::optional<std::string> AccountStore::SetDisabled(std::string_view name, bool disabled) {
    return ChangeAccount(m_file, name,
                         [&](ProfileStore& store, const std::vector<Entry>& entries,
                             const Entry& entry) -> std::optional<std::string> {
                             if (disabled && IsLastEnabledAdmin(entry, entries))
                                 return "\"" + entry.name +
                                        "\" is the last enabled admin and cannot be disabled.";
                             store.WriteBool(UserSection(entry.section), "Disabled", disabled);
                             return std::nullopt;
                         });
}

// The accounts after the removed one move up a section, so that the sections stay numbered
// from 0 without a gap.
std::optional<std::string> AccountStore::Remove(std::string_view name) {
    return ChangeAccount(m_file, name,
                         [&](ProfileStore& store, const std::vector<Entry>& entries,
                             const Entry& entry) -> std::optional<std::string> {
                             if (IsLastEnabledAdmin(entry, entries))
                                 return "\"" + entry.name +
                                        "\" is the last enabled admin and cannot be deleted.";
                             const size_t removed = entry.section;
                             for (size_t n = removed + 1; n < entries.size(); ++n) {
                                 store.EraseSection(UserSection(n - 1));
                                 WriteEntry(store, n - 1, entries[n]);
                             }
                             store.EraseSection(UserSection(entries.size() - 1));
                             return std::nullopt;
                         });
}

std::optional<Account> AccountStore::Verify(std::string_view name,
                                            std::string_view password) const {
    const AccountList list = Load();
    const auto found = std::ranges::find_if(
        list.accounts, [&](const Account& account) { return SameName(account.name, name); });
    if (found == list.accounts.end()) {
        // As long as for a user that exists: the time says nothing of which names do.
        static const std::string unknown = HashPassword("no account has this password");
        VerifyPassword(unknown, password);
        return std::nullopt;
    }
    if (found->disabled || !VerifyPassword(found->hash, password))
        return std::nullopt;
    return *found;
}

std::filesystem::path UsersFile() {
    return ResolveDataPath("cfg/users.cfg");
}

} // namespace halvane
