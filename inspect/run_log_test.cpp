#include "inspect/run_log.h"

#include <gtest/gtest.h>

#include <sstream>

#include "inspect/unicode_text.h"
#include "regfile/reg_file_reader.h"
#include "registry/registry_access.h"
#include "text/host_code_page.h"

namespace instdll::inspect {
namespace {

constexpr char kUninstallKey[] =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zk:B]";
constexpr char kProductKey[] = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Zkv7\\7.5\\Zk:B]";
constexpr char kWow64ProductKey[] =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Zk\\Zkv7\\7.5\\Zk:B]";
constexpr char kCounterWrite[] =
    "wrote [HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Zkv7\\7.5\\Components] @=dword:00000004 over "
    "@=dword:00000005";

// "2026-12-09 04:21:51.286 [pid] RemoveAllInCatExcept: text", CR LF.
std::string Line(unsigned pid, const std::string& text, const std::string& time = "04:21:51.286",
                 const char* mark = ": ") {
    return "2026-12-09 " + time + " [" + std::to_string(pid) + "] RemoveAllInCatExcept" + mark +
           text + "\r\n";
}

std::string Lines(unsigned pid, const std::vector<std::string>& texts,
                  const std::string& time = "04:21:51.286") {
    std::string lines;
    for (const std::string& text : texts) lines += Line(pid, text, time);
    return lines;
}

// One record over as many lines as it takes, as the log writes a long one.
std::string LongRecord(unsigned pid, const std::string& text) {
    constexpr std::size_t kPiece = 400;
    std::string lines = Line(pid, text.substr(0, kPiece));
    for (std::size_t at = kPiece; at < text.size(); at += kPiece) {
        lines += Line(pid, text.substr(at, kPiece), "04:21:51.286", ":+ ");
    }
    return lines;
}

// `log` with its line `number` (from 1) replaced by `lines`.
std::string Replaced(const std::string& log, std::size_t number, const std::string& lines) {
    std::size_t start = 0;
    for (std::size_t line = 1; line < number; ++line) start = log.find("\r\n", start) + 2;
    const std::size_t end = log.find("\r\n", start) + 2;
    return log.substr(0, start) + lines + log.substr(end);
}

std::string WithoutLine(const std::string& log, std::size_t number) {
    return Replaced(log, number, "");
}

constexpr char kProductRoot[] = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Zkv7\\7.5\\";
constexpr char kDropped[] =
    "2 lines dropped before this one: the log stayed locked or failed to take them";

// A key the call claims to have deleted, with one value.
std::string DeletedKey(const std::string& key, const std::string& value) {
    return Lines(5, {"called", "process: 64-bit", key, value, "deleted, with 1 value"});
}

std::vector<std::string> CallOpening(const char* view = "64-bit") {
    return {R"(called with directory "C:\A\", argumentsToKeep "/a")",
            std::string("process: ") + view, "counter @=dword:00000005"};
}

// A call that deleted Zk:B's two keys and lowered the counter from 5 to 4.
std::string WholeCall(unsigned pid, const std::string& time = "04:21:51.286",
                      const char* view = "64-bit") {
    std::vector<std::string> texts = CallOpening(view);
    for (const std::string& text :
         {std::string(kProductKey), std::string(R"("ZkPath"="C:\\A\\b.exe")"),
          std::string("\"RegMethod\"=dword:00000002"), std::string("deleted, with 2 values"),
          std::string(kUninstallKey), std::string(R"("DisplayName"="Zk:B")"),
          std::string("deleted, with 1 value"), std::string(kCounterWrite),
          std::string("returned 1")}) {
        texts.push_back(text);
    }
    return Lines(pid, texts, time);
}

std::string Shown(const RegFileValue& value) {
    std::string data;
    for (std::uint8_t byte : value.data) data += std::to_string(byte) + ",";
    return ShownUtf8(value.name) + "=" + std::to_string(value.type) + ":" + data;
}

