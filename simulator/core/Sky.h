// What the simulated sky broadcasts: every multiplex with its delivery parameters, its
// identity and its services. The front end (whether a tune locks), the transport streams
// (their tables and elementary streams) and `tunersim services` all read this one table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FrontEndSky.h"

namespace tunersim::sky {

// The CA system of the simulated conditional-access module (named in the CA descriptors
// of scrambled services and honoured by the module's CA PMT reader).
inline constexpr uint16_t kCaSystemId = 0x4B45;
// Where the CA descriptors point; no ECMs are carried there, the PID only has to be named.
inline constexpr uint16_t kEcmPidBase = 0x1F00;

enum class System : uint8_t { DvbS, DvbS2, DvbT, Atsc };

enum class StreamType : uint8_t { Mpeg2Video, H264Video, Mpeg1Layer2Audio, Ac3Audio };
bool IsVideo(StreamType type);

// How a name is coded in the DVB tables (EN 300 468 annex A); the text itself is UTF-8.
enum class TextTable : uint8_t {
    Default,    // the default table (the text is plain ASCII)
    Iso8859_5,  // selector 0x01
    Iso8859_7,  // selector 0x03
    Iso8859_9,  // selector 0x05
    Iso8859_15, // selector 0x0B
    Utf8,       // selector 0x15
};

struct Text {
    std::string utf8;
    TextTable table = TextTable::Default;
};

enum class ServiceKind : uint8_t { Television, Radio };

struct ElementaryStream {
    uint16_t pid;
    StreamType type;
    std::string language;  // ISO 639-2 code for audio, empty for video
    std::string clip;      // content clip: simulator/content/<clip>.<extension of the type>
};

struct Service {
    uint16_t id;              // program_number / service_id
    Text name;
    Text provider;
    ServiceKind kind;
    uint16_t pmtPid;
    uint16_t pcrPid;
    std::vector<ElementaryStream> streams;
    bool scrambled = false;   // the PMT names kCaSystemId; packets leave the box scrambled
    uint16_t ecmPid = 0;      // of the CA descriptor, when scrambled
    // ATSC: the virtual channel (TVCT); DVB services leave them 0.
    uint16_t majorChannel = 0;
    uint16_t minorChannel = 0;
    std::string shortName;    // ATSC TVCT short_name (at most 7 characters)
    // DVB EIT: the titles of the programmes, one per half-hour slot in turn.
    std::vector<Text> events;
};

struct Network {
    uint16_t id;
    Text name;
    // Satellite networks: orbital position in tenths of a degree and its direction.
    uint16_t orbitalTenths = 0;
    bool east = true;
};

struct Multiplex {
    std::string name;              // as the front end reports it ("A 10744 H")
    System system;
    // Satellite: dish input and downlink; terrestrial and ATSC: centre frequency.
    uint8_t input = 0;
    uint32_t frequencyKHz;
    uint8_t polarisation = frontend::kHorizontal;
    uint32_t symbolRate = 0;       // kS/s
    uint8_t modulation;
    uint8_t fec = frontend::kFecAuto;
    uint8_t bandwidthMHz = 0;
    uint8_t guard = frontend::kGuardAuto;
    uint8_t mode = frontend::kModeAuto;
    frontend::Figures figures;
    // Identity.
    uint16_t networkId;            // the network whose NIT lists it (0: none, ATSC)
    uint16_t originalNetworkId;
    uint16_t transportStreamId;
    std::vector<Service> services;
};

const std::vector<Multiplex>& Multiplexes();
const std::vector<Network>& Networks();
const Network* FindNetwork(uint16_t networkId);
// The multiplexes that a network's NIT lists, in table order.
std::vector<const Multiplex*> MultiplexesOf(uint16_t networkId);
// The index of a multiplex in Multiplexes() by its name, -1 if none.
int IndexOf(const std::string& name);

bool IsSatellite(const Multiplex& m);
bool IsAtsc(const Multiplex& m);

// The multiplex's useful bitrate in bits per second: what its modulation carries after
// the outer and inner codes (DVB-S QPSK 27500 kS/s 3/4: 38.015 Mbit/s; DVB-T 8 MHz QAM64
// 2/3 guard 1/4: 19.91 Mbit/s; ATSC 8VSB: 19.39 Mbit/s).
uint64_t UsefulBitrate(const Multiplex& m);

}  // namespace tunersim::sky
