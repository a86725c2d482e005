// Tuning, PID filter and LNB control through the real DLL and the simulated driver:
// what each export sends, what it keeps from the caller, and a tune that locks.
#include <gtest/gtest.h>

#include "LibraryTestSupport.h"

#include <climits>
#include <cstring>
#include <functional>
#include <iterator>
#include <vector>

using namespace libtest;
using tunersim::Direction;
using tunersim::FaultKind;
using Bytes = std::vector<uint8_t>;

namespace {

const std::string kSat = "00000000c0de0001";  // Talvex S2 (1/0x34/4), WDM
const std::string kTer = "00000000c0de0002";  // Talvex T/CI (1/0x35/1), BDA
constexpr uint32_t kSettleMs = 150;
constexpr DWORD kLockBoundMs = 10000;

template <class Record>
Bytes BytesOf(const Record& record) {
    const auto* p = reinterpret_cast<const uint8_t*>(&record);
    return Bytes(p, p + sizeof record);
}

_OMBREL_SELECT_MULTIPLEX_DVBS Dvbs(unsigned long kHz, unsigned long symbolRate, unsigned char polarisation,
                                   unsigned char modulation = OMBREL_MODULATION_AUTO,
                                   unsigned char fec = OMBREL_FEC_AUTO) {
    _OMBREL_SELECT_MULTIPLEX_DVBS m{};
    m.Frequency = kHz;
    m.SymbolRate = symbolRate;
    m.Polarisation = polarisation;
    m.Modulation = modulation;
    m.Fec = fec;
    return m;
}

_OMBREL_TUNE_QPSK_PARAM Qpsk(unsigned long ifKHz, unsigned char tone = OMBREL_TONE_OFF) {
    _OMBREL_TUNE_QPSK_PARAM q{};
    q.Frequency = ifKHz;
    q.SymbolRate = 22000;
    q.Polarisation = OMBREL_POLARISATION_HORIZONTAL;
    q.Tone22kHz = tone;
    return q;
}

_OMBREL_LNB_PARAMETERS Universal() {
    _OMBREL_LNB_PARAMETERS p{};
    p.LofLow = 9750000;
    p.LofHigh = 10600000;
    p.SwitchFrequency = 11700000;
    p.Tone22kHz = OMBREL_TONE_AUTO;
    p.Voltage = OMBREL_LNB_VOLTAGE_AUTO;
    return p;
}

// DiSEqC 1.0 committed switch to input 0 (A) .. 3.
_OMBREL_LNB_CMD SwitchTo(int input) {
    _OMBREL_LNB_CMD c{};
    const unsigned char message[] = {0xE0, 0x10, 0x38, static_cast<unsigned char>(0xF0 | input << 2)};
    c.MessageLength = sizeof message;
    std::memcpy(c.Message, message, sizeof message);
    return c;
}

class TuningTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        tunersim::Plug(Wdm(kSat), false);
        tunersim::DeviceProfile terrestrial = Bda(kTer);
        terrestrial.modelCode = 0x35;
        terrestrial.hardwareRevision = 1;
        tunersim::Plug(terrestrial);
        ASSERT_TRUE(PumpUntil([] { return DeviceCount() == 2; }));
        sat_ = OpenByDisplayName(SimDisplayName(kSat, 0));
        ter_ = OpenByDisplayName(SimDisplayName(kTer, 1));
        ASSERT_NE(sat_, 0u);
        ASSERT_NE(ter_, 0u);
        tunersim::SetSettleTime(kSat, kSettleMs);
        tunersim::SetSettleTime(kTer, kSettleMs);
    }
    void TearDown() override {
        OB_CloseDeviceHandle(sat_);
        OB_CloseDeviceHandle(ter_);
        SimTest::TearDown();
    }

    // Polls the tuning flag until the front end has settled; 0 if it never does.
    static int AwaitResult(unsigned long handle, LARGE_INTEGER* value) {
        int flag = 0;
        PumpUntil([&] { return OB_CheckTuningFlag(handle, &flag, value) == OB_SUCCESS && flag != 0; },
                  kLockBoundMs);
        return flag;
    }

    unsigned long sat_ = 0;
    unsigned long ter_ = 0;
};

// One request of one property in one direction, as the driver saw it.
struct Expected {
    const char* name;
    const std::string* id;
    unsigned property;
    Direction direction;
    uint32_t length;
    Bytes bytes;  // sets only
    std::function<unsigned long(unsigned long handle)> call;
};