// The plan's keys and values, one line each.
std::vector<std::string> Listing(const RestorePlan& plan) {
    std::vector<std::string> lines;
    for (const RegFileKey& key : plan.keys) {
        lines.push_back("[" + ShownUtf8(key.path) + "]");
        for (const RegFileValue& value : key.values) lines.push_back(Shown(value));
    }
    return lines;
}

std::string Utf16Data(const std::u16string& text) {
    std::vector<std::uint8_t> bytes;
    AppendUtf16Le(bytes, text);
    bytes.push_back(0);
    bytes.push_back(0);
    std::string data;
    for (std::uint8_t byte : bytes) data += std::to_string(byte) + ",";
    return data;
}

const std::vector<std::string> kWholeListing = {
    std::string(kProductKey),   "ZkPath=1:" + Utf16Data(u"C:\\A\\b.exe"), "RegMethod=4:2,0,0,0,",
    std::string(kUninstallKey), "DisplayName=1:" + Utf16Data(u"Zk:B"),
};

struct Case {
    const char* name;
    std::string log;
    RestoreFilter filter;
    std::size_t refusedAt;  // 0: read
    std::vector<std::string> listing;
    std::uint64_t counterRaise;
    std::vector<std::string> gaps;  // a piece of each gap, in order
};

std::string Interleaved() {
    // Process 7's long value goes on over a continuation line written after process 9's lines.
    std::string log =
        Lines(7, CallOpening()) + Line(7, kUninstallKey) + Line(7, R"("DisplayName"="Zk:)");
    log += Lines(9, {"called", "process: 64-bit", "counter not written", "returned 1"});
    log += Line(7, R"(B")", "04:21:51.286", ":+ ") +
           Lines(7, {"deleted, with 1 value", "counter not written", "returned 1"});
    return log;
}

std::string Killed() {
    return Lines(3, CallOpening()) + Line(3, kUninstallKey) + Line(3, R"("DisplayName"="Zk:B")") +
           Line(3, "deleted, with 1 value") + Line(3, kProductKey) +
           Line(3, R"("ZkPath"="C:\\A\\b.exe")");
}

const std::vector<std::string> kUninstallListing = {std::string(kUninstallKey),
                                                    "DisplayName=1:" + Utf16Data(u"Zk:B")};

