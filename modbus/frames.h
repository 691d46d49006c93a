// MODBUS RTU frames: the CRC, request frames and the answer check.
//
// Pure functions on byte arrays: no port, no timing, no state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orn {

using TDataByte = std::vector<uint8_t>;

// The master's error codes (ErrorCode); 0 means no error.
enum MBErrorCode : uint8_t {
    mbNoError = 0,
    mbIllegalFunction = 1,   // refused function code, unknown answer, exception 1
    mbIllegalAddress = 2,    // exception 2
    mbIllegalValue = 3,      // RequestData too short, exception 3
    mbSlaveFailure = 4,      // answer of the wrong length, exception 4 (and unknown exceptions)
    mbMoreTime = 5,          // exception 5: the slave asks for more time
    mbSlaveBusy = 6,         // exception 6
    mbTimeout = 7,           // no answer in time
    mbMemoryError = 8,       // exception 8
    mbCommError = 9,         // short send, CRC mismatch, incomplete answer
    mbMasterBusy = 10,       // Query while a transaction is open
    mbPortNotOpen = 11,      // Query with the port closed
};

// The largest RTU frame on the line.
constexpr size_t MaxRtuFrame = 256;

// CRC-16/MODBUS of n bytes (start 0xFFFF, reflected polynomial 0xA001, no
// final XOR).  On the line the low byte goes first.
uint16_t Crc16(const uint8_t* data, size_t n);

// CRC of a frame over all its bytes but the last two (0xFFFF for two or fewer).
uint16_t FrameCRC(const TDataByte& frame);

// Writes the CRC of the bytes before them into the last two bytes.
void SetFrameCRC(TDataByte& frame);

// True when the last two bytes hold the CRC of the ones before them.
bool FrameCRCValid(const uint8_t* frame, size_t n);

// The request fields of the master.
struct RequestFields {
    uint8_t SlaveId = 0;
    uint8_t FunctionCode = 0;
    uint16_t Offset = 0;
    uint16_t Quantity = 0;
    uint8_t RegisterDim = 2;
};

// Builds the request frame for f.FunctionCode.  Returns 0 with the frame, or
// mbIllegalFunction / mbIllegalValue (RequestData too short) with the frame
// left empty.  Bytes of data beyond those needed are ignored.
uint8_t BuildRequest(const RequestFields& f, const TDataByte& data, TDataByte& frame);

// The length that the collected bytes of an answer announce: 2 until the
// function byte is there, 3 until the byte count of functions 1 to 4 is,
// then 5 + byte count (functions 1-4), 8 (5, 15, 16), RegisterDim + 6 (6),
// 5 (exception answer).  For an unknown function byte the bytes are taken as
// they are (n).  Fewer bytes than this mean the answer is still arriving.
size_t AnnouncedLength(const uint8_t* rx, size_t n, uint8_t registerDim);

// True for the exception function bytes that are understood (0x81-0x86,
// 0x8F, 0x90).
bool IsExceptionFunction(uint8_t f);

// The length of the normal answer to a request of `function` (0 for a
// function without one).
size_t AnswerLength(uint8_t function, uint16_t quantity, uint8_t registerDim);

// Checks the collected answer (CRC first, then length, then decoding by its
// own function byte) against the request's Quantity and RegisterDim.
// Returns 0 for a good answer, with `response` set to its data part;
// mbMoreTime when the slave asks for more time; otherwise the error code.
// `response` changes only for a good answer.  Whose answer it is (slave,
// function) is ScanReceived's business.
uint8_t CheckAnswer(const TDataByte& rx, uint16_t quantity, uint8_t registerDim, TDataByte& response);

// ---- Finding the answer in what the port delivered.
//
// A line delivers more than the answer: the adapter's copy of the request,
// a stray byte while a driver turns round, noise, another slave's frame, the
// late answer to an earlier request, a frame cut off.  ScanReceived says what
// the bytes at the front of the collected ones are; the master takes them off
// and asks again, until the answer is whole or the front may still grow into
// it.  Only a frame from the request's slave with its function (or the
// function's exception) that fits the request is the answer: a read's answer
// carries the data of the quantity asked, a write's repeats its register (15
// and 16 also the quantity).

enum class RxVerdict : uint8_t {
    Wait,      // the front may still grow into the answer or the echo: more bytes are needed
    Echo,      // `size` bytes: the adapter's copy of the request
    Skip,      // `size` bytes that begin nothing whole (stray bytes, noise, a cut-off frame)
    Damaged,   // 1 byte: the start of an answer whose frame fails its CRC; skipped, since the
               // answer may still start later, but an answer was damaged
    Foreign,   // `size` bytes: a whole frame of another slave or function
    Late,      // `size` bytes: a whole frame that answers the earlier request
    Misfit,    // `size` bytes: a whole frame of the request's slave and function that does not
               // fit it (another length, register or quantity) nor the earlier request: another
               // master's, or a wrong answer; skipped, but if no answer comes, it is the answer
               // the request got (code 4)
    Answer,    // `size` bytes: the answer, whole by its announced length, with a good CRC
    Cut,       // the answer began and will not be completed (only when `final`)
};

struct RxStep {
    RxVerdict verdict;
    size_t size;
};

struct RxContext {
    bool open = false;               // a transaction waits: its answer is looked for
    RequestFields request;           // the open request, or the last one
    const uint8_t* sent = nullptr;   // the open request's frame as written
    size_t sentSize = 0;
    bool echoPending = false;        // a copy of the request may still come first
    bool hasEarlier = false;         // the request before, whose answer may come late
    RequestFields earlier;
    const uint8_t* earlierSent = nullptr;   // its frame as written (nullptr: not known)
    size_t earlierSentSize = 0;
    bool final = false;              // nothing more will arrive: decide what waits
};

// What the bytes at the front of rx[0..n) are.  Wait only when the front may
// still grow into something whole and no whole answer (or echo) starts
// further on; with `final` never, except for n = 0.  Every other verdict
// takes at least one byte, so a caller that takes them off and asks again
// ends.  The work is bounded by n times the longest frame.
RxStep ScanReceived(const uint8_t* rx, size_t n, const RxContext& c);

// True when a copy of the request frame would be taken for its answer (a
// write of function 5 or 6 is answered by a copy of itself): only knowing
// that the port echoes then tells the echo from the answer.
bool EchoPassesAsAnswer(const TDataByte& frame, const RequestFields& request);

} // namespace orn