TEST_F(TuningTest, EachExportIsOneRequestOfItsPropertyCarryingTheCallersRecord) {
    auto dvbs = Dvbs(11362000, 22000, OMBREL_POLARISATION_HORIZONTAL, OMBREL_MODULATION_8PSK, OMBREL_FEC_2_3);
    _OMBREL_SELECT_PIDS_S pidsS{};
    pidsS.PidCount = OMBREL_MAX_PIDS_DVBS;
    for (int i = 0; i < OMBREL_MAX_PIDS_DVBS; ++i) pidsS.Pids[i] = static_cast<unsigned short>(0x100 + i);
    pidsS.Pids[OMBREL_MAX_PIDS_DVBS - 1] = OMBREL_PID_ALL;
    auto qpsk = Qpsk(1612000);
    auto command = SwitchTo(1);
    auto lnb = Universal();
    std::memset(lnb.Reserved, 0x5C, sizeof lnb.Reserved);
    _OMBREL_SELECT_MULTIPLEX_DVBT dvbt{};
    dvbt.Frequency = 474000;
    dvbt.Bandwidth = 8;
    dvbt.Modulation = OMBREL_MODULATION_QAM64;
    dvbt.Fec = OMBREL_FEC_2_3;
    dvbt.GuardInterval = OMBREL_GUARD_1_4;
    dvbt.TransmissionMode = OMBREL_TRANSMISSION_8K;
    _OMBREL_SELECT_PIDS_DVBT pidsT{};
    pidsT.PidCount = 3;
    pidsT.Pids[0] = 0;
    pidsT.Pids[1] = 0x1FFF;
    pidsT.Pids[2] = 0x0ABC;

    const Expected cases[] = {
        {"SelectMultiplex_DVBS", &kSat, 0, Direction::Set, 12, BytesOf(dvbs),
         [&](unsigned long h) { return OB_SelectMultiplex_DVBS(h, &dvbs); }},
        {"SelectPids_DVBS", &kSat, 2, Direction::Set, 60, BytesOf(pidsS),
         [&](unsigned long h) { return OB_SelectPids_DVBS(h, &pidsS); }},
        {"TuneQPSK", &kSat, 25, Direction::Set, 12, BytesOf(qpsk),
         [&](unsigned long h) { return OB_TuneQPSK(h, &qpsk); }},
        {"SendLnbCmd", &kSat, 12, Direction::Set, 25, BytesOf(command),
         [&](unsigned long h) { return OB_SendLnbCmd(h, &command); }},
        {"SetLNBParameter", &kSat, 14, Direction::Set, 42, BytesOf(lnb),
         [&](unsigned long h) { return OB_SetLNBParameter(h, &lnb); }},
        {"GetLNBParameter", &kSat, 13, Direction::Get, 42, {},
         [](unsigned long h) { _OMBREL_LNB_PARAMETERS p; return OB_GetLNBParameter(h, &p); }},
        {"SetPowerState", &kSat, 15, Direction::Set, 1, {OMBREL_POWER_ON},
         [](unsigned long h) { return OB_SetPowerState(h, OMBREL_POWER_ON); }},
        {"SetAutoTune", &kSat, 16, Direction::Set, 1, {1},
         [](unsigned long h) { return OB_SetAutoTune(h, 1); }},
        {"GetFrontendStatus", &kSat, 9, Direction::Get, 28, {},
         [](unsigned long h) { _OMBREL_FRONTEND_STATUS s; return OB_GetFrontendStatus(h, &s); }},
        {"CheckTuningFlag", &kSat, 30, Direction::Get, 16, {},
         [](unsigned long h) { int f; LARGE_INTEGER v; return OB_CheckTuningFlag(h, &f, &v); }},
        {"SelectMultiplex_DVBT", &kTer, 5, Direction::Set, 12, BytesOf(dvbt),
         [&](unsigned long h) { return OB_SelectMultiplex_DVBT(h, &dvbt); }},
        {"SelectPids_DVBT", &kTer, 6, Direction::Set, 56, BytesOf(pidsT),
         [&](unsigned long h) { return OB_SelectPids_DVBT(h, &pidsT); }},
    };
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.name);
        const unsigned long handle = *c.id == kSat ? sat_ : ter_;
        const auto before = tunersim::Requests(*c.id, c.property);
        EXPECT_EQ(c.call(handle), OB_SUCCESS);
        const auto after = tunersim::Requests(*c.id, c.property);
        const bool set = c.direction == Direction::Set;
        EXPECT_EQ(after.sets, before.sets + (set ? 1 : 0));
        EXPECT_EQ(after.gets, before.gets + (set ? 0 : 1));
        const auto last = tunersim::LastRequestOf(*c.id, c.property, c.direction);
        EXPECT_EQ(last.length, c.length);
        if (set) {
            EXPECT_EQ(last.bytes, c.bytes);
        }

        // Unknown handles never reach the driver, not even the other box's.
        EXPECT_EQ(c.call(handle + 7777), OB_INVALID_HANDLE);
        EXPECT_EQ(c.call(0), OB_INVALID_HANDLE);
        const auto unchanged = tunersim::Requests(*c.id, c.property);
        EXPECT_EQ(unchanged.sets, after.sets);
        EXPECT_EQ(unchanged.gets, after.gets);
    }
    // What was set comes back unchanged.
    _OMBREL_LNB_PARAMETERS readBack;
    std::memset(&readBack, 0xEE, sizeof readBack);
    ASSERT_EQ(OB_GetLNBParameter(sat_, &readBack), OB_SUCCESS);
    EXPECT_EQ(BytesOf(readBack), BytesOf(lnb));
    const auto state = tunersim::Tuning(kSat);
    EXPECT_EQ(state.pids.size(), static_cast<std::size_t>(OMBREL_MAX_PIDS_DVBS));
    EXPECT_EQ(state.pids.back(), OMBREL_PID_ALL);
    EXPECT_EQ(state.input, 1u);
}

