// Writes whole transport-stream packets to a file on a thread of its own, so that the
// thread that receives them never waits for the disk: Append copies them into memory
// and returns. What the disk cannot take in time is held up to a bound; beyond it packets
// are dropped and counted rather than stalling the receiver. The first failed write (a
// full disk) stops the writing; Close writes what is held and closes the file, which
// keeps everything written before the failure.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ombrel_cli {

inline constexpr std::size_t kPacketBytes = 188;

class PacketFileWriter {
public:
    // Makes (or empties) the file. Null and `error` says why when it cannot be made.
    static std::unique_ptr<PacketFileWriter> Create(const std::string& path, std::string& error,
                                                    std::size_t heldLimitBytes = 64u << 20);
    struct Key {
        explicit Key() = default;
    };
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    using File = std::unique_ptr<std::FILE, FileCloser>;
    PacketFileWriter(Key, File file, std::string path, std::size_t heldLimitBytes);
    ~PacketFileWriter();
    PacketFileWriter(const PacketFileWriter&) = delete;
    PacketFileWriter& operator=(const PacketFileWriter&) = delete;

    // Takes `count` packets; false once the writing has failed (they are not taken then).
    // Any thread; returns at once.
    bool Append(const std::uint8_t* packets, std::size_t count);

    // Writes what is held, closes the file and gives the failure, if one came. Once.
    std::optional<std::string> Close();

    bool Failed() const;
    std::uint64_t BytesWritten() const;
    std::uint64_t DroppedPackets() const;  // not taken: more was held than the bound

private:
    void Run();

    File file_;  // closed by Close, whose result counts; here only if the writer never ran
    const std::string path_;
    const std::size_t heldLimit_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::uint8_t> held_;  // taken, not yet written
    bool closing_ = false;
    std::optional<std::string> failure_;
    std::uint64_t written_ = 0;
    std::uint64_t dropped_ = 0;
    std::thread thread_;
};

}  // namespace ombrel_cli
