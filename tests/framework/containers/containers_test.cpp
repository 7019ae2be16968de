#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "framework/containers/list.h"
#include "framework/containers/nstring.h"
#include "framework/containers/pointer.h"
#include "framework/containers/set.h"
#include "framework/error/error.h"
#include "support/test_support.h"

namespace {

using IntSet = hoard::set::basic<int>;
using IntNode = IntSet::node_type;
using String = NVireo::NString::BBasic<char>;

// Checks parent links and the colour rules below at; returns the black height, and
// leaves a description of the first broken rule in fault.
int BlackHeight(const IntNode* at, const IntNode* parent, std::string& fault) {
    if (!at) return 1;
    if (at->parent != parent && fault.empty()) fault = "parent link";
    if (!at->black && parent && !parent->black && fault.empty()) fault = "red node with red child";
    const int left = BlackHeight(at->left, at, fault);
    const int right = BlackHeight(at->right, at, fault);
    if (left != right && fault.empty()) fault = "unequal black height";
    return left + (at->black ? 1 : 0);
}

void CollectInOrder(const IntNode* at, std::vector<int>& values) {
    if (!at) return;
    CollectInOrder(at->left, values);
    values.push_back(at->value);
    CollectInOrder(at->right, values);
}

// Compares the set with the model and checks every red-black rule; empty when all hold.
std::string Verify(const IntSet& set, const std::set<int>& model) {
    if (set.count != static_cast<int32_t>(model.size())) return "count";
    if (set.root && !set.root->black) return "red root";
    std::string fault;
    BlackHeight(set.root, nullptr, fault);
    if (!fault.empty()) return fault;
    const std::vector<int> expected(model.begin(), model.end());
    std::vector<int> structural;
    CollectInOrder(set.root, structural);
    if (structural != expected) return "tree order";  // also proves the search order
    std::vector<int> walked;
    for (int value : set) walked.push_back(value);
    if (walked != expected) return "in-order walk";
    if (model.empty()) return set.root || set.leftmost || set.rightmost ? "empty header" : "";
    if (set.leftmost != set.Find(*model.begin())) return "leftmost";
    if (set.rightmost != set.Find(*model.rbegin())) return "rightmost";
    return {};
}

TEST(OrderedSet, MatchesStdSetThroughRandomInsertsAndErases) {
    // A small range makes duplicates and misses frequent; a larger one grows deep trees.
    for (const int range : {24, 1500}) {
        std::mt19937 random(20240611u + range);
        std::uniform_int_distribution<int> pickValue(0, range - 1);
        std::bernoulli_distribution insert(0.6);
        IntSet set;
        std::set<int> model;
        for (int step = 0; step < 20000; ++step) {
            const int value = pickValue(random);
            if (insert(random)) {
                const bool added = model.insert(value).second;
                ASSERT_EQ(set.Insert(value) != nullptr, added) << "insert at step " << step;
            } else {
                ASSERT_EQ(set.Erase(value), model.erase(value) == 1) << "erase at step " << step;
            }
            ASSERT_EQ(set.Find(value) != nullptr, model.count(value) == 1) << "step " << step;
            ASSERT_EQ(Verify(set, model), "") << "range " << range << ", step " << step;
        }
        set.Clear();
        model.clear();
        ASSERT_EQ(Verify(set, model), "");
    }
}

TEST(OrderedSet, DuplicatesEdgesAndEmptySet) {
    hoard::set::basic<const int*> pointers;
    const int target = 0;
    EXPECT_NE(pointers.Insert(&target), nullptr);
    EXPECT_EQ(pointers.Insert(&target), nullptr);
    EXPECT_EQ(pointers.count, 1);

    IntSet set;
    EXPECT_FALSE(set.Erase(1));
    EXPECT_EQ(set.count, 0);
    for (int value : {5, 3, 8, 1, 4}) set.Insert(value);
    EXPECT_TRUE(set.Erase(1));
    EXPECT_EQ(set.leftmost->value, 3);
    EXPECT_EQ(set.count, 4);
    EXPECT_EQ(IntSet::Next(set.rightmost), nullptr);
}

TEST(OrderedSet, ANodeWithTwoChildrenStaysAndTakesThePredecessorValue) {
    IntSet set;
    for (int value : {20, 10, 30}) set.Insert(value);
    IntNode* top = set.root;
    EXPECT_TRUE(set.Erase(20));
    EXPECT_EQ(set.root, top);
    EXPECT_EQ(top->value, 10);
    EXPECT_EQ(set.leftmost, top);
}

struct Counted {
    static inline int alive = 0;
    static inline int deleted = 0;
    int value = 0;
    Counted() { ++alive; }
    virtual ~Counted() {
        --alive;
        ++deleted;
    }
};

struct DerivedCounted : Counted {
    static inline int derivedDeleted = 0;
    ~DerivedCounted() override { ++derivedDeleted; }
};

TEST(List, PoppingTheOnlyElementEmptiesTheList) {
    hoard::list::basic<int> list;
    list.AppendNew() = 4;
    list.PopFront();
    EXPECT_EQ(list.first, nullptr);
    EXPECT_EQ(list.last, nullptr);
    EXPECT_EQ(list.count, 0);
    list.PopFront();  // popping an empty list does nothing
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.AppendNew(), 0);  // elements start value-initialised
}

