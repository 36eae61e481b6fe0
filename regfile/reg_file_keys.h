#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "regfile/reg_file_sink.h"
#include "regfile/reg_file_writer.h"

namespace instdll {

// What a version 5.00 file sets, key by key in the form the writer takes; a deletion line is
// only noted, since a written file never holds one.
class RegFileKeys final : public RegFileSink {
public:
    void OpenKey(std::u16string_view path) override { keys_.push_back({std::u16string(path), {}}); }
    void DeleteKey(std::u16string_view) override { deletes_ = true; }
    void SetValue(std::u16string_view name, std::uint32_t type,
                  const std::vector<std::uint8_t>& data, TextEncoding) override {
        keys_.back().values.push_back({std::u16string(name), type, data});
    }
    void DeleteValue(std::u16string_view) override { deletes_ = true; }

    const std::vector<RegFileKey>& keys() const { return keys_; }
    bool deletes() const { return deletes_; }

private:
    std::vector<RegFileKey> keys_;
    bool deletes_ = false;
};

}  // namespace instdll
