// Channel files and start files in the text format of Linux's DVBv5 tools, so that a
// channel list ombrel writes is read by them and theirs by ombrel:
//
//   [Aster Eins]
//           SERVICE_ID = 4097
//           VIDEO_PID = 512
//           AUDIO_PID = 513
//           FREQUENCY = 10744000
//           ...
//           DELIVERY_SYSTEM = DVBS
//
// A section per channel, named by the channel; `KEY = value` lines. Satellite
// frequencies are in kHz, terrestrial and ATSC ones in Hz, symbol rates in symbols per
// second. A start file (initial tuning data) has the same syntax with one section per
// multiplex and no services. In memory, values use the tuning records' numbering
// (TuneArguments.h) and kHz / kS/s throughout.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ombrel_cli {

enum class DeliverySystem { DvbS, DvbS2, DvbT, Atsc };

// Where and how a multiplex is received.
struct Delivery {
    DeliverySystem system = DeliverySystem::DvbS;
    std::uint32_t frequencyKHz = 0;  // satellite: downlink; otherwise centre
    // Satellite.
    std::uint8_t polarisation = 0;
    std::uint32_t symbolRate = 0;  // kS/s
    std::optional<std::uint8_t> satelliteNumber;  // DiSEqC input 0..3 (SAT_NUMBER)
    // All.
    std::uint8_t modulation = 0;
    std::uint8_t fec = 0;  // satellite: inner FEC; DVB-T: high-priority code rate
    // Terrestrial.
    std::uint8_t bandwidthMHz = 0;
    std::uint8_t guard = 0;
    std::uint8_t mode = 0;

    bool operator==(const Delivery&) const = default;
};

bool IsSatellite(DeliverySystem system);

struct Channel {
    std::string name;
    Delivery delivery;
    std::optional<std::uint16_t> serviceId;
    std::vector<std::uint16_t> videoPids;
    std::vector<std::uint16_t> audioPids;
    std::string virtualChannel;  // ATSC "34.1", else empty

    bool operator==(const Channel&) const = default;
};

// Why a file does not parse: "channels.conf:12: FREQUENCY 'abc' is not a number".
struct FileError {
    std::string file;
    int line = 0;  // 1-based; 0 when the fault is the file's as a whole
    std::string reason;

    std::string Text() const;
};

// The text of a channel file with the channels in their order.
std::string WriteChannelFile(std::span<const Channel> channels);

// The channels of a channel file (or any file of the format); `fileName` names it in errors.
std::variant<std::vector<Channel>, FileError> ReadChannelFile(std::string_view text, std::string_view fileName);

// The multiplexes of a start file, in order, each once.
std::variant<std::vector<Delivery>, FileError> ReadStartFile(std::string_view text, std::string_view fileName);

// The format's names of values ("HORIZONTAL", "PSK/8", "3/4", "DVBS2").
std::string_view DeliverySystemName(DeliverySystem system);

}  // namespace ombrel_cli
