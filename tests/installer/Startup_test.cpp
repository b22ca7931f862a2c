// Start-up and the start modes, end to end.
#include "installer/Startup.h"
#include "tests/installer/EngineTestSupport.h"
#include "tests/installer/SetupDriver.h"

#include <gtest/gtest.h>

namespace {

using namespace qmtest;

TEST(StartupWords, PathWordsJoinWithSingleBlanks) {
    EXPECT_EQ("C:\\My Apps", JoinPathWords({"path", "C:\\My Apps"}));
    EXPECT_EQ(" C:\\My Apps", JoinPathWords({"path", "C:\\My", "Apps"}));
    EXPECT_EQ("", JoinPathWords({"path"}));
}

} // namespace
