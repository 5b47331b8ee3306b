#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <list>
#include <random>
#include <vector>

#include "lists/lists.h"

namespace {

struct Item {
    Node node;
    int id;
};

Node* N(Item& it) { return &it.node; }

// Every structural promise of a list holding exactly `model`, in order.
void expect_holds(ListHeader* l, const std::list<Item*>& model)
{
    ASSERT_EQ(l->tail, nullptr);
    Node* hs = HeadSentinel(l);
    Node* ts = TailSentinel(l);
    EXPECT_EQ(hs->prev, nullptr);
    EXPECT_EQ(ts->next, nullptr);

    // Forward by the walk idiom, checking each back link on the way.
    std::vector<Item*> seen;
    Node* before = hs;
    for (Node* n = l->head; n && n->next; n = n->next) {
        EXPECT_EQ(n->prev, before);
        seen.push_back(reinterpret_cast<Item*>(n));
        before = n;
        ASSERT_LE(seen.size(), model.size()) << "walk does not end";
    }
    EXPECT_EQ(ts->prev, before);
    EXPECT_EQ(before->next, ts);
    EXPECT_EQ(seen, std::vector<Item*>(model.begin(), model.end()));

    // Backward by PrevNode from the tail sentinel, forward by NextNode.
    std::vector<Item*> back;
    for (Node* n = PrevNode(ts); n; n = PrevNode(n))
        back.push_back(reinterpret_cast<Item*>(n));
    EXPECT_EQ(back, std::vector<Item*>(model.rbegin(), model.rend()));
    std::vector<Item*> fwd;
    for (Node* n = NextNode(hs); n; n = NextNode(n))
        fwd.push_back(reinterpret_cast<Item*>(n));
    EXPECT_EQ(fwd, seen);

    if (model.empty()) {
        EXPECT_EQ(l->head, ts);
        EXPECT_EQ(l->prev, hs);
        EXPECT_EQ(FirstNode(l), nullptr);
    } else {
        EXPECT_EQ(FirstNode(l), N(*model.front()));
        EXPECT_EQ(PrevNode(N(*model.front())), nullptr);
        EXPECT_EQ(NextNode(N(*model.back())), nullptr);
    }
}

}  // namespace

TEST(Lists, EmptyAfterInit)
{
    ListHeader l;
    InitListHeader(&l);
    EXPECT_EQ(NextNode(HeadSentinel(&l)), nullptr);
    EXPECT_EQ(PrevNode(TailSentinel(&l)), nullptr);
    expect_holds(&l, {});
    InitListHeader(nullptr);  // ignored
}

TEST(Lists, EndsAreReachedThroughTheSentinels)
{
    ListHeader l;
    InitListHeader(&l);
    Item a{{}, 1}, b{{}, 2}, c{{}, 3}, d{{}, 4};
    AddTailNode(&l, N(a));
    EXPECT_EQ(l.head, N(a));
    EXPECT_EQ(l.prev, N(a));
    EXPECT_EQ(a.node.next, TailSentinel(&l));
    EXPECT_EQ(a.node.prev, HeadSentinel(&l));

    InsertNodeBefore(N(b), N(a));          // before the first: new head
    EXPECT_EQ(l.head, N(b));
    InsertNodeAfter(N(c), N(a));           // after the last: new tail
    EXPECT_EQ(l.prev, N(c));
    InsertNodeAfter(N(d), HeadSentinel(&l));
    expect_holds(&l, {&d, &b, &a, &c});

    // NodeExists answers the successor link, the tail sentinel for the last.
    EXPECT_EQ(NodeExists(N(c), &l), TailSentinel(&l));
    EXPECT_EQ(NodeExists(N(d), &l), N(b));
    ListHeader other;
    InitListHeader(&other);
    Item e{{}, 5};
    AddTailNode(&other, N(e));
    EXPECT_EQ(NodeExists(N(e), &l), nullptr);
    EXPECT_EQ(NodeExists(N(a), &other), nullptr);
}

