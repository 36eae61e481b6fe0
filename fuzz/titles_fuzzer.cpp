// Random title lists on the in-memory registry: the title scan must end, read no byte of the
// enumeration buffer beyond those delivered, and store the first free form of the title.
#include <fuzzer/FuzzedDataProvider.h>
#include <sanitizer/asan_interface.h>

#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "registry/memory_registry.h"
#include "tests/common/title_list.h"
#include "utilities/titles.h"

namespace instdll {
namespace {

using testing::ReadTitles;
using testing::SeedTitles;
using testing::TitleValue;

// Poisons the part of every enumeration data buffer that the registry did not fill, so that
// AddressSanitizer stops the run at any read of it.
class PoisoningRegistry final : public RegistryAccess {
public:
    explicit PoisoningRegistry(MemoryRegistry& inner) : inner_(inner) {}

    long RegEnumValueA(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                       std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) override {
        const std::uint32_t capacity = data != nullptr && dataSize != nullptr ? *dataSize : 0;
        ASAN_UNPOISON_MEMORY_REGION(data, capacity);
        const long result = inner_.RegEnumValueA(key, index, name, nameSize, type, data, dataSize);
        if (result == kErrorSuccess && capacity > 0 && *dataSize < capacity) {
            ASAN_POISON_MEMORY_REGION(data + *dataSize, capacity - *dataSize);
        }
        return result;
    }
    long RegOpenKeyExA(RegHandle k, const char* s, std::uint32_t o, std::uint32_t a,
                       RegHandle* r) override {
        return inner_.RegOpenKeyExA(k, s, o, a, r);
    }
    long RegCreateKeyExA(RegHandle k, const char* s, const char* c, std::uint32_t o,
                         std::uint32_t a, RegHandle* r, std::uint32_t* d) override {
        return inner_.RegCreateKeyExA(k, s, c, o, a, r, d);
    }
    long RegCreateKeyA(RegHandle k, const char* s, RegHandle* r) override {
        return inner_.RegCreateKeyA(k, s, r);
    }
    long RegEnumKeyA(RegHandle k, std::uint32_t i, char* n, std::uint32_t s) override {
        return inner_.RegEnumKeyA(k, i, n, s);
    }
    long RegQueryValueExA(RegHandle k, const char* n, std::uint32_t* t, std::uint8_t* d,
                          std::uint32_t* s) override {
        return inner_.RegQueryValueExA(k, n, t, d, s);
    }
    long RegSetValueExA(RegHandle k, const char* n, std::uint32_t t, const std::uint8_t* d,
                        std::uint32_t s) override {
        return inner_.RegSetValueExA(k, n, t, d, s);
    }
    long RegDeleteKeyA(RegHandle k, const char* s) override { return inner_.RegDeleteKeyA(k, s); }
    long RegDeleteValueA(RegHandle k, const char* n) override {
        return inner_.RegDeleteValueA(k, n);
    }
    long RegCloseKey(RegHandle k) override { return inner_.RegCloseKey(k); }

private:
    MemoryRegistry& inner_;
};

// What a caller's zero-terminated argument holds.
std::string CText(const std::string& text) { return text.substr(0, text.find('\0')); }

std::string Form(const std::string& title, int counter) {
    return counter == 0 ? title : title + " #" + std::to_string(counter);
}

// What a value's data count as: the bytes up to the first zero, when the 256-byte buffers hold
// the value at all.
std::optional<std::string> ComparedText(const TitleValue& value) {
    if (value.name.size() > 255 || value.data.size() > 256) return std::nullopt;
    return value.data.substr(0, value.data.find('\0'));
}

TitleValue RandomValue(FuzzedDataProvider& input, const std::string& title) {
    TitleValue value;
    value.name = input.ConsumeBool()
                     ? std::string(input.ConsumeIntegralInRange<std::size_t>(250, 300), 'N')
                     : input.ConsumeRandomLengthString(6);
    value.type = input.ConsumeIntegralInRange<std::uint32_t>(0, 4);
    switch (input.ConsumeIntegralInRange(0, 3)) {
        case 0:  // a form of the title, maybe without its zero, maybe with bytes after it
            value.data = Form(title, input.ConsumeIntegralInRange(0, 4));
            if (input.ConsumeBool()) value.data += '\0' + input.ConsumeRandomLengthString(8);
            break;
        case 1:  // a form of the title cut short
            value.data = Form(title, input.ConsumeIntegralInRange(0, 4));
            value.data.resize(input.ConsumeIntegralInRange<std::size_t>(0, value.data.size()));
            break;
        case 2:  // beyond the 256-byte buffer
            value.data = Form(title, 0) +
                         std::string(input.ConsumeIntegralInRange<std::size_t>(250, 300), '\0');
            break;
        default:
            value.data = input.ConsumeRandomLengthString(12);
    }
    return value;
}

}  // namespace
}  // namespace instdll

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace instdll;
    FuzzedDataProvider input(bytes, size);
    const std::string title =
        input.ConsumeBool() ? std::string(input.ConsumeIntegralInRange<std::size_t>(248, 257), 'T')
                            : CText(input.ConsumeRandomLengthString(6));
    const std::size_t count = input.ConsumeIntegralInRange<std::size_t>(0, 12);
    std::vector<TitleValue> values;
    for (std::size_t i = 0; i < count; ++i) values.push_back(RandomValue(input, title));
    const std::string valueName =
        input.ConsumeBool() ? "new" : CText(input.ConsumeRandomLengthString(6));
    const bool failing = input.ConsumeBool() && input.ConsumeBool();
    const long errors[] = {kErrorAccessDenied, kErrorMoreData, kErrorKeyDeleted};
    const long error = errors[input.ConsumeIntegralInRange(0, 2)];
    const unsigned successesFirst = input.ConsumeIntegralInRange(0u, 40u);

    MemoryRegistry memory;
    SeedTitles(memory, values);
    const std::vector<TitleValue> before = *ReadTitles(memory);
    RegistryKey probe = OpenKey(memory, kHkeyCurrentUser, kTitlesPath);
    const bool exists =
        memory.RegQueryValueExA(probe.get(), valueName.c_str(), nullptr, nullptr, nullptr) == 0;
    probe.reset();

    std::set<std::string> taken;
    std::size_t overlong = 0;
    for (const TitleValue& value : before) {
        if (const auto text = ComparedText(value))
            taken.insert(*text);
        else
            ++overlong;
    }
    int counter = 0;
    while (taken.count(Form(title, counter)) != 0) ++counter;
    const bool fits = Form(title, counter).size() <= 255;

    if (failing) memory.FailOperation(RegOperation::EnumValue, error, successesFirst);
    const std::size_t enumsBefore = memory.CallCount(RegOperation::EnumValue);
    PoisoningRegistry registry(memory);
    UnsharedState unshared;
    const long result = AddToTitles(registry, unshared, valueName.c_str(), title.c_str());
    const std::size_t enums = memory.CallCount(RegOperation::EnumValue) - enumsBefore;
    memory.ClearFailures();

    // Every match restarts a pass of at most n + 1 reads, plus one look at each over-long value;
    // an injected 234 may add a look at every index.
    const std::size_t n = before.size();
    const std::size_t bound = failing
                                  ? (n + 1) * 2 * (n + 1)
                                  : (static_cast<std::size_t>(counter) + 1) * (n + 1 + overlong);
    if (enums > bound || memory.OpenHandleCount() != 0) std::abort();

    std::vector<TitleValue> expected = before;
    const std::vector<TitleValue> after = *ReadTitles(memory);
    if (exists) {
        if (result != 0 || after != before) std::abort();
    } else if (!failing) {
        if (fits) expected.push_back({valueName, kRegSz, Form(title, counter) + '\0'});
        if (result != (fits ? 0 : kErrorInvalidParameter) || after != expected) std::abort();
    } else if (after.size() > before.size() + 1 ||
               !std::equal(before.begin(), before.end(), after.begin())) {
        std::abort();
    }
    return 0;
}