std::vector<Case> Cases() {
    std::vector<Case> cases = {
        {"whole call", WholeCall(5), {}, 0, kWholeListing, 1, {}},
        {"another export's call before",
         "2026-12-09 04:21:50.000 [5] InitV7Info: called\r\n"
         "2026-12-09 04:21:50.000 [5] InitV7Info: process: 64-bit\r\n"
         "2026-12-09 04:21:50.000 [5] InitV7Info: returned 1\r\n" +
             WholeCall(5),
         {},
         0,
         kWholeListing,
         1,
         {}},
        {"a call cut short by the next",
         Lines(5, {"called", "process: 64-bit"}) + WholeCall(5),
         {},
         0,
         kWholeListing,
         1,
         {"line 1: process 5's call"}},
        {"interleaved processes and a continuation",
         Interleaved(),
         {},
         0,
         kUninstallListing,
         0,
         {}},
        {"killed setup",
         Killed(),
         {},
         0,
         kUninstallListing,
         0,
         {"line 1: process 3's call",
          "line 7: [HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Zkv7\\7.5\\Zk:B]"}},
        {"value named by size",
         Lines(5, CallOpening()) +
             Lines(5, {kUninstallKey, R"("DisplayName"="Zk:B")",
                       R"("Blob" holds 70000 bytes of type 3, too many to log)",
                       "deleted, with 2 values", "counter not written", "returned 1"}),
         {},
         0,
         kUninstallListing,
         0,
         {"line 6: value \"Blob\""}},
        {"values missing from the count",
         Lines(5, CallOpening()) +
             Lines(5, {kUninstallKey, R"("DisplayName"="Zk:B")", "deleted, with 3 values",
                       "counter not written", "returned 1"}),
         {},
         0,
         kUninstallListing,
         0,
         {"line 6: [HKEY_LOCAL_MACHINE"}},
        {"an empty record inside a key",
         Lines(5, CallOpening()) +
             Lines(5, {kUninstallKey, "", "counter not written", "returned 1"}),
         {},
         0,
         {},
         0,
         {"line 4: [HKEY_LOCAL_MACHINE"}},
        {"a delete that failed",
         Lines(5, CallOpening()) +
             Lines(5, {kUninstallKey, R"("DisplayName"="Zk:B")", "delete failed: error 5",
                       "counter not written", "returned 1"}),
         {},
         0,
         {},
         0,
         {}},
        {"32-bit on 64-bit Windows",
         WholeCall(5, "04:21:51.286", "32-bit on 64-bit Windows"),
         {},
         0,
         {std::string(kWow64ProductKey), kWholeListing[1], kWholeListing[2],
          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\"
          "Uninstall\\Zk:B]",
          kWholeListing[4]},
         1,
         {}},
        {"a log without the process's view",
         Lines(5, {"called", "counter @=dword:00000005", kUninstallKey, R"("DisplayName"="Zk:B")",
                   "deleted, with 1 value", "returned 1"}),
         {},
         3,
         {},
         0,
         {}},
        {"text types in the code page",
         Lines(5, CallOpening()) +
             Lines(5, {kUninstallKey, "\"Путь\"=hex(2):25,c0,00", "\"Имя\"=\"Значение\"",
                       "deleted, with 2 values", "counter not written", "returned 1"}),
         {},
         0,
         {std::string(kUninstallKey), "Путь=2:" + Utf16Data(u"%А"),
          "Имя=1:" + Utf16Data(u"Значение")},
         0,
         {}},
        {"only process 9", WholeCall(5) + WholeCall(9), {9, ""}, 0, kWholeListing, 1, {}},
        {"only from a time",
         WholeCall(5, "04:21:51.286") + WholeCall(6, "05:00:00.000"),
         {std::nullopt, "2026-12-09 05:00"},
         0,
         kWholeListing,
         1,
         {}},
        {"not a log", "Windows Registry Editor Version 5.00\r\n", {}, 1, {}, 0, {}},
        {"an empty file", "", {}, 1, {}, 0, {}},
        {"a foreign line inside", WholeCall(5) + "deleted, with 1 value\r\n", {}, 13, {}, 0, {}},
        {"a continuation without its record",
         Line(5, "x", "04:21:51.286", ":+ "),
         {},
         1,
         {},
         0,
         {}},
        {"a key the library never deletes",
         Lines(5, CallOpening()) + Lines(5, {"[HKEY_LOCAL_MACHINE\\SYSTEM\\Setup]",
                                             "\"x\"=dword:00000001", "deleted, with 1 value"}),
         {},
         4,
         {},
         0,
         {}},
        {"another vendor's uninstall entry",
         DeletedKey("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                    "Uninstall\\OtherApp]",
                    R"("UninstallString"="C:\\x.exe")"),
         {},
         3,
         {},
         0,
         {}},
        {"the counter as a deleted key",
         DeletedKey(kProductRoot + std::string("Components]"), "@=dword:00000009"),
         {},
         3,
         {},
         0,
         {}},
        {"a key below a component's",
         DeletedKey(kProductRoot + std::string("Zk:B\\Zk:C]"), "@=dword:00000009"),
         {},
         3,
         {},
         0,
         {}},
        {"a key named in another view",
         DeletedKey("[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Zk\\Zkv7\\7.5\\Zk:B]",
                    "@=dword:00000009"),
         {},
         3,
         {},
         0,
         {}},
        {"the family prefix in another letter case",
         Lines(5, CallOpening()) +
             Lines(5, {kProductRoot + std::string("zK:b]"), "deleted, with 0 values",
                       "counter not written", "returned 1"}),
         {},
         0,
         {kProductRoot + std::string("zK:b]")},
         0,
         {}},
        {"a key name as long as the registry's",
         Lines(5, CallOpening()) +
             LongRecord(5, kProductRoot + std::string("Zk:") +
                               std::string(kRegistryKeyNameLimit - 3, 'k') + "]") +
             Lines(5, {"deleted, with 0 values", "counter not written", "returned 1"}),
         {},
         0,
         {kProductRoot + std::string("Zk:") + std::string(kRegistryKeyNameLimit - 3, 'k') + "]"},
         0,
         {}},
        {"a key name longer than the registry's",
         Lines(5, CallOpening()) +
             LongRecord(5, kProductRoot + std::string("Zk:") +
                               std::string(kRegistryKeyNameLimit - 2, 'k') + "]"),
         {},
         4,
         {},
         0,
         {}},
        {"a value name longer than the registry's",
         Lines(5, CallOpening()) + Line(5, kUninstallKey) +
             LongRecord(5,
                        "\"" + std::string(kRegistryValueNameLimit + 1, 'n') + "\"=dword:00000001"),
         {},
         5,
         {},
         0,
         {}},
        {"lines dropped before a call",
         Replaced(WholeCall(5), 1, Line(5, kDropped) + Line(5, "called")),
         {},
         0,
         kWholeListing,
         1,
         {"line 1: process 5 lost 2 log lines"}},
        {"another process's dropped lines",
         Line(6, kDropped) + WholeCall(5),
         {5, ""},
         0,
         kWholeListing,
         1,
         {}},
        {"a call without its called line",
         WithoutLine(WholeCall(5), 1),
         {},
         0,
         {},
         0,
         {"line 1: process 5's RemoveAllInCatExcept lines from here"}},
        {"a call without its counter line",
         WithoutLine(WholeCall(5), 11),
         {},
         0,
         kWholeListing,
         0,
         {"line 1: process 5's call at 2026-12-09 04:21:51.286 has no \"wrote"}},
        {"a counter lowered in no named view",
         Lines(5, {"called", "counter @=dword:00000005", kCounterWrite, "returned 1"}),
         {},
         0,
         {},
         0,
         {"line 1: process 5's call at 2026-12-09 04:21:51.286 lowered the counter by 1"}},
        {"a deletion in a key's values",
         Lines(5, CallOpening()) + Lines(5, {kUninstallKey, R"("DisplayName"=-)"}),
         {},
         5,
         {},
         0,
         {}},
        {"a line longer than the log writes", Line(5, std::string(600, 'x')), {}, 1, {}, 0, {}},
        {"endless continuations",
         Line(5, "called") +
             [] {
                 std::string lines;
                 for (int i = 0; i < 3000; ++i) {
                     lines += Line(5, std::string(400, 'x'), "04:21:51.286", ":+ ");
                 }
                 return lines;
             }(),
         {},
         2623,
         {},
         0,
         {}},
    };
    return cases;
}

