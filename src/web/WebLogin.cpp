#include "WebLogin.h"

#include "AlarmService.h"
#include "BasicAuthorization.h"

#include <sodium.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace halvane {

namespace {

std::array<unsigned char, 32> HeaderDigest(std::string_view authorization) {
    std::array<unsigned char, 32> digest{};
    crypto_hash_sha256(digest.data(), reinterpret_cast<const unsigned char*>(authorization.data()),
                       authorization.size());
    return digest;
}

} // namespace

WebLogin::WebLogin(std::filesystem::path usersFile, AlarmService* journal)
    : m_store(std::move(usersFile)), m_journal(journal) {
    // The hash used here works without; the call only picks the machine's faster code.
    [[maybe_unused]] const int ready = sodium_init();
}

// A file that is there but cannot even be looked at still turns login on: nobody gets in.
WebLogin::FileSignature WebLogin::CurrentSignature() const {
    struct stat info {};
    if (::stat(m_store.File().c_str(), &info) != 0)
        return {errno != ENOENT, {}, 0, 0};
    const int64_t modifiedNs =
        static_cast<int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    return {true, modifiedNs, static_cast<uintmax_t>(info.st_size),
            static_cast<uint64_t>(info.st_ino)};
}

void WebLogin::FollowFile(const FileSignature& signature) {
    if (signature == m_signature)
        return;
    m_cache.clear();
    m_signature = signature;
}

bool WebLogin::IsBlocked(const std::string& address, Clock::time_point now) {
    const auto found = m_failures.find(address);
    return found != m_failures.end() && found->second.blockedUntil &&
           now < *found->second.blockedUntil;
}

WebLogin::Verdict WebLogin::Screen(std::string_view address, std::string_view authorization,
                                   Clock::time_point now, std::optional<WebAccount>* account) {
    const FileSignature signature = CurrentSignature();
    const std::lock_guard lock(m_mutex);
    FollowFile(signature);
    if (!signature.exists)
        return Verdict::NoAccounts;
    if (IsBlocked(std::string(address), now))
        return Verdict::Blocked;
    if (authorization.empty() || authorization.size() > kMaxAuthorizationBytes)
        return Verdict::Refused;
    const auto cached = m_cache.find(HeaderDigest(authorization));
    if (cached != m_cache.end() && now < cached->second.until) {
        if (account)
            *account = cached->second.account;
        return Verdict::Granted;
    }
    // A header that names nobody is no login to check or to count.
    const Credentials credentials = DecodeBasicAuthorization(authorization);
    return credentials.user.empty() ? Verdict::Refused : Verdict::Unverified;
}

WebLogin::Verdict WebLogin::Verify(std::string_view address, std::string_view authorization,
                                   Clock::time_point now, std::optional<WebAccount>* account) {
    if (authorization.size() > kMaxAuthorizationBytes)
        return Verdict::Refused;
    const FileSignature signature = CurrentSignature();
    Credentials credentials = DecodeBasicAuthorization(authorization);
    ++m_verifications;
    const std::optional<Account> verified = m_store.Verify(credentials.user, credentials.password);
    sodium_memzero(credentials.password.data(), credentials.password.size());
    const std::lock_guard lock(m_mutex);
    if (!verified) {
        CountFailure(std::string(address), credentials.user, now);
        return Verdict::Refused;
    }
    WebAccount login{verified->name, verified->role};
    if (account)
        *account = login;
    Remember(HeaderDigest(authorization), signature, std::move(login), now);
    return Verdict::Granted;
}

void WebLogin::Remember(const Digest& digest, const FileSignature& signature, WebAccount account,
                        Clock::time_point now) {
    FollowFile(signature);
    if (m_cache.size() >= kLoginCacheEntries)
        std::erase_if(m_cache, [&](const auto& entry) { return entry.second.until <= now; });
    if (m_cache.size() >= kLoginCacheEntries)
        m_cache.clear();
    m_cache[digest] = Verified{now + kLoginCacheTime, std::move(account)};
}

void WebLogin::CountFailure(const std::string& address, std::string_view user,
                            Clock::time_point now) {
    if (m_failures.size() >= kLoginAddressEntries && !m_failures.contains(address))
        std::erase_if(m_failures, [&](const auto& entry) {
            const Failures& failures = entry.second;
            return (!failures.blockedUntil || *failures.blockedUntil <= now) &&
                   (failures.times.empty() || failures.times.back() + kLoginFailureWindow <= now);
        });
    Failures& failures = m_failures[address];
    std::erase_if(failures.times,
                  [&](Clock::time_point at) { return at + kLoginFailureWindow <= now; });
    failures.times.push_back(now);
    if (!failures.journaled || *failures.journaled + kLoginFailedJournalGap <= now) {
        failures.journaled = now;
        Journal("login-failed", user, address);
    }
    if (failures.times.size() < kLoginFailuresToBlock || IsBlocked(address, now))
        return;
    failures.blockedUntil = now + kLoginBlockTime;
    failures.times.clear();
    Journal("login-blocked", {}, address);
}

void WebLogin::Journal(std::string_view event, std::string_view user,
                       std::string_view address) const {
    if (!m_journal)
        return;
    m_journal->Record(EventNow(event, "web", user, address), false);
}

} // namespace halvane
