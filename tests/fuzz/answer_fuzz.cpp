// Fuzz target: the answer check, the receive path and the master's cycle on
// arbitrary bytes.
//
// Input: Quantity (2 bytes), RegisterDim, a byte of piece size (low four
// bits) and flags (0x10 a write instead of a read, 0x20 the port is known to
// echo, 0x40 a read of slave 2 timed out before), then the bytes that
// arrive on the line.  They are checked as one answer, scanned from the
// front as the master scans them, then fed to a master in pieces across
// polls: whatever arrives, the transaction ends exactly once, every byte is
// accounted for at most once, and nothing is read from outside the bytes.
#include "fake_line.h"
#include "frames.h"
#include "fuzz_check.h"
#include "modbusm.h"

#include <cstdio>
#include <cstdlib>

using namespace orn;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const uint16_t quantity = uint16_t(data[0] | data[1] << 8);
    const uint8_t dim = data[2];
    const size_t piece = size_t(data[3] % 16) + 1;
    const uint8_t function = data[3] & 0x10 ? 6 : 3;
    const bool echoes = data[3] & 0x20;
    const bool earlier = data[3] & 0x40;
    const TDataByte rx(data + 4, data + size);

    TDataByte response{0xAA};
    const uint8_t code = CheckAnswer(rx, quantity, dim, response);
    FUZZ_ASSERT(code <= mbMemoryError || code == mbCommError);
    if (code == mbNoError) {
        FUZZ_ASSERT(rx.size() >= 5);
        FUZZ_ASSERT(response.size() <= rx.size() - 5 || response.size() == 2);
        FUZZ_ASSERT(AnnouncedLength(rx.data(), rx.size(), dim) == rx.size());
    } else {
        FUZZ_ASSERT(response.size() == 1 && response[0] == 0xAA);
    }

    // The scan from the front, as a last look: every step takes bytes from
    // what is there, an answer is the request's and whole, and it ends.
    RxContext c;
    c.open = true;
    c.request.SlaveId = 1;
    c.request.FunctionCode = function;
    c.request.Quantity = quantity;
    c.request.RegisterDim = dim;
    c.hasEarlier = earlier;
    c.earlier.SlaveId = 2;
    c.earlier.FunctionCode = 3;
    c.final = true;
    for (size_t at = 0; at < rx.size();) {
        const RxStep s = ScanReceived(rx.data() + at, rx.size() - at, c);
        FUZZ_ASSERT(s.verdict != RxVerdict::Wait && s.size >= 1 && s.size <= rx.size() - at);
        if (s.verdict == RxVerdict::Answer) {
            FUZZ_ASSERT(rx[at] == 1 && (rx[at + 1] & 0x7F) == function);
            FUZZ_ASSERT(FrameCRCValid(rx.data() + at, s.size));
        }
        at += s.size;
    }

    VirtualScheduler clock;
    test::FakeBackend backend;
    TModbusM::ForgetEchoes();
    TModbusM mb(clock, backend);
    int endings = 0;
    size_t received = 0, accounted = 0;
    mb.OnResponseReady = [&](TModbusM*) { endings += mb.Busy(); };
    mb.OnError = [&](TModbusM*, const std::string&) { endings += mb.Busy() && mb.ErrorCode() != mbMoreTime; };
    mb.SetFTimeout(500);
    mb.SlaveId = earlier ? 2 : 1;
    mb.FunctionCode = 3;
    mb.Quantity = quantity;
    mb.RegisterDim = dim;
    FUZZ_ASSERT(mb.Connect());
    if (earlier || echoes) {
        // A read of slave 2 that times out, or of slave 1 through an echo.
        mb.Query();
        if (echoes) backend.line.receive(backend.line.sent);
        clock.advance(600);
        FUZZ_ASSERT(mb.PortEchoes() == echoes && !mb.Busy());
        endings = 0;
    }
    mb.OnLine = [&](const LineEvent& e) {
        if (e.kind == LineEventKind::Received) received += e.size;
        else if (e.kind != LineEventKind::Sent && e.kind != LineEventKind::Outcome) accounted += e.size;
    };
    mb.SlaveId = 1;
    mb.FunctionCode = function;
    mb.RequestData = {0x12, 0x34};
    mb.Query();
    for (size_t at = 0; at < rx.size(); at += piece) {
        backend.line.receive({rx.begin() + long(at), rx.begin() + long(std::min(rx.size(), at + piece))});
        clock.advance(100);
        FUZZ_ASSERT(mb.RxBuffer().size() <= MaxRtuFrame);
    }
    clock.advance(1000);   // an exception 5 re-arms the timeout once more
    clock.advance(1000);
    FUZZ_ASSERT(!mb.Busy());
    FUZZ_ASSERT(endings == 1);
    FUZZ_ASSERT(accounted <= received);
    return 0;
}
