// tunersim's text for a box's front end and for the last request of a property.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "TunerSimControl.h"

namespace tunersim {

// Several lines: power, input, last tune, LNB parameters, PIDs, and the reading.
std::string DescribeTuning(const TuningState& state);

// "length N: 01 02 ..." (set) or "length N" (get).
std::string DescribeRequest(const LastRequest& request);

// "01 02 ...": the bytes in hexadecimal, a space between them.
std::string HexBytes(const std::vector<uint8_t>& bytes);

}  // namespace tunersim
