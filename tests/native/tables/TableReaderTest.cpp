// The table reader against the simulated sky: every multiplex read from a stream joined at
// an arbitrary moment, compared with the sky's definition (and the delivery descriptors
// with libdvbpsi's reading of the same NIT), complete within one repetition of its slowest
// table; then the same stream damaged in the ways a reception damages it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "../psi/DvbpsiReader.h"
#include "Multiplexer.h"
#include "Sky.h"
#include "StreamKinds.h"
#include "TableReader.h"
#include "TablesTestSupport.h"
#include "es/ClipLibrary.h"
#include "psi/Descriptors.h"
#include "psi/Tables.h"

extern "C" {
#include <dvbpsi/dr_43.h>
#include <dvbpsi/dr_5a.h>
}

namespace {

using namespace tunersim;
using namespace tables_test;
namespace tt = talvex::tables;

// The longest a reader may need after joining: the slowest needed table's repetition,
// the PMTs one PAT repetition later at worst, and a few packets' slack.
uint64_t AllowedMs(const sky::Multiplex& m, const tt::Needs& needs) {
    using R = stream::Repetition;
    uint64_t slowest = R::kPatMs + R::kPmtMs;
    if (sky::IsAtsc(m)) {
        slowest = std::max<uint64_t>({slowest, R::kMgtMs, R::kVctMs});
    } else {
        slowest = std::max<uint64_t>(slowest, R::kSdtMs);
        if (needs.nit) slowest = std::max<uint64_t>(slowest, R::kNitMs);
        if (needs.eitPresentFollowing) slowest = std::max<uint64_t>(slowest, R::kEitMs);
    }
    return slowest + 20;
}

void ExpectSatellite(const tt::SatelliteDelivery& d, const sky::Multiplex& m, const sky::Network& n,
                     const dvbpsi_sat_deliv_sys_dr_t& ref) {
    EXPECT_EQ(d.frequencyKHz, m.frequencyKHz / 10 * 10);
    EXPECT_EQ(d.orbitalTenths, n.orbitalTenths);
    EXPECT_EQ(d.east, n.east);
    EXPECT_EQ(static_cast<uint8_t>(d.polarisation), m.polarisation);
    EXPECT_EQ(d.s2, m.system == sky::System::DvbS2);
    EXPECT_EQ(d.symbolRate, m.symbolRate * 1000);
    EXPECT_EQ(d.modulation, ref.i_modulation_type);
    EXPECT_EQ(d.fec, ref.i_fec_inner);
    EXPECT_EQ(d.rollOff, ref.i_roll_off);
    EXPECT_STRNE(tt::SatelliteModulationName(d.modulation), "");
}

void ExpectTerrestrial(const tt::TerrestrialDelivery& d, const sky::Multiplex& m,
                       const dvbpsi_terr_deliv_sys_dr_t& ref) {
    EXPECT_EQ(d.centreFrequencyHz, uint64_t{m.frequencyKHz} * 1000);
    EXPECT_EQ(d.bandwidthMHz, m.bandwidthMHz);
    EXPECT_EQ(d.constellation, ref.i_constellation);
    EXPECT_EQ(d.hierarchy, ref.i_hierarchy_information);
    EXPECT_EQ(d.codeRateHp, ref.i_code_rate_hp_stream);
    EXPECT_EQ(d.codeRateLp, ref.i_code_rate_lp_stream);
    EXPECT_EQ(d.guard, ref.i_guard_interval);
    EXPECT_EQ(d.mode, ref.i_transmission_mode);
}

// The NIT's transports against the sky and, for the descriptors' codes, libdvbpsi.
void ExpectTransports(const tt::Multiplex& read, const sky::Multiplex& m) {
    const sky::Network* network = sky::FindNetwork(m.networkId);
    ASSERT_NE(network, nullptr);
    EXPECT_EQ(read.networkId, m.networkId);
    EXPECT_EQ(read.networkName, network->name.utf8);
    psitest::Reader libdvbpsi(psitest::Reader::Kind::Si);
    ASSERT_TRUE(libdvbpsi.Push(0x0010, stream::psi::NitActual(m.networkId)));
    ASSERT_FALSE(libdvbpsi.nits.empty());
    std::vector<dvbpsi_nit_ts_t*> refs;
    for (auto* ts = libdvbpsi.nits.back()->p_first_ts; ts; ts = ts->p_next) refs.push_back(ts);

    const auto listed = sky::MultiplexesOf(m.networkId);
    ASSERT_EQ(read.transports.size(), listed.size());
    ASSERT_EQ(refs.size(), listed.size());
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const sky::Multiplex& other = *listed[i];
        const tt::Transport& t = read.transports[i];
        SCOPED_TRACE(other.name);
        EXPECT_EQ(t.transportStreamId, other.transportStreamId);
        EXPECT_EQ(t.originalNetworkId, other.originalNetworkId);
        ASSERT_EQ(t.services.size(), other.services.size());
        for (std::size_t k = 0; k < other.services.size(); ++k) {
            EXPECT_EQ(t.services[k].id, other.services[k].id);
            EXPECT_EQ(t.services[k].type, stream::psi::DvbServiceType(other.services[k]));
        }
        if (sky::IsSatellite(other)) {
            ASSERT_TRUE(t.satellite.has_value());
            EXPECT_FALSE(t.terrestrial.has_value());
            auto found = psitest::DescriptorsWithTag(refs[i]->p_first_descriptor, 0x43);
            ASSERT_EQ(found.size(), 1u);
            const auto* ref = dvbpsi_DecodeSatDelivSysDr(found[0]);
            ASSERT_NE(ref, nullptr);
            ExpectSatellite(*t.satellite, other, *network, *ref);
        } else {
            ASSERT_TRUE(t.terrestrial.has_value());
            auto found = psitest::DescriptorsWithTag(refs[i]->p_first_descriptor, 0x5A);
            ASSERT_EQ(found.size(), 1u);
            const auto* ref = dvbpsi_DecodeTerrDelivSysDr(found[0]);
            ASSERT_NE(ref, nullptr);
            ExpectTerrestrial(*t.terrestrial, other, *ref);
        }
    }
}

