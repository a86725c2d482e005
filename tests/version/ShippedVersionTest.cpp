// The version resources of the binaries that the packages ship, read back as Windows
// reads them: every one names the maker, the product and what the file is, its numbers
// agree with its text, and the library's version is the one OB_GetApiVersion reports.
#include <gtest/gtest.h>

#include <windows.h>

#include <OmbrelApi.h>
#include <OmbrelVersion.h>

#include <cstdio>
#include <string>

#include "FileVersionInfo.h"
#include "UiDriver.h"

namespace {

struct Shipped {
    const char* file;  // below bin
    const char* product;
    const char* version;
    DWORD fileType;
};

// "1.10.2" -> 0x0001000A, 0x00020000 (missing parts are 0).
void VersionNumbers(const std::string& text, DWORD& high, DWORD& low) {
    unsigned part[4] = {0, 0, 0, 0};
    std::sscanf(text.c_str(), "%u.%u.%u.%u", &part[0], &part[1], &part[2], &part[3]);
    high = (part[0] << 16) | part[1];
    low = (part[2] << 16) | part[3];
}

}  // namespace

TEST(ShippedVersionResources, EveryShippedBinaryNamesMakerProductDescriptionAndVersion) {
    const Shipped shipped[] = {
        {"OmbrelApi.dll", "OmbrelApi", OMBREL_API_VERSION_TEXT, VFT_DLL},
        {"Tools\\OmbrelApi.dll", "OmbrelApi", OMBREL_API_VERSION_TEXT, VFT_DLL},
        {"Romflux.exe", "Talvex Romflux", "3.0.2182.0", VFT_APP},
        {"Tools\\TalvexRemote.exe", "Talvex Romflux", "3.0.2182.0", VFT_APP},
        {"Tools\\TalvexCI.exe", "Talvex Romflux", "3.0.2182.0", VFT_APP},
        {"TalvexSimFilter.dll", "Talvex Tuner Simulator", OMBREL_API_VERSION_TEXT, VFT_DLL},
        {"tunersim.exe", "Talvex Tuner Simulator", OMBREL_API_VERSION_TEXT, VFT_APP},
        {"ombrel.exe", "ombrel", OMBREL_TOOL_VERSION_TEXT, VFT_APP},
    };
    const std::string bin = uidriver::Narrow(uidriver::BinDirectory());
    for (const Shipped& s : shipped) {
        SCOPED_TRACE(s.file);
        const std::string path = bin + s.file;
        if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            ADD_FAILURE() << path << " is not built";
            continue;
        }
        CFileVersionInfo info;
        ASSERT_TRUE(info.ReadFromFile(path, 0x0409));
        EXPECT_EQ(info.GetCompanyName(), "Talvex Systems GmbH");
        EXPECT_EQ(info.GetLegalCopyright(), "Copyright (C) 2004-2007 Talvex Systems GmbH");
        EXPECT_EQ(info.GetProductName(), s.product);
        EXPECT_FALSE(info.GetFileDescription().empty());
        EXPECT_EQ(info.GetFileVersion(), s.version);
        EXPECT_EQ(info.GetProductVersion(), s.version);
        const std::string name = std::string(s.file).substr(std::string(s.file).find_last_of('\\') + 1);
        EXPECT_EQ(info.GetOriginalFileName(), name);
        EXPECT_EQ(info.GetInternalName(), name.substr(0, name.find('.')));

        const VS_FIXEDFILEINFO& fixed = info.GetFixedFileInfo();
        DWORD high = 0, low = 0;
        VersionNumbers(s.version, high, low);
        EXPECT_EQ(fixed.dwFileVersionMS, high);
        EXPECT_EQ(fixed.dwFileVersionLS, low);
        EXPECT_EQ(fixed.dwProductVersionMS, high);
        EXPECT_EQ(fixed.dwProductVersionLS, low);
        EXPECT_EQ(fixed.dwFileType, s.fileType);
    }
}

TEST(ShippedVersionResources, TheLibrarysVersionResourceIsTheVersionItReports) {
    CFileVersionInfo info;
    ASSERT_TRUE(info.ReadFromFile(uidriver::Narrow(uidriver::BinDirectory()) + "OmbrelApi.dll", 0x0409));
    EXPECT_EQ(info.GetFileVersion(), OB_GetApiVersion());
    DWORD high = 0, low = 0;
    VersionNumbers(OB_GetApiVersion(), high, low);
    EXPECT_EQ(info.GetFixedFileInfo().dwFileVersionMS, high);
    EXPECT_EQ(info.GetFixedFileInfo().dwFileVersionLS, low);
}
