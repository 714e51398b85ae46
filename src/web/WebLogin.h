#pragma once

#include "Accounts.h"
#include "WebRequest.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvane {

class AlarmService;

// An Authorization header longer than this is refused before it is decoded or hashed; a
// name of 64 characters with a password of 1024 bytes fits well within it.
inline constexpr size_t kMaxAuthorizationBytes = 4 * 1024;
// How long a verified Authorization header counts without a new check, and how many are
// remembered at once.
inline constexpr std::chrono::minutes kLoginCacheTime{5};
inline constexpr size_t kLoginCacheEntries = 1000;
// An address that fails this often within the window is refused (429) for the block time.
inline constexpr size_t kLoginFailuresToBlock = 10;
inline constexpr std::chrono::minutes kLoginFailureWindow{5};
inline constexpr std::chrono::minutes kLoginBlockTime{5};
// Failed logins of one address reach the journal at most once within this time.
inline constexpr std::chrono::seconds kLoginFailedJournalGap{1};
// Addresses whose failures are remembered at once; beyond, the oldest quiet ones go.
inline constexpr size_t kLoginAddressEntries = 10'000;

// The web server's login against the station's accounts (the users file), for every request
// while there is a users file. Screen answers at once what needs no password hashing; Verify
// checks a password (Argon2, slow on purpose) and remembers the header that passed, so that
// the many requests of one page cost one check. Failed logins are counted per client address
// and journaled through the alarm service when there is one. Safe to call from several
// threads at once.
class WebLogin final {
public:
    using Clock = std::chrono::steady_clock;

    enum class Verdict {
        NoAccounts, // no users file: the configuration's web user decides
        Granted,
        Refused,    // 401
        Blocked,    // 429: too many failures from this address
        Unverified, // the password must be checked (Verify)
    };

    WebLogin(std::filesystem::path usersFile, AlarmService* journal);

    // A Granted login names its account in `account`, when given.
    Verdict Screen(std::string_view address, std::string_view authorization, Clock::time_point now,
                   std::optional<WebAccount>* account = nullptr);
    // Granted or Refused (a failure counted against `address`).
    Verdict Verify(std::string_view address, std::string_view authorization, Clock::time_point now,
                   std::optional<WebAccount>* account = nullptr);

    // Password checks made so far.
    size_t Verifications() const { return m_verifications; }

private:
    using Digest = std::array<unsigned char, 32>;
    struct FileSignature {
        bool exists = false;
        int64_t modifiedNs = 0;
        uintmax_t size = 0;
        uint64_t inode = 0;
        bool operator==(const FileSignature&) const = default;
    };
    struct Verified {
        Clock::time_point until; // when the check no longer counts
        WebAccount account;
    };
    struct Failures {
        std::vector<Clock::time_point> times; // within the window
        std::optional<Clock::time_point> blockedUntil;
        std::optional<Clock::time_point> journaled;
    };

    FileSignature CurrentSignature() const;
    // The cache is dropped when the file is no longer the one its entries were checked with.
    void FollowFile(const FileSignature& signature);
    bool IsBlocked(const std::string& address, Clock::time_point now);
    void CountFailure(const std::string& address, std::string_view user, Clock::time_point now);
    void Remember(const Digest& digest, const FileSignature& signature, WebAccount account,
                  Clock::time_point now);
    void Journal(std::string_view event, std::string_view user, std::string_view address) const;

    const AccountStore m_store;
    AlarmService* const m_journal;
    std::atomic<size_t> m_verifications = 0;

    std::mutex m_mutex;
    FileSignature m_signature;          // of the file the cached headers were checked against
    std::map<Digest, Verified> m_cache; // by verified header
    std::map<std::string, Failures> m_failures; // by client address
};

} // namespace halvane
