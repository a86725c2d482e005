#include "StreamCycles.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <exception>

#include "GraphSupport.h"

namespace streamtest {
namespace {

int CountThreads() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int n = 0;
    for (BOOL ok = Thread32First(snap, &entry); ok; ok = Thread32Next(snap, &entry))
        n += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snap);
    return n;
}

long LiveFilters() {
    HMODULE filter = GetModuleHandleW(L"TalvexSimFilter.dll");
    if (!filter) return -1;
    using Count = LONG(WINAPI*)();
    const auto count = reinterpret_cast<Count>(reinterpret_cast<void*>(GetProcAddress(filter, "TalvexSimLiveObjects")));
    return count ? count() : -1;
}

void Fail(CycleResult& r, const std::string& what, HRESULT hr) {
    if (!r.failures++) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
        r.firstFailure = what + " failed: " + text;
    }
}

void Count(CycleResult& r, PacketCounter& counter) {
    const Tally t = counter.Snapshot();
    r.packets += t.packets;
    r.badSamples += t.badSamples;
}

}  // namespace

ProcessFigures TakeFigures() {
    ProcessFigures f;
    if (auto census = handles::TakeCensus()) f.handles = *census;
    f.threads = CountThreads();
    f.liveFilters = LiveFilters();
    return f;
}

ProcessFigures SettledFigures(const ProcessFigures& target, unsigned timeoutMs) {
    const DWORD start = GetTickCount();
    ProcessFigures now = TakeFigures();
    while (GetTickCount() - start < timeoutMs &&
           (now.threads > target.threads || now.liveFilters > target.liveFilters ||
            now.handles.Total() > target.handles.Total())) {
        Sleep(50);
        now = TakeFigures();
    }
    return now;
}

CycleResult RunStopCycles(const std::string& displayName, int cycles, unsigned runMs) {
    ComPtr<IBaseFilter> source = BindDisplayName(displayName);
    if (!source) {
        CycleResult r;
        Fail(r, "binding " + displayName, E_FAIL);
        return r;
    }
    return RunStopCycles(source.Get(), cycles, runMs);
}

CycleResult RunStopCycles(IBaseFilter* source, int cycles, unsigned runMs) {
    CycleResult r;
    try {
        GrabberGraph graph;
        HRESULT hr = graph.Add(source, L"Tuner");
        if (SUCCEEDED(hr)) hr = graph.ConnectToGrabber(source, true);
        if (FAILED(hr)) {
            Fail(r, "connecting", hr);
            return r;
        }
        for (int i = 0; i < cycles; ++i) {
            hr = graph.Run();
            if (FAILED(hr)) Fail(r, "Run", hr);
            Sleep(runMs);
            hr = graph.Stop();
            if (FAILED(hr)) Fail(r, "Stop", hr);
            ++r.done;
        }
        Count(r, graph.Counter());
    } catch (const std::exception& e) {
        Fail(r, e.what(), E_FAIL);
    }
    return r;
}

CycleResult BuildAndDropRunning(const std::string& displayName, int builds, unsigned runMs, bool stream) {
    CycleResult r;
    for (int i = 0; i < builds; ++i) {
        try {
            ComPtr<IBaseFilter> source = BindDisplayName(displayName);
            if (!source) {
                Fail(r, "binding " + displayName, E_FAIL);
                continue;
            }
            // Built, run and let go with samples in flight: the graph manager's release
            // stops and disconnects everything.
            ComPtr<IGraphBuilder> graph;
            HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                          reinterpret_cast<void**>(graph.GetAddressOf()));
            if (FAILED(hr)) {
                Fail(r, "creating the graph", hr);
                continue;
            }
            GrabberBranch branch = AddGrabberBranch(graph.Get(), L"Grabber");
            hr = graph->AddFilter(source.Get(), L"Tuner");
            if (SUCCEEDED(hr) && stream)
                hr = graph->ConnectDirect(FirstPin(source.Get(), PINDIR_OUTPUT).Get(),
                                          FirstPin(branch.grabber.Get(), PINDIR_INPUT).Get(), nullptr);
            if (SUCCEEDED(hr) && stream) hr = ConnectRenderer(graph.Get(), branch);
            ComPtr<IMediaControl> control;
            if (SUCCEEDED(hr)) hr = graph.As(&control);
            if (SUCCEEDED(hr) && stream) hr = control->Run();
            if (FAILED(hr)) Fail(r, "building and running", hr);
            Sleep(runMs);
            Count(r, *branch.counter.Get());
            control.Reset();
            source.Reset();
            branch = GrabberBranch{};
            graph.Reset();
            ++r.done;
        } catch (const std::exception& e) {
            Fail(r, e.what(), E_FAIL);
        }
    }
    return r;
}

}  // namespace streamtest
