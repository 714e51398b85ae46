#include "TFormAlarms.h"

#include "AlarmWindowSupport.h"
#include "MessageBox.h"
#include "TFormShelve.h"
#include "WidgetTestSupport.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace halvane {
namespace {

using test::Child;
using test::ModalAnswers;
using test::WaitUntil;

constexpr QRgb kP1Red = 0xFFD32F2F;

// Clicks the round indicator, which takes the click wherever the button is laid out.
void ClickRadio(QRadioButton* radio) {
    QStyleOptionButton option;
    option.initFrom(radio);
    const QRect indicator =
        radio->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, radio);
    QTest::mouseClick(radio, Qt::LeftButton, {}, indicator.center());
}

class TFormAlarmsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_form.resize(1100, 300);
        m_form.show();
    }

    QTableView* Grid() { return Child<QTableView>(m_form, "StringGridAlarms"); }
    int Rows() { return Grid()->model()->rowCount(); }
    QString Cell(int row, AlarmListColumn column) {
        return Grid()->model()->index(row, static_cast<int>(column)).data().toString();
    }
    // The row of tag `index`'s alarm; -1 when it is not listed.
    int RowOfTag(size_t index) {
        for (int row = 0; row < Rows(); ++row)
            if (Cell(row, AlarmListColumn::Tag) == QString::number(index + 1))
                return row;
        return -1;
    }
    QRect CellRect(int row, AlarmListColumn column) {
        const QModelIndex cell = Grid()->model()->index(row, static_cast<int>(column));
        Grid()->scrollTo(cell);
        return Grid()->visualRect(cell);
    }
    void ClickRow(int row, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, modifiers,
                          CellRect(row, AlarmListColumn::Name).center());
    }
    void ClickButton(const char* name) {
        QTest::mouseClick(Child<QAbstractButton>(m_form, name), Qt::LeftButton);
    }
    // The colour painted at the right end of a cell, clear of its text.
    QRgb PaintedBehind(int row, AlarmListColumn column) {
        const QRect rect = CellRect(row, column);
        const QImage picture = Grid()->viewport()->grab().toImage();
        return picture.pixel(rect.right() - 3, rect.center().y());
    }
    bool WaitForTagListed(size_t index) {
        return WaitUntil([&] { return RowOfTag(index) >= 0; }, 5000);
    }

    test::AlarmStation m_station{
        {test::LevelTag("Tank level", 1), test::LevelTag("Flow"), test::LevelTag("Pressure", 2)}};
    test::RecordingHost m_host;
    TFormAlarms m_form{m_station.Service(), m_host};
};

TEST_F(TFormAlarmsTest, RaisedAlarmBlinksUntilAcknowledgedByClicks) {
    ModalAnswers none;
    EXPECT_EQ(Rows(), 0);
    m_station.Read(0, 95.2);
    ASSERT_TRUE(WaitForTagListed(0));
    EXPECT_EQ(Cell(0, AlarmListColumn::Priority), "P1");
    EXPECT_EQ(Cell(0, AlarmListColumn::Name), "Tank level");
    EXPECT_EQ(Cell(0, AlarmListColumn::Condition), "High: 95.2 % > 90 %");
    EXPECT_EQ(Cell(0, AlarmListColumn::State), "Unacknowledged");

    // The whole row takes the priority's red every other half second.
    EXPECT_TRUE(WaitUntil([&] { return PaintedBehind(0, AlarmListColumn::Name) == kP1Red; }, 2000));
    EXPECT_TRUE(WaitUntil([&] { return PaintedBehind(0, AlarmListColumn::Name) != kP1Red; }, 2000));

    ClickRow(0);
    ClickButton("ButtonAcknowledge");
    EXPECT_EQ(Cell(0, AlarmListColumn::State), "Acknowledged");
    // Nobody is logged in: a dash and the time.
    EXPECT_TRUE(
        Cell(0, AlarmListColumn::AcknowledgedBy)
            .startsWith(QString::fromUtf8("\u2014 ") + QDate::currentDate().toString("yyyy-MM-dd")))
        << Cell(0, AlarmListColumn::AcknowledgedBy).toStdString();
    EXPECT_NE(m_station.JournalText().find(",acknowledged,1,Tank level,1,95.2,90,,station,"),
              std::string::npos)
        << m_station.JournalText();

    // Acknowledged: no more blinking, the priority cell keeps its colour.
    Grid()->clearSelection();
    QElapsedTimer watched;
    watched.start();
    while (watched.elapsed() < 1200) {
        EXPECT_NE(PaintedBehind(0, AlarmListColumn::Name), kP1Red);
        QTest::qWait(100);
    }
    EXPECT_EQ(PaintedBehind(0, AlarmListColumn::Priority), kP1Red);
}

// The host decides who acts: refused, no alarm changes; allowed, its user is named.
TEST_F(TFormAlarmsTest, AcknowledgeAndShelveActOnlyForAUserTheHostAllows) {
    ModalAnswers none;
    m_station.Read(0, 95.2);
    ASSERT_TRUE(WaitForTagListed(0));
    ClickRow(0);
    m_host.actor.reset();
    for (const char* button : {"ButtonAcknowledge", "ButtonAcknowledgeAll", "ButtonShelve"})
        ClickButton(button);
    EXPECT_EQ(Cell(0, AlarmListColumn::State), "Unacknowledged");

    m_host.actor = AlarmActor{"Ann", "station"};
    ClickButton("ButtonAcknowledge");
    EXPECT_TRUE(Cell(0, AlarmListColumn::AcknowledgedBy).startsWith("Ann "))
        << Cell(0, AlarmListColumn::AcknowledgedBy).toStdString();
    EXPECT_NE(m_station.JournalText().find(",acknowledged,1,Tank level,1,95.2,90,Ann,station,"),
              std::string::npos)
        << m_station.JournalText();
}