TEST_F(TuningTest, NullRecordsAreRefusedWithoutAskingTheDriver) {
    const unsigned properties[] = {0, 2, 9, 12, 13, 14, 25, 30};
    std::vector<tunersim::RequestCount> before;
    for (unsigned p : properties) before.push_back(tunersim::Requests(kSat, p));
    const auto beforeDvbt = tunersim::Requests(kTer, 5);
    const auto beforePids = tunersim::Requests(kTer, 6);

    EXPECT_EQ(OB_SelectMultiplex_DVBS(sat_, nullptr), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_SelectPids_DVBS(sat_, nullptr), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_TuneQPSK(sat_, nullptr), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_SendLnbCmd(sat_, nullptr), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_SetLNBParameter(sat_, nullptr), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_GetLNBParameter(sat_, nullptr), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_GetFrontendStatus(sat_, nullptr), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_SelectMultiplex_DVBT(ter_, nullptr), OB_INVALID_PARAMETER);
    EXPECT_EQ(OB_SelectPids_DVBT(ter_, nullptr), OB_INVALID_PARAMETER);

    // The tuning flag needs both of its outputs.
    int flag = 12345;
    LARGE_INTEGER value;
    value.QuadPart = 0x0102030405060708LL;
    EXPECT_EQ(OB_CheckTuningFlag(sat_, &flag, nullptr), OB_INVALID_PARAMETER);
    EXPECT_EQ(flag, 12345);
    EXPECT_EQ(OB_CheckTuningFlag(sat_, nullptr, &value), OB_INVALID_PARAMETER);
    EXPECT_EQ(value.QuadPart, 0x0102030405060708LL);
    EXPECT_EQ(OB_CheckTuningFlag(sat_, nullptr, nullptr), OB_INVALID_PARAMETER);
    // The handle comes first.
    EXPECT_EQ(OB_CheckTuningFlag(sat_ + 7777, nullptr, nullptr), OB_INVALID_HANDLE);
    EXPECT_EQ(OB_TuneQPSK(0, nullptr), OB_INVALID_HANDLE);

    for (std::size_t i = 0; i < std::size(properties); ++i) {
        const auto now = tunersim::Requests(kSat, properties[i]);
        EXPECT_EQ(now.gets, before[i].gets) << properties[i];
        EXPECT_EQ(now.sets, before[i].sets) << properties[i];
    }
    EXPECT_EQ(tunersim::Requests(kTer, 5).sets, beforeDvbt.sets);
    EXPECT_EQ(tunersim::Requests(kTer, 6).sets, beforePids.sets);
}

