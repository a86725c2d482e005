#include "OmbrelTunerSource.h"

#include <windows.h>

#include <OmbrelApi.h>

unsigned long COmbrelTunerSource::CountWdm()
{
    unsigned long count = 0;
    OB_GetNumberOfWDMDevices(&count);
    return count;
}

unsigned long COmbrelTunerSource::CountBda()
{
    unsigned long count = 0;
    OB_GetNumberOfBDADevices(&count);
    return count;
}

unsigned long COmbrelTunerSource::OpenWdm(unsigned long index)
{
    unsigned long handle = 0;
    OB_OpenWDMDeviceHandle(index, &handle);  // a nonzero handle is what counts
    return handle;
}

unsigned long COmbrelTunerSource::OpenBda(unsigned long index)
{
    unsigned long handle = 0;
    OB_OpenBDADeviceHandle(index, &handle);
    return handle;
}

void COmbrelTunerSource::ReadDisplayString(unsigned long handle, char (&buffer)[512])
{
    OB_GetDisplayString(handle, buffer);
}

void COmbrelTunerSource::ReadGuidText(unsigned long handle, char (&buffer)[17])
{
    OB_GetGUIDString(handle, buffer);
}

void COmbrelTunerSource::Close(unsigned long handle) { OB_CloseDeviceHandle(handle); }
