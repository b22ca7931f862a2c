#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

namespace {

// System DLLs the programs use that are not KnownDLLs: each would be searched
// for beside the program first if the search order allowed it.
const wchar_t* const kPlanted[] = {L"msimg32.dll", L"gdiplus.dll", L"dbghelp.dll",
                                   L"uxtheme.dll", L"version.dll", L"comctl32.dll"};

std::wstring BuildDir() {
    return qmtest::ProgramDir() + L"\\..\\..\\..\\..";
}

// Under Wine, the system DLLs' own dependencies are looked up in the program's
// folder while its imports are resolved, before any of its code runs; Windows
// takes the dependencies of KnownDLLs from the system directory. A planted
// copy of such a DLL stops the process before its entry point under Wine, so
// it cannot be tested here: these are found by planting each DLL alone beside
// a program that only imports KnownDLLs (ImportBaseline.cpp).
std::vector<std::wstring> LoadedBeforeAnyProgramCode() {
    static std::vector<std::wstring> found = [] {
        std::vector<std::wstring> loaded;
        for (const wchar_t* name : kPlanted) {
            qmtest::TempDir base{L"qmbase"};
            CopyFileW((qmtest::ProgramDir() + L"\\qm_planted.dll").c_str(), (base / name).c_str(),
                      FALSE);
            std::wstring exe = base / L"baseline.exe";
            CopyFileW((qmtest::ProgramDir() + L"\\qm_import_baseline.exe").c_str(), exe.c_str(),
                      FALSE);
            qmtest::ChildProcess p;
            if (p.Start(qmtest::Quote(exe), 0, base.Path()))
                p.Wait(30000);
            if (qmtest::FileExists(base / (std::wstring(name) + L".loaded")))
                loaded.push_back(name);
        }
        return loaded;
    }();
    return found;
}

class PlantedDll : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<std::wstring> skip = LoadedBeforeAnyProgramCode();
        std::wstring dll = qmtest::ProgramDir() + L"\\qm_planted.dll";
        for (const wchar_t* name : kPlanted) {
            if (std::find(skip.begin(), skip.end(), name) != skip.end())
                continue;
            ASSERT_TRUE(CopyFileW(dll.c_str(), (dir / name).c_str(), FALSE));
            planted.push_back(name);
        }
    }

    std::wstring Copy(const std::wstring& from, const wchar_t* name) {
        std::wstring to = dir / name;
        EXPECT_TRUE(CopyFileW(from.c_str(), to.c_str(), FALSE));
        return to;
    }

    std::vector<std::wstring> Markers() {
        std::vector<std::wstring> found;
        for (const std::wstring& name : planted)
            if (qmtest::FileExists(dir / (name + L".loaded")))
                found.push_back(name);
        return found;
    }

    // Runs a program until its window has been shown and painted, then ends it.
    void RunWindowed(const std::wstring& exe) {
        qmtest::ChildProcess p;
        ASSERT_TRUE(p.Start(qmtest::Quote(exe), 0, dir.Path()));
        for (int i = 0; i < 300 && qmtest::ProcessWindows(p.Pid()).empty() && p.Running(); ++i)
            Sleep(50);
        EXPECT_FALSE(qmtest::ProcessWindows(p.Pid()).empty()) << "no window appeared";
        for (HWND w : qmtest::ProcessWindows(p.Pid()))
            RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        // Images and text of the first paint load their DLLs on demand.
        Sleep(500);
        p.Kill();
    }

    qmtest::TempDir dir{L"qmplant"};
    std::vector<std::wstring> planted;
};

TEST_F(PlantedDll, NaiveLoaderProvesThePlantedDllWouldBeFound) {
    std::wstring loader = Copy(qmtest::ProgramDir() + L"\\qm_naive_loader.exe", L"loader.exe");
    qmtest::ChildProcess p;
    ASSERT_TRUE(p.Start(qmtest::Quote(loader) + L" msimg32.dll", 0, dir.Path()));
    ASSERT_TRUE(p.Wait(30000));
    EXPECT_EQ(std::vector<std::wstring>{L"msimg32.dll"}, Markers());
}

TEST_F(PlantedDll, ClientLoadsNoneOfThem) {
    RunWindowed(Copy(BuildDir() + L"\\payload\\client\\Quillmossdex.exe", L"Quillmossdex.exe"));
    EXPECT_EQ(std::vector<std::wstring>{}, Markers());
}

TEST_F(PlantedDll, InstallerLoadsNoneOfThem) {
    RunWindowed(Copy(BuildDir() + L"\\QuillmossdexSetup.exe", L"QuillmossdexSetup.exe"));
    EXPECT_EQ(std::vector<std::wstring>{}, Markers());
}

TEST_F(PlantedDll, UninstallerLoadsNoneOfThem) {
    std::wstring exe = Copy(BuildDir() + L"\\payload\\uninst\\uninst.exe", L"uninst.exe");
    qmtest::ChildProcess p;
    ASSERT_TRUE(p.Start(qmtest::Quote(exe) + L" /S", 0, dir.Path()));
    ASSERT_TRUE(p.Wait(30000));
    EXPECT_EQ(std::vector<std::wstring>{}, Markers());
}

TEST_F(PlantedDll, TheDllsLoadedOnDemandAreAllPlanted) {
    // The Wine exclusion above must never hide what the programs themselves
    // load on demand through the system directory.
    for (const wchar_t* name : {L"msimg32.dll", L"gdiplus.dll", L"dbghelp.dll"})
        EXPECT_NE(planted.end(), std::find(planted.begin(), planted.end(), name)) << name;
}

} // namespace
