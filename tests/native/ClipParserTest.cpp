// The clip parsers against streams that ffmpeg writes in other ways than the committed
// clips, and against broken ones: what loops cleanly is split, with the right unit
// duration; what does not is refused with a message that says why and where.
#include "ContentSupport.h"

using namespace tunersim;
using namespace content_test;

namespace {

std::string RejectionOf(sky::StreamType type, std::vector<uint8_t> bytes) {
    try {
        stream::Clip clip(type, std::move(bytes));
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "accepted";
}

std::vector<uint8_t> Clipped(const std::vector<uint8_t>& bytes, std::size_t from, std::size_t to) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(to)};
}

std::vector<uint8_t> ContentFile(const std::string& name) { return ReadBytes(ContentFolder() / name); }

// A second of a stream that ffmpeg writes with the given options.
class Encoded {
public:
    Encoded() : folder_("clip-variants") {}
    std::vector<uint8_t> Video(const std::string& rate, const std::string& codec) {
        return Make("-f lavfi -i testsrc=size=128x96:rate=" + rate + " -frames:v 12 " + codec);
    }
    std::vector<uint8_t> Audio(const std::string& rate, const std::string& codec) {
        return Make("-f lavfi -i sine=frequency=500:sample_rate=" + rate + ":duration=0.5 " + codec);
    }

private:
    std::vector<uint8_t> Make(const std::string& arguments) {
        const auto path = folder_ / "variant";
        const std::string output = RunCommand("ffmpeg -nostdin -v error -y " + arguments + " " + path.string());
        EXPECT_EQ(output, "") << arguments;
        return ReadBytes(path);
    }
    TempFolder folder_;
};

const std::string kMpeg2 = "-c:v mpeg2video -g 6 -f mpeg2video";
const std::string kH264 = "-c:v libx264 -x264-params keyint=6:aud=1 -f h264";

}  // namespace

TEST(ClipParsers, OtherRatesOfOutsideStreamsGiveTheirUnitDurations) {
    Encoded ffmpeg;
    const auto check = [](sky::StreamType type, const std::vector<uint8_t>& bytes, std::size_t count,
                          uint32_t duration) {
        const stream::Clip clip(type, bytes);
        EXPECT_EQ(clip.Count(), count);
        EXPECT_EQ(clip.UnitDuration90k(), duration);
    };
    check(sky::StreamType::Mpeg2Video, ffmpeg.Video("30000/1001", kMpeg2 + " -bf 0"), 12, 3003);
    check(sky::StreamType::Mpeg2Video, ffmpeg.Video("50", kMpeg2 + " -bf 0"), 12, 1800);
    check(sky::StreamType::H264Video, ffmpeg.Video("30000/1001", kH264 + " -bf 0"), 12, 3003);
    check(sky::StreamType::H264Video, ffmpeg.Video("60", kH264 + " -bf 0"), 12, 1500);
    // 0.5 s: Layer II in frames of 36 ms, AC-3 in frames of 48 ms at 32 kHz.
    check(sky::StreamType::Mpeg1Layer2Audio, ffmpeg.Audio("32000", "-c:a mp2 -f mp2"), 14, 3240);
    check(sky::StreamType::Ac3Audio, ffmpeg.Audio("32000", "-c:a ac3 -f ac3"), 11, 4320);
}

TEST(ClipParsers, StreamsThatCannotLoopOrCarryNoDtsAreRefusedWithTheReason) {
    Encoded ffmpeg;
    const auto refused = [](sky::StreamType type, const std::vector<uint8_t>& bytes, const std::string& reason) {
        const std::string message = RejectionOf(type, bytes);
        EXPECT_NE(message.find(reason), std::string::npos) << message << "\nexpected: " << reason;
    };
    refused(sky::StreamType::Mpeg2Video, ffmpeg.Video("25", kMpeg2 + " -bf 2"),
            "not a loopable MPEG-2 video stream: a B-picture (decode order would differ from display order) at offset");
    refused(sky::StreamType::Mpeg2Video, ffmpeg.Video("24000/1001", kMpeg2 + " -bf 0"),
            "its frame rate gives no whole number of 90 kHz ticks per frame");
    refused(sky::StreamType::Mpeg2Video, ffmpeg.Video("25", "-c:v mpeg1video -bf 0 -f mpeg1video"),
            "a sequence header without a sequence extension (MPEG-1 video?) at offset 12");
    refused(sky::StreamType::H264Video, ffmpeg.Video("25", "-c:v libx264 -x264-params keyint=6:bframes=2:b-adapt=0 -f h264"),
            "not a loopable H.264 stream: a B-slice (decode order would differ from display order) at offset");
    refused(sky::StreamType::H264Video, ffmpeg.Video("25", "-c:v libx264 -x264-params keyint=6:bframes=0:interlaced=1 -f h264"),
            "interlaced coding (frame_mbs_only_flag 0)");
    refused(sky::StreamType::H264Video, ffmpeg.Video("24000/1001", kH264 + " -bf 0"),
            "its frame rate gives no whole number of 90 kHz ticks per frame");
    refused(sky::StreamType::Mpeg1Layer2Audio, ffmpeg.Audio("44100", "-c:a mp2 -f mp2"),
            "not an MPEG-1 Layer II audio stream: at 44100 Hz a frame lasts no whole number of 90 kHz ticks");
    refused(sky::StreamType::Mpeg1Layer2Audio, ffmpeg.Audio("24000", "-c:a mp2 -f mp2"),
            "not MPEG-1 audio (ID or version bits) at offset 0");
    refused(sky::StreamType::Ac3Audio, ffmpeg.Audio("44100", "-c:a ac3 -f ac3"),
            "not an AC-3 stream: at 44100 Hz a frame lasts no whole number of 90 kHz ticks");
    refused(sky::StreamType::Ac3Audio, ffmpeg.Audio("48000", "-c:a eac3 -f eac3"), "bsid 16 (E-AC-3) at offset 0");
}

