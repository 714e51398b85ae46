#include "AlarmListRows.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace halvane;

namespace {

AlarmTime LocalAt(int day, int hour, int minute, int second = 0) {
    const QDateTime at(QDate(2026, 12, day), QTime(hour, minute, second));
    return AlarmTime(std::chrono::milliseconds(at.toMSecsSinceEpoch()));
}

AlarmInfo HighAlarm(AlarmListState state) {
    AlarmInfo alarm;
    alarm.tagIndex = 4;
    alarm.kind = AlarmKind::High;
    alarm.state = state;
    alarm.priority = 2;
    alarm.since = LocalAt(10, 20, 5, 1);
    alarm.text = "High: 95.20 °C > 90 °C";
    return alarm;
}

std::string Cell(const AlarmRowCells& cells, AlarmListColumn column) {
    return cells[static_cast<size_t>(column)];
}

// WCAG relative luminance of 0xRRGGBB.
double Luminance(uint32_t rgb) {
    double sum = 0;
    const double weights[] = {0.2126, 0.7152, 0.0722};
    for (int channel = 0; channel < 3; ++channel) {
        const double c = ((rgb >> (16 - 8 * channel)) & 0xFF) / 255.0;
        sum += weights[channel] * (c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return sum;
}

double Contrast(uint32_t a, uint32_t b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

TEST(AlarmListRowsTest, RowShowsTheAlarmInTheColumnsOrder) {
    ASSERT_EQ(AlarmListHeaders().size(), static_cast<size_t>(kAlarmListColumnCount));
    EXPECT_EQ(AlarmListHeaders()[static_cast<size_t>(AlarmListColumn::AcknowledgedBy)],
              "Acknowledged by");
    AlarmInfo alarm = HighAlarm(AlarmListState::Acknowledged);
    alarm.acknowledgedBy = "anna";
    alarm.acknowledgedAt = LocalAt(10, 20, 6, 30);
    const AlarmRowCells cells = AlarmRowTexts(alarm, "Tank level", LocalAt(10, 21, 0));
    EXPECT_EQ(cells, (AlarmRowCells{"2026-12-10 20:05:01", "P2", "5", "Tank level",
                                    "High: 95.20 °C > 90 °C", "Acknowledged",
                                    "anna 2026-12-10 20:06:30"}));
}

TEST(AlarmListRowsTest, StateAndAcknowledgementTexts) {
    const AlarmTime now = LocalAt(10, 21, 0);
    struct Case {
        AlarmListState state;
        std::optional<AlarmTime> shelvedUntil;
        std::optional<AlarmTime> acknowledgedAt;
        std::string stateText;
        std::string acknowledgedText;
    };
    const Case cases[] = {
        {AlarmListState::Unacknowledged, {}, {}, "Unacknowledged", ""},
        {AlarmListState::Returned, {}, {}, "Returned", ""},
        // Acknowledged while nobody was logged in.
        {AlarmListState::Acknowledged,
         {},
         LocalAt(10, 20, 7),
         "Acknowledged",
         "\u2014 2026-12-10 20:07:00"},
        {AlarmListState::Shelved, LocalAt(10, 22, 15), {}, "Shelved until 22:15", ""},
        {AlarmListState::Shelved, LocalAt(11, 4, 0), {}, "Shelved until 2026-12-11 04:00", ""},
    };
    for (const Case& c : cases) {
        AlarmInfo alarm = HighAlarm(c.state);
        alarm.shelvedUntil = c.shelvedUntil;
        alarm.acknowledgedAt = c.acknowledgedAt;
        const AlarmRowCells cells = AlarmRowTexts(alarm, "Tank level", now);
        EXPECT_EQ(Cell(cells, AlarmListColumn::State), c.stateText);
        EXPECT_EQ(Cell(cells, AlarmListColumn::AcknowledgedBy), c.acknowledgedText) << c.stateText;
    }
}

TEST(AlarmListRowsTest, TooManyEntryNamesNoTag) {
    AlarmInfo entry = HighAlarm(AlarmListState::Unacknowledged);
    entry.kind = AlarmKind::TooMany;
    entry.tagIndex = kNoTag;
    entry.text = "too many alarms";
    const AlarmRowCells cells = AlarmRowTexts(entry, "", LocalAt(10, 21, 0));
    EXPECT_EQ(Cell(cells, AlarmListColumn::Tag), "");
    EXPECT_EQ(Cell(cells, AlarmListColumn::Condition), "too many alarms");
}

TEST(AlarmListRowsTest, PriorityColoursAreDistinctAndTheirTextReadable) {
    std::set<uint32_t> backgrounds;
    for (int priority = 1; priority <= 4; ++priority) {
        const PriorityColours colours = ColoursOfPriority(priority);
        backgrounds.insert(colours.background);
        EXPECT_GE(Contrast(colours.background, colours.text), 4.5) << PriorityText(priority);
    }
    EXPECT_EQ(backgrounds.size(), 4u);
    EXPECT_EQ(ColoursOfPriority(1).background, 0xD32F2Fu);
    EXPECT_EQ(ColoursOfPriority(9).background, ColoursOfPriority(3).background);
}
