#include "NotifyOptions.h"

#include "ProfileStore.h"
#include "TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

using namespace halvane;
using testing::HasSubstr;

namespace {

NotifyOptions MailAndWebhook() {
    NotifyOptions options;
    options.enabled = true;
    options.smtpUrl = "smtp://mail.example.com:587";
    options.smtpStartTls = StartTls::Optional;
    options.smtpUser = "station";
    options.smtpPassword = "p4ss;word";
    options.from = "station@example.com";
    options.to = "night@example.com, boss@example.com";
    options.webhookUrl = "https://hooks.example.com/alarm";
    options.webhookHeader = "Authorization: Bearer abc";
    options.minPriority = 3;
    options.maxPerHour = 10;
    return options;
}

TEST(NotifyOptionsTest, AFileWithoutTheSectionKeepsItsBytesWhenTheDefaultsAreSaved) {
    TempDir dir;
    const std::string before = "[General]\r\nName=plant\r\n";
    WriteText(dir / "config.cfg", before);
    ProfileStore config(dir / "config.cfg");
    EXPECT_EQ(LoadNotifyOptions(config), NotifyOptions());
    ASSERT_TRUE(SaveNotifyOptions(config, NotifyOptions()));
    EXPECT_EQ(ReadText(dir / "config.cfg"), before);
}

TEST(NotifyOptionsTest, EveryKeyReadsBackAsSavedAndGoingBackToDefaultsRemovesTheSection) {
    TempDir dir;
    ProfileStore config(dir / "config.cfg");
    ASSERT_TRUE(SaveNotifyOptions(config, MailAndWebhook()));
    EXPECT_EQ(LoadNotifyOptions(ProfileStore(dir / "config.cfg")), MailAndWebhook());
    EXPECT_THAT(ReadText(dir / "config.cfg"), HasSubstr("SmtpStartTls=optional"));
    ASSERT_TRUE(SaveNotifyOptions(config, NotifyOptions()));
    EXPECT_FALSE(config.SectionExists("Notify"));
}

TEST(NotifyOptionsTest, StoredValuesOutOfRangeReadAsTheirDefaults) {
    TempDir dir;
    WriteText(dir / "config.cfg",
              "[Notify]\nMinPriority=9\nMaxPerHour=0\nSmtpStartTls=sometimes\n");
    const NotifyOptions options = LoadNotifyOptions(ProfileStore(dir / "config.cfg"));
    EXPECT_EQ(options.minPriority, 2);
    EXPECT_EQ(options.maxPerHour, 60);
    EXPECT_EQ(options.smtpStartTls, StartTls::Required);
}

TEST(NotifyOptionsTest, RefusesWhatCannotBeSentSafelyAndSaysWhy) {
    struct Case {
        const char* what;
        std::function<void(NotifyOptions&)> change;
        const char* reason; // empty: accepted
    };
    const Case cases[] = {
        {"both channels", [](NotifyOptions&) {}, ""},
        {"mail only", [](NotifyOptions& o) { o.webhookUrl.clear(); }, ""},
        {"smtps", [](NotifyOptions& o) { o.smtpUrl = "SMTPS://mail:465"; }, ""},
        {"ftp mail server", [](NotifyOptions& o) { o.smtpUrl = "ftp://mail"; }, "smtp://"},
        {"scheme only", [](NotifyOptions& o) { o.smtpUrl = "smtp://"; }, "smtp://"},
        {"file webhook", [](NotifyOptions& o) { o.webhookUrl = "file:///etc/passwd"; }, "http://"},
        {"header with CR LF", [](NotifyOptions& o) { o.webhookHeader = "X-A: 1\r\nX-B: 2"; },
         "single line"},
        {"header with LF", [](NotifyOptions& o) { o.webhookHeader = "X-A: 1\nHost: evil"; },
         "single line"},
        {"header without name", [](NotifyOptions& o) { o.webhookHeader = ": abc"; }, "Name: value"},
        {"header name with blank", [](NotifyOptions& o) { o.webhookHeader = "X A: abc"; },
         "Name: value"},
        {"recipient with LF", [](NotifyOptions& o) { o.to = "a@b.c\nBcc: x@y.z"; }, "single line"},
        {"sender with CR", [](NotifyOptions& o) { o.from = "a@b.c\rX: y"; }, "single line"},
        {"password with LF", [](NotifyOptions& o) { o.smtpPassword = "a\nb"; }, "single line"},
        {"sender no address", [](NotifyOptions& o) { o.from = "station"; }, "not a mail address"},
        {"recipient with <", [](NotifyOptions& o) { o.to = "a@b.c, <x@y.z>"; },
         "not a mail address"},
        {"no recipient", [](NotifyOptions& o) { o.to = " , "; }, "recipient"},
        {"priority 0", [](NotifyOptions& o) { o.minPriority = 0; }, "1 to 4"},
        {"priority 5", [](NotifyOptions& o) { o.minPriority = 5; }, "1 to 4"},
        {"cap 0", [](NotifyOptions& o) { o.maxPerHour = 0; }, "one message an hour"},
    };
    for (const Case& c : cases) {
        NotifyOptions options = MailAndWebhook();
        c.change(options);
        const auto problem = NotifyOptionsProblem(options);
        if (*c.reason == '\0')
            EXPECT_EQ(problem, std::nullopt) << c.what;
        else
            EXPECT_THAT(problem.value_or("accepted"), HasSubstr(c.reason)) << c.what;
    }
}

TEST(NotifyOptionsTest, RecipientsAreTrimmedAndEmptyOnesLeftOut) {
    EXPECT_EQ(Recipients(" a@b.c,, d@e.f ,"), (std::vector<std::string>{"a@b.c", "d@e.f"}));
}

} // namespace
