// What a multiplex's tables say, as plain records: its identity, its services with their
// streams, conditional access and events, and the transports its network lists. Filled by
// TableReader from a received stream; numeric codes keep the values the standards give
// them (ISO/IEC 13818-1, ETSI EN 300 468, ATSC A/65) so that nothing is lost in between.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace talvex::tables {

enum class Standard : std::uint8_t { Dvb, Atsc };

// A CA_descriptor: the CA system and the PID of its ECMs.
struct CaDescriptor {
    std::uint16_t systemId = 0;
    std::uint16_t pid = 0;
};

struct ElementaryStream {
    std::uint16_t pid = 0;
    std::uint8_t streamType = 0;          // ISO/IEC 13818-1 stream_type (0x02 MPEG-2 video, 0x1B H.264, ...)
    std::string language;                 // ISO 639 code of the stream's ISO_639_language_descriptor, or empty
    std::vector<CaDescriptor> ca;         // CA descriptors at stream level
    std::vector<std::uint8_t> descriptorTags;  // every descriptor of its ES_info loop, in order
};

struct Event {
    std::uint16_t id = 0;
    std::optional<std::int64_t> startUnix;  // UTC seconds; none when the table leaves it undefined
    std::optional<std::uint32_t> durationSeconds;
    std::string name;                     // short_event_descriptor, UTF-8
    std::string text;
    std::string language;                 // ISO 639 code of the short event descriptor
    std::uint8_t runningStatus = 0;
};

// service_type of the service descriptor (EN 300 468 table 87) or the TVCT (A/65 table 6.7).
namespace service_type {
inline constexpr std::uint8_t kDigitalTelevision = 0x01;
inline constexpr std::uint8_t kDigitalRadio = 0x02;
inline constexpr std::uint8_t kAdvancedCodecHdTelevision = 0x19;
inline constexpr std::uint8_t kAtscDigitalTelevision = 0x02;  // TVCT service_type
inline constexpr std::uint8_t kAtscAudio = 0x03;
}  // namespace service_type

struct Service {
    std::uint16_t id = 0;                 // service_id / program_number
    std::string name;                     // UTF-8: SDT service name, ATSC TVCT short name
    std::string provider;
    std::uint8_t type = 0;                // service_type (DVB: SDT, ATSC: TVCT)
    std::uint16_t pmtPid = 0;
    std::uint16_t pcrPid = 0x1FFF;
    std::vector<ElementaryStream> streams;
    std::vector<CaDescriptor> ca;         // CA descriptors at program level
    std::vector<std::uint16_t> caSystemIds;  // every CA system named, program and stream level, sorted, once each
    bool scrambled = false;               // the PMT names a CA system, or the SDT sets free_CA_mode
    bool freeCaMode = false;              // SDT free_CA_mode, or the TVCT's access_controlled
    std::uint8_t runningStatus = 0;       // SDT running_status (4: running)
    std::optional<Event> present;
    std::optional<Event> following;
    // ATSC virtual channel (TVCT).
    std::uint16_t majorChannel = 0;
    std::uint16_t minorChannel = 0;
    bool hidden = false;
    // The PMT section as received (header to CRC), for the module's CA PMT.
    std::vector<std::uint8_t> pmtSection;
};

enum class Polarisation : std::uint8_t { LinearHorizontal = 0, LinearVertical = 1, CircularLeft = 2, CircularRight = 3 };

// satellite_delivery_system_descriptor (EN 300 468 6.2.13.2).
struct SatelliteDelivery {
    std::uint32_t frequencyKHz = 0;
    std::uint16_t orbitalTenths = 0;      // orbital position in tenths of a degree
    bool east = true;
    Polarisation polarisation = Polarisation::LinearHorizontal;
    std::uint8_t rollOff = 0;             // 0: 0.35, 1: 0.25, 2: 0.20 (DVB-S2 only)
    bool s2 = false;                      // modulation_system: DVB-S2
    std::uint8_t modulation = 0;          // 0 auto, 1 QPSK, 2 8PSK, 3 16-QAM
    std::uint32_t symbolRate = 0;         // symbols per second
    std::uint8_t fec = 0;                 // FEC_inner: 1 1/2, 2 2/3, 3 3/4, 4 5/6, 5 7/8, 6 8/9, 7 3/5, 8 4/5, 9 9/10, 15 none
};

// terrestrial_delivery_system_descriptor (EN 300 468 6.2.13.4).
struct TerrestrialDelivery {
    std::uint64_t centreFrequencyHz = 0;
    std::uint8_t bandwidthMHz = 0;        // 8, 7, 6, 5; 0 for a reserved code
    std::uint8_t constellation = 0;       // 0 QPSK, 1 16-QAM, 2 64-QAM
    std::uint8_t hierarchy = 0;           // hierarchy_information
    std::uint8_t codeRateHp = 0;          // 0 1/2, 1 2/3, 2 3/4, 3 5/6, 4 7/8
    std::uint8_t codeRateLp = 0;
    std::uint8_t guard = 0;               // 0 1/32, 1 1/16, 2 1/8, 3 1/4
    std::uint8_t mode = 0;                // transmission_mode: 0 2k, 1 8k, 2 4k
    bool otherFrequency = false;
};

struct ListedService {
    std::uint16_t id = 0;
    std::uint8_t type = 0;
};

// One transport stream of the NIT's loop.
struct Transport {
    std::uint16_t transportStreamId = 0;
    std::uint16_t originalNetworkId = 0;
    std::optional<SatelliteDelivery> satellite;
    std::optional<TerrestrialDelivery> terrestrial;
    std::vector<ListedService> services;  // service_list_descriptor
};

struct Multiplex {
    Standard standard = Standard::Dvb;
    std::uint16_t transportStreamId = 0;
    std::uint16_t originalNetworkId = 0;  // SDT (DVB)
    std::uint16_t networkId = 0;          // NIT, when read
    std::string networkName;
    std::vector<Service> services;        // sorted by id
    std::vector<Transport> transports;    // NIT actual, in table order
    std::optional<std::int64_t> utcUnix;  // the last TDT/TOT/STT seen, UTC seconds
};

// Display names of the codes above: "QPSK", "8PSK", "3/4", "1/8", "8k", ...; "auto" for codes
// the standard leaves open.
const char* SatelliteModulationName(std::uint8_t modulation);
const char* SatelliteFecName(std::uint8_t fec);
const char* TerrestrialConstellationName(std::uint8_t constellation);
const char* TerrestrialCodeRateName(std::uint8_t codeRate);
const char* GuardIntervalName(std::uint8_t guard);
const char* TransmissionModeName(std::uint8_t mode);

}  // namespace talvex::tables
