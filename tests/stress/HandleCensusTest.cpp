// The handle census of another process: the stress runs count a second process's and
// Romflux's handles through it, so a type must be named there as in this process.
#include "HandleCensus.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Owned = std::unique_ptr<void, HandleCloser>;

// A copy of this test program, started suspended: its handle table changes only by what
// the test puts there. Ended when the object goes.
class SuspendedChild {
public:
    SuspendedChild() {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (CreateProcessW(path, nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                           &info)) {
            process_.reset(info.hProcess);
            thread_.reset(info.hThread);
        }
    }
    ~SuspendedChild() {
        if (process_) {
            TerminateProcess(process_.get(), 0);
            WaitForSingleObject(process_.get(), 10000);
        }
    }
    SuspendedChild(const SuspendedChild&) = delete;
    SuspendedChild& operator=(const SuspendedChild&) = delete;

    HANDLE Process() const { return process_.get(); }

    // A copy of `handle` in the child's table, left there (the child's end closes it).
    bool Give(HANDLE handle) {
        HANDLE copy = nullptr;
        return DuplicateHandle(GetCurrentProcess(), handle, process_.get(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS) != 0;
    }

private:
    Owned process_;
    Owned thread_;
};

TEST(HandleCensus, CountsAndNamesTheHandlesOfAnotherProcess) {
    SuspendedChild child;
    ASSERT_NE(child.Process(), nullptr) << "the child could not be started (error " << GetLastError() << ")";
    const auto before = handles::TakeCensus(child.Process());
    ASSERT_TRUE(before) << "this system does not list another process's handles";

    constexpr int kEvents = 7;
    constexpr int kMutexes = 3;
    std::vector<Owned> mine;
    for (int i = 0; i < kEvents + kMutexes; ++i) {
        mine.emplace_back(i < kEvents ? CreateEventW(nullptr, TRUE, FALSE, nullptr)
                                      : CreateMutexW(nullptr, FALSE, nullptr));
        ASSERT_TRUE(mine.back());
        ASSERT_TRUE(child.Give(mine.back().get())) << "error " << GetLastError();
    }
    const auto after = handles::TakeCensus(child.Process());
    ASSERT_TRUE(after);
    const handles::Census grown = handles::Difference(*after, *before);
    // Named through copies in this process, the child's types read as this process's do.
    EXPECT_EQ(grown.Of("Event"), kEvents) << handles::Describe(grown);
    EXPECT_EQ(grown.Of("Mutant"), kMutexes) << handles::Describe(grown);
    EXPECT_EQ(grown.Total(), kEvents + kMutexes) << handles::Describe(grown);
    EXPECT_EQ(after->Of("?"), 0) << "a type of the child's went unnamed";
    EXPECT_EQ(after->Of(""), 0) << "a type without a name must still be told apart";

    // This process's own census is not the child's: its copies stay out of the child's count.
    const auto self = handles::TakeCensus();
    ASSERT_TRUE(self);
    EXPECT_GE(self->Of("Event"), kEvents);
    EXPECT_EQ(self->Of(""), 0);
    mine.clear();
    const auto closed = handles::TakeCensus();
    ASSERT_TRUE(closed);
    EXPECT_EQ(self->Of("Event") - closed->Of("Event"), kEvents) << handles::Describe(handles::Difference(*closed, *self));
    EXPECT_EQ(handles::TakeCensus(child.Process())->Of("Event"), after->Of("Event"));
}

}  // namespace
