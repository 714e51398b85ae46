#include "SimOptions.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cctype>
#include <charconv>
#include <functional>
#include <string_view>

namespace halvane::sim {

namespace {

// Speeds that the serial driver offers (libmodbus silently uses 9600 for any other).
constexpr std::array kBaudRates{110,   300,   600,   1200,   2400,   4800,  9600,
                                19200, 38400, 57600, 115200, 230400, 460800};

std::optional<int> ParseInt(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

std::string SetTcp(SimOptions& options, std::string_view value) {
    const size_t colon = value.rfind(':');
    const std::string host(value.substr(0, colon == std::string_view::npos ? 0 : colon));
    in_addr address{};
    const auto port = ParseInt(value.substr(colon + 1), 0, 65535);
    if (colon == std::string_view::npos || ::inet_pton(AF_INET, host.c_str(), &address) != 1 ||
        !port)
        return "--tcp needs an IPv4 address and a port, e.g. 127.0.0.1:1502";
    options.tcp = TcpEndpoint{host, *port};
    return {};
}

std::string SetUnits(SimOptions& options, std::string_view value) {
    std::vector<int> units;
    for (size_t start = 0; start <= value.size();) {
        const size_t comma = std::min(value.find(',', start), value.size());
        const auto unit = ParseInt(value.substr(start, comma - start), 1, 247);
        if (!unit)
            return "--units needs slave addresses from 1 to 247, separated by commas";
        units.push_back(*unit);
        start = comma + 1;
    }
    std::sort(units.begin(), units.end());
    if (std::adjacent_find(units.begin(), units.end()) != units.end())
        return "--units names a slave address twice";
    options.units = units;
    return {};
}

std::string SetBaud(SerialLine& line, std::string_view value) {
    const auto baud = ParseInt(value, 1, 4000000);
    if (!baud || std::find(kBaudRates.begin(), kBaudRates.end(), *baud) == kBaudRates.end())
        return "--baud must be one of 110, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, "
               "57600, 115200, 230400, 460800";
    line.baud = *baud;
    return {};
}

std::string SetParity(SerialLine& line, std::string_view value) {
    const char parity = value.size() == 1 ? static_cast<char>(std::toupper(value.front())) : 0;
    if (parity != 'N' && parity != 'E' && parity != 'O')
        return "--parity must be N, E or O";
    line.parity = parity;
    return {};
}

std::string SetRange(int& field, std::string_view value, int low, int high, const char* message) {
    const auto number = ParseInt(value, low, high);
    if (!number)
        return message;
    field = *number;
    return {};
}

struct ValueOption {
    std::string_view name;
    bool lineSetting; // only meaningful with --rtu
    std::function<std::string(SimOptions&, SerialLine&, std::string_view)> apply;
};

const std::array<ValueOption, 7> kValueOptions{{
    {"--tcp", false, [](SimOptions& o, SerialLine&, std::string_view v) { return SetTcp(o, v); }},
    {"--rtu", false,
     [](SimOptions&, SerialLine& l, std::string_view v) {
         l.device = v;
         return std::string(v.empty() ? "--rtu needs a serial device" : "");
     }},
    {"--units", false,
     [](SimOptions& o, SerialLine&, std::string_view v) { return SetUnits(o, v); }},
    {"--baud", true, [](SimOptions&, SerialLine& l, std::string_view v) { return SetBaud(l, v); }},
    {"--parity", true,
     [](SimOptions&, SerialLine& l, std::string_view v) { return SetParity(l, v); }},
    {"--data-bits", true,
     [](SimOptions&, SerialLine& l, std::string_view v) {
         return SetRange(l.dataBits, v, 5, 8, "--data-bits must be 5, 6, 7 or 8");
     }},
    {"--stop-bits", true,
     [](SimOptions&, SerialLine& l, std::string_view v) {
         return SetRange(l.stopBits, v, 1, 2, "--stop-bits must be 1 or 2");
     }},
}};

// The checks that need every argument.
std::string CheckWhole(const SimOptions& options, bool lineSettingGiven) {
    if (!options.tcp && !options.rtu)
        return "give --tcp ADDRESS:PORT, --rtu DEVICE or both";
    if (lineSettingGiven && !options.rtu)
        return "--baud, --parity, --data-bits and --stop-bits need --rtu";
    return {};
}

} // namespace

SimOptions ParseSimOptions(const std::vector<std::string>& arguments) {
    SimOptions options;
    SerialLine line;
    bool lineSettingGiven = false;
    for (size_t i = 0; i < arguments.size() && options.error.empty(); ++i) {
        const std::string_view argument = arguments[i];
        const size_t equals = argument.find('=');
        const std::string_view name = argument.substr(0, equals);
        if (argument == "--help" || argument == "-h") {
            options.help = true;
            continue;
        }
        if (argument == "--static") {
            options.moving = false;
            continue;
        }
        const auto option = std::find_if(kValueOptions.begin(), kValueOptions.end(),
                                         [&](const ValueOption& o) { return o.name == name; });
        if (option == kValueOptions.end()) {
            options.error = "unknown option " + std::string(argument);
        } else if (equals == std::string_view::npos && i + 1 >= arguments.size()) {
            options.error = std::string(name) + " needs a value";
        } else {
            const std::string_view value =
                equals == std::string_view::npos ? arguments[++i] : argument.substr(equals + 1);
            options.error = option->apply(options, line, value);
            lineSettingGiven = lineSettingGiven || option->lineSetting;
        }
    }
    if (!line.device.empty())
        options.rtu = line;
    if (options.error.empty() && !options.help)
        options.error = CheckWhole(options, lineSettingGiven);
    return options;
}

const char* SimUsage() {
    return R"(Usage: halvane-sim [--tcp ADDRESS:PORT] [--rtu DEVICE [--baud N] [--parity N|E|O]
                   [--data-bits N] [--stop-bits N]] [--units LIST] [--static]
       halvane-sim --help

A Modbus slave (libmodbus) that simulates a small water plant for the Halvane station.
Modbus TCP and Modbus RTU may run at once; they share the same units.

