// Owning wrappers for kernel objects and mapped views.
#pragma once

#include <windows.h>

#include <utility>

namespace ombrel {

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, nullptr);
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    void reset() {
        if (h_) CloseHandle(h_);
        h_ = nullptr;
    }

private:
    HANDLE h_ = nullptr;
};

class MappedView {
public:
    MappedView() = default;
    explicit MappedView(void* view) : view_(view) {}
    MappedView(MappedView&& o) noexcept : view_(std::exchange(o.view_, nullptr)) {}
    MappedView& operator=(MappedView&& o) noexcept {
        if (this != &o) {
            reset();
            view_ = std::exchange(o.view_, nullptr);
        }
        return *this;
    }
    MappedView(const MappedView&) = delete;
    MappedView& operator=(const MappedView&) = delete;
    ~MappedView() { reset(); }

    void* get() const { return view_; }
    void reset() {
        if (view_) UnmapViewOfFile(view_);
        view_ = nullptr;
    }

private:
    void* view_ = nullptr;
};

// A named section of the paging file, mapped whole, and the named mutex that
// serialises its writers between processes: created by the first process, opened by
// the others.
class NamedSection {
public:
    // False, with nothing held, when the section or the mutex cannot be had.
    bool Open(const char* sectionName, DWORD size, const char* mutexName) {
        UniqueHandle mapping(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, sectionName));
        if (!mapping) return false;
        MappedView view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, size));
        if (!view.get()) return false;
        UniqueHandle mutex(CreateMutexA(nullptr, FALSE, mutexName));
        if (!mutex) return false;
        mapping_ = std::move(mapping);
        view_ = std::move(view);
        mutex_ = std::move(mutex);
        return true;
    }
    void Close() {
        view_.reset();
        mapping_.reset();
        mutex_.reset();
    }

    void* view() const { return view_.get(); }  // null while closed
    HANDLE mutex() const { return mutex_.get(); }

private:
    UniqueHandle mapping_;
    MappedView view_;
    UniqueHandle mutex_;
};

// Holds a mutex acquired with a bounded wait; an abandoned mutex counts as acquired
// (its owner died, the data it guards is plain and checked by its readers).
class MutexLock {
public:
    MutexLock(HANDLE mutex, DWORD timeoutMs) {
        const DWORD r = WaitForSingleObject(mutex, timeoutMs);
        if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) mutex_ = mutex;
    }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;
    ~MutexLock() {
        if (mutex_) ReleaseMutex(mutex_);
    }
    bool owns() const { return mutex_ != nullptr; }

private:
    HANDLE mutex_ = nullptr;
};

}  // namespace ombrel
