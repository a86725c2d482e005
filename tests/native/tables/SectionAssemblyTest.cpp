// Sections out of packets, cut wherever the packets cut them, and every kind of impossible
// section or packet dropped and counted without losing the next good one.
#include <gtest/gtest.h>

#include <vector>

#include "TableReader.h"
#include "psi/Section.h"

namespace {

namespace tt = talvex::tables;
using tunersim::stream::psi::LongHeader;
using tunersim::stream::psi::LongSection;
using tunersim::stream::psi::Section;
using Bytes = std::vector<uint8_t>;

constexpr uint16_t kTsid = 0x1234;

Section Pat(uint8_t version, int programs) {
    Bytes body;
    for (int i = 1; i <= programs; ++i) {
        const uint16_t pid = static_cast<uint16_t>(0x100 + (i - 1) % 2);  // two programs share each PMT PID
        body.insert(body.end(), {0, static_cast<uint8_t>(i), static_cast<uint8_t>(0xE0 | pid >> 8),
                                 static_cast<uint8_t>(pid)});
    }
    LongHeader h{0x00, kTsid, version};
    return LongSection(h, body);
}

Section Pmt(uint16_t program, uint16_t esPid) {
    // PCR on the video PID; a CA descriptor on the audio stream only.
    const Bytes body = {static_cast<uint8_t>(0xE0 | esPid >> 8), static_cast<uint8_t>(esPid), 0xF0, 0,
                        0x1B, static_cast<uint8_t>(0xE0 | esPid >> 8), static_cast<uint8_t>(esPid), 0xF0, 0,
                        0x04, static_cast<uint8_t>(0xE0 | (esPid + 1) >> 8), static_cast<uint8_t>(esPid + 1), 0xF0, 12,
                        0x0A, 4, 'd', 'e', 'u', 0,
                        0x09, 4, 0x0B, 0x00, 0xE1, 0x23};
    return LongSection(LongHeader{0x02, program}, body);
}

// A short private section of `size` bytes (ignored by the reader), to move what follows
// to any place in the packets.
Section Filler(std::size_t size) {
    Section s(size, 0x55);
    s[0] = 0x90;
    s[1] = static_cast<uint8_t>(0x70 | (size - 3) >> 8);
    s[2] = static_cast<uint8_t>(size - 3);
    return s;
}

// The sections back to back over packets of `pid`, each packet that a section starts in
// pointing at the first such start: headers and sections split wherever 184 bytes fall.
Bytes Pack(uint16_t pid, const std::vector<Section>& sections, uint8_t& counter) {
    Bytes stream;
    std::vector<std::size_t> starts;
    for (const auto& s : sections) {
        starts.push_back(stream.size());
        stream.insert(stream.end(), s.begin(), s.end());
    }
    Bytes packets;
    std::size_t pos = 0;
    while (pos < stream.size()) {
        Bytes p(188, 0xFF);
        p[0] = 0x47;
        p[1] = static_cast<uint8_t>(pid >> 8);
        p[2] = static_cast<uint8_t>(pid);
        p[3] = static_cast<uint8_t>(0x10 | (counter++ & 0x0F));
        std::size_t at = 4;
        std::size_t next = stream.size();  // the first section start from here on
        for (std::size_t start : starts)
            if (start >= pos) next = std::min(next, start);
        std::size_t n = stream.size() - pos;
        if (next < pos + 183) {
            p[1] |= 0x40;
            p[at++] = static_cast<uint8_t>(next - pos);
        } else {
            n = std::min(n, next - pos);  // a section cannot start without a pointer: stuffing instead
        }
        n = std::min(n, 188 - at);
        std::copy(stream.begin() + static_cast<std::ptrdiff_t>(pos), stream.begin() + static_cast<std::ptrdiff_t>(pos + n),
                  p.begin() + static_cast<std::ptrdiff_t>(at));
        pos += n;
        packets.insert(packets.end(), p.begin(), p.end());
    }
    return packets;
}

void Feed(tt::TableReader& reader, const Bytes& packets, bool discontinuity = false) {
    reader.Feed(packets.data(), packets.size() / 188, discontinuity);
}

bool HasPat(const tt::TableReader& reader) { return reader.MissingText().find("the PAT") == std::string::npos; }

TEST(SectionAssembly, SectionsAreFoundWhereverThePacketsCutThem) {
    // Fillers of 3..400 bytes put the PAT's and PMTs' starts, headers and CRCs across
    // every kind of packet boundary, several sections sharing one packet.
    for (std::size_t filler : {0, 3, 4, 5, 100, 178, 179, 180, 181, 182, 183, 184, 185, 186, 366, 400}) {
        SCOPED_TRACE(filler);
        tt::TableReader reader;
        uint8_t patCounter = 3, pmtCounter = 9;
        std::vector<Section> onPat, onPmt;
        if (filler) onPat.push_back(Filler(filler));
        onPat.push_back(Pat(7, 4));
        if (filler) onPmt.push_back(Filler(filler));
        onPmt.insert(onPmt.end(), {Pmt(1, 0x300), Pmt(3, 0x310)});
        Feed(reader, Pack(0x0000, onPat, patCounter));
        Feed(reader, Pack(0x0100, onPmt, pmtCounter));
        const tt::Multiplex m = reader.Result();
        EXPECT_EQ(m.transportStreamId, kTsid);
        ASSERT_EQ(m.services.size(), 4u);
        EXPECT_EQ(m.services[0].pmtPid, 0x100);
        EXPECT_EQ(m.services[1].pmtPid, 0x101);
        EXPECT_EQ(m.services[0].pcrPid, 0x300);
        ASSERT_EQ(m.services[2].streams.size(), 2u);
        EXPECT_EQ(m.services[2].streams[0].streamType, 0x1B);
        EXPECT_EQ(m.services[2].streams[1].pid, 0x311);
        EXPECT_EQ(m.services[2].streams[1].language, "deu");
        EXPECT_EQ(m.services[2].caSystemIds, std::vector<uint16_t>{0x0B00});
        ASSERT_EQ(m.services[2].streams[1].ca.size(), 1u);
        EXPECT_EQ(m.services[2].streams[1].ca[0].pid, 0x0123);
        EXPECT_TRUE(m.services[2].scrambled);
        EXPECT_EQ(m.services[2].pmtSection, Pmt(3, 0x310));
        EXPECT_TRUE(m.services[1].streams.empty());  // program 2's PMT has not come
        EXPECT_EQ(reader.MissingText(), "the PMT of service 0x0002, the PMT of service 0x0004, the SDT or the MGT");
        EXPECT_EQ(reader.Counts().badSections, 0u);
        EXPECT_EQ(reader.Counts().continuityGaps, 0u);
    }
}

TEST(SectionAssembly, ImpossibleSectionsAndLostPacketsDropWhatTheyTouchAndNothingMore) {
    tt::TableReader reader;
    uint8_t counter = 0;
    ASSERT_EQ(Pat(1, 120).size(), 492u);  // three packets
    uint64_t bad = 0;

    // section_length beyond the PAT's 1021, and a long-form length too short for its header.
    for (uint16_t length : {1022, 5}) {
        Section s = Pat(1, 1);
        s[1] = static_cast<uint8_t>((s[1] & 0xF0) | length >> 8);
        s[2] = static_cast<uint8_t>(length);
        Feed(reader, Pack(0, {s}, counter));
        EXPECT_EQ(reader.Counts().badSections, ++bad);
    }
    // A pointer_field pointing past the packet.
    Bytes p = Pack(0, {Pat(1, 1)}, counter);
    p[4] = 200;
    Feed(reader, p);
    EXPECT_EQ(reader.Counts().badSections, ++bad);
    // A section cut short by the next one starting.
    const Bytes fresh = Pack(0, {Pat(1, 120)}, counter);
    Bytes cut(fresh.begin(), fresh.begin() + 188);
    counter = static_cast<uint8_t>((cut[3] & 0x0F) + 1);
    Feed(reader, cut);
    Feed(reader, Pack(0, {Filler(10)}, counter));
    EXPECT_EQ(reader.Counts().badSections, ++bad);
    // A wrong CRC.
    Section wrong = Pat(1, 2);
    wrong[9] ^= 0x40;
    Feed(reader, Pack(0, {wrong}, counter));
    EXPECT_EQ(reader.Counts().crcErrors, 1u);
    EXPECT_TRUE(reader.Result().services.empty());
    EXPECT_FALSE(HasPat(reader));

    // Lost packets: the middle packet missing, then flagged with a transport error.
    Bytes renumbered = Pack(0, {Pat(1, 120)}, counter);
    Bytes lost(renumbered.begin(), renumbered.begin() + 188);
    lost.insert(lost.end(), renumbered.begin() + 376, renumbered.end());
    Feed(reader, lost);
    EXPECT_EQ(reader.Counts().continuityGaps, 1u);
    Bytes flagged = Pack(0, {Pat(1, 120)}, counter);
    flagged[188 + 1] |= 0x80;
    Feed(reader, flagged);
    EXPECT_EQ(reader.Counts().transportErrors, 1u);
    EXPECT_EQ(reader.Counts().continuityGaps, 2u);
    // The caller's discontinuity (packets lost before these) and the adaptation field's.
    Bytes split = Pack(0, {Pat(1, 120)}, counter);
    Feed(reader, Bytes(split.begin(), split.begin() + 188));
    Feed(reader, Bytes(split.begin() + 188, split.end()), true);
    Bytes marked = Pack(0, {Pat(1, 120)}, counter);
    Bytes withField(marked.begin(), marked.begin() + 188);
    {
        // The second packet with a 2-byte adaptation field carrying discontinuity_indicator.
        Bytes q(188, 0xFF);
        std::copy(marked.begin() + 188, marked.begin() + 192, q.begin());
        q[3] = static_cast<uint8_t>(0x30 | (q[3] & 0x0F));
        q[4] = 1;
        q[5] = 0x80;
        std::copy(marked.begin() + 192, marked.begin() + 376 - 2, q.begin() + 6);
        withField.insert(withField.end(), q.begin(), q.end());
        withField.insert(withField.end(), marked.begin() + 376, marked.end());
    }
    Feed(reader, withField);
    EXPECT_TRUE(reader.Result().services.empty());
    EXPECT_EQ(reader.Counts().crcErrors, 1u);  // nothing glued together reached the CRC check

    // A repeated packet (same counter) is a duplicate, not a gap; then the PAT reads.
    Bytes again = Pack(0, {Pat(1, 120)}, counter);
    Bytes duplicated(again.begin(), again.begin() + 376);
    duplicated.insert(duplicated.end(), again.begin() + 188, again.end());
    Feed(reader, duplicated);
    EXPECT_TRUE(HasPat(reader));
    EXPECT_EQ(reader.Result().services.size(), 120u);
    EXPECT_EQ(reader.Counts().continuityGaps, 2u);
    EXPECT_EQ(reader.Counts().badSections, bad);
    EXPECT_EQ(reader.Counts().crcErrors, 1u);

    // A new version replaces the table: fewer programs, their PMTs followed anew.
    Feed(reader, Pack(0, {Pat(2, 3)}, counter));
    EXPECT_EQ(reader.Result().services.size(), 3u);
}

TEST(SectionAssembly, PacketsThatAreNoPacketsAreCountedAndSkipped) {
    tt::TableReader reader;
    Bytes junk(3 * 188, 0x00);
    junk[188] = 0x47;
    junk[188 + 3] = 0x20;  // adaptation field only...
    junk[188 + 4] = 184;   // ...longer than the packet
    junk[376] = 0x47;      // adaptation_field_control 0 (reserved)
    reader.Feed(junk.data(), 3);
    EXPECT_EQ(reader.Counts().packets, 3u);
    EXPECT_EQ(reader.Counts().badPackets, 3u);
}

}  // namespace
