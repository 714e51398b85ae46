#include "TFormTrends.h"

#include "AxisTicks.h"
#include "CLog.h"
#include "DataRoot.h"
#include "HistoryLines.h"
#include "HistoryTestSupport.h"
#include "NumberFormat.h"
#include "ProfileStore.h"
#include "TagTable.h"
#include "TempDir.h"
#include "WidgetTestSupport.h"

#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QTest>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>

namespace halvane {
namespace {

using test::Child;
using test::ModalAnswers;

const QDate kDay(2026, 12, 10);

double LevelAt(int minute) {
    return 2 + std::sin(minute / 10.0);
}

// Level[m] and Flow[l/s] recorded every minute from 08:00 to 09:59 with the station's own
// line format, nothing between 09:00 and 09:10; Pump[] never recorded.
class TFormTrendsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDataRoot(m_root.Path().string());
        SetDecimalSeparator('.');
        m_tags.Assign({Tag("Level", "m"), Tag("Flow", "l/s"), Tag("Pump", "")});
        std::vector<TDataChannel> tags = m_tags.SnapshotAll();
        tags.pop_back();
        std::string text = BuildHistoryHeader(tags, ',') + "\r\n";
        for (int minute = 0; minute < 120; ++minute) {
            if (minute > 60 && minute < 70)
                continue;
            tags[0].RealValue = LevelAt(minute);
            tags[1].RealValue = minute * 10;
            text += BuildHistoryLine(Time(minute), tags, ',') + "\r\n";
        }
        WriteText(HistoryFile(kDay), text);
        m_form.resize(1000, 620);
    }

    static QDateTime Time(int minute) {
        return QDateTime(kDay, QTime(8 + minute / 60, minute % 60));
    }

    QListWidget* List() { return Child<QListWidget>(m_form, "ListTags"); }
    QChart* Chart() { return Child<QChartView>(m_form, "ChartViewTrends")->chart(); }
    // The points of every line of the tag captioned `name`, one list per unbroken run.
    std::vector<QList<QPointF>> Lines(const QString& name) {
        std::vector<QList<QPointF>> lines;
        for (QAbstractSeries* series : Chart()->series())
            if (series->name() == name)
                lines.push_back(qobject_cast<QLineSeries*>(series)->points());
        return lines;
    }
    void Choose(int row) {
        List()->setCurrentRow(row);
        QTest::keyClick(List(), Qt::Key_Space);
    }
    void SetBetween(const QDateTime& from, const QDateTime& to) {
        Child<QComboBox>(m_form, "ComboBoxRange")->setCurrentIndex(3);
        for (const auto& [name, at] :
             {std::pair{"DateTimeFrom", from}, std::pair{"DateTimeTo", to}}) {
            auto* edit = Child<QDateTimeEdit>(m_form, name);
            edit->setDateTime(at);
            QTest::keyClick(edit, Qt::Key_Enter);
        }
    }
    QPoint PlotCentre() {
        auto* view = Child<QChartView>(m_form, "ChartViewTrends");
        return view->mapFromScene(Chart()->mapToScene(Chart()->plotArea().center()));
    }
    std::pair<QDateTime, QDateTime> TimeAxisRange() {
        auto* axis = qobject_cast<QDateTimeAxis*>(Chart()->axes(Qt::Horizontal).value(0));
        return {axis->min(), axis->max()};
    }

    TempDir m_root;
    ProfileStore m_store{m_root / "cfg" / "config.cfg"};
    TagTable m_tags;
    QDateTime m_now{kDay, QTime(10, 0)};
    TFormTrends m_form{m_tags, m_store, nullptr, [this] { return m_now; }};
};

