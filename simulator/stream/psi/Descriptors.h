// The descriptors the tables carry, each appended whole (tag, length, payload) to a
// descriptor loop. Every writer keeps its payload within the 255 bytes its length says.
#pragma once

#include <cstdint>
#include <string_view>

#include "Bytes.h"
#include "Sky.h"

namespace tunersim::stream::psi {

inline constexpr std::size_t kMaxDescriptorPayload = 255;

// ISO/IEC 13818-1: CA_descriptor (0x09) and ISO_639_language_descriptor (0x0A).
void PutCaDescriptor(Bytes& out, uint16_t caSystemId, uint16_t caPid);
void PutLanguageDescriptor(Bytes& out, std::string_view language);

// EN 300 468: AC-3_descriptor (0x6A) with no optional fields.
void PutDvbAc3Descriptor(Bytes& out);
// A/52 annex A: the ATSC AC-3 audio descriptor (0x81): 48 kHz, 384 kbit/s, 2/0, a full
// main service, with its language.
void PutAtscAc3Descriptor(Bytes& out, std::string_view language);
// A/65: service_location_descriptor (0xA1): the service's PCR PID and its streams.
void PutServiceLocationDescriptor(Bytes& out, const sky::Service& service);

// EN 300 468 SI descriptors.
void PutNetworkNameDescriptor(Bytes& out, const sky::Text& name);                           // 0x40
void PutServiceDescriptor(Bytes& out, uint8_t serviceType, const sky::Text& provider,
                          const sky::Text& name);                                            // 0x48
void PutShortEventDescriptor(Bytes& out, std::string_view language, const sky::Text& title);  // 0x4D
void PutLocalTimeOffsetDescriptor(Bytes& out, int64_t unixSeconds);                         // 0x58

// The stream_type of an elementary stream in a DVB or an ATSC multiplex.
uint8_t StreamTypeOf(sky::StreamType type, bool atsc);
// The service_type of the SDT and the NIT's service lists.
uint8_t DvbServiceType(const sky::Service& service);
// A three-letter code (ISO 639-2 language, ISO 3166 country) as its three bytes: the
// first three of `code`, padded with spaces.
void PutLanguageCode(Bytes& out, std::string_view code);

}  // namespace tunersim::stream::psi
