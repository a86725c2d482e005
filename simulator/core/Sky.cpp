#include "Sky.h"

#include <cmath>

namespace tunersim::sky {
namespace {

using namespace frontend;

constexpr uint16_t kNetworkAster = 0x0A01;
constexpr uint16_t kNetworkBorealis = 0x0B02;
constexpr uint16_t kNetworkLumen = 0x3101;

Text Plain(const char* s) { return {s, TextTable::Default}; }
Text Coded(const char* s, TextTable t) { return {s, t}; }

struct AudioSpec {
    StreamType type;
    const char* language;
    const char* clip;
};

// A service's PIDs follow its place k (1-based) in the multiplex: PMT 0x0100 + k,
// video 0x0200 + 0x10 k, audio after it; the PCR travels on the first stream.
Service Make(uint16_t id, Text name, Text provider, ServiceKind kind, int k,
             std::vector<ElementaryStream> streams, std::vector<Text> events, bool scrambled) {
    Service s;
    s.id = id;
    s.name = std::move(name);
    s.provider = std::move(provider);
    s.kind = kind;
    s.pmtPid = static_cast<uint16_t>(0x0100 + k);
    s.streams = std::move(streams);
    s.pcrPid = s.streams.front().pid;
    s.scrambled = scrambled;
    if (scrambled) s.ecmPid = static_cast<uint16_t>(kEcmPidBase + k);
    s.events = std::move(events);
    return s;
}

Service Tv(int k, uint16_t id, Text name, Text provider, StreamType video, const char* videoClip,
           std::vector<AudioSpec> audio, std::vector<Text> events, bool scrambled = false) {
    const uint16_t base = static_cast<uint16_t>(0x0200 + 0x10 * k);
    std::vector<ElementaryStream> streams{{base, video, "", videoClip}};
    uint16_t pid = base;
    for (const auto& a : audio) streams.push_back({++pid, a.type, a.language, a.clip});
    return Make(id, std::move(name), std::move(provider), ServiceKind::Television, k, std::move(streams),
                std::move(events), scrambled);
}

Service Radio(int k, uint16_t id, Text name, Text provider, AudioSpec audio, std::vector<Text> events) {
    const uint16_t pid = static_cast<uint16_t>(0x0200 + 0x10 * k + 1);
    return Make(id, std::move(name), std::move(provider), ServiceKind::Radio, k,
                {{pid, audio.type, audio.language, audio.clip}}, std::move(events), false);
}

Service AtscTv(int k, uint16_t program, const char* shortName, uint16_t major, uint16_t minor,
               const char* videoClip, const char* audioClip) {
    Service s = Tv(k, program, Plain(shortName), Plain(""), StreamType::Mpeg2Video, videoClip,
                   {{StreamType::Ac3Audio, "eng", audioClip}}, {});
    s.shortName = shortName;
    s.majorChannel = major;
    s.minorChannel = minor;
    return s;
}

constexpr auto kMpeg2 = StreamType::Mpeg2Video;
constexpr auto kH264 = StreamType::H264Video;
constexpr auto kMp2 = StreamType::Mpeg1Layer2Audio;
constexpr auto kAc3 = StreamType::Ac3Audio;

// What every multiplex has: its name, system, frequency, reception figures, identity and
// services; the builders below add what their system's delivery adds.
Multiplex Common(const char* name, System system, uint32_t frequencyKHz, Figures figures, uint16_t networkId,
                 uint16_t tsid, std::vector<Service> services) {
    Multiplex m;
    m.name = name;
    m.system = system;
    m.frequencyKHz = frequencyKHz;
    m.figures = figures;
    m.networkId = m.originalNetworkId = networkId;
    m.transportStreamId = tsid;
    m.services = std::move(services);
    return m;
}

Multiplex Satellite(const char* name, uint8_t input, uint32_t frequencyKHz, uint8_t polarisation,
                    uint32_t symbolRate, uint8_t modulation, uint8_t fec, Figures figures,
                    uint16_t tsid, std::vector<Service> services) {
    Multiplex m = Common(name, modulation == k8psk ? System::DvbS2 : System::DvbS, frequencyKHz, figures,
                         input == 0 ? kNetworkAster : kNetworkBorealis, tsid, std::move(services));
    m.input = input;
    m.polarisation = polarisation;
    m.symbolRate = symbolRate;
    m.modulation = modulation;
    m.fec = fec;
    return m;
}

Multiplex Terrestrial(const char* name, uint32_t frequencyKHz, uint8_t bandwidthMHz, uint8_t modulation,
                      uint8_t fec, uint8_t guard, uint8_t mode, Figures figures, uint16_t tsid,
                      std::vector<Service> services) {
    Multiplex m = Common(name, System::DvbT, frequencyKHz, figures, kNetworkLumen, tsid, std::move(services));
    m.bandwidthMHz = bandwidthMHz;
    m.modulation = modulation;
    m.fec = fec;
    m.guard = guard;
    m.mode = mode;
    return m;
}

// ATSC has no NIT: its multiplexes belong to no network.
Multiplex Atsc(const char* name, uint32_t frequencyKHz, Figures figures, uint16_t tsid,
               std::vector<Service> services) {
    Multiplex m = Common(name, System::Atsc, frequencyKHz, figures, 0, tsid, std::move(services));
    m.bandwidthMHz = 6;
    m.modulation = k8vsb;
    return m;
}

std::vector<Multiplex> BuildSky() {
    const auto iso9 = TextTable::Iso8859_9;
    const auto iso7 = TextTable::Iso8859_7;
    const auto iso5 = TextTable::Iso8859_5;
    const auto iso15 = TextTable::Iso8859_15;
    const auto utf8 = TextTable::Utf8;
    const Text aster = Plain("Aster Media");
    const Text borealis = Plain("Borealis Broadcasting");
    const Text lumen = Plain("Lumen");
    std::vector<Multiplex> sky;

    // Satellite A, 21.5 degrees east.
    sky.push_back(Satellite("A 10744 H", 0, 10744000, kHorizontal, 22000, kQpsk, kFec5_6,
        {78, 88, 128, 40, 0}, 0x0401, {
        Tv(1, 0x1001, Plain("Aster Eins"), aster, kMpeg2, "aster-eins", {{kMp2, "deu", "aster-eins"}},
           {Plain("Nachrichten"), Plain("Wetter"), Plain("Der Abendfilm")}),
        Tv(2, 0x1002, Coded("Güneş TV", iso9), Coded("Güneş Yayıncılık", iso9), kMpeg2, "gunes-tv",
           {{kMp2, "tur", "gunes-tv"}}, {Coded("Akşam Haberleri", iso9), Coded("Gündem", iso9)}),
        Radio(3, 0x1003, Plain("Aster Klassik"), aster, {kMp2, "deu", "aster-klassik"},
              {Plain("Sinfoniekonzert"), Plain("Kammermusik")}),
    }));
    sky.push_back(Satellite("A 11362 H", 0, 11362000, kHorizontal, 22000, k8psk, kFec2_3,
        {74, 82, 112, 150, 0}, 0x0402, {
        Tv(1, 0x1011, Plain("Aster Drei HD"), aster, kH264, "aster-drei-hd", {{kAc3, "deu", "aster-drei-hd"}},
           {Plain("Dokumentation"), Plain("Reportage")}),
        Tv(2, 0x1012, Coded("Κύμα HD", iso7), Coded("Κύμα Τηλεόραση", iso7), kH264, "kyma-hd",
           {{kMp2, "ell", "kyma-hd"}}, {Coded("Ειδήσεις", iso7), Coded("Ταινία", iso7)}),
    }));
    sky.push_back(Satellite("A 11597 V", 0, 11597000, kVertical, 22000, kQpsk, kFec5_6,
        {71, 80, 109, 210, 0}, 0x0403, {
        Tv(1, 0x1021, Plain("Kestrel Cinema"), Plain("Kestrel Pay TV"), kMpeg2, "kestrel-cinema",
           {{kMp2, "eng", "kestrel-cinema"}}, {Plain("Premiere Night"), Plain("Director's Cut")}, true),
        Tv(2, 0x1022, Plain("Aster Info"), aster, kMpeg2, "aster-info", {{kMp2, "deu", "aster-info"}},
           {Coded("Börse", iso15), Plain("Politik")}),
        Radio(3, 0x1023, Coded("Radio Étoile", iso15), Coded("Étoile Média", iso15),
              {kMp2, "fra", "radio-etoile"}, {Coded("Chansons", iso15), Coded("Journal", iso15)}),
    }));
    sky.push_back(Satellite("A 12188 H", 0, 12188000, kHorizontal, 27500, kQpsk, kFec3_4,
        {69, 77, 104, 380, 0}, 0x0404, {
        Tv(1, 0x1031, Plain("Aster Sport"), aster, kMpeg2, "aster-sport",
           {{kMp2, "deu", "aster-sport"}, {kAc3, "eng", "aster-sport-eng"}},
           {Plain("Fussball live"), Plain("Sportschau")}),
        Tv(2, 0x1032, Plain("Aster Kinder"), aster, kMpeg2, "aster-kinder", {{kMp2, "deu", "aster-kinder"}},
           {Plain("Zeichentrick"), Plain("Sandmann")}),
        Radio(3, 0x1033, Plain("Aster Pop"), aster, {kMp2, "deu", "aster-pop"}, {Plain("Charts")}),
        Radio(4, 0x1034, Plain("Aster Jazz"), aster, {kMp2, "deu", "aster-jazz"}, {Plain("Jazz Nacht")}),
    }));
    sky.push_back(Satellite("A 12603 V", 0, 12603000, kVertical, 22000, kQpsk, kFec5_6,
        {41, 35, 58, 52000, 90}, 0x0405, {
        Tv(1, 0x1041, Plain("Aster Regional"), aster, kMpeg2, "aster-regional",
           {{kMp2, "deu", "aster-regional"}}, {Plain("Landesschau"), Plain("Heimat")}),
        Radio(2, 0x1042, Plain("Aster Land"), aster, {kMp2, "deu", "aster-land"}, {Plain("Volksmusik")}),
    }));

    // Satellite B, 4.8 degrees west.
    sky.push_back(Satellite("B 10971 V", 1, 10971000, kVertical, 29700, k8psk, kFec2_3,
        {80, 90, 135, 25, 0}, 0x0501, {
        Tv(1, 0x2001, Plain("Borealis One HD"), borealis, kH264, "borealis-one-hd",
           {{kAc3, "eng", "borealis-one-hd"}}, {Plain("Evening News"), Plain("Late Show")}),
        Tv(2, 0x2002, Coded("Север ТВ", iso5), Coded("Северное вещание", iso5), kH264, "sever-tv",
           {{kMp2, "rus", "sever-tv"}}, {Coded("Новости", iso5), Coded("Кино", iso5)}),
        Tv(3, 0x2003, Plain("Borealis Docs HD"), borealis, kH264, "borealis-docs-hd",
           {{kMp2, "eng", "borealis-docs-hd"}}, {Plain("Wild Coasts"), Plain("Deep Ice")}),
    }));
    sky.push_back(Satellite("B 11623 V", 1, 11623000, kVertical, 27500, kQpsk, kFec3_4,
        {76, 84, 118, 90, 0}, 0x0502, {
        Tv(1, 0x2011, Plain("Borealis News"), borealis, kMpeg2, "borealis-news",
           {{kMp2, "eng", "borealis-news"}}, {Plain("Headlines"), Plain("Business")}),
        Tv(2, 0x2012, Coded("Øresund TV", utf8), Coded("Nordkanal ÅS", utf8), kMpeg2, "oresund-tv",
           {{kMp2, "dan", "oresund-tv"}}, {Coded("Nyheder", utf8), Coded("Vejret på Øresund", utf8)}),
        Radio(3, 0x2013, Plain("Borealis FM"), borealis, {kMp2, "eng", "borealis-fm"}, {Plain("Morning Drive")}),
    }));
    sky.push_back(Satellite("B 11996 H", 1, 11996000, kHorizontal, 27500, kQpsk, kFec3_4,
        {73, 81, 111, 160, 0}, 0x0503, {
        Tv(1, 0x2021, Plain("Borealis Two"), borealis, kMpeg2, "borealis-two", {{kMp2, "eng", "borealis-two"}},
           {Plain("Quiz Hour"), Plain("Drama")}),
        Radio(2, 0x2022, Plain("Polaris Radio"), borealis, {kMp2, "eng", "polaris-radio"}, {Plain("Night Owls")}),
    }));
    sky.push_back(Satellite("B 12380 V", 1, 12380000, kVertical, 27500, k8psk, kFec3_4,
        {70, 78, 102, 300, 0}, 0x0504, {
        Tv(1, 0x2031, Plain("Borealis Movies HD"), borealis, kH264, "borealis-movies-hd",
           {{kAc3, "eng", "borealis-movies-hd"}}, {Plain("Feature Film"), Plain("Short Cuts")}),
        Tv(2, 0x2032, Coded("Ωmega HD", utf8), Coded("Ωmega Media", utf8), kH264, "omega-hd",
           {{kAc3, "eng", "omega-hd"}}, {Coded("Ωmega Live", utf8)}),
    }));

    // The terrestrial network.
    sky.push_back(Terrestrial("T 177.5 MHz", 177500, 7, kQam64, kFec3_4, kGuard1_8, kMode8k,
        {70, 76, 200, 200, 0}, 0x0601, {
        Tv(1, 0x3001, Plain("Lumen 1"), lumen, kMpeg2, "lumen-1", {{kMp2, "eng", "lumen-1"}},
           {Plain("Breakfast"), Plain("Garden Time")}),
        Radio(2, 0x3002, Plain("Lumen Radio"), lumen, {kMp2, "eng", "lumen-radio"}, {Plain("Talk")}),
    }));
    sky.push_back(Terrestrial("T 474 MHz", 474000, 8, kQam64, kFec2_3, kGuard1_4, kMode8k,
        {82, 86, 245, 30, 0}, 0x0602, {
        Tv(1, 0x3011, Plain("Lumen 2"), lumen, kMpeg2, "lumen-2", {{kMp2, "eng", "lumen-2"}},
           {Plain("Cooking"), Plain("Travel")}),
        Tv(2, 0x3012, Plain("Lumen Sport+"), Plain("Lumen Pay"), kMpeg2, "lumen-sport",
           {{kAc3, "eng", "lumen-sport"}}, {Plain("Match of the Week")}, true),
        Tv(3, 0x3013, Coded("Città TV", utf8), Coded("Città Media", utf8), kMpeg2, "citta-tv",
           {{kMp2, "ita", "citta-tv"}}, {Coded("Telegiornale", utf8), Coded("Però che serata", utf8)}),
        Radio(4, 0x3014, Plain("Lumen Klassik"), lumen, {kMp2, "eng", "lumen-klassik"}, {Plain("Concert")}),
    }));
    sky.push_back(Terrestrial("T 522 MHz", 522000, 8, kQam16, kFec3_4, kGuard1_8, kMode8k,
        {75, 80, 190, 120, 0}, 0x0603, {
        Tv(1, 0x3021, Plain("Lumen 3"), lumen, kMpeg2, "lumen-3", {{kMp2, "eng", "lumen-3"}},
           {Plain("Science"), Plain("History")}),
        Tv(2, 0x3022, Plain("Lumen Kids"), lumen, kMpeg2, "lumen-kids", {{kMp2, "eng", "lumen-kids"}},
           {Plain("Cartoons")}),
    }));
    sky.push_back(Terrestrial("T 658 MHz", 658000, 8, kQam64, kFec2_3, kGuard1_32, kMode2k,
        {52, 48, 160, 9000, 30}, 0x0604, {
        Tv(1, 0x3031, Plain("Lumen Local"), lumen, kMpeg2, "lumen-local", {{kMp2, "eng", "lumen-local"}},
           {Plain("Town Hall")}),
        Radio(2, 0x3032, Plain("Lumen Local Radio"), lumen, {kMp2, "eng", "lumen-local-radio"},
              {Plain("Requests")}),
    }));

    // ATSC.
    sky.push_back(Atsc("ATSC 593 MHz", 593000, {72, 79, 190, 150, 0}, 0x0A11, {
        AtscTv(1, 1, "TLVX", 34, 1, "tlvx", "tlvx"),
        AtscTv(2, 2, "TLVX-WX", 34, 2, "tlvx-wx", "tlvx-wx"),
    }));
    sky.push_back(Atsc("ATSC 617 MHz", 617000, {66, 71, 172, 420, 0}, 0x0A12, {
        AtscTv(1, 3, "SIMTV", 38, 1, "simtv", "simtv"),
        AtscTv(2, 4, "SIMTV-2", 38, 2, "simtv-2", "simtv-2"),
    }));
    return sky;
}

double CodeRate(uint8_t fec) {
    switch (fec) {
    case kFec1_2: return 1.0 / 2;
    case kFec2_3: return 2.0 / 3;
    case kFec3_4: return 3.0 / 4;
    case kFec5_6: return 5.0 / 6;
    case kFec7_8: return 7.0 / 8;
    case kFec3_5: return 3.0 / 5;
    case kFec4_5: return 4.0 / 5;
    case kFec8_9: return 8.0 / 9;
    case kFec9_10: return 9.0 / 10;
    default: return 0;
    }
}

// DVB-S2 normal frames: the BCH block's payload per code rate (EN 302 307 table 5a).
uint32_t BchPayloadBits(uint8_t fec) {
    switch (fec) {
    case kFec1_2: return 32208;
    case kFec3_5: return 38688;
    case kFec2_3: return 43040;
    case kFec3_4: return 48408;
    case kFec4_5: return 51648;
    case kFec5_6: return 53840;
    case kFec8_9: return 57472;
    case kFec9_10: return 58192;
    default: return 0;
    }
}

double GuardFraction(uint8_t guard) {
    switch (guard) {
    case kGuard1_32: return 1.0 / 32;
    case kGuard1_16: return 1.0 / 16;
    case kGuard1_8: return 1.0 / 8;
    case kGuard1_4: return 1.0 / 4;
    default: return 0;
    }
}

unsigned BitsPerSymbol(uint8_t modulation) {
    switch (modulation) {
    case kQpsk: return 2;
    case k8psk: return 3;
    case kQam16: return 4;
    case kQam64: return 6;
    default: return 0;
    }
}

}  // namespace

bool IsVideo(StreamType type) { return type == StreamType::Mpeg2Video || type == StreamType::H264Video; }

const std::vector<Multiplex>& Multiplexes() {
    static const std::vector<Multiplex> sky = BuildSky();
    return sky;
}

const std::vector<Network>& Networks() {
    static const std::vector<Network> networks{
        {kNetworkAster, Plain("Aster 21.5E"), 215, true},
        {kNetworkBorealis, Plain("Borealis 4.8W"), 48, false},
        {kNetworkLumen, Plain("Lumen DTT"), 0, true},
    };
    return networks;
}

const Network* FindNetwork(uint16_t networkId) {
    for (const auto& n : Networks())
        if (n.id == networkId) return &n;
    return nullptr;
}

std::vector<const Multiplex*> MultiplexesOf(uint16_t networkId) {
    std::vector<const Multiplex*> found;
    for (const auto& m : Multiplexes())
        if (networkId != 0 && m.networkId == networkId) found.push_back(&m);
    return found;
}

int IndexOf(const std::string& name) {
    const auto& all = Multiplexes();
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i].name == name) return static_cast<int>(i);
    return -1;
}

