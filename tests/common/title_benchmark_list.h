#pragma once

#include <string>
#include <vector>

#include "tests/common/title_list.h"

namespace instdll::testing {

inline constexpr char kBenchmarkTitle[] = "Accounts";
inline constexpr int kBenchmarkValues = 1000;
inline constexpr int kBenchmarkTakenForms = 50;

// 1,000 values of which 50 hold the title and its numbered forms #1 to #49, spread over the
// key in descending order, so that every match comes late in its pass.
inline std::vector<TitleValue> BenchmarkTitleList() {
    std::vector<TitleValue> values;
    const int spacing = kBenchmarkValues / kBenchmarkTakenForms;
    for (int i = 0; i < kBenchmarkValues; ++i) {
        const int form = kBenchmarkTakenForms - 1 - i / spacing;
        const bool taken = i % spacing == spacing - 1;
        const std::string title =
            std::string(kBenchmarkTitle) + (form == 0 ? "" : " #" + std::to_string(form));
        values.push_back({"value" + std::to_string(i), kRegSz,
                          Sz(taken ? title : "Other title " + std::to_string(i))});
    }
    return values;
}

}  // namespace instdll::testing
