#include "registry/lock_decisions.h"

#include <string>

#include "gtest/gtest.h"

namespace instdll {
namespace {

TEST(LockDecisions, TheGlobalNameIsTheLocksHomeOnlyWhereThereIsNoPrivateNamespace) {
    struct Case {
        bool found;
        bool opened;
        std::uint32_t error;
        LockPlace place;
    };
    const Case cases[] = {
        {false, false, 0, LockPlace::GlobalName},
        {true, true, 0, LockPlace::PrivateNamespace},
        {true, false, kErrorCallNotImplemented, LockPlace::GlobalName},
        // Not elevated, or the boundary refused: no name elsewhere would be shared.
        {true, false, kErrorAccessDenied, LockPlace::Refused},
        {true, false, kErrorAlreadyExists, LockPlace::Refused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.found << c.opened << " error " << c.error);
        EXPECT_EQ(JudgeNamespace(c.found, c.opened, c.error), c.place);
    }
}

TEST(LockDecisions, ASquattedOrUnopenableNameIsNeverUsed) {
    struct Case {
        bool gotHandle;
        std::uint32_t error;
        bool ownerTrusted;
        NameVerdict verdict;
    };
    const Case cases[] = {
        {true, 0, false, NameVerdict::Usable},
        {true, kErrorAlreadyExists, true, NameVerdict::Usable},
        // Another user made it first: they could hold it for ever.
        {true, kErrorAlreadyExists, false, NameVerdict::Squatted},
        // An event, a semaphore, ... of that name.
        {false, kErrorInvalidHandle, false, NameVerdict::Squatted},
        {false, kErrorAccessDenied, false, NameVerdict::Refused},
        {false, 1450 /* no system resources */, false, NameVerdict::Unavailable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.gotHandle << " error " << c.error << " trusted " << c.ownerTrusted);
        EXPECT_EQ(JudgeName(AnswerOfCreate(c.gotHandle, c.error), c.ownerTrusted), c.verdict);
    }
}

TEST(LockDecisions, EachWaitIsToldAsItHappened) {
    struct Case {
        std::uint32_t waited;
        WaitVerdict verdict;
        const char* why;
    };
    const Case cases[] = {
        {kLockWaitObject, WaitVerdict::Held, ""},
        {kLockWaitAbandoned, WaitVerdict::Abandoned, ""},
        {kLockWaitTimeout, WaitVerdict::Busy, "another setup held it past the wait"},
        {0xFFFFFFFF, WaitVerdict::Failed, "the wait for it failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.waited);
        EXPECT_EQ(JudgeWait(c.waited), c.verdict);
        EXPECT_STREQ(WhyNotLocked(JudgeWait(c.waited)), c.why);
    }
}

// The log must tell whoever reads it to look for a squatter, not for a slow peer.
TEST(LockDecisions, TheReasonTellsASquatterFromABusyPeer) {
    const std::string squatted = WhyNotLocked(NameVerdict::Squatted);
    const std::string refused = WhyNotLocked(NameVerdict::Refused);
    const std::string busy = WhyNotLocked(WaitVerdict::Busy);
    EXPECT_NE(squatted.find("squatted"), std::string::npos);
    EXPECT_NE(refused.find("squatted"), std::string::npos);
    EXPECT_EQ(busy.find("squatted"), std::string::npos);
    EXPECT_NE(std::string(WhyNotLocked(LockPlace::Refused)).find("not elevated"),
              std::string::npos);
}

}  // namespace
}  // namespace instdll
