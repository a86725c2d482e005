#include "DvbpsiReader.h"

#include <stdexcept>

#include "psi/SectionPacketizer.h"

namespace psitest {

std::vector<Packet> Packets(uint16_t pid, const std::vector<Section>& sections, uint8_t& counter) {
    std::vector<Packet> packets;
    tunersim::stream::psi::PacketizeSections(pid, sections, packets);
    for (auto& p : packets) tunersim::stream::StampContinuity(p.data(), counter++);
    return packets;
}

Reader::Reader(Kind kind, uint16_t programNumber) : handle_(dvbpsi_new(&Reader::Message, DVBPSI_MSG_WARN)), kind_(kind) {
    if (handle_ == nullptr) throw std::runtime_error("dvbpsi_new failed");
    handle_->p_sys = this;
    bool attached = false;
    switch (kind) {
    case Kind::Pat:
        attached = dvbpsi_pat_attach(handle_, [](void* self, dvbpsi_pat_t* t) {
            static_cast<Reader*>(self)->pats.emplace_back(t);
        }, this);
        break;
    case Kind::Pmt:
        attached = dvbpsi_pmt_attach(handle_, programNumber, [](void* self, dvbpsi_pmt_t* t) {
            static_cast<Reader*>(self)->pmts.emplace_back(t);
        }, this);
        break;
    case Kind::Si: attached = dvbpsi_AttachDemux(handle_, &Reader::NewSubtable, this); break;
    }
    if (!attached) {
        dvbpsi_delete(handle_);
        throw std::runtime_error("attaching the libdvbpsi decoder failed");
    }
}

Reader::~Reader() {
    switch (kind_) {
    case Kind::Pat: dvbpsi_pat_detach(handle_); break;
    case Kind::Pmt: dvbpsi_pmt_detach(handle_); break;
    case Kind::Si: dvbpsi_DetachDemux(handle_); break;
    }
    dvbpsi_delete(handle_);
}

bool Reader::Push(uint16_t pid, const std::vector<Section>& sections) {
    bool ok = true;
    for (auto& packet : Packets(pid, sections, counter_)) ok = dvbpsi_packet_push(handle_, packet.data()) && ok;
    return ok;
}

void Reader::Message(dvbpsi_t* handle, dvbpsi_msg_level_t level, const char* text) {
    auto* self = static_cast<Reader*>(handle->p_sys);
    self->messages_.push_back(std::string(level == DVBPSI_MSG_ERROR ? "error: " : "warning: ") + text);
}

void Reader::NewSubtable(dvbpsi_t* handle, uint8_t tableId, uint16_t extension, void* data) {
    auto* self = static_cast<Reader*>(data);
    switch (tableId) {
    case 0x42:
        dvbpsi_sdt_attach(handle, tableId, extension, [](void* s, dvbpsi_sdt_t* t) {
            static_cast<Reader*>(s)->sdts.emplace_back(t);
        }, self);
        break;
    case 0x40:
        dvbpsi_nit_attach(handle, tableId, extension, [](void* s, dvbpsi_nit_t* t) {
            static_cast<Reader*>(s)->nits.emplace_back(t);
        }, self);
        break;
    case 0x4E:
        dvbpsi_eit_attach(handle, tableId, extension, [](void* s, dvbpsi_eit_t* t) {
            static_cast<Reader*>(s)->eits.emplace_back(t);
        }, self);
        break;
    case 0x70:
    case 0x73:
        dvbpsi_tot_attach(handle, tableId, extension, [](void* s, dvbpsi_tot_t* t) {
            static_cast<Reader*>(s)->tots.emplace_back(t);
        }, self);
        break;
    case 0xC7:
        dvbpsi_atsc_AttachMGT(handle, tableId, extension, [](void* s, dvbpsi_atsc_mgt_t* t) {
            static_cast<Reader*>(s)->mgts.emplace_back(t);
        }, self);
        break;
    case 0xC8:
        dvbpsi_atsc_AttachVCT(handle, tableId, extension, [](void* s, dvbpsi_atsc_vct_t* t) {
            static_cast<Reader*>(s)->vcts.emplace_back(t);
        }, self);
        break;
    case 0xCD:
        dvbpsi_atsc_AttachSTT(handle, tableId, extension, [](void* s, dvbpsi_atsc_stt_t* t) {
            static_cast<Reader*>(s)->stts.emplace_back(t);
        }, self);
        break;
    default: self->messages_.push_back("unexpected table_id " + std::to_string(tableId)); break;
    }
}

std::vector<dvbpsi_descriptor_t*> DescriptorsWithTag(dvbpsi_descriptor_t* first, uint8_t tag) {
    std::vector<dvbpsi_descriptor_t*> found;
    for (auto* d = first; d != nullptr; d = d->p_next)
        if (d->i_tag == tag) found.push_back(d);
    return found;
}

}  // namespace psitest
