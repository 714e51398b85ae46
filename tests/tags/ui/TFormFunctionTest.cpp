#include "TFormFunction.h"

#include "TFormCalibrate.h"
#include "TFormFunctionPoint.h"
#include "TFormFunctionWizard.h"
#include "TagWindowSupport.h"

#include <QChart>
#include <QChartView>
#include <QFocusEvent>
#include <QLabel>
#include <QLineSeries>
#include <QTableWidget>

namespace halvane {
namespace {

using test::Child;
using test::Click;
using test::ModalAnswers;
using test::SetText;
using test::Text;

class TFormFunctionTest : public ::testing::Test {
protected:
    TFormFunctionTest() { SetDecimalSeparator('.'); }
    ~TFormFunctionTest() override {
        MessageBox::SetNextAnswer(QMessageBox::Yes);
        m_editor.hide();
    }

    void Open(const TDataChannel& tag) {
        m_editor.Tag() = tag;
        m_editor.show();
    }
    // Queues the point dialog's answer: the two texts, then OK.
    void AnswerPoint(ModalAnswers& answers, QString x, QString y) {
        answers.Then<TFormFunctionPoint>([x, y](TFormFunctionPoint& point) {
            SetText(point, "EditX", x);
            SetText(point, "EditY", y);
            Click(point, "ButtonOK");
        });
    }
    void AddPoint(QString x, QString y) {
        ModalAnswers answers;
        AnswerPoint(answers, x, y);
        Click(m_editor, "ButtonAdd");
    }
    QTableWidget* Grid() { return Child<QTableWidget>(m_editor, "StringGridChart"); }
    QStringList Column(int column) {
        QStringList texts;
        for (int row = 0; row < Grid()->rowCount(); ++row)
            texts << Grid()->item(row, column)->text();
        return texts;
    }
    QString Line() { return Child<QLabel>(m_editor, "LabelLinear")->text(); }
    std::vector<qsizetype> SeriesSizes() {
        std::vector<qsizetype> sizes;
        for (QAbstractSeries* series : Child<QChartView>(m_editor, "Chart1")->chart()->series())
            sizes.push_back(static_cast<QLineSeries*>(series)->count());
        return sizes;
    }

