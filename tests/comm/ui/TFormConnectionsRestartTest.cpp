// Saving the Connections dialog restarts real connections: the dialog moves serial
// connection 1 between two buses (pty pairs), each with the libmodbus simulator serving one
// unit; and a port that cannot be opened and a host that does not resolve are reported.
#include "TFormConnections.h"

#include "ConnectionsHost.h"
#include "ConnectionsWindowSupport.h"
#include "MessageBox.h"
#include "PeerSupport.h"
#include "WidgetTestSupport.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>

namespace halvane {
namespace {

using test::BoxesShownBy;
using test::WaitUntil;

// The station's side over real connections, each polled by its own timer as the main
// window polls them.
class PollingHost final : public ConnectionsHost {
public:
    PollingHost(TagTable& tags, const ProfileStore& store) : m_connections(tags, store, nullptr) {
        for (int n = 1; n <= kConnectionCount; ++n)
            QObject::connect(&Timer(n), &QTimer::timeout, [this, n] { m_connections.PollNext(n); });
    }
    ~PollingHost() override { ShutdownConnections(); }

    void ShutdownConnections() override {
        for (QTimer& timer : m_timers)
            timer.stop();
        m_connections.Shutdown();
    }
    bool SetupConnections() override {
        const bool opened = m_connections.Setup([](const ConnectionProblem& problem) {
            MessageBox::Warning(nullptr, QString::fromStdString(problem.caption),
                                QString::fromStdString(problem.text));
        });
        for (int n = 1; n <= kConnectionCount; ++n)
            Timer(n).start(m_connections.PollIntervalMs(n));
        return opened;
    }
    void ShowConnectionStatus() override {}
    std::optional<bool> IsConnectionOpen(int connection) const override {
        return m_connections.IsConnected(connection);
    }

private:
    QTimer& Timer(int connection) { return m_timers[static_cast<size_t>(connection - 1)]; }

    Connections m_connections;
    std::array<QTimer, kConnectionCount> m_timers;
};

class TFormConnectionsRestartTest : public ::testing::Test, protected peers::Station {
protected:
    // A bus in `folder` with a simulator serving `unit`; the station's end is returned.
    std::string Bus(const std::string& folder, int unit) {
        std::filesystem::create_directories(m_dir / folder);
        auto& bus = m_buses.emplace_back(std::make_unique<peers::PtyPair>(m_dir / folder));
        m_simulators.push_back(std::make_unique<peers::Child>(std::vector<std::string>{
            HALVANE_SIM, "--rtu", bus->PeerEnd(), "--units", std::to_string(unit), "--static"}));
        return bus->StationEnd();
    }

    std::vector<std::unique_ptr<peers::PtyPair>> m_buses;
    std::vector<std::unique_ptr<peers::Child>> m_simulators;
};

TEST_F(TFormConnectionsRestartTest, AfterSavingTheTagsArePolledOnTheNewPort) {
    const std::string unit1Bus = Bus("a", 1);
    const std::string unit2Bus = Bus("b", 2);
    UseSerial(unit1Bus, 1, 2000); // Modbus RTU on COM7
    std::filesystem::create_symlink(unit2Bus, m_dir / "dev/COM8");
    m_store->WriteInteger("Serial.1", "interval", 200);
    m_tags.Assign({peers::Tag(1, 1, 3, 101), peers::Tag(1, 2, 3, 101)});
    PollingHost host(m_tags, *m_store);
    ASSERT_TRUE(host.SetupConnections());
    ASSERT_TRUE(WaitUntil([&] { return m_tags.Snapshot(0).ValueValid; }));
    EXPECT_DOUBLE_EQ(m_tags.Snapshot(0).RawValue, 12001);
    // Nobody answers unit 2 on this bus: the worker is now waiting up to 2 s for it.
    ASSERT_TRUE(WaitUntil([&] { return m_tags.Snapshot(1).PollingNow; }));

    TFormConnections form(*m_store, host);
    form.show();
    auto* port = test::Child<QComboBox>(form, "ComboBoxPort1");
    EXPECT_EQ(port->currentText().toStdString(), "COM7 (" + unit1Bus + ")");
    port->setCurrentIndex(7);
    EXPECT_EQ(port->currentText().toStdString(), "COM8 (" + unit2Bus + ")");
    QElapsedTimer saving;
    saving.start();
    EXPECT_EQ(BoxesShownBy([&] { test::Click(form, "ButtonSave"); }), std::vector<std::string>{});
    // The stop cuts the wait for the silent unit short: the window is not held for it.
    EXPECT_LT(saving.elapsed(), 1000);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(m_store->ReadInteger("Serial.1", "comport", 0), 8);

    ASSERT_TRUE(WaitUntil([&] { return m_tags.Snapshot(1).ValueValid; }))
        << m_tags.Snapshot(1).Status;
    EXPECT_DOUBLE_EQ(m_tags.Snapshot(1).RawValue, 12002);
    EXPECT_TRUE(WaitUntil([&] { return m_tags.Snapshot(0).Status == "Read: Timeout"; }))
        << m_tags.Snapshot(0).Status;
    EXPECT_FALSE(m_tags.Snapshot(0).ValueValid);
}

// The start's own reports come first, then the dialog's summary of the serial ports, and
// the dialog closes: the settings are saved whatever the start made of them.
TEST_F(TFormConnectionsRestartTest, StartFailuresAreShownInTurnAndTheDialogCloses) {
    std::filesystem::create_directories(m_dir / "dev");
    std::filesystem::create_symlink(m_dir / "absent", m_dir / "dev/COM9");
    PollingHost host(m_tags, *m_store);
    TFormConnections form(*m_store, host);
    form.show();
    test::Click(form, "CheckBox1");
    test::Child<QComboBox>(form, "ComboBoxPort1")->setCurrentIndex(8);
    test::Click(form, "CheckBox4");
    test::SetText(form, "EditHost", "no-such-host.invalid");
    EXPECT_EQ(BoxesShownBy([&] { test::Click(form, "ButtonSave"); }),
              (std::vector<std::string>{
                  "Error while opening serial port #1: Cannot open serial port COM9. Please make "
                  "sure if this serial port is available in your system and was not opened by "
                  "another application.",
                  "Error while connecting to the server: Cannot connect to the server "
                  "no-such-host.invalid. Please make sure if this server is up and running, your "
                  "connection details are correct, or a firewall does not block connection.",
                  "Cannot setup or open serial ports: Cannot properly configure or open one or "
                  "more of the enabled serial ports. Your communication may not work properly. "}));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(m_store->ReadString("Ethernet.1", "host", ""), "no-such-host.invalid");
    EXPECT_EQ(m_store->ReadInteger("Serial.1", "comport", 0), 9);
}

} // namespace
} // namespace halvane
