// What the busy threads of a run counted, and the faults they saw (plain C++).
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace stress {

class Tally {
public:
    std::atomic<long long> operations{0};
    std::atomic<long long> opens{0};
    std::atomic<long long> refusedOpens{0};

    // Counts a fault; the first few are kept word for word.
    void Fault(const std::string& what) {
        std::lock_guard<std::mutex> guard(lock_);
        ++faults_;
        if (examples_.size() < kKept) examples_.push_back(what);
    }
    long Faults() const {
        std::lock_guard<std::mutex> guard(lock_);
        return faults_;
    }
    std::vector<std::string> Examples() const {
        std::lock_guard<std::mutex> guard(lock_);
        return examples_;
    }

private:
    static constexpr std::size_t kKept = 20;
    mutable std::mutex lock_;
    long faults_ = 0;
    std::vector<std::string> examples_;
};

}  // namespace stress
