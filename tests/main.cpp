#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Offscreen GL keeps worker threads, which a forked child cannot take
    // down at exit: death tests start a fresh process instead.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
