#include "FriendlyNames.h"

#include <gtest/gtest.h>

using namespace ombrel;

TEST(FriendlyNames, WholeNamesWithoutRegardToCase) {
    EXPECT_TRUE(IsAcceptedFriendlyName(Category::WdmCapture, L"Ombrel WDM"));
    EXPECT_TRUE(IsAcceptedFriendlyName(Category::WdmCapture, L"ombrel wdm"));
    EXPECT_TRUE(IsAcceptedFriendlyName(Category::WdmCapture, L"Holtrim Capture"));
    EXPECT_TRUE(IsAcceptedFriendlyName(Category::WdmCapture, L"OMBREL"));
    EXPECT_TRUE(IsAcceptedFriendlyName(Category::BdaTuner, L"talvex bda tuner dvbs2"));
    EXPECT_TRUE(IsAcceptedFriendlyName(Category::BdaReceiver, L"OMBREL BDA RECEIVER DVBC"));

    EXPECT_FALSE(IsAcceptedFriendlyName(Category::WdmCapture, L"Ombrel WDM "));
    EXPECT_TRUE(IsAcceptedFriendlyName(Category::WdmCapture, L"ombrel"));  // "OMBREL" in another case
    EXPECT_FALSE(IsAcceptedFriendlyName(Category::WdmCapture, L"Ombrel WDM2"));
    EXPECT_FALSE(IsAcceptedFriendlyName(Category::WdmCapture, L" Ombrel WDM"));
    EXPECT_FALSE(IsAcceptedFriendlyName(Category::BdaTuner, L"Ombrel BDA Tuner"));
    EXPECT_FALSE(IsAcceptedFriendlyName(Category::BdaTuner, L""));
}

TEST(FriendlyNames, EachCategoryHasItsOwnTable) {
    EXPECT_FALSE(IsAcceptedFriendlyName(Category::BdaTuner, L"Ombrel WDM"));
    EXPECT_FALSE(IsAcceptedFriendlyName(Category::WdmCapture, L"Talvex BDA Tuner DVBS"));
    EXPECT_FALSE(IsAcceptedFriendlyName(Category::BdaReceiver, L"Talvex BDA Tuner DVBS"));
    EXPECT_FALSE(IsAcceptedFriendlyName(Category::BdaTuner, L"Talvex BDA Receiver DVBS"));
    EXPECT_EQ(FriendlyNamesOf(Category::WdmCapture).size(), 4u);
    EXPECT_EQ(FriendlyNamesOf(Category::BdaTuner).size(), 7u);
    EXPECT_EQ(FriendlyNamesOf(Category::BdaReceiver).size(), 7u);
}
