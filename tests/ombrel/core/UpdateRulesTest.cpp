// The update's rules: image source, console polls, exit codes, the prompt's answer, the
// progress bar, and the checks of an image file against a tuner.
#include <gtest/gtest.h>

#include "ExitCodes.h"
#include "FirmwareImage.h"
#include "ImageCheck.h"
#include "Progress.h"
#include "UpdateRules.h"

using namespace ombrel_cli;

namespace {

Invocation UpdateWith(std::vector<std::pair<std::string, std::string>> options) {
    Invocation invocation;
    invocation.action = Invocation::Action::Run;
    invocation.verb = FindVerb("update");
    invocation.positionals = {"0"};
    invocation.options = std::move(options);
    return invocation;
}

}  // namespace

TEST(UpdateRules, ImageSourceAndAnswers) {
    std::string error;
    auto source = ChooseImageSource(UpdateWith({}), error);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->kind, ImageSource::Kind::Carried);
    source = ChooseImageSource(UpdateWith({{"--auto", ""}, {"--yes", ""}}), error);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->kind, ImageSource::Kind::Carried);
    source = ChooseImageSource(UpdateWith({{"--image", "fw.hex"}}), error);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->kind, ImageSource::Kind::File);
    EXPECT_EQ(source->file, "fw.hex");
    EXPECT_FALSE(ChooseImageSource(UpdateWith({{"--image", "fw.hex"}, {"--auto", ""}}), error));
    EXPECT_EQ(error, "--auto and --image exclude each other");

    for (const char* yes : {"y", "Y", "yes", "YES", " Yes \t", "y\r"}) EXPECT_TRUE(IsConfirmation(yes)) << yes;
    for (const char* no : {"", "n", "no", "ye", "yess", "y y", "ja", "1"}) EXPECT_FALSE(IsConfirmation(no)) << no;
}

TEST(UpdateRules, AnImageOfTheReleaseTheTunerRunsIsSaidToBeIt) {
    // Record: line 1, model 0x34, revision 4, version 1.5.0, build 22720 (0x58C0).
    const FirmwareBytes runs = {1, 0x34, 4, 1, 5, 0, 0x58, 0xC0};
    const auto note = SameReleaseNote(runs, ImageVersion{{1, 5, 0}, 22720});
    ASSERT_TRUE(note);
    EXPECT_EQ(*note, "the tuner runs this release already (Release 1.5.0 Build 22720): the update would flash the "
                     "same firmware again");
    EXPECT_FALSE(SameReleaseNote(runs, ImageVersion{{1, 5, 0}, 22721}));
    EXPECT_FALSE(SameReleaseNote(runs, ImageVersion{{1, 5, 1}, 22720}));
    EXPECT_FALSE(SameReleaseNote(runs, ImageVersion{{1, 3, 0}, 22720}));
    EXPECT_FALSE(SameReleaseNote(runs, ImageVersion{{2, 5, 0}, 22720}));
}

TEST(UpdateRules, ConsolePollsEndAsRomfluxsAndMapToExitCodes) {
    using romflux::PollOutcome;
    // Attached and running: go on.
    auto d = DecideConsolePoll(true, true, {37, 0, 0});
    EXPECT_EQ(d.outcome, PollOutcome::Running);
    EXPECT_EQ(d.barPosition, 37);
    // A running status from a tuner the library reports gone: detached, as Romflux ends
    // once its list has dropped the handle.
    d = DecideConsolePoll(true, false, {37, 0, 0});
    EXPECT_EQ(d.outcome, PollOutcome::Detached);
    EXPECT_EQ(d.message, romflux::kUpdateDetachedText);
    EXPECT_EQ(ExitCodeForRun(d, 0), kExitUpdateDetached);
    // A final status that could be read counts even from a tuner rebooting to finish.
    d = DecideConsolePoll(true, false, {100, 0, 0});
    EXPECT_EQ(d.outcome, PollOutcome::Succeeded);
    EXPECT_TRUE(d.restartAfterMessage);
    EXPECT_EQ(ExitCodeForRun(d, 0), kExitOk);
    d = DecideConsolePoll(true, false, {60, 10, 9});
    EXPECT_EQ(d.outcome, PollOutcome::Failed);
    EXPECT_TRUE(d.restartBeforeMessage);
    EXPECT_EQ(ExitCodeForRun(d, 9), kExitUpdateHardware);
    // A status that cannot be read.
    d = DecideConsolePoll(false, true, {100, 0, 0});
    EXPECT_EQ(d.outcome, PollOutcome::Detached);

    // Failure wins over 100 %, and each reason has its code.
    const std::pair<std::uint8_t, int> codes[] = {{2, kExitUpdateSections}, {4, kExitUpdateCount}, {5, kExitUpdateCrc},
                                                  {9, kExitUpdateHardware}, {3, kExitUpdateFailed}, {0, kExitUpdateFailed},
                                                  {255, kExitUpdateFailed}};
    for (const auto& [errorCode, exitCode] : codes) {
        for (std::uint8_t state : {std::uint8_t{8}, std::uint8_t{10}}) {
            d = DecideConsolePoll(true, true, {100, state, errorCode});
            EXPECT_EQ(d.outcome, PollOutcome::Failed);
            EXPECT_EQ(d.message, romflux::UpdateErrorText(errorCode));
            EXPECT_EQ(ExitCodeForRun(d, errorCode), exitCode) << int(errorCode);
        }
    }
}

