#include "skinui/window/NotifyPump.h"

#include "skinui/control/ControlUI.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace SkinUI;

namespace {

std::vector<std::wstring>* g_log = nullptr;

void Log(const std::wstring& entry) {
    if (g_log != nullptr)
        g_log->push_back(entry);
}

// A base pump with rows of its own, and a derived one that overrides some.
class BasePump : public CNotifyPump {
public:
    void OnBaseClick(TNotifyUI&) { Log(L"base click"); }
    void OnBaseTimer(TNotifyUI&) { Log(L"base timer"); }

    SKIN_DECLARE_MESSAGE_MAP()
};

SKIN_BEGIN_MESSAGE_MAP(BasePump, CNotifyPump)
SKIN_ON_MSGTYPE(L"click", &BasePump::OnBaseClick)
SKIN_ON_MSGTYPE(L"timer", &BasePump::OnBaseTimer)
SKIN_END_MESSAGE_MAP()

class DerivedPump : public BasePump {
public:
    explicit DerivedPump(std::wstring tag = L"") : m_tag(std::move(tag)) {}
    void OnOk(TNotifyUI&) { Log(m_tag + L"ok"); }
    void OnAnyFirst(TNotifyUI&) { Log(m_tag + L"any first"); }
    void OnAnyLast(TNotifyUI&) { Log(m_tag + L"any last"); }
    void OnValues(WPARAM wParam, LPARAM lParam) {
        Log(m_tag + L"values " + std::to_wstring(wParam) + L" " + std::to_wstring(lParam));
    }

    SKIN_DECLARE_MESSAGE_MAP()

private:
    std::wstring m_tag;
};

// The any-control rows come first and last; the named row in between still
// wins for its control, and the last any-control row is the fallback.
SKIN_BEGIN_MESSAGE_MAP(DerivedPump, BasePump)
SKIN_ON_MSGTYPE(L"click", &DerivedPump::OnAnyFirst)
SKIN_ON_CLICK_CTRNAME(L"ok", &DerivedPump::OnOk)
SKIN_ON_MSGTYPE(L"click", &DerivedPump::OnAnyLast)
SKIN_ON_MSGTYPE_LWL(L"textchanged", L"edit", &DerivedPump::OnValues)
SKIN_END_MESSAGE_MAP()

class NotifyPumpTest : public ::testing::Test {
protected:
    void SetUp() override { g_log = &log; }
    void TearDown() override { g_log = nullptr; }

    TNotifyUI Record(const wchar_t* type, CControlUI* sender, WPARAM wParam = 0, LPARAM lParam = 0,
                     const wchar_t* virtualWnd = L"") {
        TNotifyUI msg;
        msg.type = type;
        msg.sender = sender;
        msg.wParam = wParam;
        msg.lParam = lParam;
        msg.virtualWnd = virtualWnd;
        return msg;
    }
    CControlUI* Named(const wchar_t* name) {
        controls.emplace_back(new CControlUI());
        controls.back()->SetName(name);
        return controls.back().get();
    }

    std::vector<std::wstring> log;
    std::vector<std::unique_ptr<CControlUI>> controls;
};

} // namespace

TEST_F(NotifyPumpTest, ANamedRowWinsAndTheLastAnyRowIsTheFallback) {
    DerivedPump pump;
    TNotifyUI ok = Record(L"click", Named(L"ok"));
    TNotifyUI other = Record(L"click", Named(L"other"));
    TNotifyUI okUpper = Record(L"click", Named(L"OK"));
    EXPECT_TRUE(pump.LoopDispatch(ok));
    EXPECT_TRUE(pump.LoopDispatch(other));
    EXPECT_TRUE(pump.LoopDispatch(okUpper));
    EXPECT_EQ(log, (std::vector<std::wstring>{L"ok", L"any last", L"any last"}));
}

TEST_F(NotifyPumpTest, TypesAreComparedExactlyAndBaseMapsAreSearchedNext) {
    DerivedPump pump;
    TNotifyUI timer = Record(L"timer", Named(L"x"));
    TNotifyUI upper = Record(L"Click", Named(L"ok"));
    TNotifyUI unknown = Record(L"windowinit", Named(L"x"));
    EXPECT_TRUE(pump.LoopDispatch(timer));
    EXPECT_FALSE(pump.LoopDispatch(upper));
    EXPECT_FALSE(pump.LoopDispatch(unknown));
    EXPECT_EQ(log, (std::vector<std::wstring>{L"base timer"}));
}

TEST_F(NotifyPumpTest, AWParamLParamRowGetsTheTwoValues) {
    DerivedPump pump;
    TNotifyUI changed = Record(L"textchanged", Named(L"edit"), 7, -3);
    TNotifyUI elsewhere = Record(L"textchanged", Named(L"other"), 7, -3);
    EXPECT_TRUE(pump.LoopDispatch(changed));
    EXPECT_FALSE(pump.LoopDispatch(elsewhere));
    EXPECT_EQ(log, (std::vector<std::wstring>{L"values 7 -3"}));
}

TEST_F(NotifyPumpTest, ANotificationWithoutSenderReachesOnlyAnyControlRows) {
    DerivedPump pump;
    TNotifyUI orphan = Record(L"click", nullptr);
    TNotifyUI orphanChange = Record(L"textchanged", nullptr);
    EXPECT_TRUE(pump.LoopDispatch(orphan));
    EXPECT_FALSE(pump.LoopDispatch(orphanChange));
    EXPECT_EQ(log, (std::vector<std::wstring>{L"any last"}));
}

TEST_F(NotifyPumpTest, VirtualWindowsTakeTheirNotificationsFirst) {
    DerivedPump window(L"window: ");
    DerivedPump panel(L"panel: ");
    CNotifyPump silent; // has no rows
    EXPECT_TRUE(window.AddVirtualWnd(L"Panel", &panel));
    EXPECT_FALSE(window.AddVirtualWnd(L"Panel", &silent));
    EXPECT_TRUE(window.AddVirtualWnd(L"empty", &silent));

    TNotifyUI forPanel = Record(L"click", Named(L"ok"), 0, 0, L"panel");
    window.NotifyPump(forPanel);
    TNotifyUI forNobody = Record(L"click", Named(L"ok"), 0, 0, L"absent");
    window.NotifyPump(forNobody);
    // A virtual window without a row leaves the notification to the window.
    TNotifyUI forEmpty = Record(L"click", Named(L"ok"), 0, 0, L"EMPTY");
    window.NotifyPump(forEmpty);
    TNotifyUI plain = Record(L"click", Named(L"ok"));
    window.NotifyPump(plain);
    EXPECT_EQ(log, (std::vector<std::wstring>{L"panel: ok", L"window: ok", L"window: ok",
                                              L"window: ok"}));

    EXPECT_TRUE(window.RemoveVirtualWnd(L"Panel"));
    EXPECT_FALSE(window.RemoveVirtualWnd(L"Panel"));
    log.clear();
    window.NotifyPump(forPanel);
    EXPECT_EQ(log, (std::vector<std::wstring>{L"window: ok"}));
}
