// SDT and NIT of the sky, read by libdvbpsi; the names read back by iconv.
#include <gtest/gtest.h>

#include "DvbpsiReader.h"

extern "C" {
#include <dvbpsi/dr_40.h>
#include <dvbpsi/dr_41.h>
#include <dvbpsi/dr_43.h>
#include <dvbpsi/dr_48.h>
#include <dvbpsi/dr_5a.h>
}

#include "IconvText.h"
#include "Sky.h"
#include "TsPacket.h"
#include "psi/Tables.h"

using namespace tunersim;
namespace psi = tunersim::stream::psi;
using psitest::Reader;

namespace {

uint8_t ExpectedServiceType(const sky::Service& s) {
    if (s.kind == sky::ServiceKind::Radio) return 0x02;
    return s.streams.front().type == sky::StreamType::H264Video ? 0x19 : 0x01;
}

// A value's decimal digits as BCD nibbles, as the satellite descriptor codes them.
uint32_t Bcd(uint32_t value) {
    uint32_t bcd = 0;
    for (int shift = 0; value > 0; shift += 4, value /= 10) bcd |= (value % 10) << shift;
    return bcd;
}

void CheckSatellite(const sky::Multiplex& m, const sky::Network& n, dvbpsi_descriptor_t* d) {
    const auto* sat = dvbpsi_DecodeSatDelivSysDr(d);
    ASSERT_NE(sat, nullptr);
    EXPECT_EQ(sat->i_frequency, Bcd(m.frequencyKHz / 10));   // 10744000 kHz: 0x01074400
    EXPECT_EQ(sat->i_orbital_position, Bcd(n.orbitalTenths));
    EXPECT_EQ(sat->i_west_east_flag, n.east ? 1 : 0);
    EXPECT_EQ(sat->i_polarization, m.polarisation == frontend::kVertical ? 1 : 0);
    EXPECT_EQ(sat->i_roll_off, 0);  // 0.35
    EXPECT_EQ(sat->i_modulation_system, m.system == sky::System::DvbS2 ? 1 : 0);
    EXPECT_EQ(sat->i_modulation_type, m.modulation == frontend::k8psk ? 2 : 1);
    EXPECT_EQ(sat->i_symbol_rate, Bcd(m.symbolRate * 10));   // 27500 kS/s: 0x0275000
    const uint8_t fec = m.fec == frontend::kFec2_3 ? 2 : m.fec == frontend::kFec3_4 ? 3 : m.fec == frontend::kFec5_6 ? 4 : 0;
    EXPECT_EQ(sat->i_fec_inner, fec);
}

void CheckTerrestrial(const sky::Multiplex& m, dvbpsi_descriptor_t* d) {
    const auto* terr = dvbpsi_DecodeTerrDelivSysDr(d);
    ASSERT_NE(terr, nullptr);
    EXPECT_EQ(terr->i_centre_frequency, m.frequencyKHz * 100);  // 10 Hz units
    EXPECT_EQ(terr->i_bandwidth, 8 - m.bandwidthMHz);             // 8 MHz 0, 7 MHz 1, 6 MHz 2
    EXPECT_EQ(terr->i_constellation, m.modulation == frontend::kQam64 ? 2 : m.modulation == frontend::kQam16 ? 1 : 0);
    EXPECT_EQ(terr->i_hierarchy_information, 0);
    EXPECT_EQ(terr->i_code_rate_hp_stream, m.fec == frontend::kFec2_3 ? 1 : m.fec == frontend::kFec3_4 ? 2 : 99);
    const uint8_t guard = m.guard == frontend::kGuard1_32 ? 0 : m.guard == frontend::kGuard1_16 ? 1
                        : m.guard == frontend::kGuard1_8 ? 2 : 3;
    EXPECT_EQ(terr->i_guard_interval, guard);
    EXPECT_EQ(terr->i_transmission_mode, m.mode == frontend::kMode8k ? 1 : 0);
    EXPECT_EQ(terr->i_other_frequency_flag, 0);
}

}  // namespace

