#include <windows.h>

#include <cstdio>

#include "gtest/gtest.h"

// The harness runs only where windows can open: a missing display is a failure, never a skip.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GetSystemMetrics(SM_CXSCREEN) <= 0) {
        std::fprintf(stderr, "no display: the Wine tests need an X server (DISPLAY)\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