TEST_F(TuningTest, QpskFrequencyOutsideTheBandSucceedsWithoutAskingTheDriver) {
    for (unsigned long kHz : {950000UL, 2150000UL}) {
        const auto before = tunersim::Requests(kSat, 25);
        auto q = Qpsk(kHz);
        EXPECT_EQ(OB_TuneQPSK(sat_, &q), OB_SUCCESS) << kHz;
        EXPECT_EQ(tunersim::Requests(kSat, 25).sets, before.sets + 1) << kHz;
        EXPECT_EQ(tunersim::LastRequestOf(kSat, 25, Direction::Set).bytes, BytesOf(q)) << kHz;
    }
    const auto before = tunersim::Requests(kSat, 25);
    for (unsigned long kHz : {949999UL, 2150001UL, 0UL, 0xFFFFFFFFUL}) {
        auto q = Qpsk(kHz);
        EXPECT_EQ(OB_TuneQPSK(sat_, &q), OB_SUCCESS) << kHz;
    }
    EXPECT_EQ(tunersim::Requests(kSat, 25).sets, before.sets);
    EXPECT_EQ(tunersim::Tuning(kSat).tunes, 2u);
}

TEST_F(TuningTest, OneByteValuesReachTheDriverAsTheLibraryPromises) {
    // Automatic tuning: any non-zero flag is 1.
    const struct {
        int flag;
        uint8_t sent;
    } autoTune[] = {{2, 1}, {-1, 1}, {INT_MIN, 1}, {INT_MAX, 1}, {1, 1}, {0, 0}};
    for (const auto& a : autoTune) {
        EXPECT_EQ(OB_SetAutoTune(sat_, a.flag), OB_SUCCESS) << a.flag;
        const auto last = tunersim::LastRequestOf(kSat, 16, Direction::Set);
        EXPECT_EQ(last.length, 1u);
        EXPECT_EQ(last.bytes, Bytes{a.sent}) << a.flag;
    }
    EXPECT_FALSE(tunersim::Tuning(kSat).autoTune);

    // Power: the byte unchanged; this driver knows only 0 and 1 and refuses the rest,
    // which the library passes on as a failure.
    for (unsigned value : {0u, 1u, 2u, 0x7Fu, 0x80u, 0xFFu}) {
        const auto state = static_cast<unsigned char>(value);
        EXPECT_EQ(OB_SetPowerState(sat_, state), value <= 1 ? OB_SUCCESS : OB_FAILED) << value;
        EXPECT_EQ(tunersim::LastRequestOf(kSat, 15, Direction::Set).bytes, Bytes{state}) << value;
    }
    EXPECT_TRUE(tunersim::Tuning(kSat).powered);
    EXPECT_EQ(tunersim::Requests(kSat, 15).sets, 6u);
}

TEST_F(TuningTest, TuningFlagReplyIsSplitAndFailuresLeaveTheOutputsAlone) {
    auto m = Dvbs(11362000, 22000, OMBREL_POLARISATION_HORIZONTAL);
    ASSERT_EQ(OB_SelectMultiplex_DVBS(sat_, &m), OB_SUCCESS);
    struct {
        int flag;
        unsigned char after[12];
    } guarded;
    std::memset(&guarded, 0xEE, sizeof guarded);
    LARGE_INTEGER value;
    ASSERT_TRUE(PumpUntil([&] {
        return OB_CheckTuningFlag(sat_, &guarded.flag, &value) == OB_SUCCESS && guarded.flag != 0;
    }, kLockBoundMs));
    // The driver fills bytes 4 to 7 with its own mark; none of it shows.
    EXPECT_EQ(guarded.flag, OMBREL_TUNING_LOCKED);
    EXPECT_EQ(value.QuadPart, 11362000000LL);
    EXPECT_EQ(value.HighPart, 2);
    EXPECT_EQ(value.LowPart, 2772065408UL);
    for (unsigned char b : guarded.after) EXPECT_EQ(b, 0xEE);

    for (FaultKind kind : {FaultKind::Fail, FaultKind::False}) {
        tunersim::InjectFault(kSat, 30, Direction::Get, {kind, 0, 0});
        int flag = 77;
        value.QuadPart = 0x1122334455667788LL;
        EXPECT_EQ(OB_CheckTuningFlag(sat_, &flag, &value), OB_FAILED);
        EXPECT_EQ(flag, 77);
        EXPECT_EQ(value.QuadPart, 0x1122334455667788LL);
    }
    // A reply of four bytes: the flag, and a value from the call's own zeroed buffer.
    tunersim::InjectFault(kSat, 30, Direction::Get, {FaultKind::Short, 4, 0});
    int flag = 77;
    value.QuadPart = -1;
    EXPECT_EQ(OB_CheckTuningFlag(sat_, &flag, &value), OB_SUCCESS);
    EXPECT_EQ(flag, OMBREL_TUNING_LOCKED);
    EXPECT_EQ(value.QuadPart, 0);

    // Injected faults reach the other exports too.
    tunersim::InjectFault(kSat, 9, Direction::Get, {FaultKind::False, 0, 0});
    tunersim::InjectFault(kSat, 0, Direction::Set, {FaultKind::Fail, 0, 0});
    _OMBREL_FRONTEND_STATUS status;
    EXPECT_EQ(OB_GetFrontendStatus(sat_, &status), OB_FAILED);
    EXPECT_EQ(OB_SelectMultiplex_DVBS(sat_, &m), OB_FAILED);
    tunersim::ClearFaults(kSat);
    EXPECT_EQ(OB_GetFrontendStatus(sat_, &status), OB_SUCCESS);
}

