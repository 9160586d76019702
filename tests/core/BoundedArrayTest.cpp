#include "core/BoundedArray.h"
#include "core/WideString.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records construction and destruction order of class items.
struct Tracked {
    static std::vector<std::string>* log;
    static int nextId;
    static int throwAt; // constructor number that throws, -1 for none
    int id;
    Tracked() : id(nextId++)
    {
        if (id == throwAt)
            throw std::runtime_error("constructor failure");
        if (log)
            log->push_back("+" + std::to_string(id));
    }
    ~Tracked()
    {
        if (log)
            log->push_back("-" + std::to_string(id));
    }
};
std::vector<std::string>* Tracked::log = nullptr;
int Tracked::nextId = 0;
int Tracked::throwAt = -1;

struct TrackedFixture : ::testing::Test {
    std::vector<std::string> events;
    void SetUp() override
    {
        Tracked::log = &events;
        Tracked::nextId = 0;
        Tracked::throwAt = -1;
    }
    void TearDown() override { Tracked::log = nullptr; }
};

TEST(BoundedArray, OutOfRangeAccessReachesOneDefaultItem)
{
    BoundedArray<uint32_t> a;
    EXPECT_EQ(a.count, 0u);
    EXPECT_EQ(a.items, nullptr);
    EXPECT_EQ(&a.At(0), &a.defaultItem);

    ASSERT_TRUE(a.SetSize(3));
    EXPECT_EQ(a.count, 3u);
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(a.At(i), 0u) << "plain items start at zero";

    // Writes through any out-of-range index land in the default item and are
    // read back through any other.
    a.At(3) = 77;
    EXPECT_EQ(a.At(0xFFFFFFFFu), 77u);
    a.At(static_cast<uint32_t>(-1)) = 78;
    EXPECT_EQ(a.At(3), 78u);
    EXPECT_EQ(a.At(2), 0u);
}

TEST(BoundedArray, TryAtReportsWhetherTheItemExists)
{
    BoundedArray<int> a;
    uint8_t found = 9;
    EXPECT_EQ(&a.TryAt(0, found), &a.defaultItem);
    EXPECT_EQ(found, 0);

    ASSERT_TRUE(a.SetSize(2));
    a.At(1) = 5;
    EXPECT_EQ(a.TryAt(1, found), 5);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(&a.TryAt(2, found), &a.defaultItem);
    EXPECT_EQ(found, 0);
}

TEST(BoundedArray, SetSizeZeroEmptiesAndFails)
{
    BoundedArray<int> a;
    ASSERT_TRUE(a.SetSize(4));
    EXPECT_FALSE(a.SetSize(0));
    EXPECT_EQ(a.count, 0u);
    EXPECT_EQ(a.items, nullptr);
    // Usable again afterwards, as a new array.
    ASSERT_TRUE(a.SetSize(2));
    EXPECT_EQ(a.count, 2u);
}

TEST(BoundedArray, ImpossibleSizeFailsCleanly)
{
    BoundedArray<uint64_t> a;
    ASSERT_TRUE(a.SetSize(3));
    // 2^32-1 items of 8 bytes cannot be had on any test machine we run.
    EXPECT_FALSE(a.SetSize(0xFFFFFFFFu));
    EXPECT_EQ(a.count, 0u);
    EXPECT_EQ(a.items, nullptr);
    a.At(5) = 1;
    EXPECT_EQ(a.At(0), 1u);
    EXPECT_TRUE(a.SetSize(1));
}

TEST_F(TrackedFixture, ClassItemsAreMadeInOrderAndDestroyedLastFirst)
{
    {
        BoundedArray<Tracked> a; // default item is #0
        ASSERT_TRUE(a.SetSize(3));
        EXPECT_EQ(events, (std::vector<std::string>{"+0", "+1", "+2", "+3"}));
        events.clear();
        ASSERT_TRUE(a.SetSize(1)); // releases the old block before the new one
        EXPECT_EQ(events, (std::vector<std::string>{"-3", "-2", "-1", "+4"}));
        events.clear();
    }
    EXPECT_EQ(events, (std::vector<std::string>{"-4", "-0"}));
}

TEST_F(TrackedFixture, ThrowingConstructorLeavesArrayEmpty)
{
    BoundedArray<Tracked> a; // #0
    Tracked::throwAt = 3;    // the third item of the block
    EXPECT_FALSE(a.SetSize(4));
    EXPECT_EQ(a.count, 0u);
    EXPECT_EQ(a.items, nullptr);
    // The two items already made were destroyed again.
    EXPECT_EQ(events, (std::vector<std::string>{"+0", "+1", "+2", "-2", "-1"}));
    Tracked::throwAt = -1;
    EXPECT_TRUE(a.SetSize(2));
}

TEST(WideString, AssignStringKeepsTerminator)
{
    struct Case {
        const char16_t* text;
        uint32_t count;
    };
    const Case cases[] = {
        {u"", 1},
        {u"hd01.WAV", 9},
        {u"\u0416x", 3},
    };
    for (const Case& c : cases) {
        WideString s;
        AssignString(s, c.text);
        ASSERT_EQ(s.count, c.count);
        EXPECT_EQ(s.At(c.count - 1), 0);
        for (uint32_t i = 0; i + 1 < c.count; ++i)
            EXPECT_EQ(s.At(i), c.text[i]);
        EXPECT_EQ(TextLength(s), c.count - 1);
    }
}

TEST(WideString, AssignReplacesAndCopyCarriesTerminator)
{
    WideString a;
    AssignString(a, u"long text");
    AssignString(a, u"ab");
    EXPECT_EQ(a.count, 3u);

    WideString b;
    CopyWideString(b, a);
    ASSERT_EQ(b.count, 3u);
    EXPECT_EQ(b.At(0), u'a');
    EXPECT_EQ(b.At(1), u'b');
    EXPECT_EQ(b.At(2), 0);

    WideString empty, target;
    AssignString(target, u"x");
    CopyWideString(target, empty);
    EXPECT_EQ(target.count, 0u);
}

} // namespace
