#include "skinui/core/StdContainers.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using SkinUI::CStdPtrArray;
using SkinUI::CStdStringPtrMap;
using SkinUI::CStdValArray;

namespace {

void* P(int i) {
    return reinterpret_cast<void*>(static_cast<intptr_t>(i));
}

// The allocation is not exposed; a reallocation shows as a moved block, and the
// growth points are what keeps pointers into GetData() valid between them.
TEST(StdPtrArray, GrowsTo11ThenDoublesWhenCountReachesAllocation) {
    CStdPtrArray a;
    EXPECT_EQ(nullptr, a.GetData());
    ASSERT_TRUE(a.Add(P(1)));
    void** first = a.GetData();
    ASSERT_NE(nullptr, first);
    for (int i = 2; i <= 10; ++i)
        ASSERT_TRUE(a.Add(P(i)));
    EXPECT_EQ(first, a.GetData()) << "10 elements fit the first 11 slots";
    // The 11th element makes the count reach the allocation: growth to 22, and
    // slot 21 (index 21) must be writable without another growth.
    ASSERT_TRUE(a.Add(P(11)));
    for (int i = 12; i <= 21; ++i)
        ASSERT_TRUE(a.Add(P(i)));
    EXPECT_EQ(21, a.GetSize());
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(P(i + 1), a[i]);
}

TEST(StdPtrArray, IndexRules) {
    CStdPtrArray a;
    EXPECT_FALSE(a.InsertAt(1, P(1)));
    EXPECT_TRUE(a.InsertAt(0, P(2))); // index == count appends
    EXPECT_TRUE(a.InsertAt(0, P(1)));
    EXPECT_TRUE(a.InsertAt(2, P(4)));
    EXPECT_TRUE(a.InsertAt(2, P(3)));
    EXPECT_FALSE(a.InsertAt(-1, P(9)));
    ASSERT_EQ(4, a.GetSize());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(P(i + 1), a.GetAt(i));
    EXPECT_EQ(nullptr, a.GetAt(4));
    EXPECT_EQ(nullptr, a.GetAt(-1));
    EXPECT_FALSE(a.SetAt(4, P(5)));
    EXPECT_TRUE(a.SetAt(3, P(5)));
    EXPECT_EQ(3, a.Find(P(5)));
    EXPECT_EQ(-1, a.Find(P(4)));
    EXPECT_FALSE(a.Remove(4));
    EXPECT_TRUE(a.Remove(0));
    EXPECT_EQ(P(2), a[0]);
    EXPECT_EQ(3, a.GetSize());
}

TEST(StdPtrArray, ResizeFillsWithNullAndCopyKeepsOrder) {
    CStdPtrArray a(5);
    EXPECT_TRUE(a.IsEmpty());
    a.Add(P(7));
    a.Resize(3);
    ASSERT_EQ(3, a.GetSize());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(nullptr, a[i]);
    a.SetAt(1, P(8));
    EXPECT_TRUE(a.Add(P(9))); // count 4 reaches... doubles from 3
    CStdPtrArray b(a);
    ASSERT_EQ(4, b.GetSize());
    EXPECT_EQ(P(8), b[1]);
    EXPECT_EQ(P(9), b[3]);
    EXPECT_NE(a.GetData(), b.GetData());
    a.Empty();
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(nullptr, a.GetData());
    a = b;
    EXPECT_EQ(4, a.GetSize());
    a.Resize(0);
    EXPECT_TRUE(a.IsEmpty());
}

TEST(StdValArray, CopiesValuesAndKeepsBlockOnEmpty) {
    struct Pair {
        int a;
        short b;
    };
    CStdValArray v(sizeof(Pair));
    for (int i = 0; i < 30; ++i) {
        Pair p = {i, static_cast<short>(-i)};
        ASSERT_TRUE(v.Add(&p));
    }
    ASSERT_EQ(30, v.GetSize());
    EXPECT_EQ(29, static_cast<Pair*>(v.GetAt(29))->a);
    EXPECT_EQ(nullptr, v.GetAt(30));
    EXPECT_EQ(nullptr, v.GetAt(-1));
    EXPECT_TRUE(v.Remove(0));
    EXPECT_FALSE(v.Remove(29));
    EXPECT_EQ(1, static_cast<Pair*>(v[0])->a);
    EXPECT_EQ(-29, static_cast<Pair*>(v[28])->b);
    void* block = v.GetData();
    v.Empty();
    EXPECT_TRUE(v.IsEmpty());
    EXPECT_EQ(block, v.GetData());
}

TEST(StdStringPtrMap, HashRunsFromLastCharacterAndSmallBucketCountsBecome16) {
    EXPECT_EQ(98u * 33u + 97u, CStdStringPtrMap::Hash(L"ab"));
    EXPECT_EQ(0u, CStdStringPtrMap::Hash(L""));
    CStdStringPtrMap small(5);
    EXPECT_EQ(16, small.GetBucketCount());
    CStdStringPtrMap standard;
    EXPECT_EQ(83, standard.GetBucketCount());
    // Non-ASCII characters hash by their 16-bit code unit, never sign-extended.
    EXPECT_EQ(0x9752u, CStdStringPtrMap::Hash(L"\x9752"));
}

TEST(StdStringPtrMap, InsertKeepsExistingValueAndSetReplacesIt) {
    CStdStringPtrMap m;
    EXPECT_TRUE(m.Insert(L"closeBtn", P(1)));
    EXPECT_FALSE(m.Insert(L"closeBtn", P(2)));
    EXPECT_EQ(P(1), m.Find(L"closeBtn"));
    EXPECT_EQ(P(1), m.Set(L"closeBtn", P(3)));
    EXPECT_EQ(P(3), m.Find(L"closeBtn"));
    EXPECT_EQ(nullptr, m.Set(L"minBtn", P(4)));
    EXPECT_EQ(2, m.GetSize());
    EXPECT_EQ(nullptr, m.Find(L"closebtn")) << "keys are case-sensitive";
    EXPECT_TRUE(m.Remove(L"closeBtn"));
    EXPECT_FALSE(m.Remove(L"closeBtn"));
    EXPECT_EQ(1, m.GetSize());
}

TEST(StdStringPtrMap, KeyWithNullDataStaysUnique) {
    CStdStringPtrMap m;
    EXPECT_TRUE(m.Insert(L"k", nullptr));
    EXPECT_FALSE(m.Insert(L"k", P(1)));
    EXPECT_EQ(1, m.GetSize());
}

// Keys that share bucket 3 of 16 (h mod 16 == 3): "ab" (3331) and two more.
TEST(StdStringPtrMap, EnumerationWalksBucketsBackwardAndChainsFromHead) {
    CStdStringPtrMap m(16);
    std::wstring sameBucket[3];
    int found = 0;
    for (wchar_t c = L'a'; found < 3 && c <= L'z'; ++c) {
        for (wchar_t d = L'a'; found < 3 && d <= L'z'; ++d) {
            const wchar_t key[3] = {c, d, 0};
            if (CStdStringPtrMap::Hash(key) % 16 == 3)
                sameBucket[found++] = key;
        }
    }
    ASSERT_EQ(3, found);
    EXPECT_EQ(L"ab", sameBucket[0]);
    for (const std::wstring& k : sameBucket)
        m.Insert(k.c_str(), P(1));
    // A key in a higher bucket comes first.
    m.Insert(L"z", P(2)); // 122 mod 16 = 10
    EXPECT_EQ(std::wstring(L"z"), m.GetAt(0));
    // Inserts become chain heads: newest first.
    EXPECT_EQ(sameBucket[2], m.GetAt(1));
    EXPECT_EQ(sameBucket[1], m.GetAt(2));
    EXPECT_EQ(sameBucket[0], m.GetAt(3));
    EXPECT_EQ(nullptr, m.GetAt(4));
    EXPECT_EQ(nullptr, m.GetAt(-1));

    // A lookup moves its hit to the head; one without optimisation does not.
    m.Find(sameBucket[1].c_str(), false);
    EXPECT_EQ(sameBucket[2], m[1]);
    m.Find(sameBucket[0].c_str());
    EXPECT_EQ(sameBucket[0], m[1]);
    EXPECT_EQ(sameBucket[2], m[2]);
    EXPECT_EQ(sameBucket[1], m[3]);
    // Set does not reorder.
    m.Set(sameBucket[1].c_str(), P(9));
    EXPECT_EQ(sameBucket[1], m[3]);
    // Removing the middle of a chain keeps the rest linked.
    EXPECT_TRUE(m.Remove(sameBucket[2].c_str()));
    EXPECT_EQ(P(9), m.Find(sameBucket[1].c_str()));
    EXPECT_EQ(P(1), m.Find(sameBucket[0].c_str()));
}

TEST(StdStringPtrMap, ResizeToZeroAcceptsNothing) {
    CStdStringPtrMap m;
    m.Insert(L"a", P(1));
    m.Resize(0);
    EXPECT_EQ(0, m.GetSize());
    EXPECT_FALSE(m.Insert(L"a", P(1)));
    EXPECT_EQ(P(5), m.Set(L"a", P(5)));
    EXPECT_EQ(nullptr, m.Find(L"a"));
    EXPECT_EQ(nullptr, m.GetAt(0));
    m.Resize(4); // no minimum here
    EXPECT_EQ(4, m.GetBucketCount());
    EXPECT_TRUE(m.Insert(L"a", P(1)));
    m.RemoveAll();
    EXPECT_EQ(4, m.GetBucketCount());
    EXPECT_EQ(0, m.GetSize());
}

TEST(StdStringPtrMap, ManyKeysAllFoundAndEnumeratedOnce) {
    CStdStringPtrMap m;
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(m.Insert(std::to_wstring(i).c_str(), P(i + 1)));
    std::set<std::wstring> seen;
    for (int i = 0; i < m.GetSize(); ++i)
        seen.insert(m.GetAt(i));
    EXPECT_EQ(1000u, seen.size());
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(P(i + 1), m.Find(std::to_wstring(i).c_str()));
}

} // namespace
