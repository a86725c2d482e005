// The simulated driver's answers to the vendor property set, on a device record as the
// simulator's state file may hold it (written by any process, or damaged), at any time
// of the clock. Properties: a get never writes past the caller's buffer nor more than
// the record's length, and succeeds only for a property the box serves (an identity
// record only at its length); a set outside the front end and the CA module succeeds
// only for an image of exactly an image's length; a carried image sent to
// its own tuner starts a run, sent to another tuner it is refused with 9; the update's
// progress stays within 0..100.
#include "CaModule.h"
#include "CarriedImages.h"
#include "FirmwareImage.h"
#include "FrontEndLogic.h"
#include "FuzzSupport.h"
#include "PropertyLogic.h"
#include "UpdateLogic.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace tunersim;
using layout::DeviceRecord;
using layout::UpdatePhase;

constexpr uint32_t kImageSize = 368754;
constexpr std::uint8_t kUnwritten = 0xA5;

update::ImageVerdict TunerCheck(std::string_view image, uint8_t productLine, uint8_t modelCode, uint8_t hardwareRevision) {
    const auto result = firmware::CheckForTuner(image, productLine, modelCode, hardwareRevision);
    return {result.code, result.major, result.minor, result.patch, result.build};
}

uint32_t RecordLength(unsigned property) {
    switch (property) {
    case 4: return 21;
    case 10: case 11: return 8;
    case 18: return 3;
    case 24: return 4;
    default: return 0;
    }
}

// The lengths of the front end's and the CA module's records, so that their answers are
// reached more often than a random length would.
constexpr uint32_t kOtherLengths[] = {2, 12, 25, 28, 42, 56, 60, layout::kCiMessageBytes};

bool ServedElsewhere(unsigned property, bool set) {
    return ca::IsCiProperty(property) || frontend::Serves(property, set);
}

uint32_t AnyLength(FuzzedDataProvider& input, unsigned property) {
    switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0: return RecordLength(property);
    case 1: return kOtherLengths[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kOtherLengths) - 1)];
    default: return input.ConsumeIntegralInRange<uint32_t>(0, 40);
    }
}

layout::FaultSlot AnyFault(FuzzedDataProvider& input) {
    return {input.ConsumeIntegralInRange<uint32_t>(0, 5), input.ConsumeIntegral<uint32_t>(), 0};
}

void CheckGet(DeviceRecord& device, FuzzedDataProvider& input, int64_t now) {
    const unsigned property = input.ConsumeIntegralInRange(0u, 70u);
    const uint32_t length = AnyLength(input, property);
    // Exactly the caller's length on the heap: a write past it is caught.
    std::vector<uint8_t> buffer(length, kUnwritten);
    const bool withBuffer = input.ConsumeBool() || length == 0;
    const property::Answer answer =
        property::Get(device, property, withBuffer ? buffer.data() : nullptr, length, AnyFault(input), now);
    FUZZ_REQUIRE(answer.bytes <= length, "never more bytes than the caller's buffer holds");
    if (answer.outcome == property::Outcome::Ok && !ServedElsewhere(property, false)) {
        FUZZ_REQUIRE(RecordLength(property) == length && withBuffer, "success only for a known record of its length");
    }
    if (answer.outcome == property::Outcome::Ok && RecordLength(property) == 0) {
        FUZZ_REQUIRE(ServedElsewhere(property, false), "success only for a property the box serves");
    }
    for (std::size_t i = answer.bytes; i < buffer.size(); ++i) FUZZ_REQUIRE(buffer[i] == kUnwritten, "nothing written past the answer");
}

