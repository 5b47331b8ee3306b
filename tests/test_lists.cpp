// The list against std::list: a long random mix of every operation, with the
// links, both sentinels and both directions of walking checked after each.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <list>
#include <random>
#include <vector>

#include "lists/lists.h"

TEST(Lists, RandomOperationsMatchAModel)
{
    std::mt19937 rng(20261206);
    std::vector<Node> pool(24);
    ListHeader* l = CreateListHeader();
    std::list<Node*> model;
    std::vector<Node*> out;
    for (Node& n : pool) out.push_back(&n);
    for (int step = 0; step < 3000 && !HasFailure(); ++step) {
        const unsigned op = rng() % 7, k = rng();
        auto at = std::next(model.begin(), static_cast<long>(k % (model.size() + 1)));  // end(): a sentinel
        Node* n = out.empty() ? nullptr : out[k % out.size()];
        if (op == 0 && n) AddHeadNode(l, n), model.push_front(n);
        if (op == 1 && n) AddTailNode(l, n), model.push_back(n);
        const bool sentinel = at == model.end();
        if (op == 2 && n) {
            InsertNodeAfter(n, sentinel ? HeadSentinel(l) : *at);
            model.insert(sentinel ? model.begin() : std::next(at), n);
        }
        if (op == 3 && n) InsertNodeBefore(n, sentinel ? TailSentinel(l) : *at), model.insert(at, n);
        if (op == 4 && at != model.end()) RemoveNode(*at), out.push_back(*at), model.erase(at);
        if (op >= 5) {  // the new end is answered, or null
            Node* got = op == 5 ? RemoveHeadNode(l) : RemoveTailNode(l);
            if (!model.empty()) {
                out.push_back(op == 5 ? model.front() : model.back());
                op == 5 ? model.pop_front() : model.pop_back();
            }
            EXPECT_EQ(got, model.empty() ? nullptr : op == 5 ? model.front() : model.back());
        }
        if (op <= 3 && n) out.erase(std::find(out.begin(), out.end(), n));
        // Forward by the walk idiom and NextNode, back by PrevNode; every
        // back link; NodeExists answers a member's successor, null for others.
        std::vector<Node*> walked, fwd, back;
        for (Node* p = l->head; p && p->next && walked.size() <= model.size(); p = p->next) walked.push_back(p);
        for (Node* p = FirstNode(l); p; p = NextNode(p)) fwd.push_back(p);
        for (Node* p = PrevNode(TailSentinel(l)); p; p = PrevNode(p)) back.insert(back.begin(), p);
        EXPECT_EQ(walked, std::vector<Node*>(model.begin(), model.end())) << "step " << step << ", operation " << op;
        EXPECT_TRUE(fwd == walked && back == walked && l->tail == nullptr && HeadSentinel(l)->prev == nullptr);
        for (size_t i = 0; i < walked.size(); ++i) {
            EXPECT_EQ(walked[i]->prev, i ? walked[i - 1] : HeadSentinel(l));
            EXPECT_EQ(NodeExists(walked[i], l), i + 1 < walked.size() ? walked[i + 1] : TailSentinel(l));
        }
        EXPECT_EQ(l->prev, walked.empty() ? HeadSentinel(l) : walked.back());
        for (Node* o : out) EXPECT_EQ(NodeExists(o, l), nullptr);
        EXPECT_TRUE(model.empty() || DestroyListHeader(l) == l);  // kept while it holds nodes
    }
    while (RemoveHeadNode(l)) {}
    EXPECT_EQ(DestroyListHeader(l), nullptr);
}
