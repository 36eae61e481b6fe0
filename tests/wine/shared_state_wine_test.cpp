// Several setups at once: setup peers (instdll_setup_peer.exe), each a process with the library
// loaded, released together by one event against the real registry, a few rounds each.
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "registry/access_control.h"
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

// The lock's name in `Global\`; empty when it could not be made.
std::string LockNameOf(LockScope scope) {
    LockName name;
    return GlobalLockName(scope, name) ? name : "";
}

// This process's calls log to a file of their own while it lives.
class LogFileScope {
public:
    LogFileScope() {
        char dir[MAX_PATH] = {};
        GetTempPathA(sizeof dir, dir);
        path_ = std::string(dir) + "instdll-shared-state-" + std::to_string(GetCurrentProcessId());
        DeleteFileA(path_.c_str());
        SetEnvironmentVariableA("INSTDLL_LOG", path_.c_str());
    }
    LogFileScope(const LogFileScope&) = delete;
    LogFileScope& operator=(const LogFileScope&) = delete;
    ~LogFileScope() {
        SetEnvironmentVariableA("INSTDLL_LOG", nullptr);
        DeleteFileA(path_.c_str());
    }

    // How many lines hold `text`.
    std::size_t Count(const std::string& text) const {
        std::ifstream file(path_, std::ios::binary);
        std::size_t count = 0;
        for (std::string line; std::getline(file, line);) {
            if (line.find(text) != std::string::npos) ++count;
        }
        return count;
    }

private:
    std::string path_;
};

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

// The killed holder leaves the lock abandoned: this process takes it over, says so in its log,
// and gives it back, so a peer after it is not held up either. A handle kept open here keeps the
// mutex alive, as other setups' handles would: without one it would vanish with its holder.
TEST_F(SharedStateWineTest, ASetupKilledHoldingTheLockDoesNotBlockTheNext) {
    const std::string name = LockNameOf(LockScope::User);
    ASSERT_FALSE(name.empty());
    LoadedInstDll dll;
    std::string missing;
    ASSERT_TRUE(dll.ResolveAll(&missing)) << missing;
    const LogFileScope log;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        DeleteTree(HKEY_CURRENT_USER, kFamilyUserKey);
        OwnedHandle kept;
        {
            Peers holder(kSetupPeer);
            ASSERT_TRUE(holder.Start({"hold", "user"}));
            ASSERT_TRUE(holder.AllReady());
            kept.reset(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()));
            ASSERT_TRUE(kept) << GetLastError();
            ASSERT_TRUE(TerminateProcess(holder.process(0), 1));
            ASSERT_EQ(WaitForSingleObject(holder.process(0), kReadyMs), WAIT_OBJECT_0);
        }
        const DWORD before = GetTickCount();
        EXPECT_EQ(dll.exports().RegDBAddToTitles("here", "Accounts"), 0);
        EXPECT_LT(GetTickCount() - before, kUnblockedMs);
        EXPECT_EQ(RunTogether({{"title", "peer", "Accounts"}}, kUnblockedMs),
                  std::vector<DWORD>{0});
        EXPECT_EQ(StoredTitles(), (std::multiset<std::string>{Sz("Accounts"), Sz("Accounts #1")}));
        EXPECT_EQ(log.Count("shared state lock abandoned: a setup died holding the lock: the "
                            "title it was storing may be missing"),
                  static_cast<std::size_t>(round + 1));
    }
}

// A peer holds the machine's lock past this setup's wait. A title store, under the user's own
// lock, is not held up by it; the prune changes nothing, since a counter written back by the
// stuck peer could lose our decrement, and leaves its components to a later call.
TEST_F(SharedStateWineTest, ASetupHoldingTheLockPastTheWaitDelaysPruningToALaterCall) {
    ASSERT_TRUE(SeedLoggedComponent(registry(), ComponentName(0), "C:\\Held\\", "h"));
    ASSERT_TRUE(SeedCounter(registry(), kRegDword, NumberBytes(4)));
    LoadedInstDll dll;
    std::string missing;
    ASSERT_TRUE(dll.ResolveAll(&missing)) << missing;
    ASSERT_EQ(dll.exports().InitV7Info(), 1);
    Peers holder(kSetupPeer);
    ASSERT_TRUE(holder.Start({"hold", "machine"}));
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

// Whether `acl` grants `sid` waiting on and releasing a mutex.
bool Grants(const ACL* acl, PSID sid) {
    for (DWORD i = 0; acl != nullptr && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(const_cast<ACL*>(acl), i, &ace)) break;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        if (allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
            (allowed->Mask & (SYNCHRONIZE | MUTEX_MODIFY_STATE)) ==
                (SYNCHRONIZE | MUTEX_MODIFY_STATE) &&
            EqualSid(const_cast<DWORD*>(&allowed->SidStart), sid)) {
            return true;
        }
    }
    return false;
}

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