TEST(RunLog, EachLogGivesAClearAnswer) {
    const auto converter = MakeCodePageConverter(1251);
    const HostCodePage codePage(1251);
    for (const Case& c : Cases()) {
        std::istringstream in(c.log);
        const auto read = ReadRunLog(in, c.filter, *converter, codePage);
        if (c.refusedAt != 0) {
            const auto* refusal = std::get_if<LogRefusal>(&read);
            ASSERT_NE(refusal, nullptr) << c.name;
            EXPECT_EQ(refusal->line, c.refusedAt) << c.name << ": " << refusal->expected;
            continue;
        }
        const auto* plan = std::get_if<RestorePlan>(&read);
        ASSERT_NE(plan, nullptr) << c.name << ": line " << std::get<LogRefusal>(read).line << ": "
                                 << std::get<LogRefusal>(read).expected;
        EXPECT_EQ(Listing(*plan), c.listing) << c.name;
        std::uint64_t raise = 0;
        for (const CounterRaise& counter : plan->counter) raise += counter.by;
        EXPECT_EQ(raise, c.counterRaise) << c.name;
        ASSERT_EQ(plan->gaps.size(), c.gaps.size()) << c.name;
        for (std::size_t i = 0; i < c.gaps.size(); ++i) {
            EXPECT_NE(plan->gaps[i].find(c.gaps[i]), std::string::npos)
                << c.name << ": " << plan->gaps[i];
        }
    }
}

