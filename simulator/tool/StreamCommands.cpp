#include "StreamCommands.h"

#include <cstdio>
#include <memory>

#include "Sky.h"
#include "Text.h"
#include "TunerSimControl.h"

namespace tunersim {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

const char* TypeName(sky::StreamType type) {
    switch (type) {
    case sky::StreamType::Mpeg2Video: return "MPEG-2 video";
    case sky::StreamType::H264Video: return "H.264 video";
    case sky::StreamType::Mpeg1Layer2Audio: return "MPEG-1 Layer II audio";
    case sky::StreamType::Ac3Audio: return "AC-3 audio";
    }
    return "?";
}

const char* SystemName(sky::System system) {
    switch (system) {
    case sky::System::DvbS: return "DVB-S";
    case sky::System::DvbS2: return "DVB-S2";
    case sky::System::DvbT: return "DVB-T";
    case sky::System::Atsc: return "ATSC";
    }
    return "?";
}

void PrintMultiplex(const sky::Multiplex& m) {
    std::printf("%s: %s, ", m.name.c_str(), SystemName(m.system));
    if (sky::IsSatellite(m))
        std::printf("input %c, %u kHz %s, %u kS/s", 'A' + m.input, m.frequencyKHz,
                    m.polarisation == frontend::kVertical ? "V" : "H", m.symbolRate);
    else
        std::printf("%u kHz, %u MHz", m.frequencyKHz, m.bandwidthMHz);
    std::printf(", %.3f Mbit/s; ", sky::UsefulBitrate(m) / 1e6);
    if (m.networkId) std::printf("network 0x%04X, ", m.networkId);
    std::printf("transport stream 0x%04X\n", m.transportStreamId);
    for (const auto& s : m.services) {
        std::printf("  0x%04X  %-5s %s", s.id, s.kind == sky::ServiceKind::Television ? "TV" : "radio",
                    s.name.utf8.c_str());
        if (sky::IsAtsc(m)) std::printf(" (channel %u.%u)", s.majorChannel, s.minorChannel);
        if (!s.provider.utf8.empty()) std::printf(", provider %s", s.provider.utf8.c_str());
        std::printf(s.scrambled ? ", scrambled (CA system 0x%04X, ECM PID 0x%04X)\n" : ", clear\n",
                    sky::kCaSystemId, s.ecmPid);
        std::printf("          PMT 0x%04X, PCR 0x%04X", s.pmtPid, s.pcrPid);
        for (const auto& es : s.streams) {
            std::printf(", 0x%04X %s", es.pid, TypeName(es.type));
            if (!es.language.empty()) std::printf(" (%s)", es.language.c_str());
        }
        std::printf("\n");
    }
}

}  // namespace

int WriteStream(const std::string& id, double seconds, const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(_wfopen(Widen(path).c_str(), L"wb"));
    if (!file) throw Error("cannot write " + path);
    const Error writeFailed("writing " + path + " failed (disk full?)");
    // A failed write ends the capture at once: the rest of it could not be kept either.
    const StreamCapture capture = CaptureStream(id, seconds, [&](const uint8_t* bytes, std::size_t length) {
        if (std::fwrite(bytes, 1, length, file.get()) != length) throw writeFailed;
    });
    if (std::fflush(file.get()) != 0) throw writeFailed;
    if (capture.reception.multiplex.empty()) {
        std::fprintf(stderr, "tunersim ts: box %s emits nothing: %s; %s is empty\n", id.c_str(),
                     capture.reception.reason.c_str(), path.c_str());
        return 1;
    }
    std::printf("%s: %g s of %s at %.3f Mbit/s, %llu of %llu packets (%llu bytes)\n", path.c_str(), seconds,
                capture.reception.multiplex.c_str(), capture.bitrate / 1e6,
                static_cast<unsigned long long>(capture.packets), static_cast<unsigned long long>(capture.slots),
                static_cast<unsigned long long>(capture.packets * 188));
    return 0;
}

int PrintServices(const std::optional<std::string>& id) {
    if (!id) {
        for (const auto& m : sky::Multiplexes()) PrintMultiplex(m);
        return 0;
    }
    const Reception r = Receiving(*id);
    if (r.multiplex.empty()) {
        std::fprintf(stderr, "tunersim services: box %s receives nothing: %s\n", id->c_str(), r.reason.c_str());
        return 1;
    }
    PrintMultiplex(sky::Multiplexes()[sky::IndexOf(r.multiplex)]);
    return 0;
}

}  // namespace tunersim
