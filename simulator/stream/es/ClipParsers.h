// The parsers that split a clip's bytes into access units. Each throws
// std::runtime_error, with the offset where it applies, when the bytes are not such a
// stream or not one that loops cleanly: the first unit must be decodable on its own (so
// that the loop's seam decodes), decode order must be display order (the PES packets
// carry no DTS) and every unit must last equally long in whole 90 kHz ticks.
#pragma once

#include <cstdint>
#include <span>

#include "Clip.h"

namespace tunersim::stream {

// MPEG-2 video (ISO/IEC 13818-2): a unit is a picture with the sequence and GOP headers
// before it. Frame pictures only, no B-pictures, no repeat_first_field; the frame rate
// comes from the sequence header and its extension. A sequence end code is left out of
// the units: the loop goes on.
ParsedClip ParseMpeg2Video(std::span<const uint8_t> bytes);

// H.264 Annex B byte stream (ISO/IEC 14496-10): units are access units, split at access
// unit delimiters, parameter sets or SEI after a picture, and at a slice that starts a
// picture (first_mb_in_slice 0). Progressive frames only (frame_mbs_only_flag), no
// B-slices; the frame rate is the SPS's VUI timing, which must be present: one frame
// lasts 2 * num_units_in_tick / time_scale (pic_struct timing in SEI is not followed).
// The first unit must hold an SPS, a PPS and an IDR picture. End of sequence and end of
// stream NAL units are left out of the units.
ParsedClip ParseH264(std::span<const uint8_t> bytes);

// MPEG-1 Layer II audio (ISO/IEC 11172-3): a unit is a frame of 1152 samples; the frames
// follow each other with nothing between them, at one sampling rate (48 or 32 kHz: at
// 44.1 kHz a frame lasts no whole number of ticks). Free-format bitrates are refused.
ParsedClip ParseMpegAudioLayer2(std::span<const uint8_t> bytes);

// AC-3 (ATSC A/52): a unit is a sync frame of 1536 samples, sized by fscod and
// frmsizecod; frames follow each other at one sampling rate (48 or 32 kHz). E-AC-3
// (bsid above 8) is refused.
ParsedClip ParseAc3(std::span<const uint8_t> bytes);

}  // namespace tunersim::stream
