// Several setups at once: setup peers (instdll_setup_peer.exe), each a process with the library
// loaded, released together by one event against the real registry, a few rounds each.
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "registry/named_mutex_lock.h"
#include "registry/win32_registry.h"
#include "tests/common/catalog_seed.h"
#include "tests/common/title_list.h"
#include "tests/wine/loaded_library.h"
#include "tests/wine/peer_processes.h"
#include "tests/wine/registry_snapshot.h"

namespace instdll::testing {
namespace {

constexpr int kPeers = 8;
constexpr char kSetupPeer[] = "instdll_setup_peer.exe";
constexpr int kRounds = 3;
// Far below the lock's wait: a call that finishes within it was not held up by the lock.
constexpr DWORD kUnblockedMs = 20000;
constexpr DWORD kPastTheWaitMs = kSharedStateWaitMs + 60000;

class SharedStateWineTest : public ::testing::Test {
protected:
    void SetUp() override { RemoveSeeded(); }
    void TearDown() override { RemoveSeeded(); }

    static void RemoveSeeded() {
        DeleteTree(HKEY_CURRENT_USER, kFamilyUserKey);
        HKEY uninstallRoot = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallRootPath, 0, KEY_ALL_ACCESS,
                          &uninstallRoot) == ERROR_SUCCESS) {
            for (int i = 0; i < kPeers; ++i) DeleteTree(uninstallRoot, ComponentName(i));
            RegCloseKey(uninstallRoot);
        }
        DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zk");
    }
    static std::string ComponentName(int i) { return "Zk:Peer" + std::to_string(i); }
    static RegistryAccess& registry() { return SystemRegistry(); }

    // Each value's data, once the peers have stored theirs.
    static std::multiset<std::string> StoredTitles() {
        std::multiset<std::string> titles;
        for (const TitleValue& value : ReadTitles(registry()).value_or(std::vector<TitleValue>{}))
            titles.insert(value.data);
        return titles;
    }
    // The counter as a number, when it is stored as a DWORD.
    static std::optional<std::uint32_t> StoredCounter() {
        const std::optional<RawValue> counter = ReadCounter(registry());
        if (!counter || counter->type != kRegDword || counter->data.size() != 4)
            return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = value << 8 | counter->data[static_cast<std::size_t>(i)];
        return value;
    }
    // Runs the peers: all started, all ready, released together, all ended within the patience.
    static std::vector<DWORD> RunTogether(const std::vector<std::vector<std::string>>& calls,
                                          DWORD patienceMs = kPastTheWaitMs) {
        Peers peers(kSetupPeer);
        for (const auto& call : calls) {
            if (!peers.Start(call)) {
                ADD_FAILURE() << kSetupPeer << " did not start: " << GetLastError();
                return {};
            }
        }
        if (!peers.AllReady()) {
            ADD_FAILURE() << "the peers did not get ready";
            return {};
        }
        peers.Release();
        return peers.Finish(patienceMs);
    }
};

TEST_F(SharedStateWineTest, SetupsAddingTheSameTitleStoreDistinctTitles) {
    std::multiset<std::string> expected;
    std::vector<std::vector<std::string>> calls;
    for (int i = 0; i < kPeers; ++i) {
        expected.insert(Sz(i == 0 ? "Accounts" : "Accounts #" + std::to_string(i)));
        calls.push_back({"title", "v" + std::to_string(i), "Accounts"});
    }
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        DeleteTree(HKEY_CURRENT_USER, kFamilyUserKey);
        EXPECT_EQ(RunTogether(calls), std::vector<DWORD>(kPeers, 0));
        EXPECT_EQ(StoredTitles(), expected);
    }
}

TEST_F(SharedStateWineTest, SetupsPruningDisjointDirectoriesLowerTheCounterExactly) {
    std::vector<std::vector<std::string>> calls;
    for (int i = 0; i < kPeers; ++i) {
        calls.push_back({"prune", "C:\\Peer" + std::to_string(i) + "\\", ""});
    }
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        RemoveSeeded();
        for (int i = 0; i < kPeers; ++i) {
            ASSERT_TRUE(SeedLoggedComponent(registry(), ComponentName(i),
                                            "C:\\Peer" + std::to_string(i) + "\\", "p"));
        }
        ASSERT_TRUE(SeedCounter(registry(), kRegDword, NumberBytes(2 * kPeers)));
        EXPECT_EQ(RunTogether(calls), std::vector<DWORD>(kPeers, 1));
        EXPECT_EQ(StoredCounter(), static_cast<std::uint32_t>(kPeers));
        for (int i = 0; i < kPeers; ++i) {
            EXPECT_FALSE(KeyExists(registry(), UninstallEntryPath(ComponentName(i))));
        }
    }
}

