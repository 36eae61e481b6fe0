#pragma once

#include <string_view>
#include <vector>

namespace instdll {

// The names along a key path. Empty names are dropped, so doubled, leading and trailing
// backslashes address the same key, as the registry's own calls take them.
template <typename Char>
std::vector<std::basic_string_view<Char>> SplitKeyPath(std::basic_string_view<Char> path) {
    std::vector<std::basic_string_view<Char>> parts;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= path.size(); ++at) {
        if (at == path.size() || path[at] == Char('\\')) {
            if (at > start) parts.push_back(path.substr(start, at - start));
            start = at + 1;
        }
    }
    return parts;
}

}  // namespace instdll
