// The simulated front end as plain logic on a bare device record: families, the sky,
// settling, lock and figures, the LNB and the dish switch, power and automatic tuning,
// and the requests the driver refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "FrontEndLogic.h"
#include "FrontEndRecords.h"
#include "PropertyLogic.h"

namespace {

using namespace tunersim;
using frontend::Family;
using layout::DeviceRecord;
using property::Outcome;
using Bytes = std::vector<uint8_t>;

constexpr int64_t kT0 = 1'000'000;
constexpr uint32_t kSettle = 300;

void Put32(Bytes& b, std::size_t at, uint32_t v) { frontend::WriteLe32(b.data() + at, v); }

Bytes DvbsMultiplex(uint32_t kHz, uint32_t symbolRate, uint8_t pol, uint8_t mod = 0, uint8_t fec = 0) {
    Bytes b(12, 0);
    Put32(b, 0, kHz);
    Put32(b, 4, symbolRate);
    b[8] = pol;
    b[9] = mod;
    b[10] = fec;
    return b;
}

Bytes Qpsk(uint32_t ifKHz, uint32_t symbolRate, uint8_t pol, uint8_t tone) {
    Bytes b = DvbsMultiplex(ifKHz, symbolRate, pol);
    b[11] = tone;
    return b;
}

Bytes DvbtMultiplex(uint32_t kHz, uint8_t bandwidth, uint8_t mod = 0, uint8_t fec = 0) {
    Bytes b(12, 0);
    Put32(b, 0, kHz);
    b[4] = bandwidth;
    b[5] = mod;
    b[6] = fec;
    return b;
}

Bytes Lnb(uint32_t low, uint32_t high, uint32_t switchKHz, uint8_t tone, uint8_t voltage) {
    Bytes b(42, 0);
    Put32(b, 0, low);
    Put32(b, 4, high);
    Put32(b, 8, switchKHz);
    b[12] = tone;
    b[13] = voltage;
    return b;
}

Bytes Diseqc(std::initializer_list<uint8_t> message, uint8_t burst = 0) {
    Bytes b(25, 0);
    b[0] = static_cast<uint8_t>(message.size());
    std::copy(message.begin(), message.end(), b.begin() + 1);
    b[17] = burst;
    return b;
}

Bytes CommittedSwitch(int input) { return Diseqc({0xE0, 0x10, 0x38, static_cast<uint8_t>(0xF0 | input << 2)}); }

DeviceRecord Box(uint8_t productLine, uint8_t modelCode) {
    DeviceRecord d;
    std::memset(&d, 0, sizeof d);
    d.used = 1;
    d.plugged = 1;
    d.productLine = productLine;
    d.modelCode = modelCode;
    frontend::Init(d.frontEnd);
    return d;
}

Outcome Set(DeviceRecord& d, unsigned property, const Bytes& b, int64_t now = kT0) {
    return property::Set(d, property, b.data(), static_cast<uint32_t>(b.size()), {}, now, nullptr)
        .outcome;
}

Outcome SetByte(DeviceRecord& d, unsigned property, uint8_t value, int64_t now = kT0) {
    return Set(d, property, Bytes{value}, now);
}

struct Flag {
    int32_t flag;
    uint64_t hz;
    Bytes gap;
};

Flag ReadFlag(DeviceRecord& d, int64_t now) {
    Bytes out(16, 0xEE);
    EXPECT_EQ(property::Get(d, 30, out.data(), 16, {}, now).outcome, Outcome::Ok);
    return {static_cast<int32_t>(frontend::ReadLe32(out.data())),
            frontend::ReadLe32(out.data() + 8) |
                static_cast<uint64_t>(frontend::ReadLe32(out.data() + 12)) << 32,
            Bytes(out.begin() + 4, out.begin() + 8)};
}

std::vector<uint32_t> ReadStatus(DeviceRecord& d, int64_t now) {
    Bytes out(28, 0xEE);
    EXPECT_EQ(property::Get(d, 9, out.data(), 28, {}, now).outcome, Outcome::Ok);
    std::vector<uint32_t> fields;
    for (int i = 0; i < 7; ++i) fields.push_back(frontend::ReadLe32(out.data() + 4 * i));
    return fields;  // locked, carrier, strength, quality, BER, lost blocks, S/N
}

TEST(FrontEndFamilies, FollowTheModelTable) {
    EXPECT_EQ(frontend::FamilyOf(1, 0x34), Family::Satellite);
    EXPECT_EQ(frontend::FamilyOf(1, 0x14), Family::Satellite);
    EXPECT_EQ(frontend::FamilyOf(1, 0x28), Family::Satellite);
    EXPECT_EQ(frontend::FamilyOf(10, 0x22), Family::Satellite);
    EXPECT_EQ(frontend::FamilyOf(1, 0x35), Family::Terrestrial);
    EXPECT_EQ(frontend::FamilyOf(10, 0x20), Family::Terrestrial);
    EXPECT_EQ(frontend::FamilyOf(1, 0x37), Family::Atsc);
    EXPECT_EQ(frontend::FamilyOf(10, 0x25), Family::Atsc);
    // Cable, unknown models and other product lines receive neither family.
    EXPECT_EQ(frontend::FamilyOf(1, 0x36), Family::None);
    EXPECT_EQ(frontend::FamilyOf(10, 0x24), Family::None);
    EXPECT_EQ(frontend::FamilyOf(1, 0x50), Family::None);
    EXPECT_EQ(frontend::FamilyOf(2, 0x34), Family::None);
}

TEST(FrontEndSatellite, SettlesThenLocksThroughTheLnbAndTheSwitch) {
    DeviceRecord d = Box(1, 0x34);
    d.frontEnd.settleMs = kSettle;
    // Nothing tuned: idle, no figures.
    EXPECT_EQ(ReadFlag(d, kT0).flag, 0);
    EXPECT_EQ(ReadStatus(d, kT0), (std::vector<uint32_t>{0, 0, 0, 0, 0, 0, 0}));

    // The universal LNB a box starts with; the switch to input B; transponder B 11623 V.
    Bytes lnb(42);
    ASSERT_EQ(property::Get(d, 13, lnb.data(), 42, {}, kT0).outcome, Outcome::Ok);
    EXPECT_EQ(lnb, Lnb(9750000, 10600000, 11700000, 2, 3));
    ASSERT_EQ(Set(d, 12, CommittedSwitch(1)), Outcome::Ok);
    EXPECT_EQ(d.frontEnd.input, 1);
    ASSERT_EQ(Set(d, 0, DvbsMultiplex(11624000, 27500, 1, 1, 3)), Outcome::Ok);  // 1 MHz off
    EXPECT_EQ(ReadFlag(d, kT0 + kSettle - 1).flag, 0);
    EXPECT_EQ(ReadStatus(d, kT0 + kSettle - 1)[0], 0u);

    const Flag locked = ReadFlag(d, kT0 + kSettle);
    EXPECT_EQ(locked.flag, 1);
    EXPECT_EQ(locked.hz, 11623000000ull);  // the carrier's own frequency
    EXPECT_EQ(locked.gap, (Bytes{0xA5, 0xA5, 0xA5, 0xA5}));
    const auto status = ReadStatus(d, kT0 + kSettle);
    EXPECT_EQ(status[0], 1u);
    EXPECT_EQ(status[1], 1u);
    EXPECT_GT(status[2], 50u);
    EXPECT_LE(status[2], 100u);
    EXPECT_GT(status[3], 50u);
    EXPECT_GT(status[4], 0u);
    EXPECT_EQ(status[5], 0u);
    EXPECT_GT(status[6], 50u);

    // The same frequency on input A is empty: after settling, no signal.
    ASSERT_EQ(Set(d, 12, Diseqc({}, 1), kT0 + 1000), Outcome::Ok);  // tone burst A
    EXPECT_EQ(d.frontEnd.input, 0);
    EXPECT_EQ(ReadFlag(d, kT0 + 1000 + kSettle - 1).flag, 0);
    const Flag none = ReadFlag(d, kT0 + 1000 + kSettle);
    EXPECT_EQ(none.flag, -1);
    EXPECT_EQ(none.hz, 0u);
    const auto noise = ReadStatus(d, kT0 + 1000 + kSettle);
    EXPECT_EQ(noise[0], 0u);
    EXPECT_EQ(noise[1], 0u);
    EXPECT_LT(noise[2], 20u);
    EXPECT_EQ(noise[3], 0u);

    // Input A's 11362 H: a carrier with the wrong symbol rate does not lock.
    ASSERT_EQ(Set(d, 0, DvbsMultiplex(11362000, 27500, 0), kT0 + 2000), Outcome::Ok);
    const auto carrierOnly = ReadStatus(d, kT0 + 2000 + kSettle);
    EXPECT_EQ(carrierOnly[0], 0u);
    EXPECT_EQ(carrierOnly[1], 1u);
    EXPECT_EQ(ReadFlag(d, kT0 + 2000 + kSettle).flag, -1);
    ASSERT_EQ(Set(d, 0, DvbsMultiplex(11362000, 22000, 0), kT0 + 3000), Outcome::Ok);
    EXPECT_EQ(ReadFlag(d, kT0 + 3000 + kSettle).hz, 11362000000ull);

    // LNB parameters that do not fit the dish put the carrier out of reach, and come
    // back unchanged, reserved bytes and all.
    Bytes wrong = Lnb(10750000, 0, 0, 2, 3);
    wrong[41] = 0x77;
    ASSERT_EQ(Set(d, 14, wrong, kT0 + 4000), Outcome::Ok);
    ASSERT_EQ(property::Get(d, 13, lnb.data(), 42, {}, kT0 + 4000).outcome, Outcome::Ok);
    EXPECT_EQ(lnb, wrong);
    EXPECT_EQ(ReadFlag(d, kT0 + 4000 + kSettle).flag, -1);
    // Forced 13 V sees only vertical carriers.
    ASSERT_EQ(Set(d, 14, Lnb(9750000, 10600000, 11700000, 2, 1), kT0 + 5000), Outcome::Ok);
    EXPECT_EQ(ReadFlag(d, kT0 + 5000 + kSettle).flag, -1);
    ASSERT_EQ(Set(d, 14, Lnb(9750000, 10600000, 11700000, 2, 3), kT0 + 6000), Outcome::Ok);
    EXPECT_EQ(ReadFlag(d, kT0 + 6000 + kSettle).flag, 1);
    EXPECT_EQ(d.frontEnd.tunes, 3u);
}

TEST(FrontEndSatellite, QpskTunesTheIntermediateFrequencyWithItsOwnToneAndVoltage) {
    DeviceRecord d = Box(10, 0x1F);
    d.frontEnd.settleMs = 0;
    // A 12188 H: high band, IF 1588 MHz.
    ASSERT_EQ(Set(d, 25, Qpsk(1588000, 27500, 0, 1)), Outcome::Ok);
    EXPECT_EQ(ReadFlag(d, kT0).hz, 12188000000ull);
    ASSERT_EQ(Set(d, 25, Qpsk(1588000, 27500, 0, 0)), Outcome::Ok);  // low band: nothing there
    EXPECT_EQ(ReadFlag(d, kT0).flag, -1);
    // LNB parameters do not matter to it.
    ASSERT_EQ(Set(d, 14, Lnb(0, 0, 0, 0, 0)), Outcome::Ok);
    ASSERT_EQ(Set(d, 25, Qpsk(1588000, 27500, 0, 1)), Outcome::Ok);
    EXPECT_EQ(ReadFlag(d, kT0).flag, 1);
    // The driver refuses an IF outside the band and a tone that is neither off nor on;
    // the refused request changes nothing.
    EXPECT_EQ(Set(d, 25, Qpsk(949999, 27500, 0, 1)), Outcome::Rejected);
    EXPECT_EQ(Set(d, 25, Qpsk(2150001, 27500, 0, 1)), Outcome::Rejected);
    EXPECT_EQ(Set(d, 25, Qpsk(1588000, 27500, 0, 2)), Outcome::Rejected);
    EXPECT_EQ(ReadFlag(d, kT0).flag, 1);
    EXPECT_EQ(d.frontEnd.tunes, 3u);
}

TEST(FrontEndPower, OffLosesLockAndAutomaticTuningDecidesWhatComesBack) {
    DeviceRecord d = Box(1, 0x24);
    d.frontEnd.settleMs = kSettle;
    ASSERT_EQ(Set(d, 0, DvbsMultiplex(10744000, 22000, 0)), Outcome::Ok);
    EXPECT_EQ(ReadFlag(d, kT0 + kSettle).flag, 1);

    ASSERT_EQ(SetByte(d, 15, 0, kT0 + 1000), Outcome::Ok);
    EXPECT_EQ(ReadFlag(d, kT0 + 1000).flag, 0);
    EXPECT_EQ(ReadStatus(d, kT0 + 5000), (std::vector<uint32_t>{0, 0, 0, 0, 0, 0, 0}));
    // Power on with automatic tuning (on from the start): the last multiplex again,
    // after settling.
    ASSERT_EQ(SetByte(d, 15, 1, kT0 + 6000), Outcome::Ok);
    EXPECT_EQ(ReadFlag(d, kT0 + 6000 + kSettle - 1).flag, 0);
    EXPECT_EQ(ReadFlag(d, kT0 + 6000 + kSettle).flag, 1);
    // Power on again while on: no new settling.
    ASSERT_EQ(SetByte(d, 15, 1, kT0 + 7000), Outcome::Ok);
    EXPECT_EQ(ReadFlag(d, kT0 + 7000).flag, 1);

    // Without automatic tuning the front end waits for a new tune after power-on.
    ASSERT_EQ(SetByte(d, 16, 0), Outcome::Ok);
    EXPECT_EQ(d.frontEnd.autoTune, 0);
    ASSERT_EQ(SetByte(d, 15, 0, kT0 + 8000), Outcome::Ok);
    ASSERT_EQ(SetByte(d, 15, 1, kT0 + 8100), Outcome::Ok);
    EXPECT_EQ(ReadFlag(d, kT0 + 9000).flag, 0);
    ASSERT_EQ(Set(d, 0, DvbsMultiplex(10744000, 22000, 0), kT0 + 9000), Outcome::Ok);
    EXPECT_EQ(ReadFlag(d, kT0 + 9000 + kSettle).flag, 1);

    // Only 0 and 1 are power states and flags; a refused byte changes nothing.
    EXPECT_EQ(SetByte(d, 15, 2), Outcome::Rejected);
    EXPECT_EQ(SetByte(d, 16, 0xFF), Outcome::Rejected);
    EXPECT_EQ(d.frontEnd.power, 1);
    EXPECT_EQ(d.frontEnd.autoTune, 0);
}

TEST(FrontEndSatellite, WeakTransponderLosesBlocksWhileLocked) {
    DeviceRecord d = Box(1, 0x34);
    d.frontEnd.settleMs = 0;
    ASSERT_EQ(Set(d, 0, DvbsMultiplex(12603000, 22000, 1)), Outcome::Ok);  // A 12603 V
    const auto first = ReadStatus(d, kT0);
    const auto later = ReadStatus(d, kT0 + 120000);
    EXPECT_EQ(first[0], 1u);
    EXPECT_EQ(first[5], 0u);
    EXPECT_EQ(later[5], 180u);  // 90 a minute
    EXPECT_LT(later[3], 50u);   // a poor quality
}

TEST(FrontEndTerrestrial, DvbtAndAtscBoxesLockOnTheirOwnStandardOnly) {
    DeviceRecord t = Box(1, 0x35);
    t.frontEnd.settleMs = 0;
    ASSERT_EQ(Set(t, 5, DvbtMultiplex(474166, 8)), Outcome::Ok);  // +166 kHz offset
    EXPECT_EQ(ReadFlag(t, kT0).hz, 474000000ull);
    ASSERT_EQ(Set(t, 5, DvbtMultiplex(474000, 7)), Outcome::Ok);  // wrong bandwidth
    EXPECT_EQ(ReadStatus(t, kT0)[1], 1u);
    EXPECT_EQ(ReadFlag(t, kT0).flag, -1);
    ASSERT_EQ(Set(t, 5, DvbtMultiplex(522000, 8, 3, 3)), Outcome::Ok);  // QAM16 3/4 as sent
    EXPECT_EQ(ReadFlag(t, kT0).flag, 1);
    ASSERT_EQ(Set(t, 5, DvbtMultiplex(593000, 6)), Outcome::Ok);  // an ATSC carrier
    EXPECT_EQ(ReadStatus(t, kT0)[0], 0u);
    EXPECT_EQ(Set(t, 5, DvbtMultiplex(593000, 6, 5)), Outcome::Rejected);  // 8VSB
    ASSERT_EQ(Set(t, 5, DvbtMultiplex(600000, 8)), Outcome::Ok);  // no channel
    EXPECT_EQ(ReadFlag(t, kT0).flag, -1);

    DeviceRecord a = Box(10, 0x25);
    a.frontEnd.settleMs = 0;
    ASSERT_EQ(Set(a, 5, DvbtMultiplex(617000, 6, 5)), Outcome::Ok);
    EXPECT_EQ(ReadFlag(a, kT0).hz, 617000000ull);
    ASSERT_EQ(Set(a, 5, DvbtMultiplex(474000, 8)), Outcome::Ok);
    EXPECT_EQ(ReadFlag(a, kT0).flag, -1);
    EXPECT_EQ(Set(a, 5, DvbtMultiplex(474000, 8, 4)), Outcome::Rejected);  // QAM64
}

TEST(FrontEndRequests, EachFamilyAnswersOnlyItsOwnProperties) {
    DeviceRecord sat = Box(1, 0x34);
    DeviceRecord ter = Box(1, 0x25);
    DeviceRecord cable = Box(1, 0x36);
    const Bytes pidsS(60, 0), pidsT(56, 0);
    EXPECT_EQ(Set(sat, 5, DvbtMultiplex(474000, 8)), Outcome::Unsupported);
    EXPECT_EQ(Set(sat, 6, pidsT), Outcome::Unsupported);
    for (DeviceRecord* d : {&ter, &cable}) {
        EXPECT_EQ(Set(*d, 0, DvbsMultiplex(11362000, 22000, 0)), Outcome::Unsupported);
        EXPECT_EQ(Set(*d, 2, pidsS), Outcome::Unsupported);
        EXPECT_EQ(Set(*d, 12, CommittedSwitch(1)), Outcome::Unsupported);
        EXPECT_EQ(Set(*d, 14, Lnb(1, 2, 3, 0, 0)), Outcome::Unsupported);
        EXPECT_EQ(Set(*d, 25, Qpsk(1000000, 22000, 0, 0)), Outcome::Unsupported);
        Bytes lnb(42);
        EXPECT_EQ(property::Get(*d, 13, lnb.data(), 42, {}, kT0).outcome, Outcome::Unsupported);
    }
    EXPECT_EQ(Set(cable, 5, DvbtMultiplex(474000, 8)), Outcome::Unsupported);
    // Every family takes power, automatic tuning, status and flag.
    for (DeviceRecord* d : {&sat, &ter, &cable}) {
        EXPECT_EQ(SetByte(*d, 15, 1), Outcome::Ok);
        EXPECT_EQ(SetByte(*d, 16, 1), Outcome::Ok);
        EXPECT_EQ(ReadFlag(*d, kT0).flag, 0);
    }
    EXPECT_TRUE(property::Supports(30, property::kGet));
    EXPECT_FALSE(property::Supports(30, property::kSet));
    EXPECT_TRUE(property::Supports(14, property::kSet));
    EXPECT_FALSE(property::Supports(14, property::kGet));
}

TEST(FrontEndRequests, WrongLengthsNullBuffersAndOutOfRangeValuesAreRefused) {
    DeviceRecord d = Box(1, 0x34);
    const struct {
        unsigned property;
        bool set;
        uint32_t length;
    } records[] = {{0, true, 12},  {2, true, 60},  {9, false, 28}, {12, true, 25},
                   {13, false, 42}, {14, true, 42}, {15, true, 1},  {16, true, 1},
                   {25, true, 12}, {30, false, 16}};
    Bytes buffer(128, 0);
    for (const auto& r : records) {
        for (uint32_t length : {r.length - 1, r.length + 1, 0u}) {
            const auto outcome =
                r.set ? property::Set(d, r.property, buffer.data(), length, {}, kT0, nullptr).outcome
                      : property::Get(d, r.property, buffer.data(), length, {}, kT0).outcome;
            EXPECT_EQ(outcome, Outcome::BadLength) << r.property << " " << length;
        }
        const auto outcome = r.set ? property::Set(d, r.property, nullptr, r.length, {}, kT0, nullptr).outcome
                                   : property::Get(d, r.property, nullptr, r.length, {}, kT0).outcome;
        EXPECT_EQ(outcome, Outcome::BadBuffer) << r.property;
    }

    EXPECT_EQ(Set(d, 0, DvbsMultiplex(11362000, 999, 0)), Outcome::Rejected);
    EXPECT_EQ(Set(d, 0, DvbsMultiplex(11362000, 45001, 0)), Outcome::Rejected);
    EXPECT_EQ(Set(d, 0, DvbsMultiplex(11362000, 22000, 4)), Outcome::Rejected);
    EXPECT_EQ(Set(d, 0, DvbsMultiplex(11362000, 22000, 0, 3)), Outcome::Rejected);  // QAM16
    EXPECT_EQ(Set(d, 0, DvbsMultiplex(11362000, 22000, 0, 0, 10)), Outcome::Rejected);
    EXPECT_EQ(Set(d, 0, DvbsMultiplex(5000000, 22000, 0)), Outcome::Rejected);  // IF out of band
    EXPECT_EQ(Set(d, 14, Lnb(9750000, 10600000, 11700000, 3, 0)), Outcome::Rejected);
    EXPECT_EQ(Set(d, 14, Lnb(9750000, 10600000, 11700000, 0, 4)), Outcome::Rejected);
    Bytes tooLong = Diseqc({});
    tooLong[0] = 17;
    EXPECT_EQ(Set(d, 12, tooLong), Outcome::Rejected);
    EXPECT_EQ(Set(d, 12, Diseqc({}, 3)), Outcome::Rejected);
    EXPECT_EQ(d.frontEnd.tunes, 0u);
    EXPECT_EQ(d.frontEnd.lnbParameters[12], 2);

    // PID lists: up to the record's room, PIDs up to 0x2000 (the whole stream).
    Bytes pids(60, 0);
    pids[0] = 29;
    for (int i = 0; i < 29; ++i) pids[2 + 2 * i] = static_cast<uint8_t>(i);
    pids[2 + 2 * 28 + 1] = 0x20;  // the last one is 0x201C
    EXPECT_EQ(Set(d, 2, pids), Outcome::Rejected);
    pids[2 + 2 * 28] = 0;  // 0x2000
    ASSERT_EQ(Set(d, 2, pids), Outcome::Ok);
    EXPECT_EQ(d.frontEnd.pidCount, 29);
    EXPECT_EQ(d.frontEnd.pids[28], 0x2000);
    pids[0] = 30;
    EXPECT_EQ(Set(d, 2, pids), Outcome::Rejected);
    EXPECT_EQ(d.frontEnd.pidCount, 29);
    DeviceRecord t = Box(1, 0x35);
    Bytes pidsT(56, 0);
    pidsT[0] = 28;
    EXPECT_EQ(Set(t, 6, pidsT), Outcome::Rejected);
    pidsT[0] = 27;
    EXPECT_EQ(Set(t, 6, pidsT), Outcome::Ok);
}

TEST(FrontEndRequests, AdmitNotesWhatReachedTheDriverAndFaultsChangeNothing) {
    DeviceRecord d = Box(1, 0x34);
    const Bytes tune = DvbsMultiplex(11362000, 22000, 0, 2, 2);
    property::Admit(d, 0, property::kSet, {tune.data(), 12, 1036});
    EXPECT_EQ(d.requests[0][property::kSet], 1u);
    EXPECT_EQ(d.lastSets[0].length, 12u);
    EXPECT_EQ(Bytes(d.lastSets[0].bytes, d.lastSets[0].bytes + 12), tune);
    EXPECT_EQ(d.lastSets[0].bytes[12], 0);
    uint8_t status[28];
    property::Admit(d, 9, property::kGet, {status, 28, 4});
    EXPECT_EQ(d.lastGetLengths[9], 28u);
    EXPECT_EQ(d.instanceLengths[9][property::kGet], 4u);
    EXPECT_EQ(d.instanceLengths[0][property::kSet], 1036u);
    EXPECT_EQ(d.instanceLengths[0][property::kGet], 0u);
    // A long set keeps its length and its first bytes.
    const Bytes image(400, 0x3C);
    property::Admit(d, 17, property::kSet, {image.data(), 400, 0});
    EXPECT_EQ(d.lastSets[17].length, 400u);
    EXPECT_EQ(d.lastSets[17].bytes[layout::kNotedBytes - 1], 0x3C);

    // An injected failure answers before the front end sees the request.
    const auto fail = property::Set(d, 0, tune.data(), 12, {1, 0, 0}, kT0, nullptr);
    EXPECT_EQ(fail.outcome, Outcome::Fail);
    EXPECT_EQ(property::Set(d, 15, Bytes{0}.data(), 1, {2, 0, 0}, kT0, nullptr).outcome, Outcome::False);
    EXPECT_EQ(d.frontEnd.tunes, 0u);
    EXPECT_EQ(d.frontEnd.power, 1);
    // A short answer of the tuning flag fills only what it reports.
    d.frontEnd.settleMs = 0;
    ASSERT_EQ(Set(d, 0, tune), Outcome::Ok);
    Bytes out(16, 0xEE);
    const auto shortAnswer = property::Get(d, 30, out.data(), 16, {3, 4, 0}, kT0);
    EXPECT_EQ(shortAnswer.bytes, 4u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 5), (Bytes{1, 0, 0, 0, 0xEE}));
}

}  // namespace
