// The single-instance protocol between a station and later starts, in one process: the
// later starts claim on threads of their own while the test serves the station's socket.
#include "SingleInstance.h"
#include "TempDir.h"

#include <QApplication>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <optional>
#include <thread>

using namespace halvane;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// A later start's claim, running on its own thread.
class LaterStart final {
public:
    LaterStart(SingleInstance& instance, std::chrono::milliseconds wait)
        : m_result(m_promise.get_future()), m_thread(QThread::create([this, &instance, wait] {
              m_promise.set_value(instance.ClaimOrRaise(wait));
          })) {
        m_thread->start();
    }
    ~LaterStart() { m_thread->wait(); }

    // Serves the station's socket until the claim ends or `limit` passes; the claim if it
    // ended.
    std::optional<SingleInstance::Claim> Serve(std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        while (m_result.wait_for(0ms) != std::future_status::ready) {
            if (Clock::now() >= end)
                return std::nullopt;
            QApplication::processEvents();
            std::this_thread::sleep_for(5ms);
        }
        return m_result.get();
    }

private:
    std::promise<SingleInstance::Claim> m_promise;
    std::future<SingleInstance::Claim> m_result;
    std::unique_ptr<QThread> m_thread;
};

} // namespace

TEST(SingleInstance, LaterStartsRaiseTheStationOrWaitWhileItCloses) {
    TempDir root;
    const QString dataRoot = QString::fromStdString(root.Path().string());
    auto station = std::make_unique<SingleInstance>(dataRoot);
    ASSERT_EQ(station->ClaimOrRaise(0ms), SingleInstance::Claim::Acquired);
    int raised = 0;
    ASSERT_TRUE(station->Listen([&raised] { ++raised; }));
    QWidget window;
    station->WatchForClose(window);

    SingleInstance later(dataRoot);
    EXPECT_EQ(LaterStart(later, 5s).Serve(5s), SingleInstance::Claim::Raised);
    EXPECT_EQ(raised, 1);

    // Closing: the station answers but is not raised, and the start waits for its end.
    window.close();
    LaterStart waiting(later, 5s);
    EXPECT_EQ(waiting.Serve(500ms), std::nullopt);
    EXPECT_EQ(raised, 1);
    station.reset();
    EXPECT_EQ(waiting.Serve(5s), SingleInstance::Claim::Acquired);

    // `later` now holds the lock and answers nobody: a start gives up after its wait.
    SingleInstance last(dataRoot);
    const auto begin = Clock::now();
    EXPECT_EQ(last.ClaimOrRaise(300ms), SingleInstance::Claim::StillRunning);
    EXPECT_GE(Clock::now() - begin, 300ms);
}
