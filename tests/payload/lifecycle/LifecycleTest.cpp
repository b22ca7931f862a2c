#include "tests/payload/lifecycle/LifecycleTest.h"

#include "tests/support/ShellItems.h"
#include "tests/support/TestSupport.h"

#include <windows.h>

#include <objbase.h>

namespace qmtest {

std::wstring DesktopLink() {
    return DesktopFolder() + L"\\" + kProduct + L".lnk";
}

std::wstring MenuFolder() {
    return ProgramsFolder() + L"\\" + kProduct;
}

void LifecycleTest::SetUp() {
    CoInitialize(nullptr);
    Forget();
}

void LifecycleTest::TearDown() {
    Forget();
    CoUninitialize();
}

void LifecycleTest::Forget() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, RecordKey().c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Quillmossdex");
    DeleteFileW(DesktopLink().c_str());
    RemoveTree(MenuFolder());
}

} // namespace qmtest
