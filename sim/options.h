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
};

struct Options {
    std::vector<InstrumentSpec> instruments;   // MB4@1 when none is given
    LineConfig line;
    std::string linkPath;
    int comNumber = 1;                         // the N of the ORN10_COMN line printed
    std::map<uint8_t, Faults> faults;          // by address
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

} // namespace orn::sim
