// The firmware version record's identification bytes, as any driver may report them.
// Properties: only product lines 1 and 10 are identified; the revision matters only
// for models 0x24 and 0x34 of line 1; a model receives something exactly when it is one
// of the table, and only those have a slot; and every tuner the update program carries
// an image for is a known model with a Common Interface, listed in the About box under
// the library's own name for it.
#include "FirmwareImage.h"
#include "FuzzSupport.h"
#include "ImageCatalogue.h"
#include "TunerModels.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::uint8_t line = data[0], model = data[1], revision = data[2];
    const models::Model info = models::Identify(line, model, revision);
    FUZZ_REQUIRE(info.deviceString != nullptr, "every row names a device");
    FUZZ_REQUIRE(std::strlen(info.deviceString) < 51, "the name fits the 51-byte device string");

    if (line != 1 && line != 10) {
        FUZZ_REQUIRE(std::string(info.deviceString) == models::kUnidentified && !info.commonInterface &&
                         info.reception == models::Reception::None,
                     "other product lines stay unidentified");
    }
    const bool known = std::string(info.deviceString) != models::kUnidentified &&
                       std::string(info.deviceString) != models::kUnknownModel;
    FUZZ_REQUIRE(known == (info.reception != models::Reception::None), "a model of the table receives something");
    FUZZ_REQUIRE(known || !info.commonInterface, "only a model of the table has a slot");
    const models::Model other = models::Identify(line, model, static_cast<std::uint8_t>(revision + 1));
    FUZZ_REQUIRE(other.reception == info.reception, "the revision never changes what a model receives");
    const bool revisionMatters = line == 1 && (model == 0x24 || model == 0x34);
    if (!revisionMatters) {
        FUZZ_REQUIRE(std::string(other.deviceString) == info.deviceString &&
                         other.commonInterface == info.commonInterface,
                     "the revision decides only for models 0x24 and 0x34");
    }

    if (const firmware::CatalogueEntry* image = firmware::FindCatalogueEntry(line, model, revision)) {
        FUZZ_REQUIRE(info.commonInterface, "every carried image is for a Common Interface model");
        FUZZ_REQUIRE(std::string(image->model).rfind(info.deviceString, 0) == 0,
                     "the About box lists an image under the library's model name");
        const CatalogueEntry* resource = FindCatalogueEntry(FormatImageKey(line, model, revision));
        FUZZ_REQUIRE(resource && resource->resourceId == image->resourceId,
                     "the update program finds the image under the same resource id");
    } else {
        FUZZ_REQUIRE(FindCatalogueEntry(FormatImageKey(line, model, revision)) == nullptr,
                     "the update program carries no image the format's table lacks");
    }
    return 0;
}