  --tcp ADDRESS:PORT  serve Modbus TCP, e.g. 127.0.0.1:1502 (port 0: any free port;
                      the start-up line names the one chosen)
  --rtu DEVICE        serve Modbus RTU on a serial line, e.g. /dev/ttyUSB0 or a pty
  --baud N            line speed (default 9600)
  --parity N|E|O      none, even or odd (default N)
  --data-bits N       5 to 8 (default 8)
  --stop-bits N       1 or 2 (default 1)
  --units LIST        slave addresses served, e.g. 1,2,3 (default 1). Over TCP a request
                      for another unit gets exception 0B; over RTU it gets no answer, and
                      broadcasts (address 0) are not answered either.
  --static            values do not move with time; only writes change them
  --help              show this text

Stops cleanly on SIGTERM or SIGINT. Exit status: 0 after a signal, 1 when a port cannot
be opened or fails, 2 for wrong arguments.

Register map of every unit u (zero-based request addresses; anything beyond the last
address of a table is answered with exception 02):

  Coils (1, 5, 15)        0    pump command: the pump runs while it is on
                          100-107  test pattern: coil 100+i = bit i of (0xA5 XOR u)
  Discrete inputs (2)     0    pump running    1  level >= 4500 mm    2  level <= 500 mm
                          100-107  test pattern: input 100+i = bit i of (0x5A XOR u)
  Holding registers (3, 6, 16)
                          0    pump speed setpoint, % (start 50; above 100 counts as 100)
                          100-115  test block (below)
  Input registers (4)     0    tank level, mm (0-5000; 1 l/s moves it 1 mm/s)
                          1    water temperature, 0.1 degC, signed
                          2    pump speed, %: the setpoint while the pump runs, else 0
                          3    inflow, 0.1 l/s (swells and ebbs between 10 and 70 l/s)
                          100-115  test block (below)

  The pump drains 1 l/s per % of speed: at 100 % the level falls while it runs.

  Test block (fixed; the same words in holding and input registers):
    100      byte          0xA500 + u: the low byte is u
    101      word          12000 + u
    102      signed word   -(1000 + u)
    103-104  double word   1000000 + u, high word first (AB CD)
    105-106  double word   1000000 + u, low word first (CD AB)
    107-108  float         100.25 + u, high word first (AB CD)
    109-110  float         100.25 + u, low word first (CD AB)
    111-114  double        1234567.890625 + u, most significant word first
    115      bits          0x3C00 + (0xA5 XOR u), e.g. 0x3CA4 for unit 1
)";
}

} // namespace halvane::sim
