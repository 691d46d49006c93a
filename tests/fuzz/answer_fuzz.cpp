// Fuzz target: the answer check and the master's cycle on arbitrary bytes.
//
// Input: Quantity (2 bytes), RegisterDim, piece size, then the bytes that
// arrive on the line.  They are checked as one answer, then fed to a master
// in pieces across polls: whatever arrives, the transaction ends exactly once
// and nothing is read from outside the bytes.
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

    VirtualScheduler clock;
    test::FakeBackend backend;
    TModbusM mb(clock, backend);
    int endings = 0;
    mb.OnResponseReady = [&](TModbusM*) { endings += mb.Busy(); };
    mb.OnError = [&](TModbusM*, const std::string&) { endings += mb.Busy() && mb.ErrorCode() != mbMoreTime; };
    mb.SetFTimeout(500);
    mb.Quantity = quantity;
    mb.RegisterDim = dim;
    mb.FunctionCode = 3;
    FUZZ_ASSERT(mb.Connect());
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
    return 0;
}
