// The PSI/SI writers on multiplexes and services made from the input: any ids, PIDs and
// delivery values, names in any table and not always UTF-8, hundreds of services.
// Properties: every section's CRC_32 verifies (by a bitwise reference, not the writer's
// table), section_length agrees with the size, sizes stay within the table's limit,
// section numbers run 0..last in every section; the packets are whole 188-byte packets
// of the PID with sync bytes, payload only, counters 0, stuffing only 0xFF, and read
// back (pointer_field, payload_unit_start_indicator) give exactly the sections. Coded
// names fit their limit, are a prefix of the whole coding, carry no control codes and,
// in the UTF-8 table, are UTF-8. The clock's tables hold for any time.
#include "FuzzSupport.h"
#include "Sky.h"
#include "psi/SectionPacketizer.h"
#include "psi/Tables.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

namespace {

namespace sky = tunersim::sky;
namespace psi = tunersim::stream::psi;
namespace stream = tunersim::stream;

uint32_t ReferenceCrc(const std::vector<uint8_t>& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (const uint8_t byte : bytes)
        for (int bit = 7; bit >= 0; --bit) {
            const bool in = ((byte >> bit) & 1) != ((crc >> 31) & 1);
            crc = (crc << 1) ^ (in ? 0x04C11DB7u : 0);
        }
    return crc;
}

enum class Form { Long, ShortWithCrc, ShortWithoutCrc };

void CheckSections(const std::vector<psi::Section>& sections, uint8_t tableId, std::size_t maxSize, Form form) {
    FUZZ_REQUIRE(sections.size() <= 256, "at most 256 sections");
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const auto& s = sections[i];
        FUZZ_REQUIRE(s.size() >= 3 && s.size() <= maxSize, "a section within the table's limit");
        FUZZ_REQUIRE(s[0] == tableId, "the table's table_id");
        const std::size_t length = static_cast<std::size_t>(s[1] & 0x0F) << 8 | s[2];
        FUZZ_REQUIRE(length + 3 == s.size(), "section_length counts the rest of the section");
        FUZZ_REQUIRE(((s[1] & 0x80) != 0) == (form == Form::Long), "section_syntax_indicator");
        if (form != Form::ShortWithoutCrc) FUZZ_REQUIRE(ReferenceCrc(s) == 0, "the CRC_32 verifies");
        if (form == Form::Long) {
            FUZZ_REQUIRE(s.size() >= 12, "a long section has its header and CRC");
            FUZZ_REQUIRE(s[6] == i && s[7] == sections.size() - 1, "section_number and last_section_number");
            FUZZ_REQUIRE(s[5] & 0x01, "current_next_indicator");
            FUZZ_REQUIRE(s[3] == sections[0][3] && s[4] == sections[0][4] && s[5] == sections[0][5],
                         "one table: the same extension and version in every section");
        }
    }
}

// Reads the packets back as a receiver does, independently of the packetizer.
class SectionReader {
public:
    // Takes bytes of the section under way from p[pos...]; true once it is whole.
    bool Take(const stream::Packet& p, std::size_t& pos) {
        while (pos < 188) {
            current_.push_back(p[pos++]);
            if (current_.size() >= 3 && current_.size() == 3 + (static_cast<std::size_t>(current_[1] & 0x0F) << 8 | current_[2])) {
                sections.push_back(std::move(current_));
                current_.clear();
                return true;
            }
        }
        return false;
    }
    bool InSection() const { return !current_.empty(); }
    std::vector<psi::Section> sections;

private:
    psi::Section current_;
};

void RequireStuffing(const stream::Packet& p, std::size_t pos) {
    for (; pos < 188; ++pos) FUZZ_REQUIRE(p[pos] == 0xFF, "stuffing is 0xFF to the end of the packet");
}

