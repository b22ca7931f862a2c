// What the product's lifecycle tests share: the places where an installation
// leaves its traces, and a fixture that starts and ends every test with none.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace qmtest {

// The product's display name, which its links and its Start menu folder carry.
inline constexpr wchar_t kProduct[] = L"青梧云端助手";

std::wstring DesktopLink();
std::wstring MenuFolder();

// COM for the shell links is started around every test. The traces of an
// earlier installation are cleared before it and after it, so that a first
// install writes install kind "1" and no test's leftovers decide another's.
class LifecycleTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Removes the uninstall record, the product's settings and its links.
    static void Forget();
};

} // namespace qmtest
