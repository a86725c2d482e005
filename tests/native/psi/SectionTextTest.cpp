// Section framing, the packetizer at every alignment, and the DVB text coding of names,
// each read back by an outside reader (libdvbpsi, iconv).
#include <gtest/gtest.h>

#include "DvbpsiReader.h"

extern "C" {
#include <dvbpsi/dr_48.h>
}

#include <string_view>

#include "DvbpsiReader.h"
#include "IconvText.h"
#include "Sky.h"
#include "TsPacket.h"
#include "psi/SectionPacketizer.h"
#include "psi/Tables.h"

using namespace tunersim;
namespace psi = tunersim::stream::psi;
using psitest::Reader;

namespace {

std::vector<const sky::Text*> EveryTextOfTheSky() {
    std::vector<const sky::Text*> texts;
    for (const auto& n : sky::Networks()) texts.push_back(&n.name);
    for (const auto& m : sky::Multiplexes())
        for (const auto& s : m.services) {
            texts.push_back(&s.name);
            texts.push_back(&s.provider);
            for (const auto& e : s.events) texts.push_back(&e);
        }
    return texts;
}

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

}  // namespace

TEST(PsiSection, CrcIsTheMpegOneAndPacketsCarrySectionsAtEveryAlignment) {
    const std::string_view check = "123456789";
    EXPECT_EQ(psi::Crc32Mpeg(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0x0376E6E7u);
    for (const auto& section : psi::SdtActual(sky::Multiplexes().front()))
        EXPECT_EQ(psi::Crc32Mpeg(section.data(), section.size()), 0u);  // the CRC over the whole section

    // A TDT, an SDT of growing size and a TOT back to back on one PID: the SDT's end and
    // the TOT's start fall on every offset of a packet, the 182/183/184 edges included.
    sky::Multiplex m = sky::Multiplexes().front();
    m.services.resize(1);
    std::size_t packetsBefore = 0;
    for (std::size_t length = 0; length < 200; ++length) {
        SCOPED_TRACE(length);
        m.services.front().name = {std::string(length, 'x'), sky::TextTable::Default};
        const int64_t now = 1711844980;
        const std::vector<psi::Section> sections{psi::Tdt(now), psi::SdtActual(m).front(), psi::Tot(now)};
        std::vector<stream::Packet> packets;
        psi::PacketizeSections(stream::kSdtPid, sections, packets);
        std::size_t bytes = 0;
        for (const auto& s : sections) bytes += s.size();
        EXPECT_GE(packets.size() * 184, bytes);
        EXPECT_LE(packets.size(), bytes / 183 + 2);
        EXPECT_GE(packets.size(), packetsBefore);
        packetsBefore = packets.size();
        for (const auto& p : packets) {
            EXPECT_EQ(p[0], stream::kSyncByte);
            EXPECT_EQ(stream::PidOf(p.data()), stream::kSdtPid);
        }
        Reader reader(Reader::Kind::Si);
        EXPECT_TRUE(reader.Push(stream::kSdtPid, sections));
        EXPECT_TRUE(reader.Messages().empty()) << reader.Messages().front();
        ASSERT_EQ(reader.sdts.size(), 1u);
        ASSERT_EQ(reader.tots.size(), 2u);
        const auto* service = dvbpsi_DecodeServiceDr(psitest::DescriptorsWithTag(reader.sdts.front()->p_first_service->p_first_descriptor, 0x48).front());
        ASSERT_NE(service, nullptr);
        EXPECT_EQ(service->i_service_name_length, length);
    }
    std::vector<stream::Packet> none;
    psi::PacketizeSections(stream::kSdtPid, {}, none);
    EXPECT_TRUE(none.empty());
}

TEST(PsiDvbText, EveryNameOfTheSkyReadsBackThroughIconvWithItsSelector) {
    for (const sky::Text* text : EveryTextOfTheSky()) {
        SCOPED_TRACE(text->utf8);
        const auto bytes = psi::EncodeDvbText(*text);
        if (text->utf8.empty()) {
            EXPECT_TRUE(bytes.empty());  // no selector for nothing
            continue;
        }
        ASSERT_FALSE(bytes.empty());
        switch (text->table) {
        case sky::TextTable::Default: EXPECT_GE(bytes[0], 0x20); break;
        case sky::TextTable::Iso8859_5: EXPECT_EQ(bytes[0], 0x01); break;
        case sky::TextTable::Iso8859_7: EXPECT_EQ(bytes[0], 0x03); break;
        case sky::TextTable::Iso8859_9: EXPECT_EQ(bytes[0], 0x05); break;
        case sky::TextTable::Iso8859_15: EXPECT_EQ(bytes[0], 0x0B); break;
        case sky::TextTable::Utf8: EXPECT_EQ(bytes[0], 0x15); break;
        }
        EXPECT_EQ(psitest::DvbTextToUtf8(bytes), psitest::AsCoded(*text));
    }
}

TEST(PsiDvbText, WhatATableCannotCodeBecomesAQuestionMarkAndLongNamesAreCutWhole) {
    using TT = sky::TextTable;
    // Not in the table, not UTF-8, control characters.
    EXPECT_EQ(psi::EncodeDvbText({"Ωmega €", TT::Default}), Bytes("?mega ?"));
    EXPECT_EQ(psitest::DvbTextToUtf8(psi::EncodeDvbText({"Ωmega € Ğ", TT::Iso8859_15})), "?mega € ?");
    EXPECT_EQ(psitest::DvbTextToUtf8(psi::EncodeDvbText({"Север Κύμα", TT::Iso8859_5})), "Север ????");
    EXPECT_EQ(psitest::DvbTextToUtf8(psi::EncodeDvbText({"Κύμα Ğüneş", TT::Iso8859_7})), "Κύμα ??ne?");
    EXPECT_EQ(psitest::DvbTextToUtf8(psi::EncodeDvbText({"İş Ω", TT::Iso8859_9})), "İş ?");
    EXPECT_EQ(psi::EncodeDvbText({"a\xC3(b\xED\xA0\x80z\xF0\x82\x82\xAC!", TT::Utf8}),
              Bytes("\x15" "a?(b???z???" "?!"));  // a cut sequence, a surrogate, an overlong form
    EXPECT_EQ(psi::EncodeDvbText({"\x01line\nbreak\xC2\x8A", TT::Utf8}), Bytes("\x15?line?break?"));
    EXPECT_EQ(psi::EncodeDvbText({"\x05tab\x7F", TT::Default}), Bytes("?tab?"));
    EXPECT_TRUE(psi::EncodeDvbText({"", TT::Utf8}).empty());

    // Cut after whole characters: 3-byte euro signs behind the selector, 2-byte Cyrillic.
    std::string euros;
    for (int i = 0; i < 100; ++i) euros += "€";
    const auto cut = psi::EncodeDvbText({euros, TT::Utf8}, 252);
    EXPECT_EQ(cut.size(), 1u + 83 * 3);
    EXPECT_EQ(psitest::DvbTextToUtf8(cut), euros.substr(0, 83 * 3));
    EXPECT_EQ(psi::EncodeDvbText({"Север", TT::Iso8859_5}, 4).size(), 4u);
    EXPECT_TRUE(psi::EncodeDvbText({"€", TT::Utf8}, 3).empty());  // the selector alone says nothing
    EXPECT_EQ(psi::EncodeDvbText({"€", TT::Utf8}, 4).size(), 4u);

    // Names too long for the service_descriptor: both cut to fit its 8-bit length, the
    // service's own name keeping at least half, and the SDT stays readable.
    sky::Multiplex m = sky::Multiplexes().front();
    m.services.resize(1);
    m.services.front().name = {euros + euros, TT::Utf8};
    m.services.front().provider = {std::string(400, 'p'), TT::Default};
    Reader reader(Reader::Kind::Si);
    EXPECT_TRUE(reader.Push(stream::kSdtPid, psi::SdtActual(m)));
    EXPECT_TRUE(reader.Messages().empty()) << reader.Messages().front();
    ASSERT_EQ(reader.sdts.size(), 1u);
    const auto descriptors = psitest::DescriptorsWithTag(reader.sdts.front()->p_first_service->p_first_descriptor, 0x48);
    ASSERT_EQ(descriptors.size(), 1u);
    EXPECT_EQ(descriptors.front()->i_length, 255);
    const auto* service = dvbpsi_DecodeServiceDr(descriptors.front());
    ASSERT_NE(service, nullptr);
    const std::string name = psitest::DvbTextToUtf8(service->i_service_name, service->i_service_name_length);
    EXPECT_EQ(name, euros.substr(0, 41 * 3));  // 1 + 41 * 3 = 124 bytes of the 126 it may take
    EXPECT_EQ(service->i_service_provider_name_length, 252 - 124);
}
