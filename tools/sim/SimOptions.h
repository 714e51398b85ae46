#pragma once

#include <optional>
#include <string>
#include <vector>

namespace halvane::sim {

struct TcpEndpoint {
    std::string host; // IPv4 address; 0.0.0.0 listens on every interface
    int port = 0;     // 0: a free port chosen by the system
};

struct SerialLine {
    std::string device;
    int baud = 9600;
    char parity = 'N'; // 'N', 'E' or 'O'
    int dataBits = 8;
    int stopBits = 1;
};

struct SimOptions {
    std::optional<TcpEndpoint> tcp;
    std::optional<SerialLine> rtu;
    std::vector<int> units{1}; // ascending, no duplicates
    bool moving = true;        // false with --static
    bool help = false;
    std::string error; // not empty: the arguments could not be used
};

// The program's arguments, without the program name.
SimOptions ParseSimOptions(const std::vector<std::string>& arguments);

// The --help text, with the register map.
const char* SimUsage();

} // namespace halvane::sim