void ExpectEvent(const std::optional<tt::Event>& read, const sky::Service& s, int64_t at) {
    const stream::psi::Event expected = stream::psi::EventAt(s, at);
    if (expected.title == nullptr) {
        EXPECT_FALSE(read.has_value());
        return;
    }
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->id, expected.id);
    EXPECT_EQ(read->startUnix, expected.startUnix);
    EXPECT_EQ(read->durationSeconds, expected.durationSeconds);
    EXPECT_EQ(read->name, expected.title->utf8);
    EXPECT_EQ(read->text, "");
}

TEST(TableReader, EveryMultiplexOfTheSkyReadsAsDefinedWithinOneRepetitionOfItsSlowestTable) {
    for (const auto& m : sky::Multiplexes()) {
        const bool atsc = sky::IsAtsc(m);
        // Joined as the tables begin, just after every table went out (so that each takes a
        // whole repetition), and just after the NIT went out, with the NIT and EIT asked for.
        for (const uint64_t joinMs : {0ull, 10ull, 2010ull}) {
            SCOPED_TRACE(m.name + " joined at " + std::to_string(joinMs) + " ms");
            const tt::Needs needs{joinMs == 2010 && m.networkId != 0, joinMs == 2010 && !atsc};
            SimulatedStream stream(m);
            stream.Skip(joinMs);
            tt::TableReader reader(needs);
            const uint64_t joined = stream.PacketsMade();
            EXPECT_FALSE(reader.Complete());
            EXPECT_NE(reader.MissingText().find("the PAT"), std::string::npos);
            while (!reader.Complete() && stream.MsSince(joined) < 5000) stream.FeedTo(reader, 16);
            ASSERT_TRUE(reader.Complete()) << reader.MissingText();
            EXPECT_EQ(reader.MissingText(), "");
            EXPECT_LE(stream.MsSince(joined), AllowedMs(m, needs));

            const tt::Multiplex read = reader.Result();
            EXPECT_EQ(read.standard, atsc ? tt::Standard::Atsc : tt::Standard::Dvb);
            EXPECT_EQ(read.transportStreamId, m.transportStreamId);
            if (!atsc) {
                EXPECT_EQ(read.originalNetworkId, m.originalNetworkId);
            }
            ASSERT_EQ(read.services.size(), m.services.size());
            std::vector<sky::Service> expected = m.services;
            std::sort(expected.begin(), expected.end(), [](auto& a, auto& b) { return a.id < b.id; });
            for (std::size_t i = 0; i < expected.size(); ++i) {
                const sky::Service& s = expected[i];
                const tt::Service& r = read.services[i];
                SCOPED_TRACE(s.name.utf8);
                EXPECT_EQ(r.id, s.id);
                EXPECT_EQ(r.pmtPid, s.pmtPid);
                EXPECT_EQ(r.pcrPid, s.pcrPid);
                if (atsc) {
                    EXPECT_EQ(r.name, s.shortName);
                    EXPECT_EQ(r.majorChannel, s.majorChannel);
                    EXPECT_EQ(r.minorChannel, s.minorChannel);
                    EXPECT_EQ(r.type, tt::service_type::kAtscDigitalTelevision);
                    EXPECT_FALSE(r.hidden);
                } else {
                    EXPECT_EQ(r.name, s.name.utf8);
                    EXPECT_EQ(r.provider, s.provider.utf8);
                    EXPECT_EQ(r.type, stream::psi::DvbServiceType(s));
                    EXPECT_EQ(r.runningStatus, 4);
                    EXPECT_EQ(r.freeCaMode, s.scrambled);
                }
                ASSERT_EQ(r.streams.size(), s.streams.size());
                for (std::size_t k = 0; k < s.streams.size(); ++k) {
                    EXPECT_EQ(r.streams[k].pid, s.streams[k].pid);
                    EXPECT_EQ(r.streams[k].streamType, stream::psi::StreamTypeOf(s.streams[k].type, atsc));
                    EXPECT_EQ(r.streams[k].language, s.streams[k].language);
                    // What it carries, told from its type and, for DVB's AC-3, its descriptor.
                    const bool video = s.streams[k].type == sky::StreamType::Mpeg2Video ||
                                       s.streams[k].type == sky::StreamType::H264Video;
                    EXPECT_EQ(tt::KindOf(r.streams[k]), video ? tt::StreamKind::Video : tt::StreamKind::Audio);
                    if (s.streams[k].type == sky::StreamType::Ac3Audio) {
                        EXPECT_EQ(tt::FormatText(r.streams[k]), "AC-3 audio");
                    }
                }
                EXPECT_EQ(r.scrambled, s.scrambled);
                if (s.scrambled) {
                    EXPECT_EQ(r.caSystemIds, std::vector<uint16_t>{sky::kCaSystemId});
                    ASSERT_EQ(r.ca.size(), 1u);
                    EXPECT_EQ(r.ca[0].pid, s.ecmPid);
                } else {
                    EXPECT_TRUE(r.caSystemIds.empty());
                }
                // The raw PMT is the section on air, CRC included.
                EXPECT_EQ(r.pmtSection, stream::psi::Pmt(m, s).front());
                if (needs.eitPresentFollowing) {
                    const int64_t at = stream.UnixSeconds();
                    ExpectEvent(r.present, s, at);
                    ExpectEvent(r.following, s, stream::psi::EventAt(s, at).startUnix + stream::psi::kEventSlotSeconds);
                } else {
                    EXPECT_FALSE(r.present.has_value());
                }
            }
            if (needs.nit) {
                ExpectTransports(read, m);
            } else {
                EXPECT_TRUE(read.transports.empty());
            }
            // The clock tables (TDT/TOT, STT in GPS seconds) go out first, at the stream's start.
            if (joinMs == 0) {
                EXPECT_EQ(read.utcUnix, kStartUnixMs / 1000);
            }
            EXPECT_EQ(reader.Counts().crcErrors, 0u);
            EXPECT_EQ(reader.Counts().continuityGaps, 0u);
            EXPECT_EQ(reader.Counts().badSections, 0u);
        }
    }
}

