#include "PropertyChannel.h"

#include <OmbrelApi.h>

#include <vector>

namespace ombrel {

const GUID kOmbrelPropertySet = OMBREL_PROPSETID_INIT;

namespace {

// Scratch instance data of a request. Most records are small; only the firmware
// image needs the heap.
class InstanceBuffer {
public:
    explicit InstanceBuffer(unsigned long length) : length_(length) {
        if (length > sizeof small_) large_.resize(length);
    }
    void* data() {
        if (length_ == 0) return nullptr;
        return large_.empty() ? static_cast<void*>(small_) : large_.data();
    }

private:
    unsigned long length_;
    unsigned char small_[1036] = {};
    std::vector<unsigned char> large_;
};

}  // namespace

unsigned long SetProperty(IKsPropertySet* properties, unsigned long property, void* data, unsigned long length) {
    if (!properties) return OB_FAILED;
    InstanceBuffer instance(length);
    const HRESULT hr = properties->Set(kOmbrelPropertySet, property, instance.data(), length,
                                       length ? data : nullptr, length);
    return hr == S_OK ? OB_SUCCESS : OB_FAILED;
}

unsigned long GetProperty(IKsPropertySet* properties, unsigned long property, void* data, unsigned long length) {
    if (!properties) return OB_FAILED;
    InstanceBuffer instance(length);
    DWORD returned = 0;  // a short answer still counts as success
    const HRESULT hr = properties->Get(kOmbrelPropertySet, property, instance.data(), length,
                                       length ? data : nullptr, length, &returned);
    return hr == S_OK ? OB_SUCCESS : OB_FAILED;
}

}  // namespace ombrel
