// A list of callbacks that a control runs on one occasion (init, destroy,
// size, event, notify), in registration order. Anyone may hook into a control
// this way without deriving from it.
#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace SkinUI {

class CEventSource {
public:
    // Receives a pointer to the occasion's record (the control, a TEventUI or
    // a TNotifyUI); answering false stops the list and, for events, drops the
    // event.
    typedef std::function<bool(void*)> Delegate;

    // A cookie for Remove; never 0.
    int Add(Delegate delegate) {
        m_items.push_back({++m_lastCookie, std::move(delegate)});
        return m_lastCookie;
    }
    CEventSource& operator+=(Delegate delegate) {
        Add(std::move(delegate));
        return *this;
    }
    bool Remove(int cookie) {
        for (auto it = m_items.begin(); it != m_items.end(); ++it) {
            if (it->cookie == cookie) {
                m_items.erase(it);
                return true;
            }
        }
        return false;
    }
    void Clear() { m_items.clear(); }
    int GetCount() const { return static_cast<int>(m_items.size()); }

    // False when the list holds no delegate.
    explicit operator bool() const { return !m_items.empty(); }

    // True when every delegate answered true (also for an empty list). The list
    // is re-read on every step, so a delegate may add or remove others.
    bool operator()(void* param) {
        for (size_t i = 0; i < m_items.size(); ++i) {
            Delegate delegate = m_items[i].delegate; // survives its own removal
            if (!delegate(param))
                return false;
        }
        return true;
    }

private:
    struct Item {
        int cookie;
        Delegate delegate;
    };
    std::vector<Item> m_items;
    int m_lastCookie = 0;
};

} // namespace SkinUI
