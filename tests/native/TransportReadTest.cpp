// Every clip's PES packets in a transport stream, three loops across the 33-bit PTS wrap,
// read by ffprobe and decoded by ffmpeg: what a receiver makes of the packets, seams
// and wrap included. The PAT and PMTs come from libdvbpsi, one program per clip type.
// libdvbpsi's headers need the standard types and each other in this order.
#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <dvbpsi/dvbpsi.h>
#include <dvbpsi/descriptor.h>
#include <dvbpsi/psi.h>
#include <dvbpsi/pat.h>
#include <dvbpsi/pmt.h>

#include <map>
#include <memory>

#include "ContentSupport.h"

using namespace tunersim;
using namespace content_test;

namespace {

constexpr uint64_t kFirstPts = stream::kPtsModulus - 45000;  // the wrap comes after half a second

uint8_t StreamTypeCode(sky::StreamType type) {
    switch (type) {
    case sky::StreamType::Mpeg2Video: return 0x02;
    case sky::StreamType::H264Video: return 0x1B;
    case sky::StreamType::Mpeg1Layer2Audio: return 0x03;
    case sky::StreamType::Ac3Audio: return 0x81;
    }
    return 0;
}

// A section in TS packets of a PID: pointer field, the section, 0xFF to the end.
void AppendSection(uint16_t pid, const dvbpsi_psi_section_t* section, std::vector<stream::Packet>& out) {
    const std::size_t length = std::size_t{section->i_length} + 3;
    std::vector<uint8_t> payload(1 + length, 0);
    std::copy_n(section->p_data, length, payload.begin() + 1);
    for (std::size_t pos = 0; pos < payload.size(); pos += 184) {
        stream::Packet p;
        p.fill(0xFF);
        stream::WriteHeader(p.data(), pid, pos == 0, stream::kPayloadOnly);
        std::copy_n(payload.begin() + static_cast<std::ptrdiff_t>(pos), std::min<std::size_t>(184, payload.size() - pos),
                    p.begin() + 4);
        out.push_back(p);
    }
}

struct PsiDeleter {
    void operator()(dvbpsi_t* h) const { dvbpsi_delete(h); }
    void operator()(dvbpsi_psi_section_t* s) const { dvbpsi_DeletePSISections(s); }
};

struct Played {
    uint16_t pid;
    const stream::Clip* clip;
    stream::ElementaryPlayer player;
};

}  // namespace

