// The DirectShow helpers shared by the simulator's filter, the stream library and the
// tests' push source: media-type ownership and the two enumerators.
#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include <OmbrelStream.h>

#include "ComEnumerators.h"
#include "OwnedMediaType.h"
#include "PushSource.h"
#include "StreamGuids.h"

namespace {

using Microsoft::WRL::ComPtr;

// A format object that counts its references, to see copies take and give them back.
class Counted final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    std::atomic<ULONG> references{1};
};

HRESULT OMBREL_CALL Ignore(void*, const unsigned char*, unsigned long, BOOL) { return S_OK; }

AM_MEDIA_TYPE StreamType(const GUID& subtype, BYTE* format, ULONG formatBytes, IUnknown* object) {
    AM_MEDIA_TYPE type{};
    type.majortype = dshow::kMediaTypeStream;
    type.subtype = subtype;
    type.formattype = dshow::kFormatNone;
    type.pbFormat = format;
    type.cbFormat = formatBytes;
    type.pUnk = object;
    return type;
}

TEST(DshowHelpers, MediaTypesOwnTheirFormatBlockAndObject) {
    Counted object;
    BYTE format[] = {1, 2, 3, 4, 5};
    const AM_MEDIA_TYPE original = StreamType(dshow::kSubtypeMpeg2Transport, format, sizeof format, &object);
    {
        dshow::MediaType owned(original);
        EXPECT_EQ(object.references, 2u);
        ASSERT_NE(owned.Get().pbFormat, format);  // a copy of its own, in task memory
        EXPECT_EQ(std::memcmp(owned.Get().pbFormat, format, sizeof format), 0);
        EXPECT_EQ(owned.Get().subtype, dshow::kSubtypeMpeg2Transport);

        const dshow::MediaType copied(owned);
        dshow::MediaType assigned;
        assigned = copied;
        assigned = assigned;
        EXPECT_EQ(object.references, 4u);
        EXPECT_EQ(assigned.Get().cbFormat, sizeof format);

        // A caller's record gets a copy of its own to free; a task copy is freed whole.
        AM_MEDIA_TYPE handed{};
        ASSERT_EQ(owned.CopyTo(handed), S_OK);
        EXPECT_EQ(object.references, 5u);
        dshow::FreeMediaTypeContents(handed);
        EXPECT_EQ(handed.pbFormat, nullptr);
        EXPECT_EQ(handed.pUnk, nullptr);
        {
            const dshow::TaskMediaType task = owned.NewTaskCopy();
            ASSERT_TRUE(task);
            EXPECT_EQ(std::memcmp(task->pbFormat, format, sizeof format), 0);
            EXPECT_EQ(object.references, 5u);
        }
        EXPECT_EQ(object.references, 4u);

        // Assign replaces, Clear empties; both give the old contents back.
        const AM_MEDIA_TYPE plain = StreamType(dshow::kSubtypeBdaTransport, nullptr, 0, nullptr);
        EXPECT_EQ(assigned.Assign(plain), S_OK);
        EXPECT_EQ(object.references, 3u);
        EXPECT_EQ(assigned.Get().subtype, dshow::kSubtypeBdaTransport);
        EXPECT_EQ(assigned.Get().pbFormat, nullptr);
        owned.Clear();
        EXPECT_EQ(object.references, 2u);
        EXPECT_EQ(owned.Get().majortype, GUID_NULL);
    }
    EXPECT_EQ(object.references, 1u);
}

