// The one way a window receives notifications: a static message map per
// class, each chained to its base class's map, that routes a notification by
// its type and the sender's name to a member function; optionally to named
// "virtual windows" first (pumps that handle the notifications of one part of
// a window).
//
// Why maps rather than a callback bound to each control: a row names the
// control, not a pointer to it, so it outlives rebuilt trees and controls
// created later; all of a window's reactions read as one table next to the
// handlers; and a base class's defaults (the title buttons of the window base)
// keep working underneath without a call from every derived window.
//
// Declare the map in the class (it leaves the access private, so put it
// before an access specifier or at the end) and define it in the source file,
// one row per reaction:
//
//   class CMyWnd : public SkinUI::WindowImplBase {
//       ...
//       SKIN_DECLARE_MESSAGE_MAP()
//       void OnOk(SkinUI::TNotifyUI& msg);
//       void OnSelectChanged(SkinUI::TNotifyUI& msg);
//   };
//
//   SKIN_BEGIN_MESSAGE_MAP(CMyWnd, SkinUI::WindowImplBase)
//   SKIN_ON_CLICK_CTRNAME(L"ok", &CMyWnd::OnOk)
//   SKIN_ON_MSGTYPE(L"selectchanged", &CMyWnd::OnSelectChanged)
//   SKIN_END_MESSAGE_MAP()
//
// Which row runs: the maps are searched from the object's own class down to
// CNotifyPump; in each map a row for the sender's name wins over a row for
// any sender (types and names compared exactly), and the first map with a
// fitting row ends the search. So a derived window that adds rows for its own
// controls keeps the base's handling of everything else; a derived row for
// "click" from any control takes every click the window's own rows do not,
// including the title buttons (call OnClick from it to keep those).
#pragma once

#include "skinui/core/SkinString.h"
#include "skinui/core/StdContainers.h"
#include "skinui/control/UIDefs.h"

namespace SkinUI {

class CNotifyPump;

// How a row's handler is called.
enum PumpSignature : UINT {
    PumpSigEnd = 0,    // ends a table
    PumpSigLWL = 1,    // handler(wParam, lParam)
    PumpSigNotify = 2, // handler(TNotifyUI&)
};

typedef void (CNotifyPump::*PumpHandler)(TNotifyUI& msg);
typedef void (CNotifyPump::*PumpHandlerLWL)(WPARAM wParam, LPARAM lParam);

// One row of a message map.
struct pumpEntry {
    CSkinString sType;     // notification type, compared case-sensitively
    CSkinString sCtrlName; // sender name, compared case-sensitively; empty = any
    UINT nSig;             // PumpSignature
    PumpHandler pfn;       // the handler of a PumpSigNotify row
    PumpHandlerLWL pfnLWL; // the handler of a PumpSigLWL row
};

// A class's map: its rows and the way to its base class's map.
struct pumpMap {
    const pumpMap* (*pfnGetBaseMap)();
    const pumpEntry* lpEntries;
};

class CNotifyPump {
public:
    CNotifyPump();
    virtual ~CNotifyPump();
    CNotifyPump(const CNotifyPump&) = delete;
    CNotifyPump& operator=(const CNotifyPump&) = delete;

    // The pump is not owned. False when the name is taken.
    bool AddVirtualWnd(const wchar_t* name, CNotifyPump* pump);
    // False when there was no such name.
    bool RemoveVirtualWnd(const wchar_t* name);
    // Offers a notification addressed to a virtual window to the pumps of
    // that name (ignoring case) first; the first that has a row for it ends
    // the routing. Otherwise this pump's own maps.
    void NotifyPump(TNotifyUI& msg);
    // Calls the row of this class's maps that fits the notification: a row
    // for the sender's name wins, else the last row for any sender, searching
    // the maps from this class down to its bases. False when no row fits.
    bool LoopDispatch(TNotifyUI& msg);

protected:
    static const pumpMap _pumpMap;
    virtual const pumpMap* GetMessageMap() const;

private:
    static const pumpEntry _pumpEntries[];
    CStdStringPtrMap m_VirtualWndMap; // name -> CNotifyPump*
};

} // namespace SkinUI

// In the class declaration; the declarations after it are private unless an
// access specifier follows.
#define SKIN_DECLARE_MESSAGE_MAP()                                                                 \
private:                                                                                           \
    static const ::SkinUI::pumpEntry _pumpEntries[];                                               \
                                                                                                   \
protected:                                                                                         \
    static const ::SkinUI::pumpMap _pumpMap;                                                       \
    static const ::SkinUI::pumpMap* _GetBasePumpMap();                                             \
    const ::SkinUI::pumpMap* GetMessageMap() const override;                                       \
                                                                                                   \
private:

// In the source file, at namespace scope.
#define SKIN_BEGIN_MESSAGE_MAP(theClass, baseClass)                                                \
    const ::SkinUI::pumpMap* theClass::_GetBasePumpMap() {                                         \
        return &baseClass::_pumpMap;                                                               \
    }                                                                                              \
    const ::SkinUI::pumpMap* theClass::GetMessageMap() const {                                     \
        return &theClass::_pumpMap;                                                                \
    }                                                                                              \
    const ::SkinUI::pumpMap theClass::_pumpMap = {&theClass::_GetBasePumpMap,                      \
                                                  &theClass::_pumpEntries[0]};                     \
    const ::SkinUI::pumpEntry theClass::_pumpEntries[] = {

// A handler(TNotifyUI&) for one type from any control.
#define SKIN_ON_MSGTYPE(type, memberFxn)                                                           \
    {type, L"", ::SkinUI::PumpSigNotify, static_cast<::SkinUI::PumpHandler>(memberFxn), nullptr},

// A handler(TNotifyUI&) for one type from the control of that name.
#define SKIN_ON_MSGTYPE_CTRNAME(type, ctrlName, memberFxn)                                         \
    {type, ctrlName, ::SkinUI::PumpSigNotify, static_cast<::SkinUI::PumpHandler>(memberFxn),       \
     nullptr},

#define SKIN_ON_CLICK_CTRNAME(ctrlName, memberFxn)                                                 \
    SKIN_ON_MSGTYPE_CTRNAME(L"click", ctrlName, memberFxn)

#define SKIN_ON_SELECTCHANGED_CTRNAME(ctrlName, memberFxn)                                         \
    SKIN_ON_MSGTYPE_CTRNAME(L"selectchanged", ctrlName, memberFxn)

// A handler(WPARAM, LPARAM) for one type from the control of that name
// (empty = any control).
#define SKIN_ON_MSGTYPE_LWL(type, ctrlName, memberFxn)                                             \
    {type, ctrlName, ::SkinUI::PumpSigLWL, nullptr,                                                \
     static_cast<::SkinUI::PumpHandlerLWL>(memberFxn)},

#define SKIN_END_MESSAGE_MAP()                                                                     \
    { L"", L"", ::SkinUI::PumpSigEnd, nullptr, nullptr }                                           \
    }                                                                                              \
    ;
