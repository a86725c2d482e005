// What the remote-control companion shows of its reader: a line about the chosen tuner's
// reader, and one row per key received. Plain text, no window system.
#pragma once

#include <cstdint>
#include <string>

#include "TunerView.h"

namespace companion {

enum class ReaderState {
    NoTuner,    // no tuner chosen
    NotOpened,  // the chosen tuner could not be opened
    Reading,    // its reader runs here
    InUse,      // another program runs its reader
    Failed,     // its reader could not be started
};

std::string ReaderLine(ReaderState state, const TunerInfo* tuner);

// A key row, fields separated by a tab: the code in hexadecimal and the key's name from
// the remote's keymap ("0x2015\tOK"); a code of no key of the remote: "(unknown key)".
std::string KeyRow(uint16_t code);

}  // namespace companion
