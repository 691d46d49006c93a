#include "frames.h"

#include <algorithm>

namespace orn {

uint16_t Crc16(const uint8_t* data, size_t n) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

uint16_t FrameCRC(const TDataByte& frame) {
    return frame.size() <= 2 ? 0xFFFF : Crc16(frame.data(), frame.size() - 2);
}

void SetFrameCRC(TDataByte& frame) {
    if (frame.size() < 2) return;
    const uint16_t crc = FrameCRC(frame);
    frame[frame.size() - 2] = uint8_t(crc & 0xFF);
    frame[frame.size() - 1] = uint8_t(crc >> 8);
}

bool FrameCRCValid(const uint8_t* frame, size_t n) {
    if (n < 2) return false;
    const uint16_t crc = n == 2 ? 0xFFFF : Crc16(frame, n - 2);
    return frame[n - 2] == (crc & 0xFF) && frame[n - 1] == (crc >> 8);
}

namespace {

// Bytes that hold `quantity` coils, kept in 8 bits as on the line.
uint8_t CoilBytes(uint16_t quantity) {
    return uint8_t(quantity / 8 + (quantity % 8 ? 1 : 0));
}

void PutWord(TDataByte& f, uint16_t v) {
    f.push_back(uint8_t(v >> 8));
    f.push_back(uint8_t(v & 0xFF));
}

} // namespace

uint8_t BuildRequest(const RequestFields& r, const TDataByte& data, TDataByte& frame) {
    frame.clear();
    size_t dataBytes = 0;     // bytes of `data` that follow the header
    bool withQuantity = false;
    bool withCount = false;
    uint8_t count = 0;
    switch (r.FunctionCode) {
    case 1: case 2: case 3: case 4:
        withQuantity = true;
        break;
    case 5:
        dataBytes = 2;
        break;
    case 6:
        dataBytes = r.RegisterDim;
        break;
    case 15:
        withQuantity = withCount = true;
        count = CoilBytes(r.Quantity);
        dataBytes = count;
        break;
    case 16:
        withQuantity = withCount = true;
        count = uint8_t(r.Quantity * r.RegisterDim);
        dataBytes = count;
        break;
    default:
        return mbIllegalFunction;
    }
    if (data.size() < dataBytes) return mbIllegalValue;

    frame.reserve(9 + dataBytes);
    frame.push_back(r.SlaveId);
    frame.push_back(r.FunctionCode);
    PutWord(frame, r.Offset);
    if (withQuantity) PutWord(frame, r.Quantity);
    if (withCount) frame.push_back(count);
    frame.insert(frame.end(), data.begin(), data.begin() + long(dataBytes));
    frame.resize(frame.size() + 2);
    SetFrameCRC(frame);
    return mbNoError;
}

bool IsExceptionFunction(uint8_t f) {
    return (f >= 0x81 && f <= 0x86) || f == 0x8F || f == 0x90;
}

size_t AnnouncedLength(const uint8_t* rx, size_t n, uint8_t registerDim) {
    if (n < 2) return 2;
    const uint8_t f = rx[1];
    if (IsExceptionFunction(f)) return 5;
    switch (f) {
    case 1: case 2: case 3: case 4:
        return n < 3 ? 3 : 5 + size_t(rx[2]);
    case 5: case 15: case 16:
        return 8;
    case 6:
        return size_t(registerDim) + 6;
    default:
        return n;
    }
}

size_t AnswerLength(uint8_t function, uint16_t quantity, uint8_t registerDim) {
    switch (function) {
    case 1: case 2: return size_t(CoilBytes(quantity)) + 5;
    case 3: case 4: return size_t(quantity) * registerDim + 5;
    case 5: case 15: case 16: return 8;
    case 6: return size_t(registerDim) + 6;
    default: return 0;
    }
}

uint8_t CheckAnswer(const TDataByte& rx, uint16_t quantity, uint8_t registerDim, TDataByte& response) {
    const size_t n = rx.size();
    if (n < 2 || !FrameCRCValid(rx.data(), n)) return mbCommError;

    const uint8_t f = rx[1];
    if (IsExceptionFunction(f)) {
        switch (n > 2 ? rx[2] : 0) {
        case 1: return mbIllegalFunction;
        case 2: return mbIllegalAddress;
        case 3: return mbIllegalValue;
        case 5: return mbMoreTime;
        case 6: return mbSlaveBusy;
        case 8: return mbMemoryError;
        default: return mbSlaveFailure;   // 4, and the codes without a meaning here
        }
    }

    const size_t required = AnswerLength(f, quantity, registerDim);
    if (required == 0) return mbIllegalFunction;
    if (n != required) return mbSlaveFailure;

    if (f <= 4) {
        // The byte count must agree with the length, or the data would be
        // taken from the wrong place.
        if (rx[2] != required - 5) return mbSlaveFailure;
        response.assign(rx.begin() + 3, rx.begin() + 3 + rx[2]);
    } else {
        // Functions 5 and 6 echo the value, 15 and 16 the quantity: the two
        // bytes after the register address (every such answer has 6 or more).
        response.assign(rx.begin() + 4, rx.begin() + 6);
    }
    return mbNoError;
}

// ---------------------------------------------------------------- receive path

namespace {

constexpr size_t NotYet = 0;          // too few bytes to tell the length
constexpr size_t NoFrame = SIZE_MAX;  // no frame we know starts here

// The length of the frame whose first bytes are p[0..n): NotYet, NoFrame for
// an unknown function byte or a length beyond any frame, else the length.
size_t FrameLength(const uint8_t* p, size_t n, uint8_t registerDim) {
    if (n < 2 || (n < 3 && p[1] >= 1 && p[1] <= 4)) return NotYet;
    const uint8_t f = p[1];
    if (!IsExceptionFunction(f) && AnswerLength(f, 0, 0) == 0) return NoFrame;
    const size_t length = AnnouncedLength(p, n, registerDim);
    return length > MaxRtuFrame ? NoFrame : length;
}

// Slave and function (or its exception) of the request: could begin its answer.
bool From(const uint8_t* p, size_t n, const RequestFields& r) {
    return p[0] == r.SlaveId && (n < 2 || p[1] == r.FunctionCode || p[1] == (r.FunctionCode | 0x80));
}

uint16_t WordAt(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

// Whether a whole frame of `length` bytes with the function of request r
// (not its exception) can be r's answer: a read's answer has the length of
// the quantity asked; a write's answer repeats the register (or coil) of the
// request, and for 15 and 16 the quantity too.  The value that 5 and 6
// repeat is not required: an instrument may answer with what it stored.
bool Fits(const uint8_t* p, size_t length, const RequestFields& r) {
    switch (p[1]) {
    case 5: case 6: return WordAt(p + 2) == r.Offset;
    case 15: case 16: return WordAt(p + 2) == r.Offset && WordAt(p + 4) == r.Quantity;
    default: return length == AnswerLength(p[1], r.Quantity, r.RegisterDim);
    }
}

bool SameBytes(const uint8_t* p, size_t n, const uint8_t* q, size_t qn) {
    return q != nullptr && n == qn && std::equal(p, p + n, q);
}

bool WholeAnswerAt(const uint8_t* p, size_t n, const RxContext& c) {
    if (!From(p, n, c.request)) return false;
    const size_t length = FrameLength(p, n, c.request.RegisterDim);
    return length != NotYet && length != NoFrame && length <= n && FrameCRCValid(p, length);
}

bool WholeEchoAt(const uint8_t* p, size_t n, const RxContext& c) {
    return c.echoPending && c.sentSize > 0 && n >= c.sentSize && std::equal(c.sent, c.sent + c.sentSize, p);
}

// The front may still grow into something.  A whole answer or echo further
// on means it will not: the bytes before are skipped.
RxStep Incomplete(const uint8_t* rx, size_t n, const RxContext& c) {
    if (c.open)
        for (size_t p = 1; p < n; ++p)
            if (WholeEchoAt(rx + p, n - p, c) || WholeAnswerAt(rx + p, n - p, c)) return {RxVerdict::Skip, p};
    return {RxVerdict::Wait, 0};
}

} // namespace

RxStep ScanReceived(const uint8_t* rx, size_t n, const RxContext& c) {
    if (n == 0) return {RxVerdict::Wait, 0};
    const uint8_t dim = c.request.RegisterDim;

    if (c.open && c.echoPending && c.sentSize > 0) {
        const size_t common = std::min(n, c.sentSize);
        if (std::equal(rx, rx + common, c.sent)) {
            if (n >= c.sentSize) return {RxVerdict::Echo, c.sentSize};
            if (!c.final) return Incomplete(rx, n, c);
        }
    }

    const size_t length = FrameLength(rx, n, dim);
    if (c.open && From(rx, n, c.request)) {
        if (length == NotYet || (length != NoFrame && n < length)) {
            if (!c.final) return Incomplete(rx, n, c);
            return n < 2 ? RxStep{RxVerdict::Skip, 1} : RxStep{RxVerdict::Cut, n};
        }
        if (length == NoFrame || !FrameCRCValid(rx, length)) return {RxVerdict::Damaged, 1};
        if (IsExceptionFunction(rx[1])) return {RxVerdict::Answer, length};
        // What does not fit this request but fits the one before (same slave
        // and function) is that one's answer, come late.
        const RequestFields& e = c.earlier;
        const bool fitsEarlier = c.hasEarlier && rx[0] == e.SlaveId && rx[1] == e.FunctionCode && Fits(rx, length, e);
        if (!Fits(rx, length, c.request)) return {fitsEarlier ? RxVerdict::Late : RxVerdict::Misfit, length};
        // A write of the same register answered with the earlier write's
        // value, not this one's: the earlier write's answer.  (With the same
        // value both answers are one and the same frame.)
        if (fitsEarlier && SameBytes(rx, length, c.earlierSent, c.earlierSentSize) &&
            !SameBytes(rx, length, c.sent, c.sentSize))
            return {RxVerdict::Late, length};
        return {RxVerdict::Answer, length};
    }

    if (length == NotYet || (length != NoFrame && n < length))
        return c.final ? RxStep{RxVerdict::Skip, 1} : Incomplete(rx, n, c);
    if (length == NoFrame || !FrameCRCValid(rx, length)) return {RxVerdict::Skip, 1};
    const bool late = (!c.open && From(rx, 2, c.request)) || (c.hasEarlier && From(rx, 2, c.earlier));
    return {late ? RxVerdict::Late : RxVerdict::Foreign, length};
}

bool EchoPassesAsAnswer(const TDataByte& frame, const RequestFields& request) {
    RxContext c;
    c.open = true;
    c.request = request;
    return ScanReceived(frame.data(), frame.size(), c).verdict == RxVerdict::Answer;
}

} // namespace orn
