// Shared by the tests of the content clips: the clip list, files, and running the
// outside readers (ffmpeg, ffprobe).
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "Sky.h"
#include "es/ElementaryStreams.h"

namespace content_test {

inline std::filesystem::path ContentFolder() { return std::filesystem::path(OMBREL_SOURCE_DIR) / "simulator/content"; }

// One line of simulator/content/clips.txt.
struct ManifestEntry {
    std::string clip;
    std::string type;  // the file's extension
    std::string tone;  // Hz, "-" for video
    std::string caption;
};

inline std::vector<ManifestEntry> ReadManifest() {
    std::ifstream in(ContentFolder() / "clips.txt");
    EXPECT_TRUE(in) << "clips.txt is missing";
    std::vector<ManifestEntry> entries;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        ManifestEntry e;
        fields >> e.clip >> e.type >> e.tone >> std::ws;
        std::getline(fields, e.caption);
        entries.push_back(e);
    }
    return entries;
}

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// What a shell command prints on stdout and stderr.
inline std::string RunCommand(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return "cannot run " + command;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = pclose(pipe);
    if (status != 0) output += "\n(exit status " + std::to_string(status) + ")";
    return output;
}

// A folder of its own under the system's temporary folder, removed with its contents.
class TempFolder {
public:
    explicit TempFolder(const std::string& name)
        : path_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// The clip's access units one after another, `loops` times: what a decoder is fed.
inline std::vector<uint8_t> Loops(const tunersim::stream::Clip& clip, int loops) {
    std::vector<uint8_t> out;
    for (int l = 0; l < loops; ++l) {
        for (std::size_t i = 0; i < clip.Count(); ++i) {
            const auto unit = clip.Unit(i);
            out.insert(out.end(), unit.begin(), unit.end());
        }
    }
    return out;
}

inline tunersim::sky::StreamType TypeOfExtension(const std::string& ext) {
    using tunersim::sky::StreamType;
    for (auto t : {StreamType::Mpeg2Video, StreamType::H264Video, StreamType::Mpeg1Layer2Audio, StreamType::Ac3Audio}) {
        if (tunersim::stream::ClipExtension(t) == ext) return t;
    }
    ADD_FAILURE() << "no stream type has the extension " << ext;
    return StreamType::Mpeg2Video;
}

// ffmpeg's name of the raw format of a clip type.
inline std::string FfmpegFormat(tunersim::sky::StreamType type) {
    using tunersim::sky::StreamType;
    switch (type) {
    case StreamType::Mpeg2Video: return "mpegvideo";
    case StreamType::H264Video: return "h264";
    case StreamType::Mpeg1Layer2Audio: return "mp3";
    case StreamType::Ac3Audio: return "ac3";
    }
    return "";
}

}  // namespace content_test
