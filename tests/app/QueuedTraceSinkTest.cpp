#include "QueuedTraceSink.h"

#include <QCoreApplication>

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
    QueuedTraceSink sink;
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
        EXPECT_EQ(shown[i], QStringLiteral("1 TX: %1").arg(i));

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
    EXPECT_EQ(shown[0], QString::fromUtf8("2 RX: 80 \t (\xE2\x82\xAC)"));
}
