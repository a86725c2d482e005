// SDT actual and NIT actual (EN 300 468 5.2.3 and 5.2.1).
#include "DeliveryDescriptors.h"
#include "Descriptors.h"
#include "SectionLoop.h"
#include "Tables.h"

namespace tunersim::stream::psi {
namespace {

constexpr uint8_t kSdtActual = 0x42;
constexpr uint8_t kNitActual = 0x40;
constexpr uint8_t kRunning = 4;
// A service_list_descriptor has room for 85 services of 3 bytes; some receivers refuse
// lists of 84 or more (libdvbpsi among them), so a multiplex's services go 80 a list.
constexpr std::size_t kServicesPerList = 80;
// Descriptors of one transport stream entry of the NIT: leaves room in every section for
// the network's own descriptors (a name of at most 257 bytes) and the loop's fields.
constexpr std::size_t kMaxTransportDescriptors = 600;

Bytes ServiceEntry(const sky::Service& s) {
    Bytes entry;
    Put16(entry, s.id);
    Put8(entry, 0xFC | 0 << 1 | 1);  // reserved, no EIT schedule, EIT present/following
    Bytes descriptors;
    PutServiceDescriptor(descriptors, DvbServiceType(s), s.provider, s.name);
    Put16(entry, kRunning << 13 | (s.scrambled ? 1 : 0) << 12 | (descriptors.size() & 0x0FFF));
    Append(entry, descriptors);
    return entry;
}

std::vector<Bytes> ServiceLists(const sky::Multiplex& m) {
    std::vector<Bytes> lists;
    for (std::size_t first = 0; first < m.services.size(); first += kServicesPerList) {
        Bytes list;
        Put8(list, 0x41);
        Put8(list, 0);
        for (std::size_t i = first; i < m.services.size() && i < first + kServicesPerList; ++i) {
            Put16(list, m.services[i].id);
            Put8(list, DvbServiceType(m.services[i]));
        }
        list[1] = static_cast<uint8_t>(list.size() - 2);
        lists.push_back(std::move(list));
    }
    return lists;
}

Bytes TransportEntry(const sky::Multiplex& m, const Bytes& descriptors) {
    Bytes entry;
    Put16(entry, m.transportStreamId);
    Put16(entry, m.originalNetworkId);
    Put16(entry, 0xF000 | (descriptors.size() & 0x0FFF));
    Append(entry, descriptors);
    return entry;
}

// A multiplex's entries: its delivery descriptor and service lists; a multiplex with
// more services than one entry can list repeats its entry with the rest.
void AppendTransportEntries(std::vector<Bytes>& entries, const sky::Multiplex& m, const sky::Network& network) {
    Bytes descriptors;
    PutDeliveryDescriptor(descriptors, m, network);
    for (const auto& list : ServiceLists(m)) {
        if (descriptors.size() + list.size() > kMaxTransportDescriptors) {
            entries.push_back(TransportEntry(m, descriptors));
            descriptors.clear();
        }
        Append(descriptors, list);
    }
    entries.push_back(TransportEntry(m, descriptors));
}

}  // namespace

std::vector<Section> SdtActual(const sky::Multiplex& m) {
    if (sky::IsAtsc(m)) return {};
    SectionLoop loop;
    loop.header = {kSdtActual, m.transportStreamId};
    loop.header.privateIndicator = true;
    Put16(loop.firstPrefix, m.originalNetworkId);
    Put8(loop.firstPrefix, 0xFF);  // reserved_future_use
    loop.prefix = loop.firstPrefix;
    std::vector<Bytes> entries;
    for (const auto& s : m.services) entries.push_back(ServiceEntry(s));
    return SpreadOverSections(loop, entries);
}

std::vector<Section> NitActual(uint16_t networkId) {
    const sky::Network* network = sky::FindNetwork(networkId);
    if (network == nullptr) return {};
    return NitActual(*network, sky::MultiplexesOf(networkId));
}

std::vector<Section> NitActual(const sky::Network& network, const std::vector<const sky::Multiplex*>& multiplexes) {
    SectionLoop loop;
    loop.header = {kNitActual, network.id};
    loop.header.privateIndicator = true;
    loop.counter = SectionLoop::Counter::Length12;
    // The network's own descriptors in the first section; the later ones have none.
    Bytes networkDescriptors;
    PutNetworkNameDescriptor(networkDescriptors, network.name);
    Put16(loop.firstPrefix, 0xF000 | networkDescriptors.size());
    Append(loop.firstPrefix, networkDescriptors);
    PutLength12(loop.firstPrefix);
    Put16(loop.prefix, 0xF000);
    PutLength12(loop.prefix);
    std::vector<Bytes> entries;
    for (const sky::Multiplex* m : multiplexes)
        if (m != nullptr) AppendTransportEntries(entries, *m, network);
    return SpreadOverSections(loop, entries);
}

}  // namespace tunersim::stream::psi
