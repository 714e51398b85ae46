#include "WebLogin.h"
#include "AlarmService.h"
#include "WebServer.h"

#include "WebTestSupport.h"

#include <QDate>

#include <gtest/gtest.h>

#include <optional>

namespace halvane {
namespace {

using test::Curl;
using test::HttpReply;
using test::RawClient;
using Verdict = WebLogin::Verdict;

constexpr std::string_view kBase64Digits =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(std::string_view bytes) {
    std::string out;
    for (size_t at = 0; at < bytes.size(); at += 3) {
        uint32_t group = 0;
        const size_t count = std::min<size_t>(3, bytes.size() - at);
        for (size_t i = 0; i < 3; ++i)
            group = (group << 8) | (i < count ? static_cast<unsigned char>(bytes[at + i]) : 0);
        for (size_t i = 0; i < 4; ++i)
            out += i <= count ? kBase64Digits[(group >> (18 - 6 * i)) & 63] : '=';
    }
    return out;
}

std::string Basic(std::string_view user, std::string_view password) {
    return "Basic " + Base64(std::string(user) + ":" + std::string(password));
}

// A password of `bytes` bytes of UTF-8 ("ü" is two of them).
std::string LongPassword(size_t bytes) {
    return test::Repeated("\xC3\xBC", bytes / 2);
}

// A station whose users file holds the enabled viewer "Alice" and the disabled operator
// "bob"; its journal is the alarm service's, offered by the web server itself.
class WebLoginTest : public ::testing::Test {
protected:
    void SetUp() override {
        station.Document("index.html", "hello");
        ASSERT_EQ(accounts.Add("Alice", Role::Viewer, kAlicePassword), std::nullopt);
        ASSERT_EQ(accounts.Add("bob", Role::Operator, "bob-password"), std::nullopt);
        ASSERT_EQ(accounts.SetDisabled("bob", true), std::nullopt);
        ASSERT_TRUE(web.Start({})) << web.server->LastError();
    }

    // The status of one GET of "/" from `source` with `authorization` (none when empty).
    int StatusFrom(const std::string& source, const std::string& authorization) {
        RawClient client(web.server->Port(), source);
        std::string request = "GET / HTTP/1.1\r\nHost: station\r\n";
        if (!authorization.empty())
            request += "Authorization: " + authorization + "\r\n";
        client.Send(request + "Connection: close\r\n\r\n");
        return test::ParseReply(client.Receive(std::chrono::seconds(20))).status;
    }

    std::string Journal() {
        web.alarms->Flush();
        const std::string today = QDate::currentDate().toString(Qt::ISODate).toStdString();
        return Curl(web.server->Port(), "/api/events?from=" + today,
                    {"-u", "Alice:" + std::string(kAlicePassword)})
            .body;
    }

    static constexpr std::string_view kAlicePassword = "alice-password";
    test::WebStation station;
    AccountStore accounts{UsersFile()};
    test::WebStationWithAlarms web{station};
};

TEST_F(WebLoginTest, OnlyEnabledAccountsWithTheirPasswordMayRead) {
    station.SetCredentials("web", "web-password"); // the accounts replace the old web user
    ASSERT_EQ(accounts.SetPassword("Alice", LongPassword(1024)), std::nullopt);
    const struct {
        std::string authorization;
        int status;
    } cases[] = {
        {Basic("Alice", LongPassword(1024)), 200},
        {Basic("alice", LongPassword(1024)), 200}, // names in any case
        {Basic("Alice", LongPassword(1022)), 401},
        {Basic("Alice", "alice-password"), 401}, // the password before it changed
        {Basic("bob", "bob-password"), 401},     // disabled
        {Basic("web", "web-password"), 401},
        {Basic("nobody", "whatever-1"), 401},
        {"", 401},
        {"Basic " + std::string(kMaxAuthorizationBytes, 'A'), 401},
    };
    for (const auto& [authorization, status] : cases)
        EXPECT_EQ(StatusFrom("127.0.0.1", authorization), status) << authorization.substr(0, 40);
    const HttpReply refused = Curl(web.server->Port(), "/");
    EXPECT_EQ(refused.Header("www-authenticate"), "Basic realm=\"Login to Halvane\"");
    EXPECT_EQ(Curl(web.server->Port(), "/missing.html").status, 404);
}

TEST_F(WebLoginTest, AUsersFileThatCannotBeReadLetsNobodyIn) {
    std::filesystem::remove(UsersFile());
    std::filesystem::create_directory(UsersFile());
    EXPECT_EQ(StatusFrom("127.0.0.1", Basic("Alice", kAlicePassword)), 401);
    EXPECT_EQ(StatusFrom("127.0.0.1", ""), 401);
}

TEST_F(WebLoginTest, WithoutAUsersFileTheWebUserDecidesAsBefore) {
    std::filesystem::remove(UsersFile());
    EXPECT_EQ(StatusFrom("127.0.0.1", ""), 200);
    station.SetCredentials("web", "web-password");
    EXPECT_EQ(StatusFrom("127.0.0.1", ""), 401);
    EXPECT_EQ(StatusFrom("127.0.0.1", Basic("web", "web-password")), 200);
}

TEST_F(WebLoginTest, TenFailuresBlockTheirAddressAloneAndAreJournaled) {
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(StatusFrom("127.0.0.3", Basic("Mallory,\"x\"", "guess-" + std::to_string(i))),
                  401);
    EXPECT_EQ(StatusFrom("127.0.0.3", Basic("Alice", kAlicePassword)), 429);
    EXPECT_EQ(StatusFrom("127.0.0.4", Basic("Alice", kAlicePassword)), 200);

    const std::string journal = Journal();
    EXPECT_EQ(test::Occurrences(journal, ",login-blocked,"), 1u) << journal;
    EXPECT_NE(journal.find("127.0.0.3"), std::string::npos) << journal;
    const size_t failed = test::Occurrences(journal, ",login-failed,");
    EXPECT_GE(failed, 1u);
    EXPECT_LT(failed, 10u) << "at most one line per address and second";
    EXPECT_NE(journal.find("Mallory"), std::string::npos) << journal;
    EXPECT_EQ(journal.find("guess-"), std::string::npos) << journal;
}

// The login without a server: a fixed clock, a users file of one viewer.
class WebLoginCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(accounts.Add("Alice", Role::Viewer, "alice-password"), std::nullopt);
    }