// A satellite multiplex with a scrambled service and a NIT, read through damage: packets
// lost, packets flagged with transport errors (and garbled), a section with a bad CRC.
// Each damaged table is dropped and read again at its next repetition; nothing wrong is
// ever taken in.
TEST(TableReader, DamagedStreamsCostRepetitionsButNeverWrongTables) {
    const sky::Multiplex& m = ScrambledDvbMultiplex();
    const tt::Needs needs{true, true};
    SimulatedStream clean(m);
    tt::TableReader reference(needs);
    while (!reference.Complete()) clean.FeedTo(reference, 64);
    const tt::Multiplex expected = reference.Result();

    std::mt19937 random(21);
    for (const char* damage : {"lost packets", "transport errors", "bad CRC"}) {
        SCOPED_TRACE(damage);
        SimulatedStream stream(m);
        tt::TableReader reader(needs);
        const std::string kind = damage;
        bool corruptedOne = false;
        while (!reader.Complete() && stream.MsSince(0) < 20000) {
            std::vector<uint8_t> packets = stream.Make(32);
            std::vector<uint8_t> fed;
            for (std::size_t i = 0; i < packets.size(); i += 188) {
                uint8_t* p = packets.data() + i;
                const uint16_t pid = static_cast<uint16_t>((p[1] & 0x1F) << 8 | p[2]);
                const bool table = pid < 0x20 || pid == 0x1FFB || IsPmtPid(m, pid);
                if (table && kind == "lost packets" && random() % 5 == 0) continue;
                if (table && kind == "transport errors" && random() % 5 == 0) {
                    p[1] |= 0x80;
                    for (int k = 4; k < 188; ++k) p[k] = static_cast<uint8_t>(random());
                }
                if (kind == "bad CRC" && !corruptedOne && pid == 0x0011 && (p[1] & 0x40)) {
                    p[20] ^= 0x01;  // inside the SDT's first section, header intact
                    corruptedOne = true;
                }
                fed.insert(fed.end(), p, p + 188);
            }
            reader.Feed(fed.data(), fed.size() / 188);
        }
        ASSERT_TRUE(reader.Complete()) << reader.MissingText();
        ExpectSameServices(reader.Result(), expected);
        EXPECT_EQ(reader.Result().transports.size(), expected.transports.size());
        const auto& counts = reader.Counts();
        if (kind == "lost packets") {
            EXPECT_GT(counts.continuityGaps, 0u);
            EXPECT_EQ(counts.crcErrors, 0u);  // a gap drops the section before its CRC can fail
        } else if (kind == "transport errors") {
            EXPECT_GT(counts.transportErrors, 0u);
            EXPECT_EQ(counts.crcErrors, 0u);
        } else {
            EXPECT_EQ(counts.crcErrors, 1u);
        }
    }
}

}  // namespace
