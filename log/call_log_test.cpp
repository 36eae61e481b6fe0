#include "log/call_log.h"

#include <cstring>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "log/registry_text.h"

namespace instdll {
namespace {

class LinesSink final : public LogSink {
public:
    void Append(const char* line, std::size_t size) noexcept override {
        lines.emplace_back(line, size);
    }
    std::vector<std::string> lines;
};

// The host's text is taken as UTF-8 already.
class Utf8Already final : public AnsiToUtf8 {
public:
    void Convert(std::string_view ansi, LogRecord& record) const noexcept override {
        record.Utf8(ansi.data(), ansi.size());
    }
};

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

TEST_F(CallLogTest, LongRecordGoesOnOverWholeLinesWithThePrefix) {
    // Two-byte characters, so that a split inside one would show.
    std::string text;
    for (int i = 0; i < 700; ++i) text += "\xC3\xA9";
    static std::string shared;
    shared = text;
    const std::vector<std::string> lines = Lines([](LogRecord& r) { r.Ansi(shared); });
    ASSERT_GE(lines.size(), 3U);
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        EXPECT_LE(line.size(), LogRecord::kLineCapacity);
        ASSERT_GE(line.size(), 5U);
        EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
        const std::string mark = i == 0 ? "P: " : "P:+ ";
        ASSERT_EQ(line.compare(0, mark.size(), mark), 0) << line;
        const std::string body = line.substr(mark.size(), line.size() - mark.size() - 2);
        EXPECT_EQ(body.size() % 2, 0U) << "a character was split";
        joined += body;
    }
    EXPECT_EQ(joined, text);
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
