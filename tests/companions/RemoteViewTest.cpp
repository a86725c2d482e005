// The remote-control companion's texts: the reader line for each state and the key rows,
// named from the remote's keymap.
#include <gtest/gtest.h>

#include "RemoteKeymap.h"
#include "RemoteView.h"

namespace companion {
namespace {

TEST(RemoteView, TheReaderLineNamesTheTunerAndWhatItsReaderDoes) {
    TunerInfo tuner;
    tuner.opened = true;
    tuner.model = "Talvex S2";
    tuner.guid = "efcdab7856341200";
    EXPECT_EQ(ReaderLine(ReaderState::NoTuner, nullptr), "Choose a tuner to read its remote control.");
    EXPECT_EQ(ReaderLine(ReaderState::Reading, nullptr), "Choose a tuner to read its remote control.");
    EXPECT_EQ(ReaderLine(ReaderState::NotOpened, &tuner), "The chosen tuner could not be opened.");
    EXPECT_EQ(ReaderLine(ReaderState::Reading, &tuner), "Reading the remote control of Talvex S2 (efcdab7856341200).");
    EXPECT_EQ(ReaderLine(ReaderState::InUse, &tuner),
              "The remote control of Talvex S2 (efcdab7856341200) is in use by another program.");
    EXPECT_EQ(ReaderLine(ReaderState::Failed, &tuner),
              "The remote control of Talvex S2 (efcdab7856341200) could not be read.");
}

TEST(RemoteView, KeyRowsShowTheCodeAndTheKeymapsName) {
    EXPECT_EQ(KeyRow(0x2015), "0x2015\tOK");
    EXPECT_EQ(KeyRow(0x2016), "0x2016\tVolume +");
    EXPECT_EQ(KeyRow(0x2007), "0x2007\t7");
    EXPECT_EQ(KeyRow(0x1234), "0x1234\t(unknown key)");
    EXPECT_EQ(KeyRow(0x0000), "0x0000\t(unknown key)");
    EXPECT_EQ(KeyRow(0xFFFF), "0xFFFF\t(unknown key)");
    for (const keymap::Key& key : keymap::Keys()) {
        const std::string row = KeyRow(key.code);
        EXPECT_EQ(row.substr(row.find('\t') + 1), key.label);
    }
}

}  // namespace
}  // namespace companion