void CheckSet(DeviceRecord& device, FuzzedDataProvider& input, int64_t now) {
    const auto& images = fuzz::CarriedImages();
    // A carried image now and then: the tuner's check reads all of it, which is slow.
    const bool carried = input.ConsumeIntegralInRange(0, 15) == 0;
    const std::size_t which = carried ? input.ConsumeIntegralInRange<std::size_t>(0, images.size() - 1) : images.size();
    std::string image = carried ? images[which] : input.ConsumeRandomLengthString(kImageSize + 1);
    if (input.ConsumeBool()) image.resize(input.ConsumeIntegralInRange<std::size_t>(0, kImageSize + 1));
    const unsigned property = input.ConsumeBool() ? 17u : input.ConsumeIntegralInRange(0u, 70u);
    const layout::FaultSlot fault = AnyFault(input);
    const uint32_t generation = device.update.generation;

    const property::Answer answer = property::Set(device, property, reinterpret_cast<const uint8_t*>(image.data()),
                                                  static_cast<uint32_t>(image.size()), fault, now, &TunerCheck);
    if (answer.outcome != property::Outcome::Ok || ServedElsewhere(property, true)) return;
    FUZZ_REQUIRE(property == 17 && image.size() == kImageSize, "only an image of an image's length is taken");
    FUZZ_REQUIRE(device.update.generation == generation + 1, "every taken image starts a run");
    if (which >= images.size() || image.size() != images[which].size()) return;
    const auto& entry = firmware::Catalogue()[which];
    const bool own = entry.productLine == device.productLine && entry.modelCode == device.modelCode &&
                     entry.hardwareRevision == device.hardwareRevision;
    if (own) {
        FUZZ_REQUIRE(device.update.phase == UpdatePhase::Running, "its own tuner runs a carried image");
    } else {
        FUZZ_REQUIRE(device.update.phase == UpdatePhase::Rejected && device.update.errorCode == firmware::kTunerBadHardware,
                     "another tuner refuses it with 9");
    }
}

void CheckProgress(DeviceRecord& device, int64_t now) {
    update::Advance(device, now);
    const auto status = update::StatusAt(device.update, now);
    if (status && device.update.phase == UpdatePhase::Running) FUZZ_REQUIRE(status->progress <= 100, "progress within 0..100");
    update::DueAt(device.update, now);
    update::NextDeadline(device.update);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    DeviceRecord device;
    std::memset(&device, 0, sizeof device);
    const std::vector<uint8_t> raw = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, sizeof device));
    if (!raw.empty()) std::memcpy(&device, raw.data(), raw.size());
    if (input.ConsumeBool()) {
        // A box as the simulator plugs it, so that the answers get past "not plugged".
        const auto& entry = firmware::Catalogue()[input.ConsumeIntegralInRange<std::size_t>(0, firmware::Catalogue().size() - 1)];
        device.plugged = 1;
        device.productLine = entry.productLine;
        device.modelCode = entry.modelCode;
        device.hardwareRevision = entry.hardwareRevision;
    }
    if (input.ConsumeBool()) {
        // A run in any state at any time, as the file may hold it.
        layout::UpdateRun& run = device.update;
        run.phase = static_cast<UpdatePhase>(input.ConsumeIntegralInRange(0, 6));
        run.startMs = input.ConsumeIntegral<int64_t>();
        run.durationMs = input.ConsumeIntegral<uint32_t>();
        run.holdMs = input.ConsumeIntegral<uint32_t>();
        run.script.action = static_cast<layout::ScriptAction>(input.ConsumeIntegralInRange(0, 4));
        run.script.percent = input.ConsumeIntegral<uint8_t>();
    }
    int64_t now = input.ConsumeIntegral<int64_t>();

    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange(0, 3)) {
        case 0: CheckGet(device, input, now); break;
        case 1: CheckSet(device, input, now); break;
        case 2: {
            const unsigned property = input.ConsumeIntegralInRange(0u, 70u);
            const property::Direction direction = input.ConsumeBool() ? property::kSet : property::kGet;
            const std::vector<uint8_t> bytes = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 64));
            // A set's data holds its length; a get has only a length.
            const bool withData = direction == property::kSet && !bytes.empty();
            const property::Request request{withData ? bytes.data() : nullptr,
                                            withData ? static_cast<uint32_t>(bytes.size()) : input.ConsumeIntegral<uint32_t>(),
                                            input.ConsumeIntegral<uint32_t>()};
            property::Admit(device, property, direction, request);
            break;
        }
        case 3: CheckProgress(device, now); break;
        }
        const int64_t step = input.ConsumeIntegral<int32_t>();
        if ((step > 0 && now <= INT64_MAX - step) || (step < 0 && now >= INT64_MIN - step)) now += step;
    }
    return 0;
}
