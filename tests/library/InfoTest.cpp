// Device information and firmware update through the real DLL and the simulated driver.
#include <gtest/gtest.h>

#include "LibraryTestSupport.h"

#include <objbase.h>

#include <cstring>
#include <vector>

using namespace libtest;
using tunersim::Direction;
using tunersim::FaultKind;

namespace {

const std::string kId = "00000000f00d0001";

// A record followed by bytes that no request may touch.
template <class Record>
struct Guarded {
    Record record;
    unsigned char after[16];
    Guarded() {
        std::memset(&record, 0xCC, sizeof record);
        std::memset(after, 0xEE, sizeof after);
    }
    bool AfterIntact() const {
        for (unsigned char b : after)
            if (b != 0xEE) return false;
        return true;
    }
    const unsigned char* bytes() const { return reinterpret_cast<const unsigned char*>(&record); }
};

class InfoTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        tunersim::DeviceProfile box = Wdm(kId);
        box.versionMajor = 2;
        box.versionMinor = 7;
        box.versionPatch = 9;
        box.build = 0x1234;
        box.systemInfo = {9, 8, 7, 6, 5, 4, 3, 2};
        box.boardTemperature = {0x2B, 0x01, 0x02, 0x03};
        box.driverVersion = "TVX 4.2.1.1810";
        tunersim::Plug(box);
        ASSERT_TRUE(PumpUntil([] { return DeviceCount() == 1; }));
        handle_ = OpenByDisplayName(SimDisplayName(kId, 0));
        ASSERT_NE(handle_, 0u);
    }
    void TearDown() override {
        OB_CloseDeviceHandle(handle_);
        SimTest::TearDown();
    }
    void Fault(unsigned property, Direction direction, FaultKind kind, uint32_t bytes = 0) {
        tunersim::InjectFault(kId, property, direction, {kind, bytes, 0});
    }
    unsigned long handle_ = 0;
};

}  // namespace

TEST_F(InfoTest, RecordsAreFilledToTheirExactSize) {
    Guarded<_OMBREL_FIRMWARE_VERSION> fw;
    ASSERT_EQ(OB_GetFirmwareVersion(handle_, &fw.record), OB_SUCCESS);
    const unsigned char expectedFw[8] = {1, 0x34, 4, 2, 7, 9, 0x12, 0x34};
    EXPECT_EQ(std::memcmp(fw.bytes(), expectedFw, 8), 0);
    EXPECT_TRUE(fw.AfterIntact());

    Guarded<_OMBREL_SYSTEM_INFO> info;
    ASSERT_EQ(OB_GetSystemInfo(handle_, &info.record), OB_SUCCESS);
    const unsigned char expectedInfo[8] = {9, 8, 7, 6, 5, 4, 3, 2};
    EXPECT_EQ(std::memcmp(info.bytes(), expectedInfo, 8), 0);
    EXPECT_TRUE(info.AfterIntact());

    Guarded<_OMBREL_BOARD_TEMPERATURE> temperature;
    ASSERT_EQ(OB_GetBoardTemperature(handle_, &temperature.record), OB_SUCCESS);
    const unsigned char expectedTemperature[4] = {0x2B, 1, 2, 3};
    EXPECT_EQ(std::memcmp(temperature.bytes(), expectedTemperature, 4), 0);
    EXPECT_TRUE(temperature.AfterIntact());

    Guarded<_OMBREL_DRIVER_VERSION> driver;
    ASSERT_EQ(OB_GetDriverVersion(handle_, &driver.record), OB_SUCCESS);
    EXPECT_STREQ(driver.record.Version, "TVX 4.2.1.1810");
    EXPECT_TRUE(driver.AfterIntact());

    // This driver has no status before the first image: the failure is passed on.
    Guarded<_OMBREL_FIRMWARE_UPDATE_STATUS> status;
    EXPECT_EQ(OB_GetRomfluxStatus(handle_, &status.record), OB_FAILED);
    std::vector<unsigned char> junk(OMBREL_IMAGE_SIZE, 'J');
    ASSERT_EQ(OB_UpdateFirmware(handle_, junk.data()), OB_SUCCESS);
    ASSERT_EQ(OB_GetRomfluxStatus(handle_, &status.record), OB_SUCCESS);
    EXPECT_EQ(status.record.State, 8);  // a rejected image
    EXPECT_NE(status.record.ErrorCode, 0);
    EXPECT_TRUE(status.AfterIntact());
}

