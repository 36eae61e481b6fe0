#pragma once

#include <cstdlib>

namespace instdll::fuzzing {

// The code pages the text-reading targets try, chosen by an input's first byte.
inline constexpr unsigned kCodePages[] = {1251, 1252, 932};

// A failed property is a crash, which libFuzzer keeps as an artifact.
inline void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace instdll::fuzzing
