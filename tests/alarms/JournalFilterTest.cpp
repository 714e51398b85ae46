#include "JournalFilter.h"

#include <gtest/gtest.h>

using namespace halvane;

namespace {

const std::chrono::system_clock::time_point kAt{std::chrono::seconds(1'800'000'000)};

const std::vector<JournalEvent> kEvents = {
    {kAt, "raised", 3, "Tank level", 2, 95.2, 90, "", "station", "High: 95.20 °C > 90 °C"},
    {kAt, "acknowledged", 3, "Tank level", 2, 95.2, 90, "Anna", "web", ""},
    {kAt, "write", 13, "Pump, \"main\"", {}, 1, {}, "", "mqtt", ""},
    {kAt, "link-down", {}, "", {}, {}, {}, "", "station", "Port 4: Timeout"},
    {kAt, "raised", 31, "Ölpumpe", 1, 7.5, 10, "", "station", "Low: 7.5 bar < 10 bar"},
};

std::vector<size_t> Shown(JournalCriteria criteria) {
    return JournalFilter(kEvents, criteria);
}

} // namespace

TEST(JournalFilterTest, FieldsAreTheFileFieldsUnquoted) {
    EXPECT_EQ(JournalFields(kEvents[2]),
              (std::vector<std::string>{JournalTimeText(kAt), "write", "13", "Pump, \"main\"", "",
                                        "1", "", "", "mqtt", ""}));
}

TEST(JournalFilterTest, CriteriaTogether) {
    struct Case {
        JournalCriteria criteria;
        std::vector<size_t> shown;
    };
    const Case cases[] = {
        {{}, {0, 1, 2, 3, 4}},        {{"", 3, ""}, {0, 1}}, // tag 3, not 13 or 31
        {{"", {}, "raised"}, {0, 4}},                        // not "link-down" nor "acknowledged"
        {{"", 3, "raised"}, {0}},                            //
        {{"ANNA", {}, ""}, {1}},                             // the user, ignoring case
        {{"timeout", {}, ""}, {3}},                          // the text
        {{"\"main\"", {}, ""}, {2}},  // the name as written, not its quoted form
        {{"ölpumpe", {}, ""}, {4}},   // case of letters beyond ASCII
        {{"95.2", {}, ""}, {0, 1}},   // the value field and the condition
        {{"mqtt", 13, "write"}, {2}}, //
        {{"web", {}, "raised"}, {}},  //
    };
    for (const Case& c : cases)
        EXPECT_EQ(Shown(c.criteria), c.shown)
            << "'" << c.criteria.text << "' " << c.criteria.tag.value_or(0) << " "
            << c.criteria.event;
}