void CheckPackets(uint16_t pid, const std::vector<psi::Section>& sections) {
    std::vector<stream::Packet> packets;
    psi::PacketizeSections(pid, sections, packets);
    SectionReader reader;
    for (const auto& p : packets) {
        FUZZ_REQUIRE(p.size() == 188 && p[0] == 0x47, "whole packets with their sync byte");
        FUZZ_REQUIRE(stream::PidOf(p.data()) == pid, "the PID asked for");
        FUZZ_REQUIRE((p[1] & 0x80) == 0 && (p[3] & 0xF0) == 0x10, "no error flag, payload only, not scrambled");
        FUZZ_REQUIRE((p[3] & 0x0F) == 0, "continuity counters left 0");
        const bool unitStart = (p[1] & 0x40) != 0;
        std::size_t pos = unitStart ? 5 : 4;
        if (!unitStart) {
            FUZZ_REQUIRE(reader.InSection(), "a packet without a unit start continues a section");
            if (reader.Take(p, pos)) RequireStuffing(p, pos);
            continue;
        }
        const std::size_t start = 5 + p[4];
        FUZZ_REQUIRE(start < 188, "the pointer_field points into the packet");
        if (reader.InSection()) {
            FUZZ_REQUIRE(reader.Take(p, pos) && pos == start, "the pointer_field skips exactly the end of the section under way");
        } else {
            FUZZ_REQUIRE(start == 5, "nothing before the pointed section when none is under way");
        }
        FUZZ_REQUIRE(p[pos] != 0xFF, "a unit start carries the start of a section");
        while (pos < 188 && p[pos] != 0xFF)
            if (!reader.Take(p, pos)) break;
        RequireStuffing(p, pos);
    }
    FUZZ_REQUIRE(!reader.InSection(), "the last section ends in the last packet");
    std::vector<psi::Section> nonEmpty;
    for (const auto& s : sections)
        if (!s.empty()) nonEmpty.push_back(s);
    FUZZ_REQUIRE(reader.sections == nonEmpty, "the packets give back exactly the sections");
}

bool IsUtf8(const std::vector<uint8_t>& b, std::size_t from) {
    for (std::size_t i = from; i < b.size();) {
        const uint8_t c = b[i];
        std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || i + n > b.size()) return false;
        uint32_t v = n == 1 ? c : c & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            if ((b[i + k] & 0xC0) != 0x80) return false;
            v = v << 6 | (b[i + k] & 0x3F);
        }
        const uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (v < minimum[n] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF) || v < 0x20 || (v >= 0x7F && v <= 0x9F))
            return false;
        i += n;
    }
    return true;
}

void CheckText(const sky::Text& text, std::size_t limit) {
    const auto whole = psi::EncodeDvbText(text);
    const auto cut = psi::EncodeDvbText(text, limit);
    FUZZ_REQUIRE(cut.size() <= limit, "a coded name fits its limit");
    FUZZ_REQUIRE(cut.size() <= whole.size() && std::equal(cut.begin(), cut.end(), whole.begin()),
                 "a cut name is the start of the whole one");
    FUZZ_REQUIRE(text.utf8.empty() == whole.empty(), "only an empty text codes to nothing");
    if (whole.empty()) return;
    const bool selector = text.table != sky::TextTable::Default;
    FUZZ_REQUIRE(selector == (whole[0] < 0x20), "a selector exactly for the tables that have one");
    if (text.table == sky::TextTable::Utf8) {
        FUZZ_REQUIRE(whole[0] == 0x15 && IsUtf8(whole, 1), "the UTF-8 table holds UTF-8 without controls");
    } else {
        for (std::size_t i = selector ? 1 : 0; i < whole.size(); ++i)
            FUZZ_REQUIRE(whole[i] >= 0x20 && !(whole[i] >= 0x7F && whole[i] <= 0x9F), "no control codes in a one-byte table");
    }
}