TEST_F(TuningTest, SatelliteTuneLocksThroughLnbAndSwitchAndAnEmptyFrequencyNeverDoes) {
    // Universal LNB, switch to input B, transponder B 11623 V.
    auto lnb = Universal();
    ASSERT_EQ(OB_SetLNBParameter(sat_, &lnb), OB_SUCCESS);
    _OMBREL_LNB_PARAMETERS readBack{};
    ASSERT_EQ(OB_GetLNBParameter(sat_, &readBack), OB_SUCCESS);
    EXPECT_EQ(BytesOf(readBack), BytesOf(lnb));
    auto toB = SwitchTo(1);
    ASSERT_EQ(OB_SendLnbCmd(sat_, &toB), OB_SUCCESS);
    auto b11623 = Dvbs(11623000, 27500, OMBREL_POLARISATION_VERTICAL, OMBREL_MODULATION_QPSK, OMBREL_FEC_3_4);
    ASSERT_EQ(OB_SelectMultiplex_DVBS(sat_, &b11623), OB_SUCCESS);

    LARGE_INTEGER value{};
    ASSERT_EQ(AwaitResult(sat_, &value), OMBREL_TUNING_LOCKED);
    EXPECT_EQ(value.QuadPart, 11623000000LL);
    _OMBREL_FRONTEND_STATUS status;
    std::memset(&status, 0xEE, sizeof status);
    ASSERT_EQ(OB_GetFrontendStatus(sat_, &status), OB_SUCCESS);
    EXPECT_EQ(status.Locked, 1u);
    EXPECT_EQ(status.CarrierPresent, 1u);
    EXPECT_GT(status.SignalStrength, 0u);
    EXPECT_LE(status.SignalStrength, 100u);
    EXPECT_GT(status.SignalQuality, 0u);
    EXPECT_LE(status.SignalQuality, 100u);
    EXPECT_GT(status.SignalToNoise, 0u);
    EXPECT_EQ(status.UncorrectedBlocks, 0u);
    const auto state = tunersim::Tuning(kSat);
    EXPECT_TRUE(state.locked);
    EXPECT_EQ(state.multiplex, "B 11623 V");
    EXPECT_EQ(state.lastTuneProperty, 0u);
    EXPECT_EQ(state.lastTune, BytesOf(b11623));

    // Nothing at 11111 MHz vertical: the front end settles without a lock and stays so.
    auto empty = Dvbs(11111000, 27500, OMBREL_POLARISATION_VERTICAL);
    ASSERT_EQ(OB_SelectMultiplex_DVBS(sat_, &empty), OB_SUCCESS);
    ASSERT_EQ(AwaitResult(sat_, &value), OMBREL_TUNING_NO_SIGNAL);
    EXPECT_EQ(value.QuadPart, 0);
    const ULONGLONG watchUntil = GetTickCount64() + 3 * kSettleMs;
    do {
        ASSERT_EQ(OB_GetFrontendStatus(sat_, &status), OB_SUCCESS);
        EXPECT_EQ(status.Locked, 0u);
        EXPECT_EQ(status.CarrierPresent, 0u);
        EXPECT_EQ(status.SignalQuality, 0u);
        PumpFor(20);
    } while (GetTickCount64() < watchUntil);

    // Back to input A with a tone burst; A 11362 H by its intermediate frequency.
    _OMBREL_LNB_CMD burstA{};
    burstA.ToneBurst = OMBREL_TONE_BURST_A;
    ASSERT_EQ(OB_SendLnbCmd(sat_, &burstA), OB_SUCCESS);
    auto a11362 = Qpsk(1612000);
    ASSERT_EQ(OB_TuneQPSK(sat_, &a11362), OB_SUCCESS);
    ASSERT_EQ(AwaitResult(sat_, &value), OMBREL_TUNING_LOCKED);
    EXPECT_EQ(value.QuadPart, 11362000000LL);

    // Power off loses the lock at once; power on brings it back (automatic tuning).
    ASSERT_EQ(OB_SetPowerState(sat_, OMBREL_POWER_OFF), OB_SUCCESS);
    ASSERT_EQ(OB_GetFrontendStatus(sat_, &status), OB_SUCCESS);
    EXPECT_EQ(status.Locked, 0u);
    int flag = 99;
    ASSERT_EQ(OB_CheckTuningFlag(sat_, &flag, &value), OB_SUCCESS);
    EXPECT_EQ(flag, OMBREL_TUNING_BUSY);
    ASSERT_EQ(OB_SetPowerState(sat_, OMBREL_POWER_ON), OB_SUCCESS);
    EXPECT_EQ(AwaitResult(sat_, &value), OMBREL_TUNING_LOCKED);
}

