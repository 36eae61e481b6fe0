#include "regfile/reg_file_writer.h"

#include <gtest/gtest.h>

#include <sstream>

#include "inspect/code_page_converter.h"
#include "regfile/reg_file_keys.h"
#include "regfile/reg_file_reader.h"
#include "registry/registry_access.h"
#include "tests/common/awkward_reg_keys.h"

namespace instdll {
namespace {

constexpr char16_t kZk[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk";

std::u16string Utf16(const std::string& bytes) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                      static_cast<std::uint8_t>(bytes[i + 1]) << 8);
    }
    return text;
}

std::vector<RegFileKey> ReadBack(const std::string& bytes) {
    const auto converter = inspect::MakeCodePageConverter(1252);
    RegFileKeys keys;
    std::istringstream in(bytes);
    const std::optional<ReadError> error = ReadRegFile(in, *converter, keys);
    EXPECT_FALSE(error) << error->line << ": " << error->expected;
    EXPECT_FALSE(keys.deletes());
    return keys.keys();
}

// A string whose control character would break its line goes as hex(1).
TEST(RegFileWriter, WritesVersion5InUtf16WithCrLf) {
    const RegFileValue text{u"Имя", kRegSz, testing::Utf16Data(std::u16string(u"a\nb\0", 4))};
    const auto bytes = RegFileBytes({{kZk, {text}}});
    ASSERT_TRUE(std::holds_alternative<std::string>(bytes));
    const std::string& file = std::get<std::string>(bytes);
    ASSERT_EQ(file.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(Utf16(file.substr(2)),
              u"Windows Registry Editor Version 5.00\r\n\r\n"
              u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk]\r\n"
              u"\"Имя\"=hex(1):61,00,0a,00,62,00,00,00\r\n\r\n");
}

TEST(RegFileWriter, AwkwardButRepresentableNamesReadBackExactly) {
    const std::vector<RegFileKey> keys = testing::AwkwardKeys(kZk);
    const auto bytes = RegFileBytes(keys);
    ASSERT_TRUE(std::holds_alternative<std::string>(bytes));
    EXPECT_EQ(ReadBack(std::get<std::string>(bytes)), keys);
}

// What no .reg line carries the same for every importer refuses the whole file, naming it.
TEST(RegFileWriter, RefusesWhatAnImporterWouldReadOtherwise) {
    const RegFileValue plain{u"v", kRegSz, testing::Utf16Data(std::u16string(u"x\0", 2))};
    const struct {
        const char* what;
        RegFileKey key;
        std::optional<std::u16string> valueName;
        const char* reason;
    } cases[] = {
        {"line feed in a key",
         {u"HKEY_LOCAL_MACHINE\\Zk\n[HKEY_LOCAL_MACHINE\\Run]", {plain}},
         std::nullopt,
         "U+000A"},
        {"carriage return in a key", {u"HKEY_LOCAL_MACHINE\\Zk\rX", {}}, std::nullopt, "U+000D"},
        {"zero in a key",
         {std::u16string(u"HKEY_LOCAL_MACHINE\\Zk\0X", 23), {}},
         std::nullopt,
         "U+0000"},
        {"escape in a key", {u"HKEY_LOCAL_MACHINE\\Zk\x1B[2J", {}}, std::nullopt, "U+001B"},
        {"bracket in a key", {u"HKEY_LOCAL_MACHINE\\Zk]\\X", {}}, std::nullopt, "\"]\""},
        {"trailing space", {u"HKEY_LOCAL_MACHINE\\Zk ", {}}, std::nullopt, "space at the end"},
        {"leading dash", {u"-HKEY_LOCAL_MACHINE\\Zk", {}}, std::nullopt, "deletion"},
        {"doubled backslash", {u"HKEY_LOCAL_MACHINE\\Zk\\\\X", {}}, std::nullopt, "empty"},
        {"trailing backslash", {u"HKEY_LOCAL_MACHINE\\Zk\\", {}}, std::nullopt, "empty"},
        {"line feed in a name",
         {kZk, {plain, {u"a\n[HKEY_LOCAL_MACHINE\\Run]", kRegSz, plain.data}}},
         u"a\n[HKEY_LOCAL_MACHINE\\Run]",
         "U+000A"},
        {"zero in a name",
         {kZk, {{std::u16string(u"a\0b", 3), kRegSz, plain.data}}},
         std::u16string(u"a\0b", 3),
         "U+0000"},
        {"odd text", {kZk, {{u"odd", kRegSz, {0x41, 0}}}}, u"odd", "zero character"},
        {"text without its zero",
         {kZk, {{u"t", kRegExpandSz, testing::Utf16Data(u"abc")}}},
         u"t",
         "zero character"},
        {"empty text", {kZk, {{u"e", kRegMultiSz, {}}}}, u"e", "zero character"},
        {"delete in a name", {kZk, {{u"a\x7F", kRegSz, plain.data}}}, u"a\x7F", "U+007F"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto bytes = RegFileBytes({{kZk, {plain}}, c.key});
        ASSERT_TRUE(std::holds_alternative<Unwritable>(bytes));
        const Unwritable& unwritable = std::get<Unwritable>(bytes);
        EXPECT_EQ(unwritable.path, c.key.path);
        EXPECT_EQ(unwritable.valueName, c.valueName);
        EXPECT_NE(unwritable.reason.find(c.reason), std::string::npos) << unwritable.reason;
    }
}

}  // namespace
}  // namespace instdll