TEST_F(TFormTrendsTest, TagsChosenAndRangeSetShowTheFilesPointsBrokenWhereNothingWasRecorded) {
    ModalAnswers none;
    m_form.Open();
    ASSERT_EQ(List()->count(), 3);
    EXPECT_EQ(List()->item(1)->text(), "2: Flow [l/s]");
    QTest::keyClicks(Child<QLineEdit>(m_form, "EditSearch"), "LEV");
    EXPECT_FALSE(List()->item(0)->isHidden());
    EXPECT_TRUE(List()->item(1)->isHidden());
    Choose(0);
    Child<QLineEdit>(m_form, "EditSearch")->clear();
    Choose(2);
    SetBetween(Time(30), Time(89));

    const auto level = Lines("1: Level [m]");
    ASSERT_EQ(level.size(), 2u);
    std::vector<int> minutes;
    for (const auto& line : level)
        for (const QPointF& point : line) {
            const QDateTime at = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(point.x()));
            const int minute = (at.time().hour() - 8) * 60 + at.time().minute();
            minutes.push_back(minute);
            EXPECT_EQ(FormatGeneral(point.y()), FormatGeneral(LevelAt(minute))) << minute;
        }
    std::vector<int> expected;
    for (int minute = 30; minute <= 89; ++minute)
        if (minute <= 60 || minute >= 70)
            expected.push_back(minute);
    EXPECT_EQ(minutes, expected);
    EXPECT_EQ(level[0].size(), 31);
    EXPECT_EQ(Lines("3: Pump").size(), 1u); // in the legend, without points
    EXPECT_TRUE(Lines("3: Pump")[0].isEmpty());

    QStringList units;
    for (QAbstractAxis* axis : Chart()->axes(Qt::Vertical))
        units << axis->titleText();
    units.sort();
    EXPECT_EQ(units, (QStringList{"", "m"}));
    EXPECT_EQ(TimeAxisRange(), std::pair(Time(30), Time(89)));
    EXPECT_EQ(Child<QLabel>(m_form, "LabelStatus")->text(), "51 line(s) from 1 day file(s)");

    SetBetween(QDateTime(kDay.addDays(-3), QTime(0, 0)), QDateTime(kDay.addDays(-1), QTime(0, 0)));
    EXPECT_EQ(Child<QLabel>(m_form, "LabelStatus")->text(), "No history in this range.");
}

TEST_F(TFormTrendsTest, TheMouseShowsValuesZoomsAndPans) {
    ModalAnswers none;
    m_form.Open();
    Choose(0);
    Choose(1);
    SetBetween(Time(0), Time(119));
    auto* view = Child<QChartView>(m_form, "ChartViewTrends");
    const QPoint centre = PlotCentre();

    QTest::mouseMove(view->viewport(), centre);
    // The time under the mouse and the values of the line nearest to it.
    const QString cursor = Child<QLabel>(m_form, "LabelCursor")->text();
    const QDateTime shownAt = QDateTime::fromString(cursor.left(19), "yyyy-MM-dd HH:mm:ss");
    ASSERT_TRUE(shownAt.isValid()) << cursor.toStdString();
    EXPECT_LT(std::abs(shownAt.secsTo(Time(0).addSecs(119 * 30))), 120) << cursor.toStdString();
    int minute = static_cast<int>(std::lround(Time(0).secsTo(shownAt) / 60.0));
    if (minute > 60 && minute < 70)
        minute = minute < 65 ? 60 : 70;
    // Each value in its tag's format ("%0.2f").
    EXPECT_TRUE(cursor.endsWith(QString("   Level: %1 m   Flow: %2.00 l/s")
                                    .arg(QString::fromStdString(FormatFixed(LevelAt(minute), 2)))
                                    .arg(minute * 10)))
        << cursor.toStdString();

    QWheelEvent wheel(centre, view->viewport()->mapToGlobal(centre), QPoint(), QPoint(0, 240),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    const auto [zoomedFrom, zoomedTo] = TimeAxisRange();
    EXPECT_GT(zoomedFrom, Time(0));
    EXPECT_LT(zoomedTo, Time(119));
    EXPECT_NEAR(zoomedFrom.secsTo(zoomedTo), 0.64 * 119 * 60, 60);
    // The zoomed range is read again, at the chart's width.
    EXPECT_EQ(Child<QComboBox>(m_form, "ComboBoxRange")->currentText(), "From/To");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return !m_form.Shown().times.empty() &&
                   m_form.Shown().times.front() >= ToLocalMsecs(zoomedFrom) - 1000;
        },
        5000));
    const auto [readFrom, readTo] = TimeAxisRange();

    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseMove(view->viewport(), centre + QPoint(100, 0));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, centre + QPoint(100, 0));
    const auto [pannedFrom, pannedTo] = TimeAxisRange();
    EXPECT_LT(pannedFrom, readFrom); // dragged to the right: earlier times come in
    EXPECT_NEAR(pannedFrom.secsTo(pannedTo), readFrom.secsTo(readTo), 1);
}