// Every peer's catalogue holds the three components when released; only the first prune finds
// their keys.
TEST_F(SharedStateWineTest, SetupsPruningOneDirectoryFromStaleCataloguesCountEachComponentOnce) {
    constexpr int kShared = 3;
    const std::vector<std::vector<std::string>> calls(kPeers, {"prune", "C:\\Shared\\", "Keep"});
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        RemoveSeeded();
        for (int i = 0; i < kShared; ++i) {
            ASSERT_TRUE(SeedLoggedComponent(registry(), ComponentName(i), "C:\\Shared\\", "s"));
            ASSERT_TRUE(SeedProductComponent(registry(), ComponentName(i) + " Net", "F",
                                             "C:\\Shared\\s.exe"));
        }
        ASSERT_TRUE(
            SeedLoggedComponent(registry(), ComponentName(kShared), "C:\\Shared\\", "Keep"));
        ASSERT_TRUE(SeedCounter(registry(), kRegDword, NumberBytes(10)));
        EXPECT_EQ(RunTogether(calls), std::vector<DWORD>(kPeers, 1));
        EXPECT_EQ(StoredCounter(), static_cast<std::uint32_t>(10 - kShared));
        EXPECT_TRUE(KeyExists(registry(), UninstallEntryPath(ComponentName(kShared))));
    }
}

// The killed holder leaves the lock abandoned: this process takes it over and gives it back,
// so a peer after it is not held up either. A handle kept open here keeps the mutex alive, as
// other setups' handles would: without one it would vanish with its holder.
TEST_F(SharedStateWineTest, ASetupKilledHoldingTheLockDoesNotBlockTheNext) {
    const OwnedHandle kept(CreateMutexA(
        nullptr, FALSE, (std::string(kGlobalNamespace) + kSharedStateMutexName).c_str()));
    ASSERT_TRUE(kept);
    LoadedInstDll dll;
    std::string missing;
    ASSERT_TRUE(dll.ResolveAll(&missing)) << missing;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        DeleteTree(HKEY_CURRENT_USER, kFamilyUserKey);
        {
            Peers holder(kSetupPeer);
            ASSERT_TRUE(holder.Start({"hold"}));
            ASSERT_TRUE(holder.AllReady());
            ASSERT_TRUE(TerminateProcess(holder.process(0), 1));
            ASSERT_EQ(WaitForSingleObject(holder.process(0), kReadyMs), WAIT_OBJECT_0);
        }
        const DWORD before = GetTickCount();
        EXPECT_EQ(dll.exports().RegDBAddToTitles("here", "Accounts"), 0);
        EXPECT_LT(GetTickCount() - before, kUnblockedMs);
        EXPECT_EQ(RunTogether({{"title", "peer", "Accounts"}}, kUnblockedMs),
                  std::vector<DWORD>{0});
        EXPECT_EQ(StoredTitles(), (std::multiset<std::string>{Sz("Accounts"), Sz("Accounts #1")}));
    }
}

// A peer holds the lock past this setup's wait. The title is stored without the lock, which
// loses nothing; the prune changes nothing, since a counter written back by the stuck peer
// could lose our decrement, and leaves its components to a later call.
TEST_F(SharedStateWineTest, ASetupHoldingTheLockPastTheWaitDelaysPruningToALaterCall) {
    ASSERT_TRUE(SeedLoggedComponent(registry(), ComponentName(0), "C:\\Held\\", "h"));
    ASSERT_TRUE(SeedCounter(registry(), kRegDword, NumberBytes(4)));
    LoadedInstDll dll;
    std::string missing;
    ASSERT_TRUE(dll.ResolveAll(&missing)) << missing;
    ASSERT_EQ(dll.exports().InitV7Info(), 1);
    Peers holder(kSetupPeer);
    ASSERT_TRUE(holder.Start({"hold"}));
    ASSERT_TRUE(holder.AllReady());
    Peers titles(kSetupPeer);
    ASSERT_TRUE(titles.Start({"title", "v", "Accounts"}));
    ASSERT_TRUE(titles.AllReady());

    titles.Release();
    const DWORD before = GetTickCount();
    EXPECT_EQ(dll.exports().RemoveAllInCatExcept("C:\\Held\\", ""), 1);
    const DWORD waited = GetTickCount() - before;
    EXPECT_GE(waited, kSharedStateWaitMs - 1000) << "the prune did not wait for the lock";
    EXPECT_LT(waited, kSharedStateWaitMs + 10000) << "the prune waited past the lock's wait";
    EXPECT_TRUE(KeyExists(registry(), UninstallEntryPath(ComponentName(0))));
    EXPECT_EQ(StoredCounter(), 4u);
    EXPECT_EQ(titles.Finish(kPastTheWaitMs), std::vector<DWORD>{0});
    EXPECT_EQ(StoredTitles(), std::multiset<std::string>{Sz("Accounts")});

    ASSERT_TRUE(TerminateProcess(holder.process(0), 1));
    ASSERT_EQ(WaitForSingleObject(holder.process(0), kReadyMs), WAIT_OBJECT_0);
    EXPECT_EQ(dll.exports().RemoveAllInCatExcept("C:\\Held\\", ""), 1);
    EXPECT_FALSE(KeyExists(registry(), UninstallEntryPath(ComponentName(0))));
    EXPECT_EQ(StoredCounter(), 3u);
}

