#include "log/call_log.h"

#include <cstring>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "log/registry_text.h"
#include "tests/common/text_log.h"

namespace instdll {
namespace {

class LinesSink final : public LogSink {
public:
    void Append(const char* line, std::size_t size) noexcept override {
        lines.emplace_back(line, size);
    }
    std::vector<std::string> lines;
};

using testing::Utf8Already;

class CallLogTest : public ::testing::Test {
protected:
    std::vector<std::string> Lines(void (*build)(LogRecord&)) {
        sink.lines.clear();
        {
            LogRecord record(&log);
            build(record);
        }
        return sink.lines;
    }

    LinesSink sink;
    Utf8Already converter;
    CallLog log{sink, converter, "P"};
};

TEST_F(CallLogTest, WritesEachRecordAsOneLineInOneAppend) {
    struct Case {
        const char* what;
        void (*build)(LogRecord&);
        const char* line;
    };
    const Case cases[] = {
        {"text", [](LogRecord& r) { r.Text("called"); }, "P: called\r\n"},
        {"null argument", [](LogRecord& r) { r.Ansi(static_cast<const char*>(nullptr)); },
         "P: null\r\n"},
        {"quoted", [](LogRecord& r) { r.Quoted("C:\\a \"b\""); }, "P: \"C:\\\\a \\\"b\\\"\"\r\n"},
        {"control bytes shown", [](LogRecord& r) { r.Ansi("a\r\nb"); }, "P: a\\x0d\\x0ab\r\n"},
        {"smallest number", [](LogRecord& r) { r.Number(INT64_MIN); },
         "P: -9223372036854775808\r\n"},
        {"hex", [](LogRecord& r) { r.Hex(0xBEEF, 8); }, "P: 0000beef\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Lines(c.build), std::vector<std::string>{c.line}) << c.what;
    }
}

// The text of one line of a record, its bound, end and mark checked; `first`: the record's first.
std::string Body(const std::string& line, bool first) {
    EXPECT_LE(line.size(), LogRecord::kLineCapacity);
    const std::string mark = first ? "P: " : "P:+ ";
    if (line.size() < mark.size() + 2 || line.compare(0, mark.size(), mark) != 0 ||
        line.compare(line.size() - 2, 2, "\r\n") != 0) {
        ADD_FAILURE() << "malformed line: " << line;
        return {};
    }
    return line.substr(mark.size(), line.size() - mark.size() - 2);
}

std::string JoinedBodies(const std::vector<std::string>& lines) {
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) joined += Body(lines[i], i == 0);
    return joined;
}

// Characters of two, three and four bytes, each run after 0 to 3 ASCII bytes, so that a line's
// end meets every byte of a character.
TEST_F(CallLogTest, LongRecordGoesOnOverWholeLinesWithThePrefix) {
    for (const std::string character : {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\xA0\xAE\xB7"}) {
        for (std::size_t lead = 0; lead < 4; ++lead) {
            static std::string text;
            text.assign(lead, 'a');
            while (text.size() < 3 * LogRecord::kLineCapacity) text += character;
            const std::vector<std::string> lines = Lines([](LogRecord& r) { r.Ansi(text); });
            ASSERT_GE(lines.size(), 3U);
            for (const std::string& line : lines) EXPECT_TRUE(testing::IsUtf8Log(line));
            EXPECT_EQ(JoinedBodies(lines), text) << character.size() << " bytes after " << lead;
        }
    }
}

// Bytes that continue no UTF-8 character, as ANSI text passed on unconverted would bring: the
// Cyrillic letters of code page 1251 in the range 0x80-0xBF.
TEST_F(CallLogTest, StrayContinuationBytesStayWithinTheLine) {
    const std::string cyrillic = "\xA8\xB8\xB3\xBF\xBA";
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        {"one line's worth", std::string(LogRecord::kLineCapacity - 10, '\xB8')},
        {"past one line",
         [&] {
             std::string text;
             while (text.size() < 3 * LogRecord::kLineCapacity) text += cyrillic;
             return text;
         }()},
        {"after ASCII up to the end of the line",
         std::string(LogRecord::kLineCapacity - 9, 'a') + cyrillic + cyrillic},
        {"after a whole character", "\xC3\xA9" + std::string(2 * LogRecord::kLineCapacity, '\xBF')},
    };
    for (const Case& c : cases) {
        static const std::string* text;
        text = &c.text;
        const std::vector<std::string> lines = Lines([](LogRecord& r) { r.Ansi(*text); });
        EXPECT_EQ(JoinedBodies(lines), c.text) << c.what;
    }
}

TEST_F(CallLogTest, NoLogTakesEverythingAndWritesNothing) {
    LogRecord record(nullptr);
    record.Text("a").Ansi("b").Quoted("c").Number(1).Hex(2, 2);
    record.End();
    EXPECT_TRUE(sink.lines.empty());
}

TEST_F(CallLogTest, ValuesAsARegFileWritesThem) {
    struct Case {
        const char* name;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
        const char* line;
    };
    const Case cases[] = {
        {"", kRegSz, {'a', '\\', 0}, "@=\"a\\\\\""},
        {"N", kRegSz, {'a', '\n', 'b', 0}, "\"N\"=hex(1):61,0a,62,00"},
        {"N", kRegSz, {'a', 'b'}, "\"N\"=hex(1):61,62"},
        {"N", kRegSz, {'a', 0, 'b', 0}, "\"N\"=hex(1):61,00,62,00"},
        {"N", kRegDword, {5, 0, 0, 0x80}, "\"N\"=dword:80000005"},
        {"N", kRegDword, {5, 0, 0}, "\"N\"=hex(4):05,00,00"},
        {"N", kRegBinary, {}, "\"N\"=hex:"},
        {"N", 2, {'%', 0}, "\"N\"=hex(2):25,00"},
        {"N", 0x20000, {1}, "\"N\"=hex(20000):01"},
    };
    for (const Case& c : cases) {
        static const Case* current;
        current = &c;
        const std::vector<std::string> lines = Lines([](LogRecord& r) {
            AppendRegValue(r, current->name, current->type, current->data.data(),
                           current->data.size());
        });
        EXPECT_EQ(lines, std::vector<std::string>{std::string("P: ") + c.line + "\r\n"});
    }
}

}  // namespace
}  // namespace instdll
