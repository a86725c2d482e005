#include "PacketFileWriter.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

namespace ombrel_cli {
namespace {

std::string Reason(int error) {
    if (error == ENOSPC) return "the disk is full";
    return std::strerror(error);
}

}  // namespace

std::unique_ptr<PacketFileWriter> PacketFileWriter::Create(const std::string& path, std::string& error,
                                                           std::size_t heldLimitBytes) {
    errno = 0;
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        error = "cannot write '" + path + "': " + Reason(errno);
        return nullptr;
    }
    return std::make_unique<PacketFileWriter>(Key(), std::move(file), path, heldLimitBytes);
}

PacketFileWriter::PacketFileWriter(Key, File file, std::string path, std::size_t heldLimitBytes)
    : file_(std::move(file)), path_(std::move(path)), heldLimit_(heldLimitBytes), thread_([this] { Run(); }) {}

PacketFileWriter::~PacketFileWriter() { Close(); }

bool PacketFileWriter::Append(const std::uint8_t* packets, std::size_t count) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (failure_ || closing_) return false;
        const std::size_t bytes = count * kPacketBytes;
        if (held_.size() + bytes > heldLimit_) {
            dropped_ += count;
            return true;
        }
        held_.insert(held_.end(), packets, packets + bytes);
    }
    wake_.notify_one();
    return true;
}

void PacketFileWriter::Run() {
    std::vector<std::uint8_t> writing;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return closing_ || !held_.empty(); });
        if (held_.empty() || failure_) return;
        writing.swap(held_);
        lock.unlock();
        errno = 0;
        const std::size_t done = std::fwrite(writing.data(), 1, writing.size(), file_.get());
        // A write the C library only buffered fails at its flush: flush here so that a full
        // disk is seen while recording, not first at the close.
        const bool ok = done == writing.size() && std::fflush(file_.get()) == 0;
        const int error = errno;
        lock.lock();
        written_ += done;
        writing.clear();
        if (!ok) {
            failure_ = "cannot write '" + path_ + "': " + Reason(error ? error : EIO);
            held_.clear();
            return;
        }
    }
}

std::optional<std::string> PacketFileWriter::Close() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!file_) return failure_;
        closing_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
    const std::lock_guard<std::mutex> lock(mutex_);
    errno = 0;
    if (std::fclose(file_.release()) != 0 && !failure_) {
        failure_ = "cannot write '" + path_ + "': " + Reason(errno ? errno : EIO);
    }
    // A write cut short by a full disk may end inside a packet: the file keeps whole ones.
    if (written_ % kPacketBytes != 0) {
        std::error_code ignored;
        std::filesystem::resize_file(path_, written_ - written_ % kPacketBytes, ignored);
        written_ -= written_ % kPacketBytes;
    }
    return failure_;
}

bool PacketFileWriter::Failed() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return failure_.has_value();
}

std::uint64_t PacketFileWriter::BytesWritten() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

std::uint64_t PacketFileWriter::DroppedPackets() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

}  // namespace ombrel_cli
