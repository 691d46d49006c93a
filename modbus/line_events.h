// What the master sees and decides on the line, for whoever wants to watch:
// a traffic view, a readings log, a verbose command line.
//
// The master fires one event per thing that happens, synchronously, in the
// order it happens.  While nobody listens nothing is built or stored.  A
// listener only watches: it must not destroy the master or start requests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace orn {

enum class LineEventKind : uint8_t {
    Sent,          // the request frame, as written to the port
    Received,      // bytes as one read of the port delivered them
    EchoRemoved,   // the adapter's copy of the request, taken off the front
    Skipped,       // bytes that cannot begin the answer (stray bytes, noise, a cut-off frame)
    Foreign,       // a whole frame from another slave or for another function, dropped
    Late,          // a whole frame that answers an earlier request, dropped
    Outcome,       // the transaction's end or a refusal: code 0 an answer, else the ErrorCode
};

struct LineEvent {
    LineEventKind kind;
    uint32_t ms = 0;                  // the scheduler's clock
    const uint8_t* data = nullptr;    // the bytes concerned; valid during the call only
    size_t size = 0;
    uint8_t code = 0;                 // Outcome: 0 for an answer, else the error code
    uint8_t slave = 0;                // the request's SlaveId and FunctionCode
    uint8_t function = 0;
};

using LineListener = std::function<void(const LineEvent&)>;

} // namespace orn
