#include "regfile/reg_file_reader.h"
#include "inspect/registry_import.h"

#include <gtest/gtest.h>

#include <sstream>

#include "inspect/unicode_text.h"
#include "tests/common/registry_listing.h"
#include "text/host_code_page.h"

namespace instdll::inspect {
namespace {

enum class Encoding { Utf16Crlf, Utf8Lf, Utf8BomCrlf, AnsiCrlf, AnsiVersion4 };

constexpr char kVersion5[] = "Windows Registry Editor Version 5.00";
constexpr char kVersion4[] = "REGEDIT4";

// The file's bytes: `utf8Lines` (LF-separated) with the header, in the given encoding.
std::string FileBytes(const char* header, const std::string& utf8Lines, Encoding encoding,
                      const CodePageConverter& converter) {
    const bool crlf = encoding != Encoding::Utf8Lf;
    std::string text = std::string(header) + "\n" + utf8Lines;
    std::string lines;
    for (char c : text) lines += c == '\n' && crlf ? std::string("\r\n") : std::string(1, c);
    const std::u16string wide = Utf8ToUtf16(lines).value();
    switch (encoding) {
        case Encoding::Utf16Crlf: {
            std::string bytes = "\xFF\xFE";
            for (char16_t unit : wide) {
                bytes += static_cast<char>(unit & 0xFF);
                bytes += static_cast<char>(unit >> 8);
            }
            return bytes;
        }
        case Encoding::Utf8Lf:
            return lines;
        case Encoding::Utf8BomCrlf:
            return "\xEF\xBB\xBF" + lines;
        case Encoding::AnsiCrlf:
        case Encoding::AnsiVersion4:
            return converter.ToAnsi(wide).value();
    }
    return {};
}

struct Loaded {
    std::optional<ReadError> error;
    std::vector<std::string> listing;
    std::vector<Unrepresentable> unrepresentable;
};

Loaded Load(const std::string& bytes, unsigned codePage = 1251) {
    const auto converter = MakeCodePageConverter(codePage);
    MemoryRegistry registry;
    const HostCodePage ansi(codePage);
    RegistryImport import(registry, *converter, ansi);
    std::istringstream in(bytes);
    Loaded loaded;
    loaded.error = ReadRegFile(in, *converter, import);
    loaded.listing = testing::ListRegistry(registry);
    loaded.unrepresentable = import.unrepresentable();
    return loaded;
}

constexpr char kProduct[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Zkv7\\7.5";
const std::string kComponent = std::string("[") + kProduct + "\\Zk:Core]\n";
const std::vector<std::string> kComponentKeys = {"[HKLM]",
                                                 "[HKLM\\SOFTWARE]",
                                                 "[HKLM\\SOFTWARE\\Zk]",
                                                 "[HKLM\\SOFTWARE\\Zk\\Zkv7]",
                                                 "[HKLM\\SOFTWARE\\Zk\\Zkv7\\7.5]",
                                                 "[HKLM\\SOFTWARE\\Zk\\Zkv7\\7.5\\Zk:Core]"};

std::vector<std::string> ComponentWith(std::vector<std::string> lines) {
    std::vector<std::string> listing = kComponentKeys;
    listing.insert(listing.end(), lines.begin(), lines.end());
    listing.push_back("[HKCU]");
    return listing;
}

// One row: the same registry written as a version 5.00 body and as a REGEDIT4 body (empty when
// the row does not apply to that version), and the listing both must give.
struct FormatCase {
    const char* what;
    std::string version5;
    std::string version4;
    std::vector<std::string> listing;
};

std::vector<FormatCase> FormatCases() {
    return {
        {"strings with escapes, the default value, a dword",
         kComponent + "\"ZkPath\"=\"C:\\\\Zk "
                      "\\\"Suite\\\"\\\\core.exe\"\n@=\"\"\n\"RegMethod\"=dword:0000002a\n",
         kComponent + "\"ZkPath\"=\"C:\\\\Zk "
                      "\\\"Suite\\\"\\\\core.exe\"\n@=\"\"\n\"RegMethod\"=dword:0000002a\n",
         ComponentWith({"\"RegMethod\"=4:*\\x00\\x00\\x00",
                        "\"ZkPath\"=1:C:\\Zk \"Suite\"\\core.exe\\x00", "@=1:\\x00"})},
        {"text in the code page", kComponent + "\"ZkFolder\"=\"Ядро\"\n",
         kComponent + "\"ZkFolder\"=\"Ядро\"\n",
         ComponentWith({"\"ZkFolder\"=1:\\xDF\\xE4\\xF0\\xEE\\x00"})},
        {"binary types hex(0) to hex(b), empty data",
         kComponent + "\"n\"=hex(0):\n\"b\"=hex:01,ff\n\"be\"=hex(5):00,00,00,01\n\"q\"=hex(b):01,"
                      "0,0,0,0,0,0,0\n",
         kComponent + "\"n\"=hex(0):\n\"b\"=hex:01,ff\n\"be\"=hex(5):00,00,00,01\n\"q\"=hex(b):01,"
                      "0,0,0,0,0,0,0\n",
         ComponentWith({"\"b\"=3:\\x01\\xFF", "\"be\"=5:\\x00\\x00\\x00\\x01",
                        "\"n\"=0:", "\"q\"=11:\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00"})},
        {"text types in hex, each version's encoding, continued lines",
         kComponent + "\"e\"=hex(2):25,00,41,00,2f,04,00,00\n\"m\"=hex(7):61,00,00,00,\\\n  "
                      "62,00,00,\\\n\t00,00,00\n",
         kComponent + "\"e\"=hex(2):25,41,df,00\n\"m\"=hex(7):61,00,\\\n  62,00,00\n",
         ComponentWith({"\"e\"=2:%A\\xDF\\x00", "\"m\"=7:a\\x00b\\x00\\x00"})},
        {"deleted keys and values, comments, blank lines",
         kComponent + "; a comment\n\n\"a\"=\"1\"\n\"b\"=\"2\"\n\"a\"=-\n[" + kProduct +
             "\\Zk:Gone]\n\"x\"=\"y\"\n[-" + kProduct + "\\Zk:Gone]\n",
         kComponent + "; a comment\n\n\"a\"=\"1\"\n\"b\"=\"2\"\n\"a\"=-\n[" + kProduct +
             "\\Zk:Gone]\n\"x\"=\"y\"\n[-" + kProduct + "\\Zk:Gone]\n",
         ComponentWith({"\"b\"=1:2\\x00"})},
        {"roots: short spellings kept, others read and dropped, unread places dropped",
         "[HKLM\\SOFTWARE\\Zk\\Zkv7\\7.5\\Zk:Core]\n\"a\"=\"1\"\n[HKEY_CLASSES_ROOT\\Zk]\n\"c\"="
         "\"2\"\n"
         "[HKLM\\SOFTWARE\\Other]\n\"d\"=\"3\"\n[HKCU\\Software\\Zk\\Zkv7\\7.5\\Titles]\n\"t\"="
         "\"T\"\n",
         "",
         [] {
             std::vector<std::string> listing = kComponentKeys;
             for (const char* line :
                  {"\"a\"=1:1\\x00", "[HKCU]", "[HKCU\\Software]", "[HKCU\\Software\\Zk]",
                   "[HKCU\\Software\\Zk\\Zkv7]", "[HKCU\\Software\\Zk\\Zkv7\\7.5]",
                   "[HKCU\\Software\\Zk\\Zkv7\\7.5\\Titles]", "\"t\"=1:T\\x00"}) {
                 listing.push_back(line);
             }
             return listing;
         }()},
        {"uninstall list: names of others, values of the family's, one subkey below",
         "[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other]\n\"x\"=\"1\"\n"
         "[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zk:A\\B\\C]\n\"y\"="
         "\"2\"\n"
         "[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zk:A\\D]\n"
         "[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zk:A]\n\"z\"=\"3\"\n",
         "",
         {"[HKLM]", "[HKLM\\SOFTWARE]", "[HKLM\\SOFTWARE\\Microsoft]",
          "[HKLM\\SOFTWARE\\Microsoft\\Windows]",
          "[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]",
          "[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall]",
          "[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other]",
          "[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zk:A]", "\"z\"=1:3\\x00",
          "[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zk:A\\B]", "[HKCU]"}},
    };
}

TEST(RegFileReader, ReadsEveryFormInEveryEncoding) {
    const auto converter = MakeCodePageConverter(1251);
    for (const FormatCase& row : FormatCases()) {
        for (Encoding encoding :
             {Encoding::Utf16Crlf, Encoding::Utf8Lf, Encoding::Utf8BomCrlf, Encoding::AnsiCrlf}) {
            const bool version4 = encoding == Encoding::AnsiCrlf;
            const std::string& body = version4 ? row.version4 : row.version5;
            if (body.empty()) continue;
            const Loaded loaded =
                Load(FileBytes(version4 ? kVersion4 : kVersion5, body, encoding, *converter));
            SCOPED_TRACE(std::string(row.what) + ", encoding " +
                         std::to_string(static_cast<int>(encoding)));
            EXPECT_FALSE(loaded.error) << loaded.error->line << ": " << loaded.error->expected;
            EXPECT_EQ(loaded.listing, row.listing);
        }
    }
}

TEST(RegFileReader, StopsAtTheFirstMalformedLineWithWhatWasExpected) {
    struct ErrorCase {
        std::string body;
        std::size_t line;
        const char* expected;
    };
    const std::string key = "[HKLM\\SOFTWARE\\Zk\\Zkv7\\7.5\\Zk:A]\n";
    const ErrorCase cases[] = {
        {key + "\"a\"=str:x\n", 3,
         "a string, \"-\", \"dword:\", \"hex:\" or \"hex(N):\" after \"=\""},
        {key + "\"a\"=hex:01,0g\n", 3, "bytes of two hex digits separated by commas"},
        {key + "\"a\"=hex:01,,02\n", 3, "bytes of two hex digits separated by commas"},
        {key + "\"a\"=hex:100\n", 3, "bytes of two hex digits separated by commas"},
        {key + "\"a\"=hex(x):00\n", 3, "a type number in hex and \"):\" after \"hex(\""},
        {key + "\"a\"=dword:123456789\n", 3, "1 to 8 hex digits after \"dword:\""},
        {key + "\"a\"=\"abc\n", 3, "a closing quotation mark after the string"},
        {key + "\"a\"=\"abc\" x\n", 3, "the end of the line after the string"},
        {key + "\"a\"=\"a\\nb\"\n", 3, "\\\\ or \\\" after a backslash"},
        {key + "\"a\n", 3, "a closing quotation mark after the value name"},
        {key + "\"a\" \"b\"\n", 3, "\"=\" after the value name"},
        {"[HKLM\\SOFTWARE\n", 2, "\"]\" at the end of the key line"},
        {"[-]\n", 2, "a key path between \"[\" and \"]\""},
        {"\"a\"=\"b\"\n", 2, "a key line before the first value"},
        {key + "a=b\n", 3, "a key line, a value line or a comment"},
        {key + "\n\"a\"=hex:01,\\\n  02,\\\n  zz\n", 4,
         "bytes of two hex digits separated by commas"},
    };
    const auto converter = MakeCodePageConverter(1251);
    for (const ErrorCase& row : cases) {
        for (Encoding encoding : {Encoding::Utf16Crlf, Encoding::Utf8Lf}) {
            const Loaded loaded = Load(FileBytes(kVersion5, row.body, encoding, *converter));
            SCOPED_TRACE(row.body);
            ASSERT_TRUE(loaded.error);
            EXPECT_EQ(loaded.error->line, row.line);
            EXPECT_EQ(loaded.error->expected, row.expected);
        }
    }
}

// In code page 932 the second byte of a character may be a backslash or a quotation mark; only
// a reader that decodes before it parses keeps the name whole.
TEST(RegFileReader, ReadsDoubleByteTextWhoseTrailBytesLookLikeSyntax) {
    const auto converter = MakeCodePageConverter(932);
    const std::string body = kComponent + "\"ZkPath\"=\"C:\\\\表\\\\ソ.exe\"\n";
    const Loaded loaded = Load(FileBytes(kVersion4, body, Encoding::AnsiVersion4, *converter), 932);
    ASSERT_FALSE(loaded.error) << loaded.error->expected;
    EXPECT_EQ(loaded.listing, ComponentWith({"\"ZkPath\"=1:C:\\\\x95\\\\\\x83\\.exe\\x00"}));
}

TEST(RegFileReader, RefusesWhatIsNoExportAtAll) {
    const std::string longLine(kLongestLine + 1, 'a');
    const struct {
        std::string bytes;
        std::size_t line;
    } cases[] = {
        {"", 1},
        {"REGEDIT5\n", 1},
        {"\xFF\xFEW\0", 1},
        {std::string("REGEDIT4\n\xFF\n"), 2},
        {"REGEDIT4\n" + longLine, 2},
    };
    for (const auto& row : cases) {
        const Loaded loaded = Load(row.bytes, 932);
        ASSERT_TRUE(loaded.error) << row.line;
        EXPECT_EQ(loaded.error->line, row.line);
    }
}

TEST(RegFileReader, ReportsNamesAndTextTheCodePageCannotHoldAndKeepsThemOut) {
    const auto converter = MakeCodePageConverter(1252);
    const Loaded loaded =
        Load(FileBytes(kVersion5,
                       kComponent + "\"ZkFolder\"=\"Ядро\"\n\"Ok\"=\"é\"\n@=hex(2):2f,04,00,00\n[" +
                           kProduct + "\\Zk:Ядро]\n\"x\"=\"1\"\n",
                       Encoding::Utf16Crlf, *converter),
             1252);
    ASSERT_FALSE(loaded.error);
    EXPECT_EQ(loaded.listing, ComponentWith({"\"Ok\"=1:\\xE9\\x00"}));
    ASSERT_EQ(loaded.unrepresentable.size(), 3u);
    EXPECT_EQ(loaded.unrepresentable[0].valueName, "ZkFolder");
    EXPECT_TRUE(loaded.unrepresentable[1].defaultValue);
    EXPECT_TRUE(loaded.unrepresentable[2].keyName);
    EXPECT_EQ(loaded.unrepresentable[2].keyPath, std::string(kProduct) + "\\Zk:Ядро");
}

}  // namespace
}  // namespace instdll::inspect
