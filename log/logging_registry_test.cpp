#include "log/logging_registry.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "registry/memory_registry.h"
#include "registry/registry_key.h"
#include "tests/common/text_log.h"

namespace instdll {
namespace {

using testing::TextSink;
using testing::Utf8Already;

constexpr char kParent[] = "SOFTWARE\\Zk\\Parent";

class LoggingRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegHandle child = 0;
        ASSERT_EQ(memory.RegCreateKeyA(kHkeyLocalMachine, "SOFTWARE\\Zk\\Parent\\Child", &child),
                  kErrorSuccess);
        const std::uint8_t text[] = {'x', 0};
        const std::uint8_t number[] = {7, 0, 0, 0};
        memory.RegSetValueExA(child, "Name", kRegSz, text, sizeof text);
        memory.RegSetValueExA(child, "", kRegDword, number, sizeof number);
        memory.RegCloseKey(child);
    }

    MemoryRegistry memory;
    LoggingRegistry registry{memory};
    TextSink sink;
    Utf8Already converter;
    CallLog log{sink, converter, "P"};
};

TEST_F(LoggingRegistryTest, DeletedKeyIsLoggedWithItsValuesUnderAPathNamedBeforeTheLog) {
    // The pruning's parent key is opened by an earlier, unlogged call.
    RegistryKey parent = OpenKey(registry, kHkeyLocalMachine, kParent);
    ASSERT_TRUE(parent.is_open());
    RegistryLogScope scope(registry, &log);
    EXPECT_EQ(registry.RegDeleteKeyA(parent.get(), "Child"), kErrorSuccess);
    EXPECT_EQ(registry.RegDeleteKeyA(parent.get(), "Child"), kErrorFileNotFound);
    EXPECT_EQ(sink.text,
              "P: [HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Parent\\Child]\r\n"
              "P: \"Name\"=\"x\"\r\n"
              "P: @=dword:00000007\r\n"
              "P: deleted, with 2 values\r\n"
              "P: [HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Parent\\Child]\r\n"
              "P: delete failed: error 2\r\n");
}

TEST_F(LoggingRegistryTest, WritesAndValueDeletesShowTheDataBefore) {
    RegistryKey child = OpenKey(registry, kHkeyLocalMachine, "SOFTWARE\\Zk\\Parent\\Child");
    RegistryLogScope scope(registry, &log);
    const std::uint8_t lower[] = {6, 0, 0, 0};
    EXPECT_EQ(registry.RegSetValueExA(child.get(), "", kRegDword, lower, sizeof lower),
              kErrorSuccess);
    EXPECT_EQ(registry.RegSetValueExA(child.get(), "New", kRegBinary, lower, 1), kErrorSuccess);
    EXPECT_EQ(registry.valuesWritten(), 2);
    memory.FailOperation(RegOperation::SetValueEx, kErrorAccessDenied);
    EXPECT_EQ(registry.RegSetValueExA(child.get(), "New", kRegBinary, lower, 2),
              kErrorAccessDenied);
    memory.ClearFailures();
    EXPECT_EQ(registry.valuesWritten(), 2);
    EXPECT_EQ(registry.valuesRefused(), 1);
    EXPECT_EQ(registry.RegDeleteValueA(child.get(), "Name"), kErrorSuccess);
    EXPECT_EQ(registry.RegDeleteValueA(child.get(), "Name"), kErrorFileNotFound);
    const std::string path = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Parent\\Child]";
    EXPECT_EQ(sink.text, "P: wrote " + path + " @=dword:00000006 over @=dword:00000007\r\n" +
                             "P: wrote " + path + " \"New\"=hex:06 over \"New\" absent\r\n" +
                             "P: wrote " + path +
                             " \"New\"=hex:06,00 over \"New\"=hex:06 failed: error 5\r\n" +
                             "P: delete value " + path + " \"Name\"=\"x\": deleted\r\n" +
                             "P: delete value " + path + " \"Name\" absent failed: error 2\r\n");
}

TEST_F(LoggingRegistryTest, DetachedItOnlyPassesCallsOn) {
    RegistryKey parent = OpenKey(registry, kHkeyLocalMachine, kParent);
    { RegistryLogScope scope(registry, &log); }
    EXPECT_EQ(registry.RegDeleteKeyA(parent.get(), "Child"), kErrorSuccess);
    EXPECT_TRUE(sink.text.empty());
    EXPECT_EQ(memory.CallCount(RegOperation::EnumValue), 0U) << "nothing read for a log";
}

TEST_F(LoggingRegistryTest, ClosedKeysLeaveTheirNameSlots) {
    for (int i = 0; i < 100; ++i) OpenKey(registry, kHkeyLocalMachine, kParent);
    RegistryKey parent = OpenKey(registry, kHkeyLocalMachine, kParent);
    RegistryLogScope scope(registry, &log);
    registry.RegDeleteKeyA(parent.get(), "Child");
    EXPECT_EQ(sink.text.rfind("P: [HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Parent\\Child]\r\n", 0), 0U)
        << sink.text;
}

}  // namespace
}  // namespace instdll
