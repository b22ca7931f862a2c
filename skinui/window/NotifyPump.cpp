// Notification routing through message maps and virtual windows.
#include "skinui/window/NotifyPump.h"

#include "skinui/control/ControlUI.h"

#include <cwchar>

namespace SkinUI {

const pumpEntry CNotifyPump::_pumpEntries[] = {
    {L"", L"", PumpSigEnd, nullptr, nullptr},
};

const pumpMap CNotifyPump::_pumpMap = {nullptr, &CNotifyPump::_pumpEntries[0]};

CNotifyPump::CNotifyPump() : m_VirtualWndMap(83) {
}

CNotifyPump::~CNotifyPump() = default;

const pumpMap* CNotifyPump::GetMessageMap() const {
    return &_pumpMap;
}

bool CNotifyPump::AddVirtualWnd(const wchar_t* name, CNotifyPump* pump) {
    if (name == nullptr || m_VirtualWndMap.Find(name) != nullptr)
        return false;
    return m_VirtualWndMap.Insert(name, pump);
}

bool CNotifyPump::RemoveVirtualWnd(const wchar_t* name) {
    if (name == nullptr || m_VirtualWndMap.Find(name) == nullptr)
        return false;
    return m_VirtualWndMap.Remove(name);
}

void CNotifyPump::NotifyPump(TNotifyUI& msg) {
    if (!msg.virtualWnd.IsEmpty()) {
        for (int i = 0; i < m_VirtualWndMap.GetSize(); ++i) {
            const wchar_t* key = m_VirtualWndMap.GetAt(i);
            if (key == nullptr || _wcsicmp(key, msg.virtualWnd) != 0)
                continue;
            CNotifyPump* pump = static_cast<CNotifyPump*>(m_VirtualWndMap.Find(key, false));
            if (pump != nullptr && pump->LoopDispatch(msg))
                return;
        }
    }
    LoopDispatch(msg);
}

bool CNotifyPump::LoopDispatch(TNotifyUI& msg) {
    // A queued notification whose sender was deleted meanwhile has no name;
    // only rows for any control can take it.
    const CSkinString senderName = msg.sender != nullptr ? msg.sender->GetName() : CSkinString();
    for (const pumpMap* map = GetMessageMap(); map != nullptr;
         map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
        const pumpEntry* chosen = nullptr;
        const pumpEntry* anySender = nullptr;
        for (const pumpEntry* entry = map->lpEntries; entry->nSig != PumpSigEnd; ++entry) {
            if (entry->sType != msg.type.GetData())
                continue;
            if (entry->sCtrlName.IsEmpty()) {
                anySender = entry;
            } else if (entry->sCtrlName == senderName.GetData()) {
                chosen = entry;
                break;
            }
        }
        if (chosen == nullptr)
            chosen = anySender;
        if (chosen == nullptr)
            continue;
        switch (chosen->nSig) {
        case PumpSigLWL:
            if (chosen->pfnLWL == nullptr)
                return false;
            (this->*(chosen->pfnLWL))(msg.wParam, msg.lParam);
            return true;
        case PumpSigNotify:
            if (chosen->pfn == nullptr)
                return false;
            (this->*(chosen->pfn))(msg);
            return true;
        default:
            return false;
        }
    }
    return false;
}

} // namespace SkinUI
