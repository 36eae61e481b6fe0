#include "log/logging_lock.h"

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

}  // namespace
}  // namespace instdll