TEST(PsiServiceTables, SdtOfEveryDvbMultiplexNamesItsServices) {
    for (const auto& m : sky::Multiplexes()) {
        SCOPED_TRACE(m.name);
        const auto sections = psi::SdtActual(m);
        if (sky::IsAtsc(m)) {
            EXPECT_TRUE(sections.empty());
            continue;
        }
        Reader reader(Reader::Kind::Si);
        EXPECT_TRUE(reader.Push(stream::kSdtPid, sections));
        EXPECT_TRUE(reader.Messages().empty()) << reader.Messages().front();
        ASSERT_EQ(reader.sdts.size(), 1u);
        const auto& sdt = *reader.sdts.front();
        EXPECT_EQ(sdt.i_table_id, 0x42);
        EXPECT_EQ(sdt.i_extension, m.transportStreamId);
        EXPECT_EQ(sdt.i_network_id, m.originalNetworkId);
        std::size_t index = 0;
        for (auto* s = sdt.p_first_service; s != nullptr; s = s->p_next, ++index) {
            ASSERT_LT(index, m.services.size());
            const auto& want = m.services[index];
            SCOPED_TRACE(want.name.utf8);
            EXPECT_EQ(s->i_service_id, want.id);
            EXPECT_FALSE(s->b_eit_schedule);
            EXPECT_TRUE(s->b_eit_present);
            EXPECT_EQ(s->i_running_status, 4);
            EXPECT_EQ(s->b_free_ca, want.scrambled);
            const auto descriptors = psitest::DescriptorsWithTag(s->p_first_descriptor, 0x48);
            ASSERT_EQ(descriptors.size(), 1u);
            const auto* service = dvbpsi_DecodeServiceDr(descriptors.front());
            ASSERT_NE(service, nullptr);
            EXPECT_EQ(service->i_service_type, ExpectedServiceType(want));
            EXPECT_EQ(psitest::DvbTextToUtf8(service->i_service_name, service->i_service_name_length), psitest::AsCoded(want.name));
            EXPECT_EQ(psitest::DvbTextToUtf8(service->i_service_provider_name, service->i_service_provider_name_length),
                      psitest::AsCoded(want.provider));
        }
        EXPECT_EQ(index, m.services.size());
    }
}

TEST(PsiServiceTables, NitOfEveryNetworkDescribesItsMultiplexes) {
    std::size_t listed = 0;
    for (const auto& n : sky::Networks()) {
        SCOPED_TRACE(n.name.utf8);
        Reader reader(Reader::Kind::Si);
        EXPECT_TRUE(reader.Push(stream::kNitPid, psi::NitActual(n.id)));
        EXPECT_TRUE(reader.Messages().empty()) << reader.Messages().front();
        ASSERT_EQ(reader.nits.size(), 1u);
        const auto& nit = *reader.nits.front();
        EXPECT_EQ(nit.i_table_id, 0x40);
        EXPECT_EQ(nit.i_network_id, n.id);
        const auto names = psitest::DescriptorsWithTag(nit.p_first_descriptor, 0x40);
        ASSERT_EQ(names.size(), 1u);
        const auto* name = dvbpsi_DecodeNetworkNameDr(names.front());
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(psitest::DvbTextToUtf8(name->i_name_byte, name->i_name_length), psitest::AsCoded(n.name));

        const auto multiplexes = sky::MultiplexesOf(n.id);
        std::size_t index = 0;
        for (auto* ts = nit.p_first_ts; ts != nullptr; ts = ts->p_next, ++index) {
            ASSERT_LT(index, multiplexes.size());
            const auto& m = *multiplexes[index];
            SCOPED_TRACE(m.name);
            EXPECT_EQ(ts->i_ts_id, m.transportStreamId);
            EXPECT_EQ(ts->i_orig_network_id, m.originalNetworkId);
            const auto sat = psitest::DescriptorsWithTag(ts->p_first_descriptor, 0x43);
            const auto terr = psitest::DescriptorsWithTag(ts->p_first_descriptor, 0x5A);
            if (sky::IsSatellite(m)) {
                ASSERT_EQ(sat.size(), 1u);
                EXPECT_TRUE(terr.empty());
                CheckSatellite(m, n, sat.front());
            } else {
                ASSERT_EQ(terr.size(), 1u);
                EXPECT_TRUE(sat.empty());
                CheckTerrestrial(m, terr.front());
            }
            const auto lists = psitest::DescriptorsWithTag(ts->p_first_descriptor, 0x41);
            ASSERT_EQ(lists.size(), 1u);
            const auto* list = dvbpsi_DecodeServiceListDr(lists.front());
            ASSERT_NE(list, nullptr);
            ASSERT_EQ(list->i_service_count, m.services.size());
            for (std::size_t i = 0; i < m.services.size(); ++i) {
                EXPECT_EQ(list->i_service[i].i_service_id, m.services[i].id);
                EXPECT_EQ(list->i_service[i].i_service_type, ExpectedServiceType(m.services[i]));
            }
        }
        EXPECT_EQ(index, multiplexes.size());
        listed += index;
    }
    EXPECT_EQ(listed, 13u);
    // ATSC multiplexes belong to no network (0), and an unknown network has no NIT.
    EXPECT_TRUE(psi::NitActual(0).empty());
    EXPECT_TRUE(psi::NitActual(0x7777).empty());
}

