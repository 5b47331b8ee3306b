#include <gtest/gtest.h>

#include "lists/lists.h"

TEST(Lists, EmptyAfterInit)
{
    ListHeader l;
    InitListHeader(&l);
    EXPECT_EQ(NextNode(HeadSentinel(&l)), nullptr);
    EXPECT_EQ(PrevNode(TailSentinel(&l)), nullptr);
}