    TempDir dir;
    AccountStore accounts{dir / "users.cfg"};
    WebLogin login{dir / "users.cfg", nullptr};
    const std::string good = Basic("Alice", "alice-password");
    const WebLogin::Clock::time_point start{};
};

TEST_F(WebLoginCacheTest, AVerifiedHeaderCountsForFiveMinutesWithoutAnotherCheck) {
    EXPECT_EQ(login.Screen("a", good, start), Verdict::Unverified);
    EXPECT_EQ(login.Verify("a", good, start), Verdict::Granted);
    EXPECT_EQ(login.Screen("a", good, start + std::chrono::seconds(299)), Verdict::Granted);
    EXPECT_EQ(login.Screen("b", good, start + std::chrono::seconds(1)), Verdict::Granted);
    EXPECT_EQ(login.Verifications(), 1u);
    EXPECT_EQ(login.Screen("a", good, start + std::chrono::seconds(301)), Verdict::Unverified);
    EXPECT_EQ(login.Screen("a", good + "=", start), Verdict::Refused) << "not strict base64";
}

TEST_F(WebLoginCacheTest, AChangedUsersFileEndsWhatWasVerified) {
    ASSERT_EQ(accounts.Add("Admin", Role::Admin, "admin-password"), std::nullopt);
    ASSERT_EQ(login.Verify("a", good, start), Verdict::Granted);
    ASSERT_EQ(accounts.SetDisabled("Alice", true), std::nullopt);
    EXPECT_EQ(login.Screen("a", good, start), Verdict::Unverified);
    EXPECT_EQ(login.Verify("a", good, start), Verdict::Refused);
}

TEST_F(WebLoginCacheTest, FailuresBlockOnlyWhenTenFallWithinFiveMinutes) {
    const std::string wrong = Basic("Alice", "wrong-password");
    for (int i = 0; i < 9; ++i)
        login.Verify("a", wrong, start + std::chrono::seconds(30 * i));
    // The first failure is older than five minutes by the tenth.
    login.Verify("a", wrong, start + std::chrono::seconds(301));
    EXPECT_EQ(login.Screen("a", good, start + std::chrono::seconds(302)), Verdict::Unverified);
    login.Verify("a", wrong, start + std::chrono::seconds(302));
    const auto blockedAt = start + std::chrono::seconds(302);
    EXPECT_EQ(login.Screen("a", good, blockedAt), Verdict::Blocked);
    EXPECT_EQ(login.Screen("b", good, blockedAt), Verdict::Unverified);
    EXPECT_EQ(login.Screen("a", good, blockedAt + std::chrono::seconds(299)), Verdict::Blocked);
    EXPECT_EQ(login.Screen("a", good, blockedAt + std::chrono::seconds(300)), Verdict::Unverified);
}

} // namespace
} // namespace halvane
