#include "fw/array.h"
#include "fw/singleton.h"
#include "fw/strutil.h"
#include <gtest/gtest.h>

namespace {
struct Engine : CSingleton<Engine> {};
}

TEST(Singleton, NullBeforeConstructionAndAfterDestruction) {
    EXPECT_EQ(Engine::GetInstance(), nullptr);
    {
        Engine e;
        EXPECT_EQ(Engine::GetInstance(), &e);
    }
    EXPECT_EQ(Engine::GetInstance(), nullptr);
}

TEST(Array, AddRemove) {
    CArray<int> a;
    EXPECT_EQ(a.Add(5), 0);
    EXPECT_EQ(a.Add(6), 1);
    a.RemoveAt(0);
    ASSERT_EQ(a.GetSize(), 1);
    EXPECT_EQ(a[0], 6);
}
