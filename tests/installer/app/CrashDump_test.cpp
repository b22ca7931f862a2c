#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(CrashDump, WorkerThreadFaultShowsThePathThenWritesTheDump) {
    std::wstring exe = qmtest::ProgramDir() + L"\\qm_crasher.exe";
    std::wstring dump = exe + L".dmp";
    DeleteFileW(dump.c_str());

    qmtest::ChildProcess crasher;
    ASSERT_TRUE(crasher.Start(qmtest::Quote(exe)));
    HWND box = qmtest::WaitForProcessDialog(crasher.Pid(), 30000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(L"提示:", qmtest::WindowText(box));
    std::wstring text = qmtest::MessageBoxText(box);
    EXPECT_EQ(0u, text.find(L"程序异常退出! 异常信息保存于 ")) << text.size();
    EXPECT_NE(std::wstring::npos, text.find(L"qm_crasher.exe.dmp 文件, 请联系客服人员解决!"));
    // Not before the box is closed.
    EXPECT_FALSE(qmtest::FileExists(dump));

    qmtest::PressDialogButton(box, IDOK);
    // Writing the dump walks every module and thread of the process; on a busy
    // machine under Wine that has taken more than 30 s.
    ASSERT_TRUE(crasher.Wait(90000));
    EXPECT_NE(7u, crasher.ExitCode()) << "the fault did not end the process";
    std::string bytes = qmtest::ReadFileBytes(dump);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ("MDMP", bytes.substr(0, 4));
    DeleteFileW(dump.c_str());
}

} // namespace

namespace {

// The program often lies in a folder its user can write, and runs elevated: a
// hard link planted at the dump's name must not have the dump written into
// the file it shares its data with. An old dump of one name is reused.
TEST(CrashDump, AHardLinkAtTheDumpsNameIsNotWrittenThrough) {
    const std::wstring exe = qmtest::ProgramDir() + L"\\qm_crasher.exe";
    const std::wstring dump = exe + L".dmp";
    const std::wstring victim = qmtest::ProgramDir() + L"\\crash-victim.txt";
    DeleteFileW(dump.c_str());
    ASSERT_TRUE(qmtest::WriteFileBytes(victim, "someone else's file"));
    ASSERT_TRUE(CreateHardLinkW(dump.c_str(), victim.c_str(), nullptr));

    qmtest::ChildProcess crasher;
    ASSERT_TRUE(crasher.Start(qmtest::Quote(exe)));
    HWND box = qmtest::WaitForProcessDialog(crasher.Pid(), 30000);
    ASSERT_NE(nullptr, box);
    qmtest::PressDialogButton(box, IDOK);
    ASSERT_TRUE(crasher.Wait(90000));
    EXPECT_EQ("someone else's file", qmtest::ReadFileBytes(victim));
    DeleteFileW(dump.c_str());
    DeleteFileW(victim.c_str());
}

} // namespace