TEST(ClipParsers, BrokenClipsAreRefusedAtTheOffsetWhereTheyBreak) {
    const stream::Clip mp2(sky::StreamType::Mpeg1Layer2Audio, ContentFile("aster-eins.mp2"));
    auto bytes = ContentFile("aster-eins.mp2");
    const std::size_t lastFrame = static_cast<std::size_t>(mp2.Unit(79).data() - mp2.Unit(0).data());
    EXPECT_EQ(RejectionOf(sky::StreamType::Mpeg1Layer2Audio, Clipped(bytes, 0, bytes.size() - 1)),
              "not an MPEG-1 Layer II audio stream: a truncated frame at offset " + std::to_string(lastFrame));
    auto junk = bytes;
    junk.insert(junk.begin() + static_cast<std::ptrdiff_t>(mp2.Unit(1).size()), 0x00);
    EXPECT_EQ(RejectionOf(sky::StreamType::Mpeg1Layer2Audio, junk),
              "not an MPEG-1 Layer II audio stream: no frame sync at offset " + std::to_string(mp2.Unit(1).size()));

    const auto ac3 = ContentFile("tlvx.ac3");
    EXPECT_EQ(RejectionOf(sky::StreamType::Ac3Audio, Clipped(ac3, 0, 3)),
              "not an AC-3 stream: a truncated sync frame header at offset 0");
    EXPECT_EQ(RejectionOf(sky::StreamType::Mpeg1Layer2Audio, ac3), "not an MPEG-1 Layer II audio stream: no frame sync at offset 0");
    EXPECT_EQ(RejectionOf(sky::StreamType::Ac3Audio, {}), "not an AC-3 stream: no frame");

    // A loop must start where a decoder can.
    const auto m2v = ContentFile("aster-eins.m2v");
    const stream::Clip video(sky::StreamType::Mpeg2Video, m2v);
    const std::size_t second = static_cast<std::size_t>(video.Unit(1).data() - video.Unit(0).data());
    EXPECT_NE(RejectionOf(sky::StreamType::Mpeg2Video, Clipped(m2v, second, m2v.size()))
                  .find("a picture before the first sequence header at offset 0"),
              std::string::npos);
    // From the second GOP's sequence header on, it loops again: 36 pictures.
    const std::size_t gop = static_cast<std::size_t>(video.Unit(12).data() - video.Unit(0).data());
    EXPECT_EQ(stream::Clip(sky::StreamType::Mpeg2Video, Clipped(m2v, gop, m2v.size())).Count(), 36u);
    EXPECT_EQ(RejectionOf(sky::StreamType::Mpeg2Video, ContentFile("sever-tv.h264")),
              "not a loopable MPEG-2 video stream: a slice outside a picture at offset 1");
    EXPECT_EQ(RejectionOf(sky::StreamType::Mpeg2Video, {'v', 'i', 'd', 'e', 'o'}),
              "not a loopable MPEG-2 video stream: data before the first start code at offset 0");

    const auto h264 = ContentFile("sever-tv.h264");
    const stream::Clip avc(sky::StreamType::H264Video, h264);
    const std::size_t p = static_cast<std::size_t>(avc.Unit(1).data() - avc.Unit(0).data());
    EXPECT_NE(RejectionOf(sky::StreamType::H264Video, Clipped(h264, p, h264.size()))
                  .find("a slice before the first SPS"),
              std::string::npos);
    EXPECT_EQ(RejectionOf(sky::StreamType::H264Video, m2v),
              "not a loopable H.264 stream: forbidden_zero_bit set at offset 3");
}

TEST(ClipParsers, AnEndOfSequenceStaysOutOfTheUnits) {
    // The stream ends, the loop does not: an end code would stop a decoder at every seam.
    auto m2v = ContentFile("aster-eins.m2v");
    const std::size_t size = m2v.size();
    m2v.insert(m2v.end(), {0x00, 0x00, 0x01, 0xB7});
    const stream::Clip video(sky::StreamType::Mpeg2Video, m2v);
    EXPECT_EQ(video.Count(), 48u);
    EXPECT_EQ(video.Unit(47).data() + video.Unit(47).size(), video.Unit(0).data() + size);

    auto h264 = ContentFile("sever-tv.h264");
    const std::size_t avcSize = h264.size();
    h264.insert(h264.end(), {0x00, 0x00, 0x00, 0x01, 0x0A, 0x00, 0x00, 0x01, 0x0B});
    const stream::Clip avc(sky::StreamType::H264Video, h264);
    EXPECT_EQ(avc.Count(), 48u);
    EXPECT_EQ(avc.Unit(47).data() + avc.Unit(47).size(), avc.Unit(0).data() + avcSize);
    // Two loops with an end of sequence between them: both loops' units, none with it.
    auto twice = ContentFile("sever-tv.h264");
    twice.insert(twice.end(), {0x00, 0x00, 0x01, 0x0A});
    const auto again = ContentFile("sever-tv.h264");
    twice.insert(twice.end(), again.begin(), again.end());
    const stream::Clip both(sky::StreamType::H264Video, twice);
    ASSERT_EQ(both.Count(), 96u);
    EXPECT_EQ(both.Unit(48).data() - both.Unit(0).data(), static_cast<std::ptrdiff_t>(avcSize + 4));
    EXPECT_EQ(both.Unit(47).size(), avc.Unit(47).size());
}