// Only the accounts that may write what a lock guards may hold it: the machine's lock
// administrators and SYSTEM, a user's lock that user. Nobody else is granted it, so no other
// process can open it, let alone hold it. Under Wine the machine's lock is in `Global\`: Wine has
// no private namespaces.
TEST(SharedStateLockTest, OnlyTheAccountsThatWriteTheStateMayWaitOnItsLock) {
    SidBuffer administrators = SidBuffer::WellKnown(WinBuiltinAdministratorsSid);
    SidBuffer system = SidBuffer::WellKnown(WinLocalSystemSid);
    SidBuffer everyone = SidBuffer::WellKnown(WinWorldSid);
    ProcessSids process;
    struct Case {
        LockScope scope;
        std::vector<PSID> granted;
        std::vector<PSID> refused;
    };
    const Case cases[] = {
        {LockScope::Machine,
         {administrators.get(), system.get()},
         {everyone.get(), process.user.get()}},
        {LockScope::User, {process.user.get()}, {everyone.get(), administrators.get()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scope == LockScope::Machine ? "machine" : "user");
        NamedMutexLock lock(c.scope);
        const LockAttempt attempt = lock.Acquire();
        ASSERT_TRUE(attempt.hold) << attempt.account;
        const OwnedHandle mutex(OpenMutexA(READ_CONTROL, FALSE, LockNameOf(c.scope).c_str()));
        ASSERT_TRUE(mutex) << GetLastError();
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_EQ(GetSecurityInfo(mutex.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, &dacl, nullptr, &descriptor),
                  static_cast<DWORD>(ERROR_SUCCESS));
        for (PSID sid : c.granted) EXPECT_TRUE(Grants(dacl, sid));
        for (PSID sid : c.refused) EXPECT_FALSE(Grants(dacl, sid));
        LocalFree(descriptor);
    }
}

// A mutex an administrator made first, by another build, granting no more than waiting and
// releasing, is still the one locked.
TEST(SharedStateLockTest, AMutexAnAdministratorMadeThatGrantsOnlyWaitingIsStillTheOneLocked) {
    SidBuffer administrators = SidBuffer::WellKnown(WinBuiltinAdministratorsSid);
    AllowOnly narrow({{administrators.get(), SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL}});
    const OwnedHandle existing(
        CreateMutexA(narrow.get(), FALSE, LockNameOf(LockScope::Machine).c_str()));
    ASSERT_TRUE(existing);
    {
        NamedMutexLock lock(LockScope::Machine);
        const LockAttempt attempt = lock.Acquire();
        ASSERT_TRUE(attempt.hold) << attempt.account;
        EXPECT_STREQ(attempt.account, kGlobalNamespace);
        EXPECT_TRUE(OwnedElsewhere(existing.get()));
    }
    EXPECT_FALSE(OwnedElsewhere(existing.get())) << "the hold did not give the lock back";
}

// An object of a lock's name that no setup made, kept (and, for a mutex, held) by a thread of
// its own so that this thread's calls never own it.
class Squatter {
public:
    enum Kind { Event, RefusingMutex, ForeignMutex };

    Squatter(Kind kind, const std::string& name) {
        thread_ = std::thread([this, kind, name] {
            const OwnedHandle object(Make(kind, name));
            made_ = object != nullptr;
            SetEvent(ready_.get());
            WaitForSingleObject(done_.get(), INFINITE);
            if (kind == ForeignMutex) ReleaseMutex(object.get());
        });
        WaitForSingleObject(ready_.get(), INFINITE);
    }
    Squatter(const Squatter&) = delete;
    Squatter& operator=(const Squatter&) = delete;
    ~Squatter() {
        SetEvent(done_.get());
        thread_.join();
    }
    bool made() const { return made_; }

private:
    // Another user's mutex: owned by a SID that is none of this process's, granting everyone all.
    static HANDLE MakeForeignMutex(const std::string& name) {
        PSID stranger = nullptr;
        if (!ConvertStringSidToSidA("S-1-5-21-1-2-3-1001", &stranger)) return nullptr;
        SECURITY_DESCRIPTOR descriptor{};
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorOwner(&descriptor, stranger, FALSE);
        SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
        SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
        const HANDLE mutex = CreateMutexA(&attributes, TRUE, name.c_str());
        LocalFree(stranger);
        return mutex;
    }
    static HANDLE Make(Kind kind, const std::string& name) {
        switch (kind) {
            case Event:
                return CreateEventA(nullptr, TRUE, FALSE, name.c_str());
            case RefusingMutex: {
                AllowOnly nobody(std::initializer_list<AllowOnly::Grant>{});
                return CreateMutexA(nobody.get(), TRUE, name.c_str());
            }
            case ForeignMutex:
                break;
        }
        return MakeForeignMutex(name);
    }

    OwnedHandle ready_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    OwnedHandle done_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    bool made_ = false;
    std::thread thread_;
};

// However the machine lock's name is squatted, the prune neither waits nor prunes, and says
// why; setups cannot split over a name none of them uses. Once the squatter is gone the next
// call prunes.
TEST_F(SharedStateWineTest, ASquattedMachineLockNeitherSplitsNorDelaysSetups) {
    const struct {
        Squatter::Kind kind;
        const char* logged;
    } cases[] = {
        {Squatter::Event, "shared state not locked: its name is squatted"},
        {Squatter::RefusingMutex,
         "shared state not locked: its name is taken by an object this process may not open"},
        {Squatter::ForeignMutex, "shared state not locked: its name is squatted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logged);
        RemoveSeeded();
        ASSERT_TRUE(SeedLoggedComponent(registry(), ComponentName(0), "C:\\Squat\\", "q"));
        ASSERT_TRUE(SeedCounter(registry(), kRegDword, NumberBytes(4)));
        LoadedInstDll dll;
        std::string missing;
        ASSERT_TRUE(dll.ResolveAll(&missing)) << missing;
        ASSERT_EQ(dll.exports().InitV7Info(), 1);
        const LogFileScope log;
        {
            const Squatter squatter(c.kind, LockNameOf(LockScope::Machine));
            ASSERT_TRUE(squatter.made());
            const DWORD before = GetTickCount();
            EXPECT_EQ(dll.exports().RemoveAllInCatExcept("C:\\Squat\\", ""), 1);
            EXPECT_LT(GetTickCount() - before, kUnblockedMs);
            EXPECT_TRUE(KeyExists(registry(), UninstallEntryPath(ComponentName(0))));
            EXPECT_EQ(StoredCounter(), 4u);
            EXPECT_EQ(log.Count(c.logged), 1u);
        }
        EXPECT_EQ(dll.exports().RemoveAllInCatExcept("C:\\Squat\\", ""), 1);
        EXPECT_FALSE(KeyExists(registry(), UninstallEntryPath(ComponentName(0))));
        EXPECT_EQ(StoredCounter(), 3u);
    }
}

// Another user holding a mutex of this user's lock name does not hold up the title store, which
// goes on without the lock at once.
TEST_F(SharedStateWineTest, AnotherUsersMutexOfTheUserLocksNameDoesNotDelayATitleStore) {
    LoadedInstDll dll;
    std::string missing;
    ASSERT_TRUE(dll.ResolveAll(&missing)) << missing;
    const LogFileScope log;
    const Squatter squatter(Squatter::ForeignMutex, LockNameOf(LockScope::User));
    ASSERT_TRUE(squatter.made());
    const DWORD before = GetTickCount();
    EXPECT_EQ(dll.exports().RegDBAddToTitles("v", "Accounts"), 0);
    EXPECT_LT(GetTickCount() - before, kUnblockedMs);
    EXPECT_EQ(StoredTitles(), std::multiset<std::string>{Sz("Accounts")});
    EXPECT_EQ(log.Count("shared state not locked: its name is squatted"), 1u);
}

}  // namespace
}  // namespace instdll::testing