// Whether `acl` lets everyone wait on and release a mutex.
bool GrantsEveryoneTheLock(const ACL* acl) {
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    PSID world = nullptr;
    if (acl == nullptr || !AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0,
                                                    0, 0, 0, 0, &world)) {
        return false;
    }
    bool granted = false;
    for (DWORD i = 0; i < acl->AceCount && !granted; ++i) {
        void* ace = nullptr;
        if (!GetAce(const_cast<ACL*>(acl), i, &ace)) break;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        granted = allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
                  (allowed->Mask & (SYNCHRONIZE | MUTEX_MODIFY_STATE)) ==
                      (SYNCHRONIZE | MUTEX_MODIFY_STATE) &&
                  EqualSid(const_cast<DWORD*>(&allowed->SidStart), world);
    }
    FreeSid(world);
    return granted;
}

std::string GlobalLockName() { return std::string(kGlobalNamespace) + kSharedStateMutexName; }

// Whether another thread finds the mutex owned.
bool OwnedElsewhere(HANDLE mutex) {
    bool owned = false;
    std::thread other([&] {
        const DWORD waited = WaitForSingleObject(mutex, 0);
        owned = waited == WAIT_TIMEOUT;
        if (!owned) ReleaseMutex(mutex);
    });
    other.join();
    return owned;
}

// Another user's or a non-elevated setup must be able to wait on the mutex whoever made it:
// the descriptor it is made with, read back, grants that to everyone.
TEST(SharedStateLockTest, TheMutexIsMadeSoThatEverySetupMayWaitOnIt) {
    NamedMutexLock lock;
    const LockAttempt attempt = lock.Acquire();
    ASSERT_TRUE(attempt.hold) << attempt.account;
    EXPECT_STREQ(attempt.account, kGlobalNamespace);
    const OwnedHandle mutex(OpenMutexA(READ_CONTROL, FALSE, GlobalLockName().c_str()));
    ASSERT_TRUE(mutex) << GetLastError();
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(mutex.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(GrantsEveryoneTheLock(dacl));
    LocalFree(descriptor);
}

// A mutex made first, by another program or build, with a descriptor that grants no more than
// waiting and releasing, is still the one locked: not one of our own in the session.
TEST(SharedStateLockTest, AMutexThatGrantsOnlyWaitingIsStillTheOneLocked) {
    alignas(DWORD) BYTE aclBuffer[64] = {};
    auto* acl = reinterpret_cast<PACL>(aclBuffer);
    SID world{SID_REVISION, 1, SECURITY_WORLD_SID_AUTHORITY, {SECURITY_WORLD_RID}};
    SECURITY_DESCRIPTOR descriptor{};
    ASSERT_TRUE(InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, SYNCHRONIZE | MUTEX_MODIFY_STATE, &world));
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE));
    SECURITY_ATTRIBUTES narrow{sizeof narrow, &descriptor, FALSE};
    const OwnedHandle existing(CreateMutexA(&narrow, FALSE, GlobalLockName().c_str()));
    ASSERT_TRUE(existing);
    {
        NamedMutexLock lock;
        const LockAttempt attempt = lock.Acquire();
        ASSERT_TRUE(attempt.hold) << attempt.account;
        EXPECT_STREQ(attempt.account, kGlobalNamespace);
        EXPECT_TRUE(OwnedElsewhere(existing.get()));
    }
    EXPECT_FALSE(OwnedElsewhere(existing.get())) << "the hold did not give the lock back";
}

}  // namespace
}  // namespace instdll::testing