TEST_F(TuningTest, TerrestrialBoxLocksAndEachFamilyRefusesTheOther) {
    _OMBREL_SELECT_MULTIPLEX_DVBT dvbt{};
    dvbt.Frequency = 474000;
    dvbt.Bandwidth = 8;
    ASSERT_EQ(OB_SelectMultiplex_DVBT(ter_, &dvbt), OB_SUCCESS);
    LARGE_INTEGER value{};
    ASSERT_EQ(AwaitResult(ter_, &value), OMBREL_TUNING_LOCKED);
    EXPECT_EQ(value.QuadPart, 474000000LL);

    auto dvbs = Dvbs(11362000, 22000, OMBREL_POLARISATION_HORIZONTAL);
    auto qpsk = Qpsk(1612000);
    auto command = SwitchTo(0);
    auto lnb = Universal();
    _OMBREL_LNB_PARAMETERS readBack;
    _OMBREL_SELECT_PIDS_S pidsS{};
    _OMBREL_SELECT_PIDS_DVBT pidsT{};
    EXPECT_EQ(OB_SelectMultiplex_DVBS(ter_, &dvbs), OB_FAILED);
    EXPECT_EQ(OB_SelectPids_DVBS(ter_, &pidsS), OB_FAILED);
    EXPECT_EQ(OB_TuneQPSK(ter_, &qpsk), OB_FAILED);
    EXPECT_EQ(OB_SendLnbCmd(ter_, &command), OB_FAILED);
    EXPECT_EQ(OB_SetLNBParameter(ter_, &lnb), OB_FAILED);
    EXPECT_EQ(OB_GetLNBParameter(ter_, &readBack), OB_FAILED);
    EXPECT_EQ(OB_SelectMultiplex_DVBT(sat_, &dvbt), OB_FAILED);
    EXPECT_EQ(OB_SelectPids_DVBT(sat_, &pidsT), OB_FAILED);
    // Refused requests leave the lock alone.
    int flag = 0;
    ASSERT_EQ(OB_CheckTuningFlag(ter_, &flag, &value), OB_SUCCESS);
    EXPECT_EQ(flag, OMBREL_TUNING_LOCKED);
}

TEST_F(TuningTest, DetachedBoxFailsButItsHandleStaysKnown) {
    tunersim::Unplug(kSat);
    ASSERT_TRUE(PumpUntil([] { return DeviceCount() == 1; }));
    _OMBREL_FRONTEND_STATUS status;
    int flag = 5;
    LARGE_INTEGER value{};
    EXPECT_EQ(OB_GetFrontendStatus(sat_, &status), OB_FAILED);
    EXPECT_EQ(OB_CheckTuningFlag(sat_, &flag, &value), OB_FAILED);
    EXPECT_EQ(flag, 5);
    EXPECT_EQ(OB_SetPowerState(sat_, OMBREL_POWER_ON), OB_FAILED);
    tunersim::Plug(Wdm(kSat));
    ASSERT_TRUE(PumpUntil([] { return DeviceCount() == 2; }));
    EXPECT_EQ(OB_GetFrontendStatus(sat_, &status), OB_SUCCESS);
}

}  // namespace
