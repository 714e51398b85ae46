#include "TFormCommSpy.h"
#include "QueuedTraceSink.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTime>

#include <gtest/gtest.h>

#include <string>
#include <thread>

using namespace halvane;

namespace {

class TFormCommSpyTest : public ::testing::Test {
protected:
    // Traces `line` on a worker thread as a connection does, then lets the UI thread run.
    void Trace(const std::string& line) {
        std::thread worker([&] {
            if (m_sink.Accepting())
                m_sink.Append(line);
        });
        worker.join();
        QCoreApplication::processEvents();
    }

    QStringList Lines() const {
        const QString text = m_spy.Memo()->toPlainText();
        return text.isEmpty() ? QStringList() : text.split('\n');
    }

    QueuedTraceSink m_sink{nullptr, [] { return QTime(8, 15, 0, 250); }};
    TFormCommSpy m_spy{m_sink};
};

TEST_F(TFormCommSpyTest, WindowAsCreated) {
    EXPECT_EQ(m_spy.windowTitle(), "Communication monitor");
    EXPECT_EQ(m_spy.windowType(), Qt::Tool);
    EXPECT_TRUE(m_spy.Memo()->isReadOnly());
    EXPECT_EQ(m_spy.Memo()->font().family(), "Courier New");
    EXPECT_EQ(m_spy.Memo()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(m_spy.Memo()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(m_spy.Memo()->maximumBlockCount(), 0) << "never trimmed";
    EXPECT_EQ(m_spy.TracingEnabled()->text(), "Tracing enabled");
    EXPECT_TRUE(m_spy.TracingEnabled()->isChecked());
    EXPECT_EQ(m_spy.ButtonClear()->text(), "Clear");
    EXPECT_EQ(m_spy.ButtonClose()->text(), "&Close");
    EXPECT_FALSE(m_sink.Accepting()) << "hidden at creation";
}

TEST_F(TFormCommSpyTest, LinesArriveInOrderOnlyWhileShownAndEnabled) {
    Trace("hidden");
    m_spy.show();
    EXPECT_TRUE(m_sink.Accepting());
    Trace("1 TX: 01 03 00 00 00 01 84 0A \t (......\x84.)");
    Trace("1 RX: 01");
    m_spy.TracingEnabled()->setChecked(false);
    EXPECT_FALSE(m_sink.Accepting());
    Trace("disabled");
    m_spy.TracingEnabled()->setChecked(true);
    Trace("2 TX: 3A");
    EXPECT_EQ(
        Lines(),
        (QStringList{QString::fromUtf8("08:15:00.250 1 TX: 01 03 00 00 00 01 84 0A \t (......„.)"),
                     "08:15:00.250 1 RX: 01", "08:15:00.250 2 TX: 3A"}));
}

// Traced while wanted, but the window went before the line reached the UI thread.
TEST_F(TFormCommSpyTest, LinesTracedBeforeHidingOrDisablingAreNotAddedLater) {
    m_spy.show();
    for (const bool hide : {true, false}) {
        m_sink.Append("in flight");
        if (hide)
            m_spy.hide();
        else
            m_spy.TracingEnabled()->setChecked(false);
        QCoreApplication::processEvents();
        m_spy.show();
        m_spy.TracingEnabled()->setChecked(true);
        QCoreApplication::processEvents();
        EXPECT_TRUE(Lines().isEmpty()) << "hidden " << hide;
    }
    m_spy.TracingEnabled()->setChecked(false);
    m_spy.hide();
    m_spy.show();
    EXPECT_FALSE(m_sink.Accepting()) << "showing does not re-enable tracing";
}

TEST_F(TFormCommSpyTest, ClearEmptiesAndCloseHidesKeepingTheText) {
    m_spy.show();
    Trace("first");
    m_spy.ButtonClear()->click();
    EXPECT_TRUE(Lines().isEmpty());
    Trace("second");
    m_spy.ButtonClose()->click();
    EXPECT_FALSE(m_spy.isVisible());
    EXPECT_FALSE(m_sink.Accepting());
    m_spy.show();
    EXPECT_EQ(Lines(), QStringList{"08:15:00.250 second"});
}

} // namespace
