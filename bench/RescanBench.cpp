// Times the library's rescan against a baseline that does the least any scan must:
// enumerate the three categories once, bind each tuner and receiver filter once and
// make one property get per device. Runs the library's real code from its static
// build, with simulated tuners.
#include <windows.h>
#include <objbase.h>
#include <strmif.h>
#include <wrl/client.h>

#include "Library.h"
#include "PropertyChannel.h"

#include <TunerSimControl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

constexpr GUID kSystemDeviceEnum = {0x62BE5D10, 0x60EB, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
constexpr ombrel::Category kCategories[] = {ombrel::Category::WdmCapture, ombrel::Category::BdaTuner,
                                            ombrel::Category::BdaReceiver};

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double TimeMs(const std::function<void()>& run) {
    const double start = NowMs();
    run();
    return NowMs() - start;
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The floor: each category once, names read as any filter of ours needs, every
// tuner and receiver bound once, one firmware-version get per tuner.
int Baseline() {
    ComPtr<ICreateDevEnum> devEnum;
    if (FAILED(CoCreateInstance(kSystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&devEnum)))) return -1;
    int devices = 0;
    for (ombrel::Category category : kCategories) {
        ComPtr<IEnumMoniker> monikers;
        if (devEnum->CreateClassEnumerator(ombrel::CategoryGuid(category), &monikers, 0) != S_OK) continue;
        ComPtr<IMoniker> moniker;
        while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
            ComPtr<IPropertyBag> bag;
            if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) break;
            VARIANT name;
            VariantInit(&name);
            name.vt = VT_BSTR;
            bag->Read(L"FriendlyName", &name, nullptr);
            VariantClear(&name);
            LPOLESTR display = nullptr;
            ComPtr<IBindCtx> context;
            CreateBindCtx(0, &context);
            moniker->GetDisplayName(context.Get(), nullptr, &display);
            CoTaskMemFree(display);

            ComPtr<IBaseFilter> filter;
            if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&filter)))) continue;
            if (category == ombrel::Category::BdaReceiver) continue;  // bound, not asked
            ComPtr<IKsPropertySet> properties;
            if (FAILED(filter.As(&properties))) continue;
            unsigned char record[8];
            ombrel::GetProperty(properties.Get(), OMBREL_PROP_FIRMWARE_VERSION, record, sizeof record);
            ++devices;
        }
    }
    return devices;
}

// Every box presents itself in both driver models: one WDM tuner and one BDA tuner
// with its receiver, so N tuners are N/2 boxes (the simulator holds at most 32).
void PlugTuners(int tuners) {
    tunersim::Reset(false);
    for (int i = 0; i < tuners / 2; ++i) {
        tunersim::DeviceProfile box;
        char id[17];
        std::snprintf(id, sizeof id, "0000beef%02x%06x", tuners, i);
        box.id = id;
        box.subunit = i % 10;
        box.models = tunersim::kBoth;
        tunersim::Plug(box, false);
    }
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    if (!ombrel::AttachLibrary()) {
        std::fprintf(stderr, "cannot map the shared section\n");
        return 1;
    }
    ombrel::Library& library = *ombrel::TheLibrary();
    std::printf("%8s %12s %12s %8s %14s\n", "tuners", "rescan ms", "baseline ms", "ratio", "rescan/tuner");
    int failures = 0;
    for (int tuners : {8, 32, 64}) {
        PlugTuners(tuners);
        library.Rescan();  // first scan appends; the timed ones find the table current
        if (Baseline() != tuners || library.Table().Count(ombrel::KindFilter::Any) != static_cast<unsigned long>(tuners)) {
            std::fprintf(stderr, "%d tuners: scan found a different number\n", tuners);
            ++failures;
        }
        // Alternating the two keeps a busy machine's noise from favouring either.
        const int repetitions = tuners <= 8 ? 15 : 9;
        std::vector<double> rescans, baselines;
        for (int r = 0; r < repetitions; ++r) {
            rescans.push_back(TimeMs([&] { library.Rescan(); }));
            baselines.push_back(TimeMs([] { Baseline(); }));
        }
        const double rescan = Median(rescans);
        const double baseline = Median(baselines);
        std::printf("%8d %12.2f %12.2f %8.2f %14.3f\n", tuners, rescan, baseline, rescan / baseline, rescan / tuners);
        std::fflush(stdout);
    }
    tunersim::Reset(false);
    ombrel::DetachLibrary(false);
    return failures;
}