TEST(TransportRead, FfprobeFindsEveryUnitOfThreeLoopsAtItsPtsAndFfmpegDecodesThemWithoutError) {
    stream::ClipLibrary library(ContentFolder().string());
    // One program per clip type, its clips' PIDs in manifest order.
    std::map<sky::StreamType, std::vector<Played>> programs;
    uint16_t nextPid = 0x200;
    for (const auto& e : ReadManifest()) {
        const auto type = TypeOfExtension(e.type);
        const auto& clip = library.Get(e.clip, type);
        programs[type].push_back({nextPid++, &clip, stream::ElementaryPlayer(clip, kFirstPts)});
    }

    std::unique_ptr<dvbpsi_t, PsiDeleter> psi(dvbpsi_new(nullptr, DVBPSI_MSG_NONE));
    std::vector<stream::Packet> packets;
    dvbpsi_pat_t pat;
    dvbpsi_pat_init(&pat, 0x0401, 0, true);
    uint16_t program = 1;
    for (std::size_t i = 0; i < programs.size(); ++i, ++program) {
        dvbpsi_pat_program_add(&pat, program, static_cast<uint16_t>(0x100 + program));
    }
    std::unique_ptr<dvbpsi_psi_section_t, PsiDeleter> patSection(dvbpsi_pat_sections_generate(psi.get(), &pat, 253));
    AppendSection(stream::kPatPid, patSection.get(), packets);
    dvbpsi_pat_empty(&pat);
    program = 1;
    for (const auto& [type, played] : programs) {
        dvbpsi_pmt_t pmt;
        dvbpsi_pmt_init(&pmt, program, 0, true, stream::kNullPid);
        for (const auto& p : played) dvbpsi_pmt_es_add(&pmt, StreamTypeCode(type), p.pid);
        std::unique_ptr<dvbpsi_psi_section_t, PsiDeleter> section(dvbpsi_pmt_sections_generate(psi.get(), &pmt));
        ASSERT_EQ(section->p_next, nullptr);
        AppendSection(static_cast<uint16_t>(0x100 + program), section.get(), packets);
        dvbpsi_pmt_empty(&pmt);
        ++program;
    }

    // Three loops of every clip, the PES packets in PTS order across all of them.
    std::vector<Played*> all;
    for (auto& [type, played] : programs) {
        for (auto& p : played) all.push_back(&p);
    }
    std::vector<uint8_t> pes;
    for (;;) {
        Played* next = nullptr;
        for (auto* p : all) {
            if (p->player.UnitsPlayed() < 3 * p->clip->Count() && (!next || p->player.NextPts() < next->player.NextPts())) next = p;
        }
        if (!next) break;
        next->player.NextPes(pes);
        stream::PacketizePes(next->pid, pes, packets);
    }
    std::map<uint16_t, uint8_t> counters;
    for (auto& p : packets) stream::StampContinuity(p.data(), counters[stream::PidOf(p.data())]++);
    TempFolder folder("transport-read");
    const auto ts = folder / "loops.ts";
    {
        std::ofstream out(ts, std::ios::binary);
        out.write(reinterpret_cast<const char*>(packets.data()), static_cast<std::streamsize>(packets.size() * 188));
    }

    const std::string input = " -probesize 50M -analyzeduration 20M -i " + ts.string();
    EXPECT_EQ(RunCommand("ffmpeg -nostdin -v error" + input + " -map 0 -f null -"), "");

    // packet,<stream index>,<pts>[,side_data...] lines, then [program,]stream,<index>,<codec>,<pid>.
    const std::string probed = RunCommand("ffprobe -v error" + input +
                                          " -show_entries stream=index,codec_name,id:packet=stream_index,pts -of csv");
    std::map<int, std::vector<int64_t>> ptsOfIndex;
    std::map<uint16_t, std::vector<int64_t>> pts;
    std::map<uint16_t, std::string> codecs;
    std::istringstream lines(probed);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
        if (!f.empty() && f[0] == "program") f.erase(f.begin());  // the programs list their streams again
        if (f.size() >= 3 && f[0] == "packet") {
            ptsOfIndex[std::stoi(f[1])].push_back(std::stoll(f[2]));
        } else if (f.size() >= 4 && f[0] == "stream" && f[1] != "side_data") {
            const auto pid = static_cast<uint16_t>(std::stoul(f[3], nullptr, 16));
            codecs[pid] = f[2];
            pts[pid] = ptsOfIndex[std::stoi(f[1])];
        } else if (!line.empty() && line.find("side_data") == std::string::npos) {
            ADD_FAILURE() << "ffprobe: " << line;
        }
    }
    const std::map<sky::StreamType, std::string> codecNames{{sky::StreamType::Mpeg2Video, "mpeg2video"},
                                                            {sky::StreamType::H264Video, "h264"},
                                                            {sky::StreamType::Mpeg1Layer2Audio, "mp2"},
                                                            {sky::StreamType::Ac3Audio, "ac3"}};
    ASSERT_EQ(codecs.size(), all.size());
    for (const auto* p : all) {
        SCOPED_TRACE(p->pid);
        EXPECT_EQ(codecs[p->pid], codecNames.at(p->clip->Type()));
        const auto& got = pts[p->pid];
        ASSERT_EQ(got.size(), 3 * p->clip->Count()) << "every unit of three loops";
        EXPECT_EQ(static_cast<uint64_t>(got[0]) % stream::kPtsModulus, kFirstPts);
        for (std::size_t n = 1; n < got.size(); ++n) {
            // ffmpeg unwraps the 33-bit PTS; the steps stay exact either way.
            ASSERT_EQ(static_cast<uint64_t>(got[n] - got[n - 1]) % stream::kPtsModulus, p->clip->UnitDuration90k()) << n;
        }
    }
}
