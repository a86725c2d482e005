// 'record --channel NAME --channels FILE': the channel chosen from a channel file (its
// tune is DeliveryTune's).
#pragma once

#include "ChannelFile.h"

#include <span>
#include <string>
#include <string_view>

namespace ombrel_cli {

// The channel named `name`: exactly, else ignoring the case of ASCII letters when only
// one channel fits. Null when none does.
const Channel* FindChannel(std::span<const Channel> channels, std::string_view name);

// "Aster Eins, Aster Info, ..." for the message that names no channel.
std::string ChannelNamesText(std::span<const Channel> channels);

}  // namespace ombrel_cli