TEST(DshowHelpers, EnumeratorsWalkSkipCloneAndCountThemselves) {
    std::atomic<long> live{0};
    std::vector<dshow::MediaType> types{
        dshow::MediaType(StreamType(dshow::kSubtypeBdaTransport, nullptr, 0, nullptr)),
        dshow::MediaType(StreamType(dshow::kSubtypeMpeg2Transport, nullptr, 0, nullptr))};
    EXPECT_EQ(dshow::MakeMediaTypeEnumerator(types, nullptr, &live), E_POINTER);
    ComPtr<IEnumMediaTypes> walk;
    ASSERT_EQ(dshow::MakeMediaTypeEnumerator(types, walk.GetAddressOf(), &live), S_OK);
    EXPECT_EQ(live, 1);

    AM_MEDIA_TYPE* out[3] = {};
    ULONG fetched = 99;
    EXPECT_EQ(walk->Next(2, out, nullptr), E_INVALIDARG);
    EXPECT_EQ(walk->Next(3, out, &fetched), S_FALSE);  // two left of three asked
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(out[0]->subtype, dshow::kSubtypeBdaTransport);
    EXPECT_EQ(out[1]->subtype, dshow::kSubtypeMpeg2Transport);
    for (ULONG i = 0; i < fetched; ++i) dshow::TaskMediaType{out[i]};
    EXPECT_EQ(walk->Next(1, out, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);

    // Skip past the end stops at it; a clone keeps the position and is counted too.
    EXPECT_EQ(walk->Reset(), S_OK);
    EXPECT_EQ(walk->Skip(1), S_OK);
    ComPtr<IEnumMediaTypes> clone;
    ASSERT_EQ(walk->Clone(clone.GetAddressOf()), S_OK);
    EXPECT_EQ(live, 2);
    EXPECT_EQ(walk->Skip(5), S_FALSE);
    EXPECT_EQ(walk->Next(1, out, nullptr), S_FALSE);
    ASSERT_EQ(clone->Next(1, out, nullptr), S_OK);
    EXPECT_EQ(out[0]->subtype, dshow::kSubtypeMpeg2Transport);
    dshow::TaskMediaType{out[0]};
    ComPtr<IEnumPins> wrongKind;
    EXPECT_EQ(clone.As(&wrongKind), E_NOINTERFACE);
    walk.Reset();
    clone.Reset();
    EXPECT_EQ(live, 0);

}

// The filters' pin enumerators: the sink's and the push source's, one pin each.
TEST(DshowHelpers, FiltersEnumerateTheirOnePin) {
    ComPtr<IBaseFilter> sink;
    ASSERT_EQ(OBS_CreateSink(&Ignore, nullptr, sink.GetAddressOf()), S_OK);
    const auto source = streamtest::PushSource::Make({});
    for (IBaseFilter* filter : {sink.Get(), static_cast<IBaseFilter*>(source.Get())}) {
        ComPtr<IEnumPins> pins;
        ASSERT_EQ(filter->EnumPins(pins.GetAddressOf()), S_OK);
        ComPtr<IPin> first, again;
        ULONG fetched = 0;
        IPin* more[2] = {};
        ASSERT_EQ(pins->Next(1, first.GetAddressOf(), nullptr), S_OK);
        EXPECT_EQ(pins->Next(2, more, &fetched), S_FALSE);
        EXPECT_EQ(fetched, 0u);
        EXPECT_EQ(pins->Skip(1), S_FALSE);
        ASSERT_EQ(pins->Reset(), S_OK);
        ComPtr<IEnumPins> clone;
        ASSERT_EQ(pins->Clone(clone.GetAddressOf()), S_OK);
        ASSERT_EQ(clone->Next(1, again.GetAddressOf(), nullptr), S_OK);
        EXPECT_EQ(first, again);
        PIN_INFO info{};
        ASSERT_EQ(first->QueryPinInfo(&info), S_OK);
        EXPECT_EQ(info.pFilter, filter);
        info.pFilter->Release();
    }

    // The sink offers both transport-stream subtypes, best first.
    ComPtr<IEnumPins> pins;
    ComPtr<IPin> in;
    ASSERT_EQ(sink->EnumPins(pins.GetAddressOf()), S_OK);
    ASSERT_EQ(pins->Next(1, in.GetAddressOf(), nullptr), S_OK);
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(in->EnumMediaTypes(types.GetAddressOf()), S_OK);
    AM_MEDIA_TYPE* offered[2] = {};
    ULONG fetched = 0;
    ASSERT_EQ(types->Next(2, offered, &fetched), S_OK);
    EXPECT_EQ(offered[0]->subtype, dshow::kSubtypeBdaTransport);
    EXPECT_EQ(offered[1]->subtype, dshow::kSubtypeMpeg2Transport);
    for (AM_MEDIA_TYPE* type : offered) {
        EXPECT_EQ(type->majortype, dshow::kMediaTypeStream);
        EXPECT_EQ(in->QueryAccept(type), S_OK);
        dshow::TaskMediaType{type};
    }
}

}  // namespace
