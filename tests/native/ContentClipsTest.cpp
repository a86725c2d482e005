// The committed content clips: exactly the clips the sky names, each parsing into whole
// frames of one loop length, and read alike by ffmpeg and ffprobe, loop seams included.
#include <map>
#include <set>

#include "ContentSupport.h"

using namespace tunersim;
using namespace content_test;

namespace {

// Every clip loops after 1.92 s: whole frames of 40 ms video, 24 ms Layer II and 32 ms
// AC-3, so that a service's audio and video loops stay aligned.
constexpr uint64_t kLoop90k = 172800;

uint32_t ExpectedUnitDuration(sky::StreamType type) {
    switch (type) {
    case sky::StreamType::Mpeg2Video:
    case sky::StreamType::H264Video: return 3600;  // 25 fps
    case sky::StreamType::Mpeg1Layer2Audio: return 2160;  // 1152 samples at 48 kHz
    case sky::StreamType::Ac3Audio: return 2880;  // 1536 samples at 48 kHz
    }
    return 0;
}

std::map<std::string, std::string> KeyValues(const std::string& text) {
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

}  // namespace

TEST(ContentClips, TheListHoldsExactlyWhatTheSkyNamesAndTheFolderExactlyTheList) {
    // (clip, extension) -> the name of the service that carries it.
    std::map<std::pair<std::string, std::string>, std::string> named;
    for (const auto& m : sky::Multiplexes()) {
        for (const auto& s : m.services) {
            for (const auto& es : s.streams) named[{es.clip, std::string(stream::ClipExtension(es.type))}] = s.name.utf8;
        }
    }
    const auto manifest = ReadManifest();
    ASSERT_EQ(manifest.size(), named.size());
    std::set<std::string> files{"clips.txt"};
    std::set<int> tones;
    for (const auto& e : manifest) {
        SCOPED_TRACE(e.clip + "." + e.type);
        const auto found = named.find({e.clip, e.type});
        ASSERT_NE(found, named.end()) << "listed, but no service carries it";
        EXPECT_EQ(e.caption, found->second) << "the caption is the name of the service that carries it";
        EXPECT_TRUE(files.insert(stream::ClipLibrary::FileName(e.clip, TypeOfExtension(e.type))).second) << "listed twice";
        if (sky::IsVideo(TypeOfExtension(e.type))) {
            EXPECT_EQ(e.tone, "-");
        } else {
            const int tone = std::stoi(e.tone);
            EXPECT_EQ(tone % 25, 0) << "a whole number of periods per loop";
            EXPECT_TRUE(tones.insert(tone).second) << "every audio clip sounds a tone of its own";
        }
    }
    uintmax_t total = 0;
    std::set<std::string> present;
    for (const auto& entry : std::filesystem::directory_iterator(ContentFolder())) {
        present.insert(entry.path().filename().string());
        total += entry.file_size();
    }
    EXPECT_EQ(present, files) << "every clip listed is there, and nothing else";
    EXPECT_LE(total, 4u << 20) << "the content stays small";
}

TEST(ContentClips, EveryClipParsesIntoWholeFramesOfOneLoopLength) {
    stream::ClipLibrary library(ContentFolder().string());
    for (const auto& e : ReadManifest()) {
        SCOPED_TRACE(e.clip + "." + e.type);
        const auto type = TypeOfExtension(e.type);
        const stream::Clip* clip = nullptr;
        ASSERT_NO_THROW(clip = &library.Get(e.clip, type));
        EXPECT_EQ(&library.Get(e.clip, type), clip) << "loaded once and kept";
        EXPECT_EQ(clip->Type(), type);
        EXPECT_EQ(clip->UnitDuration90k(), ExpectedUnitDuration(type));
        EXPECT_EQ(clip->LoopDuration90k(), kLoop90k);
        EXPECT_EQ(clip->Count() * clip->UnitDuration90k(), kLoop90k);
        // The units cover the file from its first byte to its last, in order.
        const auto bytes = ReadBytes(ContentFolder() / stream::ClipLibrary::FileName(e.clip, type));
        std::size_t total = 0;
        for (std::size_t i = 0; i < clip->Count(); ++i) {
            const auto unit = clip->Unit(i);
            ASSERT_FALSE(unit.empty());
            EXPECT_TRUE(std::equal(unit.begin(), unit.end(), bytes.begin() + static_cast<std::ptrdiff_t>(total)));
            total += unit.size();
        }
        EXPECT_EQ(total, bytes.size());
        EXPECT_EQ(clip->Bitrate(), bytes.size() * 8 * 90000 / kLoop90k);
        EXPECT_GT(clip->Bitrate(), 32000u);
        EXPECT_LT(clip->Bitrate(), 1000000u);
        // A loop starts where a decoder can: a sequence header, an access unit delimiter
        // (before the SPS, PPS and IDR picture the parser has checked), a frame sync.
        const auto first = clip->Unit(0);
        switch (type) {
        case sky::StreamType::Mpeg2Video: EXPECT_EQ(first[3], 0xB3); break;
        case sky::StreamType::H264Video: EXPECT_EQ(first[first[2] == 1 ? 3 : 4] & 0x1F, 9); break;
        case sky::StreamType::Mpeg1Layer2Audio: EXPECT_EQ(first[0], 0xFF); break;
        case sky::StreamType::Ac3Audio: EXPECT_EQ(first[0], 0x0B); break;
        }
    }
}

TEST(ContentClips, TheLibraryNamesTheFileItCannotUse) {
    TempFolder folder("clip-library");
    std::filesystem::copy_file(ContentFolder() / "aster-eins.mp2", folder / "aster-eins.ac3");
    std::filesystem::copy_file(ContentFolder() / "aster-eins.mp2", folder / "aster-eins.mp2");
    stream::ClipLibrary library(folder.Path().string());
    EXPECT_EQ(library.Folder(), folder.Path().string());
    EXPECT_EQ(stream::ClipLibrary::FileName("lumen-1", sky::StreamType::H264Video), "lumen-1.h264");
    const auto message = [&](const std::string& clip, sky::StreamType type) -> std::string {
        try {
            library.Get(clip, type);
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "no error";
    };
    const std::string missing = message("lumen-1", sky::StreamType::Mpeg2Video);
    EXPECT_NE(missing.find((folder / "lumen-1.m2v").string()), std::string::npos) << missing;
    EXPECT_NE(missing.find("cannot be opened"), std::string::npos) << missing;
    const std::string wrong = message("aster-eins", sky::StreamType::Ac3Audio);
    EXPECT_NE(wrong.find((folder / "aster-eins.ac3").string()), std::string::npos) << wrong;
    EXPECT_NE(wrong.find("not an AC-3 stream: no sync word at offset 0"), std::string::npos) << wrong;
    // A failure is not kept: the good clip still loads, the bad one fails again.
    EXPECT_EQ(library.Get("aster-eins", sky::StreamType::Mpeg1Layer2Audio).Count(), 80u);
    EXPECT_EQ(message("aster-eins", sky::StreamType::Ac3Audio), wrong);
}

TEST(ContentClips, FfmpegDecodesThreeLoopsWithoutErrorAndFfprobeAgreesOnFramesAndDuration) {
    stream::ClipLibrary library(ContentFolder().string());
    TempFolder folder("clip-loops");
    // Three loops of every clip, decoded by one ffmpeg; should it complain, one ffmpeg
    // per clip tells which.
    std::string inputs, maps;
    std::vector<std::string> singles;
    int index = 0;
    for (const auto& e : ReadManifest()) {
        const auto type = TypeOfExtension(e.type);
        const auto looped = folder / (e.clip + "." + e.type);
        WriteBytes(looped, Loops(library.Get(e.clip, type), 3));
        const std::string input = " -f " + FfmpegFormat(type) + " -i " + looped.string();
        inputs += input;
        maps += " -map " + std::to_string(index++);
        singles.push_back(input);
    }
    const std::string all = RunCommand("ffmpeg -nostdin -v error" + inputs + maps + " -f null -");
    EXPECT_EQ(all, "") << "the loops' seams decode";
    if (!all.empty()) {
        for (const auto& input : singles) {
            EXPECT_EQ(RunCommand("ffmpeg -nostdin -v error" + input + " -f null -"), "") << input;
        }
    }

    for (const auto& e : ReadManifest()) {
        SCOPED_TRACE(e.clip + "." + e.type);
        const auto type = TypeOfExtension(e.type);
        const auto& clip = library.Get(e.clip, type);
        const auto probed = KeyValues(RunCommand(
            "ffprobe -v error -count_packets -show_entries stream=nb_read_packets,r_frame_rate:format=duration "
            "-of default=nw=1 -f " + FfmpegFormat(type) + " -i " +
            (ContentFolder() / stream::ClipLibrary::FileName(e.clip, type)).string()));
        ASSERT_TRUE(probed.contains("nb_read_packets"));
        EXPECT_EQ(std::stoul(probed.at("nb_read_packets")), clip.Count());
        double seconds = 0;
        if (sky::IsVideo(type)) {
            EXPECT_EQ(probed.at("r_frame_rate"), "25/1");
            seconds = std::stod(probed.at("nb_read_packets")) / 25;
        } else {
            seconds = std::stod(probed.at("duration"));
        }
        EXPECT_NEAR(seconds, clip.LoopDuration90k() / 90000.0, 1e-6);
    }
}
