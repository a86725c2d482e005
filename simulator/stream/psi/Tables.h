// The PSI/SI tables of the simulated multiplexes, written from the sky's definition
// (ISO/IEC 13818-1, ETSI EN 300 468, ATSC A/65). Every function returns the sections of
// one table in section_number order; a table too big for one section is split into
// several. DVB multiplexes carry PAT, PMT, SDT, NIT, EIT, TDT and TOT; ATSC multiplexes
// PAT, PMT, MGT, TVCT and STT: the writers of the other family's tables return no
// sections for them.
#pragma once

#include <cstdint>
#include <vector>

#include "DvbText.h"
#include "Section.h"
#include "Sky.h"

namespace tunersim::stream::psi {

// PAT: the transport_stream_id, each service's program_number and PMT PID, and on DVB
// program 0 naming the NIT's PID (0x0010).
std::vector<Section> Pat(const sky::Multiplex& m);

// PMT of one service: PCR PID, a CA_descriptor at program level when scrambled, and its
// streams. A PMT is one section (section_number 0 by definition): streams that would
// take it beyond 1024 bytes are left out.
std::vector<Section> Pmt(const sky::Multiplex& m, const sky::Service& s);

// SDT actual (0x42): every service with its service_descriptor.
std::vector<Section> SdtActual(const sky::Multiplex& m);

// NIT actual (0x40) of a network of the sky, listing sky::MultiplexesOf(networkId); no
// sections for a network the sky does not have.
std::vector<Section> NitActual(uint16_t networkId);
// The same for any network and multiplexes.
std::vector<Section> NitActual(const sky::Network& network, const std::vector<const sky::Multiplex*>& multiplexes);

// The programme running on a service: 30-minute slots aligned to UTC, the service's
// titles in turn (title is null when it has none).
inline constexpr uint32_t kEventSlotSeconds = 1800;
struct Event {
    uint16_t id;
    int64_t startUnix;
    uint32_t durationSeconds;
    const sky::Text* title;
};
Event EventAt(const sky::Service& s, int64_t unixSeconds);

// EIT present/following actual (0x4E): section 0 the running event, section 1 the next
// one. The version follows the present event's slot, so that it changes with it.
std::vector<Section> EitPresentFollowing(const sky::Multiplex& m, const sky::Service& s, int64_t unixSeconds);

// TDT (0x70) and TOT (0x73, with a local_time_offset_descriptor of the broadcasts'
// region and a CRC): UTC as MJD and BCD.
Section Tdt(int64_t unixSeconds);
Section Tot(int64_t unixSeconds);

// ATSC A/65: MGT (0xC7) listing the TVCT, TVCT (0xC8), STT (0xCD) in GPS seconds.
std::vector<Section> AtscMgt(const sky::Multiplex& m);
std::vector<Section> AtscTvct(const sky::Multiplex& m);
Section AtscStt(int64_t unixSeconds);

}  // namespace tunersim::stream::psi
