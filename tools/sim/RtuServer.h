#pragma once

#include "Handles.h"
#include "PlantModel.h"
#include "SimOptions.h"
#include "SimServer.h"

#include <cstdint>
#include <span>
#include <vector>

namespace halvane::sim {

// Modbus RTU on one serial line, answering for every unit of the model.
//
// A libmodbus RTU context answers one slave address only, and takes a request for
// another address as the start of a bus conversation whose next frame it skips. So the
// line is read here: a frame ends after 3.5 character times of silence, as Modbus RTU
// defines it. A frame for one of our units is handed, alone, to a second context through
// a socket pair, with that context's slave address set to the frame's; libmodbus then
// checks the frame (length, CRC) and builds the reply, which goes back onto the line.
// Frames for other addresses, and broadcasts, get no answer.
class RtuServer final : public SimServer {
public:
    // Opens and configures the line at once; throws std::runtime_error naming the device
    // when it cannot.
    RtuServer(const SerialLine& line, PlantModel& model);

    void Run(std::stop_token stop) override;
    std::string Description() const override;

private:
    std::vector<std::uint8_t> ReadFrame();
    void Answer(std::span<const std::uint8_t> frame);
    [[noreturn]] void LineFailed(const char* operation) const;
    int LineFd() const;

    PlantModel& m_model;
    SerialLine m_settings;
    int m_gapMs;                // silence that ends a frame
    ConnectedContextPtr m_line; // opens, configures and at the end closes the serial line
    UniqueFd m_feed;            // our end of the socket pair
    UniqueFd m_framerEnd;       // the end that m_framer reads and writes
    ContextPtr m_framer;
};

} // namespace halvane::sim
