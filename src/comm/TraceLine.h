#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace halvane {

enum class TraceDirection : uint8_t { Tx, Rx };

// One line of the communication monitor for a frame: "<connection> TX: ", each byte as
// "%02X ", a tab, " (", each byte as its character or "." below 32, ")". Those characters
// are the frame's bytes themselves: 8-bit text that the monitor shows in the Windows-1252
// code page.
std::string TraceLine(int connection, TraceDirection direction, std::span<const uint8_t> bytes);

} // namespace halvane