TEST_F(TFormAlarmsTest, SelectionSurvivesARefreshAndDoubleClickAsksForTheTagsScreen) {
    ModalAnswers none;
    m_station.Read(1, 95);
    m_station.Read(2, 5);
    ASSERT_TRUE(WaitUntil([&] { return Rows() == 2; }, 5000));
    ClickRow(RowOfTag(1));
    ClickRow(RowOfTag(2), Qt::ControlModifier);

    m_station.Read(0, 99); // priority 1: listed first, moving the others down
    ASSERT_TRUE(WaitForTagListed(0));
    std::vector<QString> selected;
    for (const QModelIndex& row : Grid()->selectionModel()->selectedRows())
        selected.push_back(Cell(row.row(), AlarmListColumn::Name));
    std::ranges::sort(selected);
    EXPECT_EQ(selected, (std::vector<QString>{"Flow", "Pressure"}));

    const QPoint pressure = CellRect(RowOfTag(2), AlarmListColumn::Time).center();
    QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, pressure);
    QTest::mouseDClick(Grid()->viewport(), Qt::LeftButton, {}, pressure);
    EXPECT_EQ(m_host.screensShown, std::vector<size_t>{2});
    ClickButton("ButtonJournal");
    EXPECT_EQ(m_host.journalsShown, 1);
}

TEST_F(TFormAlarmsTest, ShelvedWithTheDialogHidesUntilShownOrUnshelved) {
    m_station.Read(1, 96);
    ASSERT_TRUE(WaitForTagListed(1));
    ClickRow(RowOfTag(1));
    const QDateTime before = QDateTime::currentDateTime();
    {
        ModalAnswers answers;
        answers.Then<TFormShelve>([](TFormShelve& dialog) {
            ClickRadio(Child<QRadioButton>(dialog, "RadioButton15Minutes"));
            auto* ok = Child<QPushButton>(dialog, "ButtonOK");
            QTest::mouseClick(ok, Qt::LeftButton);
            EXPECT_TRUE(dialog.isVisible()) << "shelved without a reason";
            QTest::keyClicks(Child<QLineEdit>(dialog, "EditReason"), "Sensor, being replaced");
            QTest::mouseClick(ok, Qt::LeftButton);
        });
        ClickButton("ButtonShelve");
    }
    const QDateTime after = QDateTime::currentDateTime();
    EXPECT_EQ(RowOfTag(1), -1);
    EXPECT_NE(m_station.JournalText().find(",shelved,2,Flow,3,96,90,,station,\"Sensor, being "
                                           "replaced\""),
              std::string::npos)
        << m_station.JournalText();

    QTest::mouseClick(Child<QCheckBox>(m_form, "CheckBoxShowShelved"), Qt::LeftButton);
    ASSERT_GE(RowOfTag(1), 0);
    const QString state = Cell(RowOfTag(1), AlarmListColumn::State);
    const auto shelvedUntil = [](const QDateTime& at) {
        return "Shelved until " + at.addSecs(15 * 60).toString("HH:mm");
    };
    EXPECT_TRUE(state == shelvedUntil(before) || state == shelvedUntil(after))
        << state.toStdString() << " " << shelvedUntil(before).toStdString();

    ClickRow(RowOfTag(1));
    ClickButton("ButtonUnshelve");
    ASSERT_GE(RowOfTag(1), 0);
    EXPECT_EQ(Cell(RowOfTag(1), AlarmListColumn::State), "Unacknowledged");
}

TEST_F(TFormAlarmsTest, ShelveDialogRefusesATimePassedAndKeepsTheReasonShort) {
    const AlarmTime now = std::chrono::system_clock::now();
    TFormShelve dialog(nullptr, now);
    dialog.show();
    ClickRadio(Child<QRadioButton>(dialog, "RadioButtonUntil"));
    auto* until = Child<QDateTimeEdit>(dialog, "DateTimeEditUntil");
    until->setDateTime(QDateTime::currentDateTime().addSecs(-120));
    QTest::keyClicks(Child<QLineEdit>(dialog, "EditReason"), QString(250, u'x'));
    QTest::mouseClick(Child<QPushButton>(dialog, "ButtonOK"), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(MessageBox::LastText(), "The time to shelve until has passed.");

    until->setDateTime(QDateTime::currentDateTime().addDays(1));
    QTest::mouseClick(Child<QPushButton>(dialog, "ButtonOK"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Reason(), std::string(200, 'x'));
    EXPECT_GT(dialog.Until(), now + std::chrono::hours(23));

    // The field's own latest date lies beyond the alarms' clock: it stops at the latest end.
    until->setDateTime(QDateTime(QDate(9999, 12, 31), QTime(23, 59)));
    EXPECT_EQ(dialog.Until(), kLatestShelveEnd);
}

TEST_F(TFormAlarmsTest, AFloodOfChangesRepaintsAtMostFourTimesASecond) {
    ModalAnswers none;
    int resets = 0;
    QObject::connect(Grid()->model(), &QAbstractItemModel::modelReset, [&] { ++resets; });
    QElapsedTimer flood;
    flood.start();
    int readings = 0;
    for (; flood.elapsed() < 1000; ++readings) {
        m_station.Read(1, readings % 2 == 0 ? 95 : 50); // raised, returned, raised, ...
        QApplication::processEvents();
    }
    QTest::qWait(300);
    ASSERT_GE(readings, 20);
    EXPECT_GE(resets, 2);
    EXPECT_LE(resets, flood.elapsed() / TFormAlarms::kRefreshInterval + 1)
        << readings << " readings in " << flood.elapsed() << " ms";
    EXPECT_GE(RowOfTag(1), 0);
}

} // namespace
} // namespace halvane