TEST(Lists, RemovingFromEitherEnd)
{
    ListHeader l;
    InitListHeader(&l);
    EXPECT_EQ(RemoveHeadNode(&l), nullptr);
    EXPECT_EQ(RemoveTailNode(&l), nullptr);
    expect_holds(&l, {});

    Item a{{}, 1}, b{{}, 2};
    AddTailNode(&l, N(a));
    EXPECT_EQ(RemoveHeadNode(&l), nullptr);
    expect_holds(&l, {});
    AddTailNode(&l, N(a));
    RemoveNode(N(a));
    expect_holds(&l, {});

    AddTailNode(&l, N(a));
    AddTailNode(&l, N(b));
    EXPECT_EQ(RemoveHeadNode(&l), N(b));
    expect_holds(&l, {&b});
    AddHeadNode(&l, N(a));
    EXPECT_EQ(RemoveTailNode(&l), N(a));
    expect_holds(&l, {&a});
    EXPECT_EQ(RemoveTailNode(&l), nullptr);
    expect_holds(&l, {});
}

TEST(Lists, HeapHeaderIsReleasedOnlyWhenEmpty)
{
    ListHeader* l = CreateListHeader();
    ASSERT_NE(l, nullptr);
    expect_holds(l, {});
    Item a{{}, 1};
    AddTailNode(l, N(a));
    EXPECT_EQ(DestroyListHeader(l), l);   // still holds a node: kept
    RemoveNode(N(a));
    EXPECT_EQ(DestroyListHeader(l), nullptr);
    EXPECT_EQ(DestroyListHeader(nullptr), nullptr);
}

// A long random mix of every operation, checked against std::list after
// each step.
TEST(Lists, RandomOperationsMatchAModel)
{
    std::mt19937 rng(20261206);
    std::vector<Item> pool(24);
    for (size_t i = 0; i < pool.size(); ++i)
        pool[i].id = int(i);
    ListHeader l;
    InitListHeader(&l);
    std::list<Item*> model;
    std::vector<Item*> outside;
    for (auto& it : pool)
        outside.push_back(&it);

    auto pick = [&](size_t n) { return size_t(rng() % n); };
    auto member_at = [&](size_t k) { auto p = model.begin(); std::advance(p, k); return p; };

    for (int step = 0; step < 3000; ++step) {
        int op = int(rng() % 8);
        if (op <= 3 && !outside.empty()) {
            size_t k = pick(outside.size());
            Item* it = outside[k];
            outside.erase(outside.begin() + long(k));
            size_t at = pick(model.size() + 1);  // model.size(): a sentinel
            if (op == 0) {
                AddHeadNode(&l, N(*it));
                model.push_front(it);
            } else if (op == 1) {
                AddTailNode(&l, N(*it));
                model.push_back(it);
            } else if (op == 2) {
                Node* after = at == model.size() ? HeadSentinel(&l) : N(**member_at(at));
                InsertNodeAfter(N(*it), after);
                model.insert(at == model.size() ? model.begin() : std::next(member_at(at)), it);
            } else {
                Node* before = at == model.size() ? TailSentinel(&l) : N(**member_at(at));
                InsertNodeBefore(N(*it), before);
                model.insert(at == model.size() ? model.end() : member_at(at), it);
            }
        } else if (op == 4 && !model.empty()) {
            auto p = member_at(pick(model.size()));
            RemoveNode(N(**p));
            outside.push_back(*p);
            model.erase(p);
        } else if (op == 5) {
            Node* got = RemoveHeadNode(&l);
            if (!model.empty()) {
                outside.push_back(model.front());
                model.pop_front();
            }
            EXPECT_EQ(got, model.empty() ? nullptr : N(*model.front()));
        } else if (op == 6) {
            Node* got = RemoveTailNode(&l);
            if (!model.empty()) {
                outside.push_back(model.back());
                model.pop_back();
            }
            EXPECT_EQ(got, model.empty() ? nullptr : N(*model.back()));
        } else {
            for (Item* it : model)
                EXPECT_NE(NodeExists(N(*it), &l), nullptr);
            for (Item* it : outside)
                EXPECT_EQ(NodeExists(N(*it), &l), nullptr);
        }
        expect_holds(&l, model);
        if (HasFailure()) {
            ADD_FAILURE() << "after step " << step << " (operation " << op << ")";
            return;
        }
    }
}
