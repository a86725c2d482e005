// AM_MEDIA_TYPE as a value: its format block (CoTaskMemAlloc'd, as the interfaces hand it
// on) and its format object are copied and freed with it.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <memory>

namespace dshow {

// Fills `to` (whose old contents are not freed) with a copy of `from`; E_OUTOFMEMORY,
// leaving `to` holding nothing, when the format block cannot be copied.
HRESULT CopyMediaType(const AM_MEDIA_TYPE& from, AM_MEDIA_TYPE& to);
// Frees what a copy holds (format block and object), leaving the record empty of them.
void FreeMediaTypeContents(AM_MEDIA_TYPE& type);

// Owns an AM_MEDIA_TYPE that an interface handed out by pointer (IEnumMediaTypes::Next,
// IMediaSample::GetMediaType): record and contents, all in task memory.
struct TaskMediaTypeFree {
    void operator()(AM_MEDIA_TYPE* type) const;
};
using TaskMediaType = std::unique_ptr<AM_MEDIA_TYPE, TaskMediaTypeFree>;

class MediaType {
public:
    MediaType() = default;
    // Copies; std::bad_alloc when the format block cannot be.
    explicit MediaType(const AM_MEDIA_TYPE& type);
    MediaType(const MediaType& other) : MediaType(other.type_) {}
    MediaType& operator=(const MediaType& other);
    ~MediaType() { Clear(); }

    // Copies `from` without throwing; E_OUTOFMEMORY leaves this empty.
    HRESULT Assign(const AM_MEDIA_TYPE& from);
    void Clear();
    const AM_MEDIA_TYPE& Get() const { return type_; }

    // Fills `to` (whose old contents are not freed) with a copy, as CopyMediaType.
    HRESULT CopyTo(AM_MEDIA_TYPE& to) const { return CopyMediaType(type_, to); }
    // A copy in task memory, as IEnumMediaTypes hands them out; empty when out of memory.
    TaskMediaType NewTaskCopy() const;

private:
    AM_MEDIA_TYPE type_{};
};

}  // namespace dshow