    TFormFunction m_editor;
};

TEST_F(TFormFunctionTest, PointsAreSortedAndFitted) {
    TDataChannel tag;
    tag.Name = "Level";
    tag.RawValue = 1000;
    Open(tag);
    EXPECT_EQ(m_editor.windowTitle(), "Function for tag: Level");
    EXPECT_EQ(Grid()->horizontalHeaderItem(0)->text(), "Read");
    EXPECT_EQ(Grid()->horizontalHeaderItem(1)->text(), "Real");
    {
        ModalAnswers answers;
        answers.Then<TFormFunctionPoint>([](TFormFunctionPoint& point) {
            EXPECT_EQ(Text(point, "EditX"), "1000"); // the tag's last raw value
            EXPECT_EQ(Text(point, "EditY"), "0");
            SetText(point, "EditY", "50");
            Click(point, "ButtonOK");
        });
        Click(m_editor, "ButtonAdd");
    }
    EXPECT_EQ(Line(), "Y = (0.000000) * X + (0.000000)");
    EXPECT_EQ(SeriesSizes(), (std::vector<qsizetype>{0, 0, 0}));

    AddPoint("0", "0");
    AddPoint("500", "20");
    EXPECT_EQ(Column(0), (QStringList{"0", "500", "1000"}));
    EXPECT_EQ(Column(1), (QStringList{"0", "20", "50"}));
    EXPECT_EQ(Line(), "Y = (0.050000) * X + (-1.666667)");
    EXPECT_EQ(SeriesSizes(), (std::vector<qsizetype>{3, 2, 2}));
    EXPECT_TRUE(m_editor.Changed());
    EXPECT_EQ(m_editor.Tag().MaxX, 1000);
}

TEST_F(TFormFunctionTest, PointValuesAreCheckedAndXTruncated) {
    Open(TDataChannel{});
    AddPoint("12.7", "1.5");
    EXPECT_EQ(Column(0), QStringList{"12"});
    EXPECT_EQ(Column(1), QStringList{"1.5"});

    const struct {
        const char* x;
        const char* y;
        const char* message;
    } bad[] = {
        {"abc", "1", "Invalid read value format. Enter valid value."},
        {"1e12", "1", "Invalid read value format. Enter valid value."},
        {"5", "", "Invalid real value format. Enter valid value."},
    };
    for (const auto& c : bad) {
        AddPoint(c.x, c.y);
        EXPECT_EQ(MessageBox::LastCaption(), "Invalid number format") << c.x;
        EXPECT_EQ(MessageBox::LastText(), c.message) << c.x;
        EXPECT_EQ(m_editor.Tag().PointCount, 1) << c.x;
    }
}

TEST_F(TFormFunctionTest, EditAndDeleteTheSelectedPoint) {
    TDataChannel tag;
    tag.PointCount = 3;
    tag.PointX = {30, 10, 20};
    tag.PointY = {3, 1, 2};
    Open(tag);
    EXPECT_EQ(Column(0), (QStringList{"10", "20", "30"}));
    EXPECT_FALSE(m_editor.Changed());

    Grid()->selectRow(1);
    {
        ModalAnswers answers;
        answers.Then<TFormFunctionPoint>([](TFormFunctionPoint& point) {
            EXPECT_EQ(Text(point, "EditX"), "20");
            SetText(point, "EditX", "40");
            Click(point, "ButtonOK");
        });
        Click(m_editor, "ButtonEdit");
    }
    EXPECT_EQ(Column(0), (QStringList{"10", "30", "40"}));
    EXPECT_TRUE(m_editor.Changed());

    Grid()->selectRow(0);
    MessageBox::SetNextAnswer(QMessageBox::No);
    Click(m_editor, "ButtonDelete");
    EXPECT_EQ(MessageBox::LastText(), "Do you want to delete selected point?");
    EXPECT_EQ(Column(0), (QStringList{"10", "30", "40"}));
    Grid()->selectRow(0);
    MessageBox::SetNextAnswer(QMessageBox::Yes);
    Click(m_editor, "ButtonDelete");
    EXPECT_EQ(Column(0), (QStringList{"30", "40"}));
}

TEST_F(TFormFunctionTest, HundredPointsAreTheLimit) {
    TDataChannel tag;
    tag.PointCount = kMaxPoints;
    for (int i = 0; i < kMaxPoints; ++i)
        tag.PointX[static_cast<size_t>(i)] = i;
    Open(tag);
    ModalAnswers none;
    Click(m_editor, "ButtonAdd");
    EXPECT_EQ(MessageBox::LastCaption(), "Cannot add a new point");
    EXPECT_EQ(MessageBox::LastText(),
              "The maximum number of points for the math function has been exceeded.");
    EXPECT_EQ(m_editor.Tag().PointCount, kMaxPoints);
}

TEST_F(TFormFunctionTest, WizardReplacesThePointsByALine) {
    TDataChannel tag;
    tag.PointCount = 1;
    tag.Offset = 3;
    Open(tag);
    {
        ModalAnswers answers;
        answers.Then<TFormFunctionWizard>([](TFormFunctionWizard& wizard) {
            EXPECT_EQ(Text(wizard, "EditMultiplier"), "1");
            EXPECT_EQ(Text(wizard, "EditOffset"), "0");
            SetText(wizard, "EditMultiplier", "x");
            Click(wizard, "ButtonCreate");
        });
        Click(m_editor, "ButtonWizard");
    }
    EXPECT_EQ(MessageBox::LastCaption(), "Invalid format");
    EXPECT_EQ(MessageBox::LastText(), "Invalid value format. Enter valid values.");
    EXPECT_EQ(m_editor.Tag().PointCount, 1);
    EXPECT_FALSE(m_editor.Changed());

    ModalAnswers answers;
    answers.Then<TFormFunctionWizard>([](TFormFunctionWizard& wizard) {
        SetText(wizard, "EditMultiplier", "0.1");
        SetText(wizard, "EditOffset", "2");
        Click(wizard, "ButtonCreate");
    });
    Click(m_editor, "ButtonWizard");
    const TDataChannel& made = m_editor.Tag();
    ASSERT_EQ(made.PointCount, 2);
    EXPECT_EQ(made.PointX[0], -65536);
    EXPECT_EQ(made.PointY[0], 0.1 * -65536 + 2);
    EXPECT_EQ(made.PointX[1], 65535);
    EXPECT_EQ(made.PointY[1], 0.1 * 65535 + 2);
    EXPECT_EQ(made.Offset, 3);
    EXPECT_TRUE(m_editor.Changed());
}

TEST_F(TFormFunctionTest, CalibrationShiftsTheOffset) {
    TDataChannel tag;
    tag.RealValue = 20.5;
    tag.Offset = 1;
    Open(tag);
    const auto calibrate = [this](QString entry) {
        ModalAnswers answers;
        answers.Then<TFormCalibrate>([entry](TFormCalibrate& dialog) {
            EXPECT_EQ(Text(dialog, "Edit2"), "20.50");
            SetText(dialog, "Edit2", entry);
            Click(dialog, "ButtonOK");
        });
        Click(m_editor, "ButtonCalibrate");
    };
    calibrate("");
    EXPECT_EQ(MessageBox::LastCaption(), "No value");
    calibrate("abc");
    EXPECT_EQ(MessageBox::LastCaption(), "Invalid value");
    EXPECT_EQ(m_editor.Tag().Offset, 1);

    calibrate("21");
    EXPECT_DOUBLE_EQ(m_editor.Tag().Offset, 1.5);
    EXPECT_FALSE(m_editor.Changed());

    Click(m_editor, "ButtonResetOffset");
    EXPECT_EQ(m_editor.Tag().Offset, 0);
    EXPECT_FALSE(m_editor.Changed());
}

TEST_F(TFormFunctionTest, LeavingAWrongCalibrationEntryWarns) {
    TFormCalibrate dialog;
    dialog.show();
    SetText(dialog, "Edit2", "abc");
    MessageBox::Show(nullptr, QMessageBox::Information, "none", "");
    QFocusEvent toWindow(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(Child(dialog, "Edit2"), &toWindow);
    EXPECT_EQ(MessageBox::LastCaption(), "none");
    QFocusEvent byTab(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(Child(dialog, "Edit2"), &byTab);
    EXPECT_EQ(MessageBox::LastCaption(), "Invalid value");
    EXPECT_EQ(dialog.Measured(), std::nullopt);
    dialog.hide();
}

TEST_F(TFormFunctionTest, ClosingWithUnsavedPointsAsks) {
    Open(TDataChannel{});
    MessageBox::Show(nullptr, QMessageBox::Information, "none", "");
    Click(m_editor, "ButtonResetOffset");
    Click(m_editor, "ButtonCancel");
    EXPECT_EQ(MessageBox::LastCaption(), "none");
    EXPECT_FALSE(m_editor.isVisible());

    Open(TDataChannel{});
    AddPoint("1", "2");
    MessageBox::SetNextAnswer(QMessageBox::No);
    Click(m_editor, "ButtonCancel");
    EXPECT_EQ(MessageBox::LastCaption(), "Data not saved");
    EXPECT_EQ(MessageBox::LastText(),
              "Data not saved. Do you want to exit window without saving data?");
    EXPECT_TRUE(m_editor.isVisible());
    MessageBox::SetNextAnswer(QMessageBox::Yes);
    m_editor.close();
    EXPECT_FALSE(m_editor.isVisible());
    EXPECT_EQ(m_editor.result(), QDialog::Rejected);

    Open(TDataChannel{});
    AddPoint("1", "2");
    MessageBox::Show(nullptr, QMessageBox::Information, "none", "");
    Click(m_editor, "ButtonSave");
    EXPECT_EQ(MessageBox::LastCaption(), "none");
    EXPECT_EQ(m_editor.result(), QDialog::Accepted);
    EXPECT_FALSE(m_editor.Changed());
}

} // namespace
} // namespace halvane