TEST_F(TFormTrendsTest, ExportsTheShownDataAsCsvAndTheChartAsPng) {
    m_form.Open();
    Choose(1);
    SetBetween(Time(0), Time(2));
    const auto csv = m_root / "out.csv";
    const auto png = m_root / "out.png";
    {
        ModalAnswers answers;
        for (const auto& path : {csv, png})
            answers.Then<QFileDialog>([path](QFileDialog& dialog) {
                EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
                dialog.selectFile(QString::fromStdString(path.string()));
                static_cast<QDialog&>(dialog).accept();
            });
        test::Click(m_form, "ButtonExportCsv");
        test::Click(m_form, "ButtonExportPng");
    }
    EXPECT_EQ(ReadText(csv), "Timestamp,Flow[l/s]\r\n"
                             "2026-12-10T08:00:00,0\r\n"
                             "2026-12-10T08:01:00,10\r\n"
                             "2026-12-10T08:02:00,20\r\n");
    EXPECT_TRUE(ReadText(png).starts_with("\x89PNG"));
}

TEST_F(TFormTrendsTest, LiveFollowsTheClockAndNewLines) {
    ModalAnswers none;
    m_form.ShowTag(1);
    EXPECT_EQ(List()->item(1)->checkState(), Qt::Checked);
    EXPECT_EQ(Child<QComboBox>(m_form, "ComboBoxRange")->currentText(), "Last hour");
    EXPECT_EQ(Lines("2: Flow [l/s]").back().back().y(), 1190);

    std::vector<TDataChannel> tags = m_tags.SnapshotAll();
    tags.pop_back();
    tags[1].RealValue = 1200;
    std::ofstream(HistoryFile(kDay), std::ios::app)
        << BuildHistoryLine(Time(120), tags, ',') << "\r\n";
    m_now = m_now.addSecs(60);
    Child<QCheckBox>(m_form, "CheckBoxLive")->click();
    EXPECT_TRUE(Child<QTimer>(m_form, "TimerLive")->isActive());
    EXPECT_EQ(Lines("2: Flow [l/s]").back().back().y(), 1200);
    EXPECT_EQ(TimeAxisRange().second, m_now);
}

// The value axes tick at round numbers (1, 2 or 5 times a power of ten), not at fifths of
// the values' range; Close and Escape close the window.
TEST_F(TFormTrendsTest, ValueAxesTickAtRoundNumbersAndTheWindowClosesWithCloseOrEscape) {
    ModalAnswers none;
    m_form.Open();
    Choose(0);
    Choose(1);
    const auto isRound = [](double step) {
        const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
        return std::ranges::any_of(std::array{1.0, 2.0, 5.0, 10.0},
                                   [&](double m) { return std::abs(mantissa - m) < 1e-9; });
    };
    const QList<QAbstractAxis*> axes = Chart()->axes(Qt::Vertical);
    ASSERT_EQ(axes.size(), 2);
    for (QAbstractAxis* axis : axes) {
        const auto* values = qobject_cast<QValueAxis*>(axis);
        const double step = (values->max() - values->min()) / (values->tickCount() - 1);
        EXPECT_TRUE(isRound(step)) << step;
        EXPECT_NEAR(std::remainder(values->min(), step), 0, step * 1e-9) << values->min();
    }

    test::Click(m_form, "ButtonClose");
    EXPECT_FALSE(m_form.isVisible());
    m_form.Open();
    QTest::keyClick(List(), Qt::Key_Escape);
    EXPECT_FALSE(m_form.isVisible());
}

TEST(AxisTicks, RoundTicksHoldTheValues) {
    struct Case {
        double low, high;
        AxisTicks ticks;
    };
    const Case cases[] = {
        {12.3, 18.7, {12, 20, 2, 5, 0}},
        {0, 1, {0, 1, 0.2, 6, 1}},
        {-3.7, 41, {-10, 50, 10, 7, 0}},
        {0.3, 0.7, {0.3, 0.7, 0.1, 5, 1}},               // ends on ticks: no step added
        {101.25, 101.27, {101.25, 101.27, 0.005, 5, 3}}, // a float register's fraction
        {42, 42, {41, 43, 0.5, 5, 1}},                   // one value: the unit around it
        {INFINITY, -INFINITY, {0, 1, 0.2, 6, 1}},        // nothing to show
        {NAN, 1, {0, 1, 0.2, 6, 1}},
    };
    for (const Case& c : cases) {
        const AxisTicks ticks = RoundAxisTicks(c.low, c.high);
        EXPECT_NEAR(ticks.first, c.ticks.first, 1e-9) << c.low << " " << c.high;
        EXPECT_NEAR(ticks.last, c.ticks.last, 1e-9) << c.low << " " << c.high;
        EXPECT_NEAR(ticks.step, c.ticks.step, 1e-12) << c.low << " " << c.high;
        EXPECT_EQ(ticks.count, c.ticks.count) << c.low << " " << c.high;
        EXPECT_EQ(ticks.decimals, c.ticks.decimals) << c.low << " " << c.high;
    }
}

} // namespace
} // namespace halvane
