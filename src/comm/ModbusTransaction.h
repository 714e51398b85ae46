#pragma once

#include "ModbusRequest.h"
#include "ReplyValues.h"

#include <cstdint>
#include <optional>
#include <random>
#include <string>

namespace halvane {

class NetworkLink;
class ProfileStore;
class TComPort;
class TraceSink;
struct TDataChannel;

// What one transaction works with: the worker's connection and its transport.
struct TransactionContext {
    int connection = 0; // 1..4, shown in trace lines
    ModbusProtocol protocol = ModbusProtocol::Rtu;
    TComPort* port = nullptr;    // serial connections
    NetworkLink* link = nullptr; // the network connection
    const ProfileStore* config = nullptr;
    TraceSink* trace = nullptr;
    std::minstd_rand* random = nullptr; // transaction identifiers
};

// What one request came to: the data of a reply that passed every check, or the status
// text of the failure (with the code of an exception reply).
struct ExchangeOutcome {
    std::optional<ReplyData> data;
    std::string failure;
    std::optional<uint8_t> exceptionCode;
};

// Sends `request` over the context's transport, traces both frames and checks the reply.
ExchangeOutcome Exchange(const ModbusRequest& request, const TransactionContext& context);

// One Modbus request and its reply for `tag`; the outcome is in the tag: a decoded
// reading, a prepared write, or the status text of the failure.
void DoTransaction(TDataChannel& tag, const TransactionContext& context);

} // namespace halvane
