// The instruments of one line as a small text file, so that a line once
// found is opened again without a search:
//
//   ORN10 line 1
//   port COM1
//   1 MB4 19200 E
//   3 X-22 9600 N set
//
// One instrument a line: address, model (its short name, or "?" when it is
// not known), speed and parity; "set" when the user chose the model rather
// than the search guessing it.  Blank lines and lines starting with "#" are
// ignored.
#pragma once

#include "line_scan.h"

#include <string>
#include <vector>

namespace orn {

struct TLineEntry {
    int Address = 1;
    int DevType = -1;        // -1: not known
    bool ModelSet = false;   // chosen by the user
    TLineSetting Setting;
};

struct TLineList {
    std::string Port;        // the port it was found on, as the user knows it
    std::vector<TLineEntry> Entries;
};

std::string FormatLineList(const TLineList& list);
// False with the line number and the reason in `error`; nothing is taken
// from a file with an error.  An address listed twice at the same settings
// is an error.
bool ParseLineList(const std::string& text, TLineList& list, std::string& error);

} // namespace orn
