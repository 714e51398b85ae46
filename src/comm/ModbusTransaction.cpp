#include "ModbusTransaction.h"

#include "ModbusFrame.h"
#include "ModbusReply.h"
#include "NetworkLink.h"
#include "ProfileStore.h"
#include "TComPort.h"
#include "TDataChannel.h"
#include "TraceLine.h"
#include "TraceSink.h"
#include "ValueConversion.h"
#include "WriteValue.h"

#include <array>
#include <chrono>
#include <utility>
#include <variant>

namespace halvane {

namespace {

using Clock = std::chrono::steady_clock;

// The bytes of one reply as they arrived, in a fixed buffer.
struct Reception {
    std::array<uint8_t, kMaxReceiveLength> bytes{};
    size_t length = 0;
    bool ioError = false;

    std::span<const uint8_t> View() const { return {bytes.data(), length}; }
    void Drop(size_t count) {
        std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(count),
                  bytes.begin() + static_cast<std::ptrdiff_t>(length), bytes.begin());
        length -= count;
    }
};

void Trace(const TransactionContext& context, TraceDirection direction,
           std::span<const uint8_t> bytes) {
    if (bytes.empty() || !context.trace || !context.trace->Accepting())
        return;
    context.trace->Append(TraceLine(context.connection, direction, bytes));
}

uint16_t NextTransactionId(const TransactionContext& context) {
    if (!context.random)
        return 0;
    // Two independent bytes, each 0..254.
    const auto high = static_cast<uint16_t>((*context.random)() % 255);
    const auto low = static_cast<uint16_t>((*context.random)() % 255);
    return static_cast<uint16_t>(high << 8 | low);
}

// The longest reply of one tag's read: four registers.
constexpr size_t kLongestTagReply = 3 + 2 * size_t{kMaxRegisterCount};

// Reads until the reply is complete as far as its first bytes tell (a short exception
// reply included) or the read timeout passes. A serial line delivers whole replies only:
// an incomplete one counts as nothing received. A block's reply, which may take longer on
// a slow line than the whole timeout, gets the line time of the request and of itself on
// top.
Reception ReceiveSerial(TComPort& port, const FramedRequest& sent, size_t requestLength) {
    Reception r;
    const auto onTheLine = BareReplyLength(sent.request) > kLongestTagReply
                               ? port.LineTime(requestLength + ExpectedReplyLength(sent))
                               : std::chrono::microseconds{};
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(port.ReadTimeoutMs()) + onTheLine;
    while (r.length < ReplyFrameLength(sent, r.View())) {
        const size_t need = ReplyFrameLength(sent, r.View()) - r.length;
        const int n = port.ReadSome({r.bytes.data() + r.length, need}, deadline);
        if (n < 0) {
            r.ioError = true;
            return r;
        }
        if (n == 0) {
            r.length = 0;
            return r;
        }
        r.length += static_cast<size_t>(n);
    }
    return r;
}

// Assembles the reply from as many receives as it takes, until its length or the
// deadline. Replies to earlier requests (another transaction identifier) are traced and
// dropped.
Reception ReceiveNetwork(NetworkLink& link, const FramedRequest& sent,
                         const TransactionContext& context) {
    Reception r;
    const auto deadline = Clock::now() + std::chrono::milliseconds(link.IoTimeoutMs());
    for (;;) {
        const size_t frame = ReplyFrameLength(sent, r.View());
        if (r.length >= frame) {
            if (!std::holds_alternative<StaleReply>(CheckReply(sent, r.View(), true)))
                return r;
            Trace(context, TraceDirection::Rx, r.View().first(frame));
            r.Drop(frame);
            continue;
        }
        const auto got = link.ReceiveSome({r.bytes.data() + r.length, frame - r.length}, deadline);
        if (got.status == NetworkLink::ReceiveStatus::Error) {
            r.ioError = true;
            return r;
        }
        if (got.status == NetworkLink::ReceiveStatus::Timeout)
            return r;
        r.length += got.count;
    }
}

// The tag's request; a write encodes the tag's value first.
ModbusRequest BuildRequest(TDataChannel& tag, ModbusFunction function) {
    if (function == ModbusFunction::WriteMultipleRegisters) {
        const RegisterBytes registers = PrepareRegistersWrite(tag);
        return ModbusRequest::MakeWriteRegisters(
            tag.ModuleAddr, tag.RegisterAddr, std::span(registers.bytes).first(registers.length));
    }
    uint16_t writeValue = 0;
    if (IsWriteFunction(function)) {
        PrepareWrite(tag);
        writeValue = WriteRequestValue(tag);
    }
    return ModbusRequest::Make(function, tag.ModuleAddr, tag.RegisterAddr, tag.ByteLength,
                               writeValue);
}

ExchangeOutcome Failed(std::string status, std::optional<uint8_t> exceptionCode = std::nullopt) {
    ExchangeOutcome outcome;
    outcome.failure = std::move(status);
    outcome.exceptionCode = exceptionCode;
    return outcome;
}

} // namespace

ExchangeOutcome Exchange(const ModbusRequest& request, const TransactionContext& context) {
    const bool ignoreChecksum =
        context.config && context.config->ReadBool("General", "IgnoreCRC", false);
    const FramedRequest sent{context.protocol, request,
                             context.protocol == ModbusProtocol::Tcp ? NextTransactionId(context)
                                                                     : uint16_t{0}};
    const RequestFrame frame = BuildFrame(sent);

    Reception reply;
    if (context.protocol == ModbusProtocol::Tcp) {
        NetworkLink* link = context.link;
        if (link && link->IsConnected()) {
            if (!link->Send(frame.View()))
                return Failed("Write: I/O error");
            Trace(context, TraceDirection::Tx, frame.View());
            reply = ReceiveNetwork(*link, sent, context);
        }
    } else {
        TComPort* port = context.port;
        if (!port || !port->IsOpen())
            return Failed("Disconnected");
        if (!port->Purge(true, true) || port->Write(frame.View()) < 0)
            return Failed("Write: I/O error");
        Trace(context, TraceDirection::Tx, frame.View());
        reply = ReceiveSerial(*port, sent, frame.length);
    }
    if (reply.ioError)
        return Failed("Read: I/O error");
    Trace(context, TraceDirection::Rx, reply.View());

    const ReplyDataResult result = CheckReplyData(sent, reply.View(), ignoreChecksum);
    if (const auto* failure = std::get_if<ReplyFailure>(&result)) {
        const bool exception = failure->fault == ReplyFault::Exception;
        return Failed(FailureText(*failure),
                      exception ? std::optional(failure->exceptionCode) : std::nullopt);
    }
    if (std::holds_alternative<StaleReply>(result))
        return Failed(FailureText({ReplyFault::Timeout}));
    ExchangeOutcome passed;
    passed.data = std::get<ReplyData>(result);
    return passed;
}

void DoTransaction(TDataChannel& tag, const TransactionContext& context) {
    const auto function = FunctionFromIndex(tag.Function);
    if (!function) {
        tag.SetTagError("Write: Not supported Modbus function");
        return;
    }
    const ModbusRequest request = BuildRequest(tag, *function);
    const ExchangeOutcome outcome = Exchange(request, context);
    if (!outcome.data)
        tag.SetTagError(outcome.failure);
    else if (!IsWriteFunction(*function))
        StoreReading(tag, SliceValues(*function, outcome.data->View(), 0, request.Quantity()),
                     context.config);
}

} // namespace halvane
