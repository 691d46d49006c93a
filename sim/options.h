// The command line of the orn10sim program.
#pragma once

#include "instrument.h"
#include "sim_line.h"
#include "tcp_server.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace orn::sim {

struct InstrumentSpec {
    Model model;
    uint8_t address;
    uint32_t speed = 0;               // its own speed; 0: the line's
    TComPortParity parity = ptEVEN;   // its own parity (with a speed of its own)
};

// Test gas on an instrument: applied (a concentration) or removed.
struct GasCommand {
    uint8_t address = 0;
    bool off = false;
    double percent = 0;
    double tauS = 15;       // removed: -1 takes the rise's
    double noise = 0.03;    // %, standard deviation
};

struct Options {
    std::vector<InstrumentSpec> instruments;   // MB4@1 when none is given
    LineConfig line;
    std::string linkPath;
    bool takeOver = false;                     // take the link over from a live simulator
    int comNumber = 1;                         // the N of the ORN10_COMN line printed
    std::map<uint8_t, Faults> faults;          // by address
    std::vector<GasCommand> gas;               // applied at start
    RandomFaults random;
    uint32_t seed = 1;
    // Served over TCP instead of a pseudo-terminal (--tcp).
    bool tcp = false;
    std::string tcpHost = "127.0.0.1";
    uint16_t tcpPort = 0;                      // 0: a free one
    NetProtocol tcpProtocol = NetProtocol::RtuOverTcp;
    NetFaults netFaults;
    bool freeze = false;
    bool verbose = false;
    bool help = false;
};

// Parses the arguments after the program name; false with a message.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);
std::string UsageText();

// A command typed on the standard input while the simulator runs ("gas 1 25
// tau=20", "gas 1 off", "help"): false with a message for a line that is
// none.
bool ParseGasCommand(const std::string& text, GasCommand& command, std::string& error);
// Applies or removes the gas on its instrument (which must be on the line).
void ApplyGas(SimLine& line, const GasCommand& command);
// Carries out a command on the line; the text to print.
std::string RunCommand(SimLine& line, const std::string& text);

} // namespace orn::sim
