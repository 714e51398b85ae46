#include "WebTemplate.h"

#include "PageText.h"
#include "Sanitizers.h"
#include "WebTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

namespace halvane {
namespace {

using test::NamedTag;
using test::NumberedTags;
using test::Occurrences;
using test::Repeated;

std::string Expanded(std::string_view text, const WebContext& context) {
    auto page = ExpandTemplate(text, context);
    if (auto* error = std::get_if<RequestError>(&page))
        return "error: " + error->message;
    return std::get<std::string>(page);
}

std::string Resolved(std::string_view name, const WebContext& context) {
    auto value = ResolveMarker(name, context);
    if (auto* error = std::get_if<RequestError>(&value))
        return "error: " + error->message;
    return std::get<std::string>(value);
}

class WebTemplateTest : public ::testing::Test {
protected:
    test::WebStation station;
};

TEST_F(WebTemplateTest, MarkersResolveByTheirFirstWord) {
    station.SetTags({NamedTag("Level", "m", 2.5, "%0.1f"), NamedTag("Pump", "", 1, ""),
                     NamedTag("T2"), NamedTag("T3"), NamedTag("T4")});
    station.SetScreens({{"Overview", "BM0"}, {"Pumps", "BM1"}});
    station.Counters().tag.AdvanceBelowLast(5);
    station.Counters().screen.AdvanceBelowLast(2);
    const struct {
        std::string name;
        std::string value;
    } cases[] = {
        {"tag_name.0", "Level"},
        {"tag_name.5", ""}, // five tags: 0 to 4
        {"tag_name.-1", ""},
        {"tag_name_next", "Pump"},
        {"tag_value.0", "2.5"},
        {"tag_value.1", ""}, // empty format
        {"tag_value_next", ""},
        {"tag_unit.0", "m"},
        {"tag_unit_next", ""},
        {"tag_count", "5"},
        {"tag_countx", "5"},
        {"tag_name.0.5", "error: '0.5' is not a valid integer value"},
        {"tag_value.x", "error: 'x' is not a valid integer value"},
        {"tag_unit.", "error: '' is not a valid integer value"},
        {"tag_name.4294967296", "error: '4294967296' is not a valid integer value"},
        {"screen_name.0", "Overview"},
        {"screen_name_next", "Pumps"},
        {"screen_img.1", "screen-image-1.bmp"},
        {"screen_img.2", ""},
        {"screen_img_next", "screen-image-1.bmp"},
        {"screen_count", "2"},
        {"screen_img.x", "error: 'x' is not a valid integer value"},
        {"tag_gotonext", ""},
        {"tag_namex", ""},
        {"Tag_count", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Resolved(c.name, station.Context()), c.value) << c.name;
}

TEST_F(WebTemplateTest, WithoutTagsAndScreensMarkersAreEmptyOrZero) {
    for (const char* name : {"tag_name.0", "tag_name_next", "tag_value_next", "screen_img.0",
                             "screen_img_next", "screen_name.0"})
        EXPECT_EQ(Resolved(name, station.Context()), "") << name;
    EXPECT_EQ(Resolved("tag_count", station.Context()), "0");
    EXPECT_EQ(Resolved("screen_count", station.Context()), "0");
}

TEST_F(WebTemplateTest, ResetMarkersSetTheirCounterToZero) {
    station.SetTags(NumberedTags(3));
    station.SetScreens({{"A", ""}, {"B", ""}});
    station.Counters().tag.AdvanceBelowLast(3);
    station.Counters().screen.AdvanceBelowLast(2);
    EXPECT_EQ(Resolved("screen_resetcount", station.Context()), "");
    EXPECT_EQ(station.Counters().tag.Value(), 1u);
    EXPECT_EQ(station.Counters().screen.Value(), 0u);
    EXPECT_EQ(Resolved("tag_resetcount", station.Context()), "");
    EXPECT_EQ(station.Counters().tag.Value(), 0u);
}

TEST_F(WebTemplateTest, GotoNextRepeatsTheLineAboveForEveryFurtherTag) {
    station.SetTags(
        {NamedTag("Level", "m", 2.5), NamedTag("Flow", "l/s", 7), NamedTag("Temp", "C", -1)});
    const std::string listing = "<table>\n"
                                "<tr><td>${tag_name_next}</td><td>${tag_value_next} "
                                "${tag_unit_next}</td></tr>\n"
                                "${tag_gotonext}\n"
                                "</table>\n";
    const std::string all = "<table>\r\n"
                            "<tr><td>Level</td><td>2.50 m</td></tr>\r\n"
                            "<tr><td>Flow</td><td>7.00 l/s</td></tr>\r\n"
                            "<tr><td>Temp</td><td>-1.00 C</td></tr>\r\n"
                            "\r\n"
                            "</table>\r\n";
    EXPECT_EQ(Expanded(listing, station.Context()), all);
    // The counter stays at the last tag: the next listing shows only that one.
    EXPECT_EQ(Expanded(listing, station.Context()),
              "<table>\r\n<tr><td>Temp</td><td>-1.00 C</td></tr>\r\n\r\n</table>\r\n");
    EXPECT_EQ(Expanded("${tag_resetcount}" + listing, station.Context()), all);
}

TEST_F(WebTemplateTest, GotoNextRepeatsNothingWithNoOrOneTag) {
    const std::string listing = "[${tag_name_next}]\n${tag_gotonext}end";
    EXPECT_EQ(Expanded(listing, station.Context()), "[]\r\nend\r\n");
    station.SetTags(NumberedTags(1));
    EXPECT_EQ(Expanded(listing, station.Context()), "[T0]\r\nend\r\n");
    EXPECT_EQ(station.Counters().tag.Value(), 0u);
}

TEST_F(WebTemplateTest, ScreenGotoNextRepeatsOverScreens) {
    station.SetTags(NumberedTags(3));
    station.SetScreens({{"Overview", ""}, {"Pumps", ""}});
    EXPECT_EQ(Expanded("${screen_resetcount}\n<img src=\"${screen_img_next}\" "
                       "alt=\"${screen_name_next}\">\n${screen_gotonext}",
                       station.Context()),
              "\r\n<img src=\"screen-image-0.bmp\" alt=\"Overview\">\r\n"
              "<img src=\"screen-image-1.bmp\" alt=\"Pumps\">\r\n\r\n");
    // A line with both markers repeats over tags only.
    station.Counters().screen.Reset();
    EXPECT_EQ(Expanded("${tag_name_next}\n${tag_gotonext}${screen_gotonext}", station.Context()),
              "T0\r\nT1\r\nT2\r\n\r\n");
    EXPECT_EQ(station.Counters().screen.Value(), 0u);
}

TEST_F(WebTemplateTest, GotoNextOnTheFirstLineRepeatsNothing) {
    station.SetTags(NumberedTags(3));
    EXPECT_EQ(Expanded("${tag_gotonext}${tag_name_next}\nx", station.Context()), "T0\r\nx\r\n");
    EXPECT_EQ(station.Counters().tag.Value(), 0u);
}

TEST_F(WebTemplateTest, ARepetitionThatResetsItsCounterEnds) {
    station.SetTags(NumberedTags(3));
    // Each repetition sets the counter back to 0: the line repeats once per tag, then ends.
    EXPECT_EQ(Expanded("${tag_resetcount}${tag_name_next}\n${tag_gotonext}", station.Context()),
              "T0\r\nT0\r\nT0\r\nT0\r\n\r\n");
}

TEST_F(WebTemplateTest, InsertedTextIsSearchedForMarkersAgain) {
    station.SetTags({NamedTag("${tag_count} tags"), NamedTag("{tag_name.2}"), NamedTag("Z")});
    EXPECT_EQ(Expanded("${tag_name.0}", station.Context()), "3 tags\r\n");
    // "$" followed by a marker whose value starts with "{" forms a new marker.
    EXPECT_EQ(Expanded("$${tag_name.1}", station.Context()), "Z\r\n");
}

TEST_F(WebTemplateTest, AMarkerThatInsertsItselfEnds) {
    station.SetTags({NamedTag("${tag_name.0}"), NamedTag("${tag_name.1}${tag_name.1}")});
    EXPECT_EQ(Expanded("a ${tag_name.0} b", station.Context()), "a ${tag_name.0} b\r\n");
    const std::string doubled = Expanded("${tag_name.1}\nnext ${tag_count}", station.Context());
    EXPECT_TRUE(doubled.starts_with("${tag_name.1}${tag_name.1}")) << doubled.substr(0, 80);
    EXPECT_TRUE(doubled.ends_with("\r\nnext 2\r\n"));
    EXPECT_LT(doubled.size(), 100'000u);
}

// The processor time of the calling thread, which other programs' load leaves alone.
std::chrono::nanoseconds ThreadTime() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// Where each replacement moves the rest of its line, these lines take about ten seconds
// (many times that under ThreadSanitizer); here well under one (one to three under
// ThreadSanitizer).
TEST_F(WebTemplateTest, ExpansionTimeFollowsTheTextNotMarkersTimesLineLength) {
    station.SetTags({NamedTag("${tag_name.0}+")});
    const std::string gap(300, ' ');
    const std::string markers = Repeated("${tag_count}" + gap, 40'000);
    // A name that inserts itself and more, before 4 MiB of text.
    const std::string text(4 << 20, ' ');
    const std::string growing = Repeated("${tag_name.0}", 5'000) + text + "${tag_count}";

    const auto start = ThreadTime();
    const std::string markersPage = Expanded(markers, station.Context());
    const std::string growingPage = Expanded(growing, station.Context());
    EXPECT_LT(ThreadTime() - start, std::chrono::seconds(test::kThreadSanitizer ? 8 : 3));

    EXPECT_EQ(markersPage, Repeated("1" + gap, 40'000) + "\r\n");
    // The replacements end, and the rest of the line stands.
    EXPECT_TRUE(growingPage.starts_with("${tag_name.0}++")) << growingPage.substr(0, 80);
    EXPECT_TRUE(growingPage.ends_with("${tag_name.0}" + text + "${tag_count}\r\n"));
}

TEST_F(WebTemplateTest, ExpansionsBeyondTheLimitFail) {
    station.SetTags({NamedTag("T" + std::string(1 << 20, 'n')), NamedTag("T1")});
    const std::string tooLarge =
        "error: The page is larger than " + std::to_string(kMaxExpansionBytes) + " bytes";
    // Lines of 1022 bytes and their CR LF: 1 KiB each.
    const std::string line = std::string(1022, 'x') + "\n";
    const size_t lines = kMaxExpansionBytes / 1024;
    const struct {
        std::string what;
        std::string text;
        bool fits;
    } cases[] = {
        {"lines up to the limit", Repeated(line, lines), true},
        {"one byte more", Repeated(line, lines) + "y", false},
        {"a 1 MiB name 15 times", Repeated("${tag_name.0}", 15), true},
        {"a 1 MiB name 17 times", Repeated("${tag_name.0}", 17), false},
    };
    for (const auto& c : cases) {
        const std::string page = Expanded(c.text, station.Context());
        EXPECT_EQ(page == tooLarge, !c.fits) << c.what;
    }
    station.SetTags(NumberedTags(17'000));
    EXPECT_EQ(Expanded(line + "${tag_gotonext}", station.Context()), tooLarge);
}

TEST_F(WebTemplateTest, IncompleteMarkersAreLeftAsTheyStand) {
    station.SetTags(NumberedTags(2));
    const struct {
        std::string line;
        std::string expanded;
    } cases[] = {
        {"p { margin: 0 }", "p { margin: 0 }"},
        {"a } b ${tag_count}", "a } b 2"}, // a "}" before the marker is text
        {"${tag_count} ${tag_name.0", "2 ${tag_name.0"},
        {"${}${tag_count}", "2"},
        {"${${tag_count}}", "}"}, // the name is "${tag_count": no such marker
        {"$ {tag_count}", "$ {tag_count}"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Expanded(c.line, station.Context()), c.expanded + "\r\n") << c.line;
}

TEST_F(WebTemplateTest, AnInvalidIndexFailsTheWholeTemplate) {
    station.SetTags(NumberedTags(2));
    EXPECT_EQ(Expanded("ok ${tag_count}\n${tag_value.one}\n", station.Context()),
              "error: 'one' is not a valid integer value");
}

TEST_F(WebTemplateTest, ConcurrentListingsAreEachWhole) {
    station.SetTags(NumberedTags(50));
    const std::string listing = "${tag_resetcount}\n${tag_name_next}\n${tag_gotonext}";
    const std::string whole = Expanded(listing, station.Context());
    ASSERT_EQ(Occurrences(whole, "\r\n"), 2u + 50);
    std::vector<std::thread> threads;
    std::atomic<int> mixed = 0;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i)
                mixed += Expanded(listing, station.Context()) != whole;
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(mixed.load(), 0);
}

} // namespace
} // namespace halvane