TEST(PsiServiceTables, ManyServicesSpreadOverSectionsThatDecodeWhole) {
    // 400 services with long names: the SDT and the NIT's service lists need several
    // sections; libdvbpsi gathers them back into one table each.
    sky::Multiplex m = sky::Multiplexes().front();
    const sky::Service model = m.services.front();
    m.services.clear();
    for (int i = 0; i < 400; ++i) {
        sky::Service s = model;
        s.id = static_cast<uint16_t>(i + 1);
        s.name = {"Ωmega Channel " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 90), '*'), sky::TextTable::Utf8};
        m.services.push_back(s);
    }
    const auto sdtSections = psi::SdtActual(m);
    EXPECT_GT(sdtSections.size(), 10u);
    Reader sdtReader(Reader::Kind::Si);
    EXPECT_TRUE(sdtReader.Push(stream::kSdtPid, sdtSections));
    EXPECT_TRUE(sdtReader.Messages().empty()) << sdtReader.Messages().front();
    ASSERT_EQ(sdtReader.sdts.size(), 1u);
    int count = 0;
    for (auto* s = sdtReader.sdts.front()->p_first_service; s != nullptr; s = s->p_next, ++count) {
        ASSERT_EQ(s->i_service_id, count + 1);
        const auto* service = dvbpsi_DecodeServiceDr(psitest::DescriptorsWithTag(s->p_first_descriptor, 0x48).front());
        ASSERT_NE(service, nullptr);
        EXPECT_EQ(psitest::DvbTextToUtf8(service->i_service_name, service->i_service_name_length),
                  m.services[static_cast<std::size_t>(count)].name.utf8);
    }
    EXPECT_EQ(count, 400);

    const sky::Network& network = sky::Networks().front();
    std::vector<const sky::Multiplex*> multiplexes(8, &m);
    const auto nitSections = psi::NitActual(network, multiplexes);
    EXPECT_GT(nitSections.size(), 1u);
    Reader nitReader(Reader::Kind::Si);
    EXPECT_TRUE(nitReader.Push(stream::kNitPid, nitSections));
    EXPECT_TRUE(nitReader.Messages().empty()) << nitReader.Messages().front();
    ASSERT_EQ(nitReader.nits.size(), 1u);
    std::size_t services = 0, deliveries = 0;
    for (auto* ts = nitReader.nits.front()->p_first_ts; ts != nullptr; ts = ts->p_next) {
        deliveries += psitest::DescriptorsWithTag(ts->p_first_descriptor, 0x43).size();
        for (auto* d : psitest::DescriptorsWithTag(ts->p_first_descriptor, 0x41)) {
            const auto* list = dvbpsi_DecodeServiceListDr(d);
            ASSERT_NE(list, nullptr);
            services += list->i_service_count;
        }
    }
    EXPECT_EQ(deliveries, 8u);
    EXPECT_EQ(services, 8u * 400u);
}