TEST(RunLog, NamesTheCallsAndTheCounterInTheProcessView) {
    const auto converter = MakeCodePageConverter(1251);
    const HostCodePage codePage(1251);
    std::istringstream in(WholeCall(5, "04:21:51.286", "32-bit on 64-bit Windows") + WholeCall(6));
    const RestorePlan plan = std::get<RestorePlan>(ReadRunLog(in, {}, *converter, codePage));
    ASSERT_EQ(plan.calls.size(), 2U);
    EXPECT_EQ(plan.calls[0].pid, 5U);
    EXPECT_EQ(plan.calls[0].time, "2026-12-09 04:21:51.286");
    EXPECT_EQ(plan.calls[0].view, "32-bit on 64-bit Windows");
    EXPECT_EQ(plan.calls[0].keysRestored, 2U);
    EXPECT_EQ(plan.calls[0].counterLowered, 1U);
    ASSERT_EQ(plan.counter.size(), 2U);
    EXPECT_EQ(ShownUtf8(plan.counter[0].keyPath),
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Zk\\Zkv7\\7.5\\Components");
    EXPECT_EQ(ShownUtf8(plan.counter[1].keyPath),
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Zkv7\\7.5\\Components");
}

// A display name as the DLL logs text it cannot show as a string: its ANSI bytes, "Łódź" in
// code page 1250. The process line's code page reads them, whatever the one given; a log without
// one is read in the one given, and a code page the tool does not know refuses the log.
TEST(RunLog, ReadsEachCallsTextInTheCodePageItsLogNames) {
    const auto given = MakeCodePageConverter(1251);
    enum class Outcome { Read, LeftOut, Refused };
    const struct {
        std::string process;
        Outcome outcome;
        std::u16string displayName;
    } cases[] = {
        {"64-bit, code page 1250", Outcome::Read, u"Łódź"},
        {"32-bit on 64-bit Windows, code page 1250", Outcome::Read, u"Łódź"},
        {"64-bit", Outcome::Read, u"Јуdџ"},
        {"64-bit, code page 65001", Outcome::LeftOut, u""},
        {"64-bit, code page 437", Outcome::Refused, u""},
        {"64-bit, code page ", Outcome::Refused, u""},
        {"64-bit, code page 1250x", Outcome::Refused, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.process);
        std::istringstream in(
            Lines(5, {"called", "process: " + c.process, "counter @=dword:00000005", kUninstallKey,
                      "\"DisplayName\"=hex(1):a3,f3,64,9f,00", "deleted, with 1 value",
                      kCounterWrite, "returned 1"}));
        const auto read = ReadRunLog(in, {}, *given, HostCodePage(1251));
        if (c.outcome == Outcome::Refused) {
            ASSERT_TRUE(std::holds_alternative<LogRefusal>(read));
            EXPECT_EQ(std::get<LogRefusal>(read).line, 2U);
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<RestorePlan>(read))
            << std::get<LogRefusal>(read).expected;
        const RestorePlan& plan = std::get<RestorePlan>(read);
        if (c.outcome == Outcome::LeftOut) {
            ASSERT_FALSE(plan.gaps.empty());
            EXPECT_NE(plan.gaps[0].find("not in the call's code page"), std::string::npos);
            continue;
        }
        EXPECT_EQ(Listing(plan).back(), "DisplayName=1:" + Utf16Data(c.displayName));
    }
}

TEST(RunLog, KeyInViewMovesOnlyMachineSoftwareOfA32BitProcessOn64BitWindows) {
    const struct {
        std::u16string path;
        ProcessView view;
        std::u16string expected;
    } cases[] = {
        {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk", ProcessView::Wow64,
         u"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Zk"},
        {u"HKEY_LOCAL_MACHINE\\Software\\Zk", ProcessView::Wow64,
         u"HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Zk"},
        {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Zk", ProcessView::Wow64,
         u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Zk"},
        {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk", ProcessView::Native,
         u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk"},
        {u"HKEY_CURRENT_USER\\Software\\Zk", ProcessView::Wow64,
         u"HKEY_CURRENT_USER\\Software\\Zk"},
    };
    for (const auto& c : cases) EXPECT_EQ(KeyInView(c.path, c.view), c.expected);
}

}  // namespace
}  // namespace instdll::inspect
