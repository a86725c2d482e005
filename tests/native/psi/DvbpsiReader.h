// The outside reader of the simulated tables: libdvbpsi's decoders, fed with the packets
// of psi::PacketizeSections (continuity counters stamped in turn, as the multiplexer
// does), keeping every table they complete and every message they log.
#pragma once

#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <dvbpsi/dvbpsi.h>
#include <dvbpsi/psi.h>
#include <dvbpsi/descriptor.h>
#include <dvbpsi/demux.h>
#include <dvbpsi/pat.h>
#include <dvbpsi/pmt.h>
#include <dvbpsi/sdt.h>
#include <dvbpsi/nit.h>
#include <dvbpsi/eit.h>
#include <dvbpsi/tot.h>
#include <dvbpsi/atsc_mgt.h>
#include <dvbpsi/atsc_vct.h>
#include <dvbpsi/atsc_stt.h>
}

#include "psi/Section.h"
#include "TsPacket.h"

namespace psitest {

using tunersim::stream::Packet;
using tunersim::stream::psi::Section;

template <typename T, void (*Delete)(T*)>
struct Deleter {
    void operator()(T* p) const { Delete(p); }
};
using Pat = std::unique_ptr<dvbpsi_pat_t, Deleter<dvbpsi_pat_t, dvbpsi_pat_delete>>;
using Pmt = std::unique_ptr<dvbpsi_pmt_t, Deleter<dvbpsi_pmt_t, dvbpsi_pmt_delete>>;
using Sdt = std::unique_ptr<dvbpsi_sdt_t, Deleter<dvbpsi_sdt_t, dvbpsi_sdt_delete>>;
using Nit = std::unique_ptr<dvbpsi_nit_t, Deleter<dvbpsi_nit_t, dvbpsi_nit_delete>>;
using Eit = std::unique_ptr<dvbpsi_eit_t, Deleter<dvbpsi_eit_t, dvbpsi_eit_delete>>;
using Tot = std::unique_ptr<dvbpsi_tot_t, Deleter<dvbpsi_tot_t, dvbpsi_tot_delete>>;
using Mgt = std::unique_ptr<dvbpsi_atsc_mgt_t, Deleter<dvbpsi_atsc_mgt_t, dvbpsi_atsc_DeleteMGT>>;
using Vct = std::unique_ptr<dvbpsi_atsc_vct_t, Deleter<dvbpsi_atsc_vct_t, dvbpsi_atsc_DeleteVCT>>;
using Stt = std::unique_ptr<dvbpsi_atsc_stt_t, Deleter<dvbpsi_atsc_stt_t, dvbpsi_atsc_DeleteSTT>>;

// The packets of one PID as the multiplexer emits them: counters 0, 1, 2, ... from `first`.
std::vector<Packet> Packets(uint16_t pid, const std::vector<Section>& sections, uint8_t& counter);

// One decoder on one PID. Keeps what it decodes across pushes, as a receiver would.
class Reader {
public:
    enum class Kind { Pat, Pmt, Si };  // Si: the demux with SDT, NIT, EIT, TDT/TOT, MGT, VCT, STT
    explicit Reader(Kind kind, uint16_t programNumber = 0);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Packetizes the sections on `pid` and pushes them; false when libdvbpsi refused a packet.
    bool Push(uint16_t pid, const std::vector<Section>& sections);
    // Errors and warnings libdvbpsi logged (a bad CRC, a broken section, a discontinuity).
    const std::vector<std::string>& Messages() const { return messages_; }

    std::vector<Pat> pats;
    std::vector<Pmt> pmts;
    std::vector<Sdt> sdts;
    std::vector<Nit> nits;
    std::vector<Eit> eits;
    std::vector<Tot> tots;  // TDT and TOT
    std::vector<Mgt> mgts;
    std::vector<Vct> vcts;
    std::vector<Stt> stts;

private:
    static void Message(dvbpsi_t* handle, dvbpsi_msg_level_t level, const char* text);
    static void NewSubtable(dvbpsi_t* handle, uint8_t tableId, uint16_t extension, void* self);

    dvbpsi_t* handle_;
    Kind kind_;
    uint8_t counter_ = 0;
    std::vector<std::string> messages_;
};

// The raw descriptors of a libdvbpsi list with a given tag.
std::vector<dvbpsi_descriptor_t*> DescriptorsWithTag(dvbpsi_descriptor_t* first, uint8_t tag);

}  // namespace psitest
