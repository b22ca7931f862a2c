// One object that several copies of a small handle share across threads, freed
// with the last copy. The library's shared pointer would bring the exception
// machinery and the thread library into the programs (about a quarter of the
// installer's code); a count kept with interlocked calls needs neither.
#pragma once

#include <windows.h>

#include <utility>

template <class T> class CSharedState {
public:
    CSharedState() : m_box(new TBox) {}
    CSharedState(const CSharedState& other) : m_box(other.m_box) {
        InterlockedIncrement(&m_box->refs);
    }
    // A copy, never a move: a moved-from handle would have nothing to share.
    CSharedState& operator=(const CSharedState& other) {
        CSharedState copy(other);
        std::swap(m_box, copy.m_box);
        return *this;
    }
    ~CSharedState() {
        if (InterlockedDecrement(&m_box->refs) == 0)
            delete m_box;
    }

    T* operator->() const { return &m_box->value; }
    T& operator*() const { return m_box->value; }

private:
    struct TBox {
        volatile LONG refs = 1;
        T value;
    };
    TBox* m_box;
};