bool IsSatellite(const Multiplex& m) { return m.system == System::DvbS || m.system == System::DvbS2; }
bool IsAtsc(const Multiplex& m) { return m.system == System::Atsc; }

uint64_t UsefulBitrate(const Multiplex& m) {
    switch (m.system) {
    case System::DvbS:
        // Inner code, then the Reed-Solomon (204,188) outer code.
        return static_cast<uint64_t>(std::llround(m.symbolRate * 1000.0 * BitsPerSymbol(m.modulation) *
                                                  CodeRate(m.fec) * 188.0 / 204.0));
    case System::DvbS2: {
        // A normal frame of 64800 coded bits in slots of 90 symbols, plus a 90-symbol
        // header, carries the BCH payload less its 80-bit base-band header (no pilots).
        const double symbols = 64800.0 / BitsPerSymbol(m.modulation) + 90.0;
        return static_cast<uint64_t>(std::llround(m.symbolRate * 1000.0 * (BchPayloadBits(m.fec) - 80) / symbols));
    }
    case System::DvbT: {
        // 6048 data carriers in 8k mode (1512 in 2k, in a quarter of the time), a useful
        // symbol of 896 us at 8 MHz that stretches as the channel narrows, then the guard.
        const double usefulSymbolSeconds = 896e-6 * 8.0 / m.bandwidthMHz;
        const double bitsPerSymbol = 6048.0 * BitsPerSymbol(m.modulation) * CodeRate(m.fec) * 188.0 / 204.0;
        return static_cast<uint64_t>(
            std::llround(bitsPerSymbol / (usefulSymbolSeconds * (1.0 + GuardFraction(m.guard)))));
    }
    case System::Atsc: return 19392658;  // A/53: 8VSB's fixed payload rate
    }
    return 0;
}

}  // namespace tunersim::sky
