#include "AlarmJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace halvane;
using namespace std::chrono;

namespace {

const AlarmTime kSince = AlarmTime(milliseconds(1'800'000'000'123));

QJsonDocument Parsed(const std::string& json) {
    QJsonParseError error{};
    QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
    return document;
}

// The instant a JSON time names; the epoch for anything else.
AlarmTime TimeOf(const QJsonValue& value) {
    const auto time = ParseJournalTime(value.toString().toStdString());
    return time ? time->at : AlarmTime();
}

AlarmInfo Row(size_t tagIndex, AlarmKind kind, AlarmListState state) {
    AlarmInfo row;
    row.tagIndex = tagIndex;
    row.kind = kind;
    row.state = state;
    row.priority = 2;
    row.since = kSince;
    row.value = 95.25;
    row.limit = 90;
    row.text = "High: 95.25 °C > 90 °C";
    return row;
}

} // namespace

TEST(AlarmJsonTest, EachRowCarriesItsTagStateAndTimes) {
    AlarmInfo acknowledged = Row(0, AlarmKind::High, AlarmListState::Acknowledged);
    acknowledged.acknowledgedBy = "anna";
    acknowledged.acknowledgedAt = kSince + seconds(5);
    AlarmInfo communication = Row(4, AlarmKind::Communication, AlarmListState::Returned);
    communication.limit = 10;
    AlarmInfo shelved = Row(1, AlarmKind::Low, AlarmListState::Shelved);
    shelved.shelvedUntil = kSince + hours(1);
    AlarmInfo tooMany;
    tooMany.kind = AlarmKind::TooMany;
    tooMany.priority = 1;
    tooMany.since = kSince;
    tooMany.text = "too many alarms";
    const std::vector<AlarmInfo> rows{tooMany, acknowledged, communication, shelved};

    // Names need escaping and stay UTF-8.
    const auto name = [](size_t index) {
        return "Tank \"" + std::to_string(index) + "\" Füllstand";
    };
    const QJsonArray list = Parsed(AlarmListJson(rows, name)).array();
    ASSERT_EQ(list.size(), 4);

    const QJsonObject first = list[0].toObject();
    EXPECT_TRUE(first["tag"].isNull());
    EXPECT_EQ(first["kind"], "too-many");
    EXPECT_EQ(first["text"], "too many alarms");
    EXPECT_TRUE(first["value"].isNull());

    const QJsonObject high = list[1].toObject();
    EXPECT_EQ(high["tag"], 1);
    EXPECT_EQ(high["name"], QString::fromUtf8("Tank \"0\" Füllstand"));
    EXPECT_EQ(high["kind"], "high");
    EXPECT_EQ(high["state"], "acknowledged");
    EXPECT_EQ(high["priority"], 2);
    EXPECT_EQ(high["value"], 95.25);
    EXPECT_EQ(high["limit"], 90);
    EXPECT_EQ(high["text"], QString::fromUtf8("High: 95.25 °C > 90 °C"));
    EXPECT_EQ(TimeOf(high["since"]), kSince);
    EXPECT_EQ(high["acknowledged_by"], "anna");
    EXPECT_EQ(TimeOf(high["acknowledged_at"]), kSince + seconds(5));
    EXPECT_FALSE(high.contains("shelved_until"));

    const QJsonObject comm = list[2].toObject();
    EXPECT_EQ(comm["tag"], 5);
    EXPECT_EQ(comm["kind"], "communication");
    EXPECT_EQ(comm["state"], "returned");
    EXPECT_TRUE(comm["value"].isNull());
    EXPECT_EQ(comm["acknowledged_by"], "");
    EXPECT_TRUE(comm["acknowledged_at"].isNull());

    const QJsonObject low = list[3].toObject();
    EXPECT_EQ(low["kind"], "low");
    EXPECT_EQ(low["state"], "shelved");
    EXPECT_EQ(TimeOf(low["shelved_until"]), kSince + hours(1));

    EXPECT_EQ(AlarmListJson({}, name), "[]");
}

TEST(AlarmJsonTest, JournalEventsKeepTheirFieldsAndLeaveAbsentOnesNull) {
    const JournalEvent write{kSince, "write",      7,  "Pump, \"main\"", std::nullopt,
                             1.5,    std::nullopt, "", "mqtt",           "line 1\nline 2"};
    const QJsonObject object = Parsed(JournalEventJson(write)).object();
    EXPECT_EQ(TimeOf(object["time"]), kSince);
    EXPECT_EQ(object["event"], "write");
    EXPECT_EQ(object["tag"], 7);
    EXPECT_EQ(object["name"], "Pump, \"main\"");
    EXPECT_TRUE(object["priority"].isNull());
    EXPECT_EQ(object["value"], 1.5);
    EXPECT_TRUE(object["limit"].isNull());
    EXPECT_EQ(object["user"], "");
    EXPECT_EQ(object["source"], "mqtt");
    EXPECT_EQ(object["text"], "line 1\nline 2");

    const JournalEvent started{kSince,       "started",    std::nullopt, "",        std::nullopt,
                               std::nullopt, std::nullopt, "",           "station", ""};
    const QJsonObject station = Parsed(JournalEventJson(started)).object();
    EXPECT_TRUE(station["tag"].isNull());
    EXPECT_TRUE(station["value"].isNull());
    EXPECT_EQ(station.size(), 10);
}
