#pragma once

#include "AlarmStation.h"
#include "PeerSupport.h"
#include "StationSupport.h"
#include "TempDir.h"
#include "WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace halvane::test {

// A station whose tank level is holding register 0 of unit 1 of the libmodbus simulator,
// which an independent Modbus client (pymodbus) moves. The test writes the project into
// m_root; the simulator starts in SetUp.
class TankOnSimulator : public ::testing::Test {
protected:
    void SetUp() override {
        m_sim = std::make_unique<peers::Child>(std::vector<std::string>{
            HALVANE_SIM, "--tcp", "127.0.0.1:" + std::to_string(m_simPort), "--static"});
        SetRegister(50); // also waits until the simulator answers
    }

    // The independent client writes holding register 0 of unit 1.
    void SetRegister(int value) const {
        ASSERT_EQ(peers::RunPymodbus(m_simPort, "assert not c.write_register(0, " +
                                                    std::to_string(value) + ", slave=1).isError()"),
                  0);
    }

    // Starts the station on the data root and waits for its first reading of the level.
    std::unique_ptr<TFormMain> Start() const {
        auto form = StartStation(m_root);
        if (form) {
            EXPECT_TRUE(WaitUntil([&] { return form->Tags().Snapshot(0).ValueValid; }));
        }
        return form;
    }

    // Moves the register and waits until the station has polled and judged the new value.
    void Set(TFormMain& form, int value) const {
        SetRegister(value);
        EXPECT_TRUE(WaitUntil([&] {
            const TDataChannel tag = form.Tags().Snapshot(0);
            return tag.ValueValid && tag.RealValue == value;
        }));
        form.Alarms()->Service().Flush();
    }

    const int m_simPort = peers::FreePort();
    TempDir m_root;
    std::unique_ptr<peers::Child> m_sim;
};

} // namespace halvane::test
