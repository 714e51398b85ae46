#include "QueuedTraceSink.h"

#include <QCoreApplication>
#include <QThread>
#include <QTime>

#include <gtest/gtest.h>

#include <thread>

using namespace halvane;

namespace {

// Runs `trace` on a worker thread, then lets the UI thread take what it sent.
void FromWorker(const std::function<void()>& trace) {
    std::thread worker(trace);
    worker.join();
}

} // namespace

TEST(QueuedTraceSink, LinesArriveInOrderOnlyWhileAccepted) {
    QueuedTraceSink sink(nullptr, [] { return QTime(13, 5, 9, 42); });
    QStringList shown;
    sink.SetTarget([&](const QString& line) { shown << line; });

    sink.SetAccepting(true);
    FromWorker([&] {
        for (int i = 0; i < 500; ++i)
            sink.Append("1 TX: " + std::to_string(i));
    });
    QCoreApplication::processEvents();
    ASSERT_EQ(shown.size(), 500);
    for (int i = 0; i < 500; ++i)
        EXPECT_EQ(shown[i], QStringLiteral("13:05:09.042 1 TX: %1").arg(i));

    // Traced, then the monitor was hidden before the UI took the line: dropped.
    shown.clear();
    FromWorker([&] { sink.Append("lost"); });
    sink.SetAccepting(false);
    QCoreApplication::processEvents();
    sink.SetAccepting(true);
    QCoreApplication::processEvents();
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_TRUE(sink.Accepting());

    // Frame bytes of 128 and above are characters of the Windows code page.
    FromWorker([&] { sink.Append("2 RX: 80 \t (\x80)"); });
    QCoreApplication::processEvents();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0], QString::fromUtf8("13:05:09.042 2 RX: 80 \t (\xE2\x82\xAC)"));
}

// Each line is led by the time of day it was traced at, to the millisecond: the time the
// worker traced it, not the time the UI thread took it.
TEST(QueuedTraceSink, LinesShowTheTimeTheyWereTracedAt) {
    QueuedTraceSink sink;
    QStringList shown;
    sink.SetTarget([&](const QString& line) { shown << line; });
    sink.SetAccepting(true);
    const QTime before = QTime::currentTime();
    FromWorker([&] { sink.Append("4 TX: 00"); });
    const QTime after = QTime::currentTime();
    QThread::msleep(50);
    QCoreApplication::processEvents();
    ASSERT_EQ(shown.size(), 1);
    const QTime tracedAt = QTime::fromString(shown[0].left(12), "HH:mm:ss.zzz");
    ASSERT_TRUE(tracedAt.isValid()) << shown[0].toStdString();
    EXPECT_GE(tracedAt, before);
    EXPECT_LE(tracedAt, after);
    EXPECT_EQ(shown[0].mid(12), " 4 TX: 00");
}
