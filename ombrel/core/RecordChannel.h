// 'record --channel NAME --channels FILE': the channel chosen from a channel file, and
// the tune that 'tune' would be asked for to receive it.
#pragma once

#include "ChannelFile.h"
#include "TuneArguments.h"

#include <chrono>
#include <span>
#include <string>
#include <string_view>

namespace ombrel_cli {

// The channel named `name`: exactly, else ignoring the case of ASCII letters when only
// one channel fits. Null when none does.
const Channel* FindChannel(std::span<const Channel> channels, std::string_view name);

// "Aster Eins, Aster Info, ..." for the message that names no channel.
std::string ChannelNamesText(std::span<const Channel> channels);

// What a channel's delivery asks of the front end, with the family it needs, so that a
// tuner of another family is refused as 'tune' refuses it.
TuneArguments TuneArgumentsFor(const Delivery& delivery, std::chrono::milliseconds timeout);

}  // namespace ombrel_cli
