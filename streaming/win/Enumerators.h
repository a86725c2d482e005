// The enumerators a filter and its pin hand out: the filter's one pin, and the media
// types that pin offers.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <atomic>

namespace ombrel::stream {

// Enumerates one pin (the sink's input), holding a reference on it.
class SinglePinEnumerator final : public IEnumPins {
public:
    static HRESULT Create(IPin* pin, ULONG position, IEnumPins** out);

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumPins** out) override;

private:
    SinglePinEnumerator(IPin* pin, ULONG position) : pin_(pin), position_(position) {}
    ~SinglePinEnumerator() = default;

    std::atomic<ULONG> references_{1};
    Microsoft::WRL::ComPtr<IPin> pin_;
    ULONG position_;
};

// Enumerates the media types of OfferedType (MediaTypes.h).
class OfferedTypeEnumerator final : public IEnumMediaTypes {
public:
    static HRESULT Create(ULONG position, IEnumMediaTypes** out);

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes** out) override;

private:
    explicit OfferedTypeEnumerator(ULONG position) : position_(position) {}
    ~OfferedTypeEnumerator() = default;

    std::atomic<ULONG> references_{1};
    ULONG position_;
};

}  // namespace ombrel::stream
