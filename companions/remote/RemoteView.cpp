#include "RemoteView.h"

#include <cstdio>

#include "RemoteKeymap.h"

namespace companion {
namespace {

// "Talvex S2 (efcdab7856341200)"
std::string Naming(const TunerInfo& tuner) { return tuner.model + " (" + tuner.guid + ")"; }

}  // namespace

std::string ReaderLine(ReaderState state, const TunerInfo* tuner) {
    if (tuner == nullptr || state == ReaderState::NoTuner) {
        return "Choose a tuner to read its remote control.";
    }
    switch (state) {
    case ReaderState::NotOpened:
        return "The chosen tuner could not be opened.";
    case ReaderState::Reading:
        return "Reading the remote control of " + Naming(*tuner) + ".";
    case ReaderState::InUse:
        return "The remote control of " + Naming(*tuner) + " is in use by another program.";
    case ReaderState::Failed:
    case ReaderState::NoTuner:
        break;
    }
    return "The remote control of " + Naming(*tuner) + " could not be read.";
}

std::string KeyRow(uint16_t code) {
    char number[8];
    std::snprintf(number, sizeof number, "0x%04X", code);
    const keymap::Key* key = keymap::FindByCode(code);
    return std::string(number) + '\t' + (key != nullptr ? std::string(key->label) : std::string("(unknown key)"));
}

}  // namespace companion
