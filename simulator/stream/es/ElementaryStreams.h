// The elementary-stream content of the simulated transport streams in one include:
// clips and their library, PES packets, TS packets.
#pragma once

#include "Clip.h"
#include "ClipLibrary.h"
#include "Pes.h"
#include "TsPacketizer.h"
