#include "log/logging_lock.h"

#include <cstdint>
#include <memory>
#include <string>

#include "gtest/gtest.h"
#include "registry/memory_registry.h"
#include "tests/common/observed_lock.h"
#include "tests/common/text_log.h"

namespace instdll {
namespace {

using testing::TextSink;
using testing::Utf8Already;

TEST(LoggingLock, SaysWhereTheLockWasHeldOrWhyNotAndWhatTheCallDoesWithoutIt) {
    struct Case {
        bool granted;
        bool attached;
        const char* logged;
    };
    const Case cases[] = {
        {true, true, "P: shared state locked in granted by the test\r\n"},
        {false, true, "P: shared state not locked: refused by the test; nothing pruned\r\n"},
        {false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logged);
        MemoryRegistry registry;
        testing::ObservedLock observed(registry, c.granted);
        LoggingLock lock(observed);
        TextSink sink;
        Utf8Already converter;
        CallLog log(sink, converter, "P");
        {
            LockLogScope scope(lock, c.attached ? &log : nullptr, "nothing pruned");
            const SharedStateGuard guard(lock);
            EXPECT_EQ(guard.held(), c.granted);
        }
        EXPECT_EQ(sink.text, c.logged);
        EXPECT_EQ(observed.releases, c.granted ? 1 : 0);
        // Detached when the scope ends: a later, unlogged try writes nothing.
        const SharedStateGuard later(lock);
        EXPECT_EQ(sink.text, c.logged);
    }
}

// A lock whose every try answers as given.
class AnsweringLock final : public SharedStateLock {
public:
    AnsweringLock(bool granted, std::uint32_t error, const char* abandoned)
        : granted_(granted), error_(error), abandoned_(abandoned) {}
    LockAttempt Acquire() override {
        if (!granted_) return {nullptr, "the wait for it failed", error_};
        return {std::make_unique<SharedStateHold>(), "Global\\", 0, abandoned_};
    }

private:
    bool granted_;
    std::uint32_t error_;
    const char* abandoned_;
};

TEST(LoggingLock, AnAbandonedLockAndAFailedWaitEachGetALineOfTheirOwn) {
    struct Case {
        bool granted;
        std::uint32_t error;
        const char* abandoned;
        const char* logged;
    };
    const Case cases[] = {
        {true, 0, "the counter may not have been lowered",
         "P: shared state locked in Global\\\r\n"
         "P: shared state lock abandoned: the counter may not have been lowered\r\n"},
        {false, 6, nullptr,
         "P: shared state not locked: the wait for it failed (error 6); nothing pruned\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logged);
        AnsweringLock answering(c.granted, c.error, c.abandoned);
        LoggingLock lock(answering);
        TextSink sink;
        Utf8Already converter;
        CallLog log(sink, converter, "P");
        LockLogScope scope(lock, &log, "nothing pruned");
        const SharedStateGuard guard(lock);
        EXPECT_EQ(guard.held(), c.granted);
        EXPECT_EQ(sink.text, c.logged);
    }
}

}  // namespace
}  // namespace instdll
