// The skinned-controls library as far as it goes today: the skin-manager link
// and the slider groups.
#include "patinctl/patinctl.h"

#include <gtest/gtest.h>

namespace {

HWND MakeWindow() {
    return CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

TEST(MdPatinctl, QueryInterfaceIsHandedOver) {
    EXPECT_EQ(PtGetSWQueryInterface(), nullptr);
    EXPECT_FALSE(SetSWQueryInterface(nullptr));
    ISWQueryInterface* query = nullptr;
    ASSERT_EQ(GetSWQueryInterface(&query), S_OK);
    EXPECT_TRUE(SetSWQueryInterface(query));
    EXPECT_EQ(PtGetSWQueryInterface(), query);
}

TEST(MdPatinctl, GroupsHoldEachControlOnce) {
    int g1 = GetUniqueGroupID(), g2 = GetUniqueGroupID();
    EXPECT_NE(g1, 0);
    EXPECT_NE(g1, g2);
    HWND a = MakeWindow(), b = MakeWindow();
    EXPECT_TRUE(AddToGroup(g1, a));
    EXPECT_TRUE(AddToGroup(g1, b));
    EXPECT_TRUE(AddToGroup(g1, a));  // again: moved to the end, not doubled
    HWND members[4] = {};
    ASSERT_EQ(GetGroupMembers(g1, members, 4), 2);
    EXPECT_EQ(members[0], b);
    EXPECT_EQ(members[1], a);
    EXPECT_TRUE(AddToGroup(g2, b));  // moves b
    EXPECT_EQ(GetGroupMembers(g1, nullptr, 0), 1);
    EXPECT_EQ(GetGroupMembers(g2, members, 1), 1);
    EXPECT_FALSE(AddToGroup(0, a));
    EXPECT_FALSE(AddToGroup(g1, nullptr));
    EXPECT_TRUE(RemoveGroup(g1));
    EXPECT_FALSE(RemoveGroup(g1));
    EXPECT_EQ(GetGroupMembers(g1, members, 4), 0);
    DestroyWindow(a);
    DestroyWindow(b);
}

}  // namespace
