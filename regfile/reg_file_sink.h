#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace instdll {

// How the bytes of a text-typed value (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) arrive.
enum class TextEncoding { Utf16, Ansi };

// What the lines of a registry export say, in their order.
class RegFileSink {
public:
    virtual void OpenKey(std::u16string_view path) = 0;
    virtual void DeleteKey(std::u16string_view path) = 0;
    virtual void SetValue(std::u16string_view name, std::uint32_t type,
                          const std::vector<std::uint8_t>& data, TextEncoding encoding) = 0;
    virtual void DeleteValue(std::u16string_view name) = 0;

protected:
    RegFileSink() = default;
    RegFileSink(const RegFileSink&) = default;
    RegFileSink& operator=(const RegFileSink&) = default;
    ~RegFileSink() = default;
};

}  // namespace instdll