TEST(Progress, BarAndReportModes) {
    EXPECT_EQ(ElapsedText(0), "0:00");
    EXPECT_EQ(ElapsedText(75), "1:15");
    EXPECT_EQ(ElapsedText(3599), "59:59");
    EXPECT_EQ(ElapsedText(3725), "1:02:05");
    EXPECT_EQ(ProgressBarText(0, 0), "[..............................]   0 %  0:00");
    EXPECT_EQ(ProgressBarText(50, 7), "[###############...............]  50 %  0:07");
    EXPECT_EQ(ProgressBarText(100, 61), "[##############################] 100 %  1:01");
    EXPECT_EQ(ProgressBarText(250, 1), ProgressBarText(100, 1));
    EXPECT_EQ(ProgressBarText(-3, 1), ProgressBarText(0, 1));

    // Into a file: a line when the percentage changes.
    ProgressReport log(false);
    EXPECT_EQ(log.Poll(0, 0), ProgressBarText(0, 0) + "\n");
    EXPECT_EQ(log.Poll(0, 1), "");
    EXPECT_EQ(log.Poll(40, 1), ProgressBarText(40, 1) + "\n");
    EXPECT_EQ(log.Finish(), "");
    // On a console: redrawn in place at every poll, the line ended once.
    ProgressReport console(true);
    EXPECT_EQ(console.Finish(), "");
    EXPECT_EQ(console.Poll(10, 0), "\r" + ProgressBarText(10, 0));
    EXPECT_EQ(console.Poll(10, 1), "\r" + ProgressBarText(10, 1));
    EXPECT_EQ(console.Finish(), "\n");
    EXPECT_EQ(console.Finish(), "");
}

TEST(ImageCheck, FormThenTheTunersIdentification) {
    const firmware::CatalogueEntry& s2 = *firmware::FindCatalogueEntry("FW_013404");
    const Identification tuner{0x01, 0x34, 0x04};
    ImageVerdict verdict = CheckImageForTuner(firmware::BuildImage(s2), tuner);
    EXPECT_EQ(verdict.exitCode, kExitOk) << verdict.reason;
    ASSERT_TRUE(verdict.version);
    EXPECT_EQ(FormatReleaseText(*verdict.version), "Release 1.5.0 Build 22720");

    // A release Romflux does not carry is the tuner's all the same.
    firmware::ImageParams later = firmware::ParamsFor(s2);
    later.versionBytes[0] = 2;
    verdict = CheckImageForTuner(firmware::BuildImage(later), tuner);
    EXPECT_EQ(verdict.exitCode, kExitOk) << verdict.reason;
    EXPECT_EQ(FormatReleaseText(*verdict.version), "Release 2.5.0 Build 22720");

    // Another revision's image, and one for a tuner without a carried image.
    verdict = CheckImageForTuner(firmware::BuildImage(*firmware::FindCatalogueEntry("FW_013402")), tuner);
    EXPECT_EQ(verdict.exitCode, kExitImageMismatch);
    EXPECT_EQ(verdict.reason, "the image is made for hardware 01 34 02 (FW_013402), the tuner is 01 34 04 (FW_013404)");
    EXPECT_FALSE(verdict.version);
    const Identification pellary{0x01, 0x14, 0x01};
    firmware::ImageParams forPellary = later;
    forPellary.modelCode = 0x14;
    forPellary.hardwareRevision = 0x01;
    EXPECT_EQ(CheckImageForTuner(firmware::BuildImage(forPellary), pellary).exitCode, kExitOk);

    for (const firmware::DamagedVariant& variant : firmware::DamagedVariants()) {
        SCOPED_TRACE(variant.fileName);
        verdict = CheckImageForTuner(firmware::BuildDamagedImage(variant.damage), {0x01, 0x34, 0x01});
        if (variant.damage == firmware::Damage::ForeignIdentification) {
            EXPECT_EQ(verdict.exitCode, kExitImageMismatch);
            EXPECT_NE(verdict.reason.find("01 37 01 (FW_013701)"), std::string::npos) << verdict.reason;
        } else {
            EXPECT_EQ(verdict.exitCode, kExitBadImageFile);
            EXPECT_EQ(verdict.reason.rfind("not a firmware image of the tuners: line " +
                                               std::to_string(variant.faultLine) + ": ",
                                           0),
                      0u)
                << verdict.reason;
        }
    }
    EXPECT_EQ(CheckImageForTuner("", tuner).exitCode, kExitBadImageFile);
    EXPECT_EQ(CheckImageForTuner(firmware::BuildImage(s2).substr(0, 1000), tuner).exitCode, kExitBadImageFile);
    EXPECT_EQ(IdentificationText({0x0A, 0x24, 0x01}), "0A 24 01 (FW_0A2401)");
}