TEST(List, KeepsOrderAndOwnsItsElements) {
    Counted::alive = 0;
    {
        hoard::list::basic<Counted> list;
        for (int value : {1, 2, 3}) list.AppendNew().value = value;
        list.PopFront();
        EXPECT_EQ(list.first->previous, nullptr);
        EXPECT_EQ(list.count, 2);
        std::vector<int> seen;
        for (const Counted& element : list) seen.push_back(element.value);
        EXPECT_EQ(seen, (std::vector<int>{2, 3}));
        EXPECT_EQ(list.last->previous, list.first);
        EXPECT_EQ(Counted::alive, 2);
    }
    EXPECT_EQ(Counted::alive, 0);
}

TEST(OwningPointer, DeletesThroughTheVirtualDestructor) {
    Counted::deleted = 0;
    DerivedCounted::derivedDeleted = 0;
    {
        hoard::ptr::auton<Counted> owner(new DerivedCounted);
        owner.Reset(owner.Get());  // handing back the same pointee keeps it
        EXPECT_EQ(Counted::deleted, 0);
        owner.Reset(new DerivedCounted);
        EXPECT_EQ(DerivedCounted::derivedDeleted, 1);
    }
    EXPECT_EQ(DerivedCounted::derivedDeleted, 2);
    EXPECT_EQ(Counted::deleted, 2);
}

TEST(FrameworkString, FormatKeepsTheFirst1024Characters) {
    std::string longArgument;
    for (int i = 0; i < 2000; ++i) longArgument += char('a' + i % 26);
    String s;
    s.Format("%s", longArgument.c_str());
    EXPECT_EQ(s.Length(), 1024u);
    EXPECT_EQ(s.capacity, 1025u);
    EXPECT_EQ(std::string(s.text), longArgument.substr(0, 1024));

    s.Format("<%.3s>", s.text);  // the argument points into the text being replaced
    EXPECT_STREQ(s.text, "<abc>");
    s.AppendFormat("%d-%s", 42, longArgument.c_str());
    EXPECT_EQ(s.Length(), 5u + 1024u);
    EXPECT_EQ(std::string(s.text, 8), "<abc>42-");
}

TEST(FrameworkString, AppendGrowsToExactlyTheNeededSize) {
    String s;
    EXPECT_STREQ(s.c_str(), "");
    s.Append("hello", 5);
    EXPECT_EQ(s.capacity, 6u);
    s.AppendChar('!');
    EXPECT_EQ(s.capacity, 7u);
    s.Append(s.text, 6);  // appending the string to itself
    EXPECT_STREQ(s.text, "hello!hello!");
    EXPECT_EQ(s.capacity, 13u);

    s.Erase(0, 8);  // room to spare: appending in place keeps the storage
    const char* storage = s.text;
    s.Append("abcdef", 3);
    EXPECT_EQ(s.text, storage);
    EXPECT_STREQ(s.text, "llo!abc");

    s.Concat3("1", nullptr, "23");
    EXPECT_STREQ(s.text, "llo!abc123");
    String never;
    never.Concat3(nullptr, nullptr, nullptr);
    EXPECT_EQ(never.text, nullptr);
}

TEST(FrameworkString, AssignPrependAndCopies) {
    String s;
    s.Assign("abcdef", 3);
    EXPECT_STREQ(s.text, "abc");
    EXPECT_EQ(s.capacity, 4u);
    s.Prepend(">>");
    EXPECT_STREQ(s.text, ">>abc");
    String empty;
    empty.Prepend("x");
    EXPECT_STREQ(empty.text, "x");

    String copy(s);
    copy.AppendChar('d');
    EXPECT_STREQ(s.text, ">>abc");
    s.Assign(nullptr, 5);
    EXPECT_EQ(s.text, nullptr);
    EXPECT_EQ(s.capacity, 0u);
}

TEST(FrameworkString, EraseEdges) {
    String s("0123456789");
    s.Erase(10, 0);
    s.Erase(10, -1);
    EXPECT_STREQ(s.text, "0123456789");
    s.Erase(7, -1);
    EXPECT_STREQ(s.text, "0123456");
    s.Erase(0, 2);
    s.Erase(4, 1);
    EXPECT_STREQ(s.text, "2345");
    String never;
    never.Erase(0, -1);
    EXPECT_EQ(never.text, nullptr);

    {
        RaisePolicy guard(1);
        EXPECT_THROW(s.Erase(3, 2), NVireo::NError::CObject);
    }
    for (auto [position, count] : {std::pair{5, 0}, {-1, 1}, {0, 5}, {2, -2}, {6, -1}}) {
        RaisePolicy guard(2);  // the report returns: the string must be left as it was
        s.Erase(position, count);
        EXPECT_NE(NVireo::NError::ErrorText(), "") << position << ", " << count;
        EXPECT_STREQ(s.text, "2345");
    }
}

TEST(FrameworkString, EqualsComparesBytesAndNullOnlyEqualsNull) {
    String null;
    String empty("");
    EXPECT_TRUE(null.Equals(nullptr));
    EXPECT_FALSE(null.Equals(""));
    EXPECT_FALSE(empty.Equals(nullptr));
    EXPECT_FALSE(empty.Equals(null));
    EXPECT_TRUE(empty.Equals(""));
    String text("ab\x82\xa0");
    EXPECT_TRUE(text.Equals("ab\x82\xa0"));
    EXPECT_FALSE(text.Equals("ab\x82"));
    EXPECT_FALSE(text.Equals("ab\x82\xa0!"));
}

}  // namespace