sky::Text FuzzText(FuzzedDataProvider& in) {
    sky::Text text;
    text.table = static_cast<sky::TextTable>(in.ConsumeIntegralInRange<int>(0, 5));
    text.utf8 = in.ConsumeRandomLengthString(320);
    return text;
}

sky::Service FuzzService(FuzzedDataProvider& in) {
    sky::Service s;
    s.id = in.ConsumeIntegral<uint16_t>();
    s.name = FuzzText(in);
    s.provider = FuzzText(in);
    s.kind = in.ConsumeBool() ? sky::ServiceKind::Television : sky::ServiceKind::Radio;
    s.pmtPid = in.ConsumeIntegral<uint16_t>();
    s.pcrPid = in.ConsumeIntegral<uint16_t>();
    const std::size_t streams = in.ConsumeIntegralInRange<std::size_t>(0, in.ConsumeBool() ? 4 : 120);
    for (std::size_t i = 0; i < streams; ++i)
        s.streams.push_back({in.ConsumeIntegral<uint16_t>(), static_cast<sky::StreamType>(in.ConsumeIntegralInRange<int>(0, 3)),
                             in.ConsumeRandomLengthString(5), ""});
    s.scrambled = in.ConsumeBool();
    s.ecmPid = in.ConsumeIntegral<uint16_t>();
    s.majorChannel = in.ConsumeIntegral<uint16_t>();
    s.minorChannel = in.ConsumeIntegral<uint16_t>();
    s.shortName = in.ConsumeRandomLengthString(16);
    const std::size_t events = in.ConsumeIntegralInRange<std::size_t>(0, 3);
    for (std::size_t i = 0; i < events; ++i) s.events.push_back(FuzzText(in));
    return s;
}

sky::Multiplex FuzzMultiplex(FuzzedDataProvider& in) {
    sky::Multiplex m;
    m.system = static_cast<sky::System>(in.ConsumeIntegralInRange<int>(0, 3));
    m.frequencyKHz = in.ConsumeIntegral<uint32_t>();
    m.polarisation = in.ConsumeIntegral<uint8_t>();
    m.symbolRate = in.ConsumeIntegral<uint32_t>();
    m.modulation = in.ConsumeIntegral<uint8_t>();
    m.fec = in.ConsumeIntegral<uint8_t>();
    m.bandwidthMHz = in.ConsumeIntegral<uint8_t>();
    m.guard = in.ConsumeIntegral<uint8_t>();
    m.mode = in.ConsumeIntegral<uint8_t>();
    m.networkId = in.ConsumeIntegral<uint16_t>();
    m.originalNetworkId = in.ConsumeIntegral<uint16_t>();
    m.transportStreamId = in.ConsumeIntegral<uint16_t>();
    const std::size_t services = in.ConsumeIntegralInRange<std::size_t>(0, 6);
    for (std::size_t i = 0; i < services; ++i) m.services.push_back(FuzzService(in));
    // Copies with ids of their own: a crowded multiplex splits its tables.
    const std::size_t copies = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::size_t>(0, 900) : 0;
    for (std::size_t i = 0; i < copies && !m.services.empty(); ++i) {
        sky::Service copy = m.services[i % services];
        copy.id = static_cast<uint16_t>(copy.id + i + 1);
        m.services.push_back(std::move(copy));
    }
    return m;
}