TEST_F(InfoTest, TwentyCharacterDriverVersionEndsInItsLastByte) {
    tunersim::SetDriverVersion(kId, "ABCDEFGHIJKLMNOPQRST");
    Guarded<_OMBREL_DRIVER_VERSION> driver;
    ASSERT_EQ(OB_GetDriverVersion(handle_, &driver.record), OB_SUCCESS);
    EXPECT_EQ(std::string(driver.record.Version, 20), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(driver.record.Version[20], '\0');
    EXPECT_TRUE(driver.AfterIntact());
}

TEST_F(InfoTest, EachExportIsOneRequestOfItsProperty) {
    struct Case {
        unsigned property;
        unsigned long (*call)(unsigned long);
    };
    const Case cases[] = {
        {OMBREL_PROP_FIRMWARE_VERSION, [](unsigned long h) { _OMBREL_FIRMWARE_VERSION r; return OB_GetFirmwareVersion(h, &r); }},
        {OMBREL_PROP_DRIVER_VERSION, [](unsigned long h) { _OMBREL_DRIVER_VERSION r; return OB_GetDriverVersion(h, &r); }},
        {OMBREL_PROP_SYSTEM_INFO, [](unsigned long h) { _OMBREL_SYSTEM_INFO r; return OB_GetSystemInfo(h, &r); }},
        {OMBREL_PROP_BOARD_TEMPERATURE, [](unsigned long h) { _OMBREL_BOARD_TEMPERATURE r; return OB_GetBoardTemperature(h, &r); }},
        {OMBREL_PROP_UPDATE_STATUS, [](unsigned long h) { _OMBREL_FIRMWARE_UPDATE_STATUS r; return OB_GetRomfluxStatus(h, &r); }},
    };
    std::vector<unsigned char> junk(OMBREL_IMAGE_SIZE, 'J');
    ASSERT_EQ(OB_UpdateFirmware(handle_, junk.data()), OB_SUCCESS);  // so that a status exists
    for (const Case& c : cases) {
        const auto before = tunersim::Requests(kId, c.property);
        EXPECT_EQ(c.call(handle_), OB_SUCCESS) << c.property;
        const auto after = tunersim::Requests(kId, c.property);
        EXPECT_EQ(after.gets, before.gets + 1) << c.property;
        EXPECT_EQ(after.sets, before.sets) << c.property;

        // Unknown handles never reach the driver.
        EXPECT_EQ(c.call(handle_ + 7777), OB_INVALID_HANDLE) << c.property;
        EXPECT_EQ(c.call(0), OB_INVALID_HANDLE) << c.property;
        EXPECT_EQ(tunersim::Requests(kId, c.property).gets, after.gets) << c.property;
    }
}

TEST_F(InfoTest, NullRecordsAndImagesAreRefusedWithoutAskingTheDriver) {
    const unsigned properties[] = {OMBREL_PROP_FIRMWARE_VERSION, OMBREL_PROP_DRIVER_VERSION,
                                   OMBREL_PROP_SYSTEM_INFO,      OMBREL_PROP_BOARD_TEMPERATURE,
                                   OMBREL_PROP_UPDATE_STATUS,    OMBREL_PROP_UPDATE_FIRMWARE};
    std::vector<tunersim::RequestCount> before;
    for (unsigned p : properties) before.push_back(tunersim::Requests(kId, p));
    const auto imagesBefore = tunersim::LastImage(kId).count;

    EXPECT_EQ(OB_GetFirmwareVersion(handle_, nullptr), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_GetDriverVersion(handle_, nullptr), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_GetSystemInfo(handle_, nullptr), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_GetBoardTemperature(handle_, nullptr), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_GetRomfluxStatus(handle_, nullptr), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_UpdateFirmware(handle_, nullptr), OB_INVALID_PARAMETER);
    // The handle comes first.
    EXPECT_EQ(OB_UpdateFirmware(handle_ + 7777, nullptr), OB_INVALID_HANDLE);
    EXPECT_EQ(OB_GetFirmwareVersion(0, nullptr), OB_INVALID_HANDLE);

    for (std::size_t i = 0; i < std::size(properties); ++i) {
        const auto now = tunersim::Requests(kId, properties[i]);
        EXPECT_EQ(now.gets, before[i].gets) << properties[i];
        EXPECT_EQ(now.sets, before[i].sets) << properties[i];
    }
    EXPECT_EQ(tunersim::LastImage(kId).count, imagesBefore);

    // The handle is as good as before.
    _OMBREL_FIRMWARE_VERSION version{};
    EXPECT_EQ(OB_GetFirmwareVersion(handle_, &version), OB_SUCCESS);
    EXPECT_EQ(version.VersionMajor, 2);
}

TEST_F(InfoTest, AnythingButSOkIsAFailure) {
    for (FaultKind kind : {FaultKind::False, FaultKind::Fail}) {
        for (unsigned p : {OMBREL_PROP_FIRMWARE_VERSION, OMBREL_PROP_DRIVER_VERSION, OMBREL_PROP_SYSTEM_INFO,
                           OMBREL_PROP_BOARD_TEMPERATURE, OMBREL_PROP_UPDATE_STATUS})
            Fault(p, Direction::Get, kind);
        _OMBREL_FIRMWARE_VERSION fw;
        _OMBREL_DRIVER_VERSION dv;
        _OMBREL_SYSTEM_INFO si;
        _OMBREL_BOARD_TEMPERATURE bt;
        _OMBREL_FIRMWARE_UPDATE_STATUS st;
        EXPECT_EQ(OB_GetFirmwareVersion(handle_, &fw), OB_FAILED);
        EXPECT_EQ(OB_GetDriverVersion(handle_, &dv), OB_FAILED);
        EXPECT_EQ(OB_GetSystemInfo(handle_, &si), OB_FAILED);
        EXPECT_EQ(OB_GetBoardTemperature(handle_, &bt), OB_FAILED);
        EXPECT_EQ(OB_GetRomfluxStatus(handle_, &st), OB_FAILED);

        Fault(OMBREL_PROP_UPDATE_FIRMWARE, Direction::Set, kind);
        std::vector<unsigned char> image(OMBREL_IMAGE_SIZE, 'A');
        EXPECT_EQ(OB_UpdateFirmware(handle_, image.data()), OB_FAILED);
        tunersim::ClearFaults(kId);
    }
    _OMBREL_FIRMWARE_VERSION fw;
    EXPECT_EQ(OB_GetFirmwareVersion(handle_, &fw), OB_SUCCESS);
}

TEST_F(InfoTest, ShortAnswerIsSuccessAndLeavesTheRest) {
    Fault(OMBREL_PROP_FIRMWARE_VERSION, Direction::Get, FaultKind::Short, 3);
    Guarded<_OMBREL_FIRMWARE_VERSION> fw;
    ASSERT_EQ(OB_GetFirmwareVersion(handle_, &fw.record), OB_SUCCESS);
    const unsigned char expected[8] = {1, 0x34, 4, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC};
    EXPECT_EQ(std::memcmp(fw.bytes(), expected, 8), 0);

    Fault(OMBREL_PROP_DRIVER_VERSION, Direction::Get, FaultKind::Short, 0);
    Guarded<_OMBREL_DRIVER_VERSION> dv;
    ASSERT_EQ(OB_GetDriverVersion(handle_, &dv.record), OB_SUCCESS);
    for (unsigned char c : dv.record.Version) EXPECT_EQ(c, 0xCC);
}

TEST_F(InfoTest, UpdateSendsExactlyTheImageLengthFromACopy) {
    // The image ends right at a page that may not be read: a request that read past
    // 368754 bytes would fault.
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    const SIZE_T page = si.dwPageSize;
    const SIZE_T span = (OMBREL_IMAGE_SIZE + page - 1) / page * page;
    auto* base = static_cast<unsigned char*>(VirtualAlloc(nullptr, span + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(base, nullptr);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(base + span, page, PAGE_NOACCESS, &old));
    unsigned char* image = base + span - OMBREL_IMAGE_SIZE;
    for (SIZE_T i = 0; i < OMBREL_IMAGE_SIZE; ++i) image[i] = static_cast<unsigned char>(i * 31 + 7);
    ASSERT_TRUE(VirtualProtect(base, span, PAGE_READONLY, &old));  // read only, as the caller's resources

    const auto before = tunersim::LastImage(kId);
    ASSERT_EQ(OB_UpdateFirmware(handle_, image), OB_SUCCESS);
    const auto after = tunersim::LastImage(kId);
    EXPECT_EQ(after.count, before.count + 1);
    EXPECT_EQ(after.length, static_cast<uint32_t>(OMBREL_IMAGE_SIZE));
    EXPECT_EQ(after.crc32, tunersim::ImageCrc32(image, OMBREL_IMAGE_SIZE));

    // Not an image this tuner takes: the driver reports the failure through the status.
    _OMBREL_FIRMWARE_UPDATE_STATUS status{};
    ASSERT_TRUE(PumpUntil([&] {
        return OB_GetRomfluxStatus(handle_, &status) == OB_SUCCESS && (status.State == 8 || status.State == 10);
    }, 5000));
    EXPECT_NE(status.ErrorCode, 0);

    // Sending again is allowed and reaches the driver again.
    ASSERT_EQ(OB_UpdateFirmware(handle_, image), OB_SUCCESS);
    EXPECT_EQ(tunersim::LastImage(kId).count, before.count + 2);
    EXPECT_EQ(OB_UpdateFirmware(handle_ + 1, image), OB_INVALID_HANDLE);
    EXPECT_EQ(tunersim::LastImage(kId).count, before.count + 2);
    VirtualFree(base, 0, MEM_RELEASE);
}

TEST_F(InfoTest, DetachedDeviceFailsButHandleStaysKnown) {
    tunersim::Unplug(kId);
    ASSERT_TRUE(PumpUntil([] { return DeviceCount() == 0; }));
    _OMBREL_FIRMWARE_VERSION fw;
    _OMBREL_FIRMWARE_UPDATE_STATUS st;
    EXPECT_EQ(OB_GetFirmwareVersion(handle_, &fw), OB_FAILED);
    EXPECT_EQ(OB_GetRomfluxStatus(handle_, &st), OB_FAILED);
    tunersim::Plug(Wdm(kId));
    ASSERT_TRUE(PumpUntil([] { return DeviceCount() == 1; }));
    EXPECT_EQ(OB_GetFirmwareVersion(handle_, &fw), OB_SUCCESS);
}

// What a tuner receives and whether it has a slot follow from the model the library
// identified when it found the tuner; the answer needs no driver request, so it stands
// for a detached tuner too, and a record larger than the library's keeps its tail.
TEST_F(InfoTest, CapabilitiesFollowTheModelAndFillWhatFits) {
    struct Box {
        const char* id;
        uint8_t line, model, revision;
        unsigned long reception, slot;
    };
    const Box boxes[] = {
        {"00000000f00d0011", 1, 0x14, 1, OMBREL_RECEPTION_SATELLITE, 0},
        {"00000000f00d0012", 1, 0x35, 1, OMBREL_RECEPTION_TERRESTRIAL, 1},
        {"00000000f00d0013", 1, 0x37, 1, OMBREL_RECEPTION_ATSC, 0},
        {"00000000f00d0014", 10, 0x24, 0, OMBREL_RECEPTION_CABLE, 1},
        {"00000000f00d0015", 1, 0x99, 0, OMBREL_RECEPTION_NONE, 0},  // no model of the table
        {"00000000f00d0016", 2, 0x34, 4, OMBREL_RECEPTION_NONE, 0},  // another product line
    };
    for (const Box& b : boxes) {
        tunersim::DeviceProfile box = Wdm(b.id);
        box.productLine = b.line;
        box.modelCode = b.model;
        box.hardwareRevision = b.revision;
        tunersim::Plug(box);
    }
    ASSERT_TRUE(PumpUntil([&] { return DeviceCount() == 1 + std::size(boxes); }));

    const auto before = tunersim::Requests(kId, OMBREL_PROP_FIRMWARE_VERSION);
    Guarded<_OMBREL_TUNER_CAPABILITIES> caps;
    caps.record.Size = sizeof caps.record;
    ASSERT_EQ(OB_GetTunerCapabilities(handle_, &caps.record), OB_SUCCESS);
    EXPECT_EQ(caps.record.Size, static_cast<unsigned long>(OMBREL_TUNER_CAPABILITIES_SIZE_V1));
    EXPECT_EQ(caps.record.Reception, static_cast<unsigned long>(OMBREL_RECEPTION_SATELLITE));  // Talvex S2
    EXPECT_EQ(caps.record.CommonInterface, 1u);
    EXPECT_TRUE(caps.AfterIntact());
    EXPECT_EQ(tunersim::Requests(kId, OMBREL_PROP_FIRMWARE_VERSION).gets, before.gets);

    for (const Box& b : boxes) {
        const unsigned long handle = OpenByDisplayName(SimDisplayName(b.id, 0));
        ASSERT_NE(handle, 0u) << b.id;
        OMBREL_TUNER_CAPABILITIES c{};
        c.Size = sizeof c;
        EXPECT_EQ(OB_GetTunerCapabilities(handle, &c), OB_SUCCESS) << b.id;
        EXPECT_EQ(c.Reception, b.reception) << b.id;
        EXPECT_EQ(c.CommonInterface, b.slot) << b.id;
        // The slot it reports is the one that a session needs.
        const unsigned long open = OB_CI_Open(handle);
        EXPECT_EQ(open, b.slot ? OB_SUCCESS : OB_NOT_SUPPORTED) << b.id;
        if (open == OB_SUCCESS) OB_CI_Close(handle);
        OB_CloseDeviceHandle(handle);
    }

    // A caller's record of a later, larger version: the library fills its own 12 bytes,
    // says so in Size, and leaves the rest alone.
    struct Later {
        OMBREL_TUNER_CAPABILITIES v1;
        unsigned long added[3];
    };
    Guarded<Later> later;
    later.record.v1.Size = sizeof(Later);
    ASSERT_EQ(OB_GetTunerCapabilities(handle_, &later.record.v1), OB_SUCCESS);
    EXPECT_EQ(later.record.v1.Size, static_cast<unsigned long>(OMBREL_TUNER_CAPABILITIES_SIZE_V1));
    EXPECT_EQ(later.record.v1.Reception, static_cast<unsigned long>(OMBREL_RECEPTION_SATELLITE));
    for (unsigned long word : later.record.added) EXPECT_EQ(word, 0xCCCCCCCCu);
    EXPECT_TRUE(later.AfterIntact());

    // Too small a Size, or no record: refused, nothing written.
    for (unsigned long size : {0ul, 4ul, 11ul}) {
        Guarded<_OMBREL_TUNER_CAPABILITIES> small;
        small.record.Size = size;
        EXPECT_EQ(OB_GetTunerCapabilities(handle_, &small.record), OB_INVALID_PARAMETER) << size;
        EXPECT_EQ(small.record.Size, size);
        EXPECT_EQ(small.record.Reception, 0xCCCCCCCCu);
    }
    EXPECT_EQ(OB_GetTunerCapabilities(handle_, nullptr), OB_INVALID_PARAMETER);
    // The handle comes first.
    EXPECT_EQ(OB_GetTunerCapabilities(handle_ + 7777, nullptr), OB_INVALID_HANDLE);
    EXPECT_EQ(OB_GetTunerCapabilities(0, &caps.record), OB_INVALID_HANDLE);

    // Gone: the handle still tells what its tuner is.
    tunersim::Unplug(kId);
    ASSERT_TRUE(PumpUntil([&] { return OB_IsDeviceAttached(handle_) == 0; }));
    OMBREL_TUNER_CAPABILITIES gone{};
    gone.Size = sizeof gone;
    EXPECT_EQ(OB_GetTunerCapabilities(handle_, &gone), OB_SUCCESS);
    EXPECT_EQ(gone.Reception, static_cast<unsigned long>(OMBREL_RECEPTION_SATELLITE));
    EXPECT_EQ(gone.CommonInterface, 1u);
}
