#include "TFormJournal.h"

#include "EventJournal.h"
#include "TempDir.h"
#include "WidgetTestSupport.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace halvane {
namespace {

using std::chrono::hours;
using std::chrono::system_clock;
using test::Child;
using test::ModalAnswers;

// Noon of today's date, `days` away.
system_clock::time_point Noon(int days) {
    const QDateTime noon(QDate::currentDate().addDays(days), QTime(12, 0));
    return system_clock::time_point(std::chrono::milliseconds(noon.toMSecsSinceEpoch()));
}

const std::vector<JournalEvent> kToday = {
    {Noon(0), "raised", 3, "Tank level", 2, 95.2, 90, "", "station", "High: 95.2 % > 90 %"},
    {Noon(0) + hours(1), "write", 13, "Pump, \"main\"", {}, 1, {}, "", "mqtt", ""},
    {Noon(0) + hours(2), "acknowledged", 3, "Tank level", 2, 95.2, 90, "", "web", ""},
    {Noon(0) + hours(3), "link-down", {}, "", {}, {}, {}, "", "station", "Port 4: Timeout"},
};
const JournalEvent kYesterday = {Noon(-1), "raised", 13, "Pump, \"main\"", 1,
                                 7,        10,       "", "station",        "Low: 7 bar < 10 bar"};

class TFormJournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        EventJournal journal(m_dir / "events", {});
        ASSERT_TRUE(journal.Append(kYesterday, false));
        for (const JournalEvent& event : kToday)
            ASSERT_TRUE(journal.Append(event, false));
    }

    static std::vector<std::string> Names(const TFormJournal& form) {
        std::vector<std::string> names;
        for (size_t shown : form.Model().Shown())
            names.push_back(form.Model().Events()[shown].event);
        return names;
    }
    static QString Status(const TFormJournal& form) {
        return Child<QLabel>(form, "LabelStatus")->text();
    }

    TempDir m_dir;
};

TEST_F(TFormJournalTest, TodayByDefaultThenFilteredByTextTagAndEvent) {
    ModalAnswers none;
    TFormJournal form(m_dir / "events");
    form.Open();
    EXPECT_EQ(Names(form),
              (std::vector<std::string>{"raised", "write", "acknowledged", "link-down"}));
    auto* table = Child<QTableView>(form, "TableJournal");
    EXPECT_EQ(table->model()->index(1, 3).data().toString(), "Pump, \"main\"");
    EXPECT_EQ(table->model()->headerData(9, Qt::Horizontal).toString(), "Text");

    auto* from = Child<QDateEdit>(form, "DateEditFrom");
    from->setDate(QDate::currentDate().addDays(-1));
    QTest::mouseClick(Child<QWidget>(form, "ButtonRefresh"), Qt::LeftButton);
    EXPECT_EQ(form.Model().Events().size(), 5u);
    EXPECT_EQ(Status(form), "5 of 5 events shown");

    QTest::keyClicks(Child<QLineEdit>(form, "EditFilter"), "PUMP");
    EXPECT_EQ(Names(form), (std::vector<std::string>{"raised", "write"}));
    Child<QLineEdit>(form, "EditFilter")->clear();

    auto* tag = Child<QSpinBox>(form, "SpinBoxTag");
    for (int step = 0; step < 3; ++step)
        QTest::keyClick(tag, Qt::Key_Up);
    EXPECT_EQ(Names(form), (std::vector<std::string>{"raised", "acknowledged"}));

    auto* event = Child<QComboBox>(form, "ComboBoxEvent");
    event->setCurrentIndex(event->findText("acknowledged"));
    EXPECT_EQ(Names(form), std::vector<std::string>{"acknowledged"});
    EXPECT_EQ(Status(form), "1 of 5 events shown");
}

TEST_F(TFormJournalTest, ExportWritesTheShownLinesUnderTheHeader) {
    TFormJournal form(m_dir / "events");
    form.Open();
    QTest::keyClicks(Child<QLineEdit>(form, "EditFilter"), "station");
    const auto path = m_dir / "out.csv";
    {
        ModalAnswers answers;
        answers.Then<QFileDialog>([path](QFileDialog& dialog) {
            EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
            dialog.selectFile(QString::fromStdString(path.string()));
            static_cast<QDialog&>(dialog).accept();
        });
        QTest::mouseClick(Child<QWidget>(form, "ButtonExport"), Qt::LeftButton);
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), std::string(kJournalHeader) + "\r\n" + JournalLine(kToday[0]) +
                              JournalLine(kToday[3]));
}

TEST_F(TFormJournalTest, ReadingStopsAtItsCapAndSaysSo) {
    TFormJournal form(m_dir / "events", nullptr, 3);
    form.Open();
    EXPECT_EQ(form.Model().Events().size(), 3u);
    EXPECT_EQ(Status(form),
              "3 of 3 events shown; reading stopped after 3 events: choose fewer days");
}

} // namespace
} // namespace halvane