void CheckMultiplex(const sky::Multiplex& m, int64_t now) {
    const bool atsc = sky::IsAtsc(m);
    const auto pat = psi::Pat(m);
    CheckSections(pat, 0x00, 1024, Form::Long);
    CheckPackets(0x0000, pat);
    std::size_t programs = 0;
    for (const auto& s : pat) programs += (s.size() - 12) / 4;
    FUZZ_REQUIRE(programs == std::min<std::size_t>(m.services.size() + (atsc ? 0 : 1), 256 * 253),
                 "the PAT names every program (and the NIT on DVB)");

    for (std::size_t i = 0; i < m.services.size() && i < 8; ++i) {
        const auto& s = m.services[i];
        const auto pmt = psi::Pmt(m, s);
        FUZZ_REQUIRE(pmt.size() == 1, "a PMT is one section");
        CheckSections(pmt, 0x02, 1024, Form::Long);
        CheckPackets(s.pmtPid & 0x1FFF, pmt);
        const auto eit = psi::EitPresentFollowing(m, s, now);
        FUZZ_REQUIRE(eit.size() == (atsc ? 0u : 2u), "EIT present/following: two sections on DVB");
        CheckSections(eit, 0x4E, 4096, Form::Long);
        CheckPackets(stream::kEitPid, eit);
        const psi::Event present = psi::EventAt(s, now);
        const psi::Event following = psi::EventAt(s, present.startUnix + 1800);
        FUZZ_REQUIRE(present.startUnix % 1800 == 0 && present.durationSeconds == 1800, "half-hour slots");
        FUZZ_REQUIRE(following.startUnix == present.startUnix + 1800 || present.startUnix + 1800 > 253402300799,
                     "the following event starts when the present one ends");
        FUZZ_REQUIRE((present.title == nullptr) == s.events.empty(), "a title exactly when the service has some");
        CheckText(s.name, 126);
        CheckText(s.provider, 252);
        for (const auto& e : s.events) CheckText(e, 250);
    }

    const auto sdt = psi::SdtActual(m);
    FUZZ_REQUIRE(sdt.empty() == atsc, "an SDT on DVB only");
    CheckSections(sdt, 0x42, 1024, Form::Long);
    CheckPackets(stream::kSdtPid, sdt);

    const auto tvct = psi::AtscTvct(m);
    const auto mgt = psi::AtscMgt(m);
    FUZZ_REQUIRE(tvct.empty() != atsc && mgt.size() == (atsc ? 1u : 0u), "MGT and TVCT on ATSC only");
    CheckSections(tvct, 0xC8, 1024, Form::Long);
    CheckSections(mgt, 0xC7, 1024, Form::Long);
    std::vector<psi::Section> psip = mgt;
    psip.insert(psip.end(), tvct.begin(), tvct.end());
    CheckPackets(stream::kAtscBasePid, psip);
    if (atsc) {
        uint32_t bytes = 0;
        for (const auto& s : tvct) bytes += static_cast<uint32_t>(s.size());
        const auto& g = mgt.front();
        FUZZ_REQUIRE((uint32_t{g[16]} << 24 | g[17] << 16 | g[18] << 8 | g[19]) == bytes, "the MGT counts the TVCT's bytes");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int64_t now = in.ConsumeIntegral<int64_t>();
    const sky::Multiplex m = FuzzMultiplex(in);
    CheckMultiplex(m, now);

    sky::Network network;
    network.id = in.ConsumeIntegral<uint16_t>();
    network.name = FuzzText(in);
    network.orbitalTenths = in.ConsumeIntegral<uint16_t>();
    network.east = in.ConsumeBool();
    CheckText(network.name, 255);
    const std::vector<const sky::Multiplex*> listed(in.ConsumeIntegralInRange<std::size_t>(0, 12), &m);
    const auto nit = psi::NitActual(network, listed);
    CheckSections(nit, 0x40, 1024, Form::Long);
    CheckPackets(stream::kNitPid, nit);

    const auto tdt = psi::Tdt(now);
    const auto tot = psi::Tot(now);
    FUZZ_REQUIRE(tdt.size() == 8 && tot.size() == 3 + 5 + 2 + 15 + 4, "TDT and TOT have their fixed sizes");
    CheckSections({tdt}, 0x70, 1024, Form::ShortWithoutCrc);
    CheckSections({tot}, 0x73, 1024, Form::ShortWithCrc);
    CheckPackets(stream::kTdtPid, {tdt, tot});
    const auto stt = psi::AtscStt(now);
    CheckSections({stt}, 0xCD, 1024, Form::Long);
    return 0;
}
