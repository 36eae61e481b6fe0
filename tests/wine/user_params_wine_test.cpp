// WriteUserParams through the loaded DLL on copies of a small executable: the message box is
// closed by a watcher as a user would, and the resources are read back as the loader sees them.
#include <windows.h>
// After windows.h, which they need.
#include <imagehlp.h>
#include <sddl.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "gtest/gtest.h"
#include "module/export_boundary.h"
#include "stamping/pe_overlay.h"
#include "stamping/resource_file.h"
#include "stamping/user_params.h"
#include "tests/wine/code_page_text.h"
#include "tests/wine/loaded_library.h"
#include "tests/wine/message_box_watcher.h"

namespace instdll::testing {
namespace {

// ---- The target file and its resources

using ResourceKey = std::tuple<std::string, std::string, WORD>;  // type, name, language
using Resources = std::map<ResourceKey, std::string>;

const ResourceKey kFirst{"#10", "#300", 0};
const ResourceKey kSecond{"#10", "#301", 0};

std::string IdText(const ResourceId& id) {
    return id.number != 0 ? "#" + std::to_string(id.number) : id.name;
}

// Every resource of the file by type, name and language.
Resources ResourcesOf(const std::string& path) {
    Resources resources;
    for (const Resource& r : ReadResources(path)) {
        resources[{IdText(r.type), IdText(r.name), r.language}] = r.bytes;
    }
    return resources;
}

using FileBytes = std::vector<std::uint8_t>;

FileBytes ReadBytes(const std::string& path) {
    FileBytes bytes;
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::string& path, const FileBytes& bytes) {
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// What follows the file's sections; empty when it is not a PE file.
FileBytes OverlayOf(const std::string& path) {
    const FileCalls files;
    const OpenFile file(path, GENERIC_READ, FILE_SHARE_READ, files);
    const std::uint64_t end = SectionDataEnd(file).value_or(file.Size());
    FileBytes overlay(static_cast<std::size_t>(file.Size() - end));
    EXPECT_TRUE(file.ReadAt(end, overlay.data(), overlay.size()));
    return overlay;
}

void AppendBytes(const std::string& path, const FileBytes& tail) {
    FileBytes file = ReadBytes(path);
    file.insert(file.end(), tail.begin(), tail.end());
    WriteBytes(path, file);
}

FileBytes Pattern(std::size_t size) {
    FileBytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

// The names in a directory, "." and ".." left out.
std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string BesideThisProgram(const char* name) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string path(self);
    return path.substr(0, path.find_last_of('\\') + 1) + name;
}

// The stamp's seams with the box answered at once.
UserParamsCalls QuietCalls() {
    UserParamsCalls calls;
    calls.showMessage = [](HWND, const char*, const char*, UINT) { return IDOK; };
    return calls;
}

class UserParamsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string missing;
        ASSERT_TRUE(dll.ResolveAll(&missing)) << missing;
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        dir = std::string(temp) + "instdll-stamp-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(dir.c_str(), nullptr);
        const std::string source = BesideThisProgram("instdll_stamp_target.exe");
        target = dir + "\\target.exe";
        ASSERT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE)) << source;
    }
    void TearDown() override {
        for (const std::string& name : FilesIn(dir)) {
            const std::string file = dir + "\\" + name;
            SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(file.c_str());
        }
        RemoveDirectoryA(dir.c_str());
    }

    // WriteUserParams with the box closed by a user; what the box showed.
    ShownBox Write(const char* path, const char* first, const char* second) {
        MessageBoxWatcher watcher;
        EXPECT_EQ(dll.exports().WriteUserParams(path, first, second), 0);
        return watcher.Finish();
    }

    LoadedInstDll dll;
    std::string dir;
    std::string target;
};

void ExpectOkBox(const ShownBox& box, const std::string& text, const std::string& caption) {
    EXPECT_TRUE(box.shown);
    EXPECT_FALSE(box.owned);
    EXPECT_EQ(box.caption, caption);
    EXPECT_EQ(box.texts, std::vector<std::string>{text});
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_FALSE(box.icon);
}

Resources WithoutParams(Resources resources) {
    resources.erase(kFirst);
    resources.erase(kSecond);
    return resources;
}

TEST_F(UserParamsTest, ShowsTheBoxThenStampsBothParamsAndKeepsTheRest) {
    const Resources before = ResourcesOf(target);
    ASSERT_EQ(before.count({"#10", "#7", 0}), 1u) << "the target carries resources of its own";
    ExpectOkBox(Write(target.c_str(), "abc", "de"), target, "abc");
    const Resources after = ResourcesOf(target);
    EXPECT_EQ(after.at(kFirst), "abc");
    EXPECT_EQ(after.at(kSecond), "de");
    EXPECT_EQ(WithoutParams(after), WithoutParams(before));
}

TEST_F(UserParamsTest, EveryCallReplacesBothAndLeavesNothingStale) {
    struct Call {
        const char* first;
        const char* second;
    };
    const Call calls[] = {{"abc", "de"}, {"xyzw", ""}, {"", "q"}, {"\xE9\xFF", "a b\tc"}};
    const Resources before = ResourcesOf(target);
    for (const Call& call : calls) {
        SCOPED_TRACE(std::string(call.first) + " / " + call.second);
        Write(target.c_str(), call.first, call.second);
        Resources after = ResourcesOf(target);
        // An empty parameter is a resource of length 0 where the platform keeps one, else none.
        EXPECT_EQ(after[kFirst], call.first);
        EXPECT_EQ(after[kSecond], call.second);
        EXPECT_EQ(WithoutParams(after), WithoutParams(before));
    }
}

// The box's caption passes the code page on its way to the window; the resources keep the bytes.
TEST_F(UserParamsTest, TextOfTheCodePageReachesTheBoxAndTheResourcesWhole) {
    const std::string word = CodePageWord();
    ExpectOkBox(Write(target.c_str(), word.c_str(), ("a" + word).c_str()), target, word);
    const Resources after = ResourcesOf(target);
    EXPECT_EQ(after.at(kFirst), word);
    EXPECT_EQ(after.at(kSecond), "a" + word);
}

TEST_F(UserParamsTest, KeepsWhatFollowsTheSectionsAndTheAttributes) {
    ASSERT_TRUE(OverlayOf(target).empty());
    const FileBytes overlay = Pattern(70000);
    AppendBytes(target, overlay);
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_HIDDEN));
    const DWORD attributes = GetFileAttributesA(target.c_str());
    ASSERT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);

    Write(target.c_str(), "abc", "de");
    EXPECT_TRUE(OverlayOf(target) == overlay);
    EXPECT_EQ(ResourcesOf(target).at(kFirst), "abc");
    EXPECT_EQ(GetFileAttributesA(target.c_str()), attributes);
    EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"target.exe"});
}

// Makes the call numbered `failAt` (from 0) of `call` run `fail` instead; `made` counts them.
template <typename Result, typename... Args, typename Fail>
void FailCall(std::function<Result(Args...)>& call, int failAt, int& made, Fail fail) {
    call = [real = call, failAt, &made, fail](Args... args) -> Result {
        return made++ == failAt ? fail(args...) : real(args...);
    };
}

BOOL FailWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

struct InjectedFault {
    const char* what;
    std::function<void(UserParamsCalls& calls, int failAt, int& made)> install;
};

const InjectedFault kFaults[] = {
    {"failing read",
     [](UserParamsCalls& calls, int failAt, int& made) {
         FailCall(
             calls.files.readFile, failAt, made,
             [](HANDLE, void*, DWORD, DWORD*, OVERLAPPED*) { return FailWith(ERROR_READ_FAULT); });
     }},
    {"failing write",
     [](UserParamsCalls& calls, int failAt, int& made) {
         FailCall(calls.files.writeFile, failAt, made,
                  [](HANDLE, const void*, DWORD, DWORD*, OVERLAPPED*) {
                      return FailWith(ERROR_WRITE_FAULT);
                  });
     }},
    {"full disk: half written",
     [](UserParamsCalls& calls, int failAt, int& made) {
         FailCall(calls.files.writeFile, failAt, made,
                  [](HANDLE file, const void* data, DWORD size, DWORD* written, OVERLAPPED* o) {
                      WriteFile(file, data, size / 2, written, o);
                      return FailWith(ERROR_DISK_FULL);
                  });
     }},
    {"out of memory",
     [](UserParamsCalls& calls, int failAt, int& made) {
         FailCall(calls.files.writeFile, failAt, made,
                  [](HANDLE, const void*, DWORD, DWORD*, OVERLAPPED*) -> BOOL {
                      throw std::bad_alloc();
                  });
     }},
    {"failing commit",
     [](UserParamsCalls& calls, int failAt, int& made) {
         FailCall(calls.endUpdate, failAt, made, [](HANDLE update, BOOL) {
             EndUpdateResourceA(update, TRUE);
             return FailWith(ERROR_DISK_FULL);
         });
     }},
    {"failing replace",
     [](UserParamsCalls& calls, int failAt, int& made) {
         FailCall(calls.moveFile, failAt, made,
                  [](const char*, const char*, DWORD) { return FailWith(ERROR_ACCESS_DENIED); });
     }},
    // As a copy whose DACL denies this process its delete, in a folder that does not grant it.
    {"failing replace, the copy not deletable by name",
     [](UserParamsCalls& calls, int failAt, int& made) {
         calls.files.deleteFile = [](const char*) { return FailWith(ERROR_ACCESS_DENIED); };
         FailCall(calls.moveFile, failAt, made,
                  [](const char*, const char*, DWORD) { return FailWith(ERROR_ACCESS_DENIED); });
     }},
    {"refused stream search",
     [](UserParamsCalls& calls, int failAt, int& made) {
         FailCall(calls.files.findFirstStream, failAt, made,
                  [](const wchar_t*, STREAM_INFO_LEVELS, void*, DWORD) {
                      SetLastError(ERROR_ACCESS_DENIED);
                      return INVALID_HANDLE_VALUE;
                  });
     }},
};

// Stamps `path` with each fault at each of its calls in turn: until a stamp makes every call, the
// file stays as it was; then it is stamped and followed by `overlay`. No copy is ever left.
void ExpectAllOrNothing(const std::string& dir, const std::string& path, const FileBytes& overlay) {
    const FileBytes before = ReadBytes(path);
    const std::vector<std::string> files = FilesIn(dir);
    for (const InjectedFault& fault : kFaults) {
        int made = 0;
        for (int failAt = 0; failAt <= made; ++failAt) {
            SCOPED_TRACE(std::string(fault.what) + " at call " + std::to_string(failAt));
            UserParamsCalls calls = QuietCalls();
            made = 0;
            fault.install(calls, failAt, made);
            const int result = AtExportBoundary(0, [&] {
                StampUserParams(calls, path.c_str(), "abc", "de");
                return 0;
            });
            EXPECT_EQ(result, 0);
            EXPECT_EQ(FilesIn(dir), files);
            if (failAt < made) {
                ASSERT_TRUE(ReadBytes(path) == before);
            } else {
                EXPECT_EQ(ResourcesOf(path).at(kSecond), "de");
                EXPECT_TRUE(OverlayOf(path) == overlay);
            }
        }
        ASSERT_GT(made, 0) << fault.what << " was never called";
        WriteBytes(path, before);
    }
}

TEST_F(UserParamsTest, AFailureAtAnyStepLeavesTheTargetAsItWasAndNoCopyBehind) {
    // Larger than one stream chunk, so that the copy takes several reads and writes.
    const FileBytes overlay = Pattern(kStreamChunkSize * 5 / 2);
    AppendBytes(target, overlay);
    ExpectAllOrNothing(dir, target, overlay);
}

class LastStep final : public StampReport {
public:
    void StepEnded(StampStep endedStep, bool endedDone, unsigned long endedError) override {
        step = endedStep;
        done = endedDone;
        error = endedError;
    }
    StampStep step = StampStep::Open;
    bool done = false;
    unsigned long error = 0;
};

// A stream search that finds nothing lets the stamp go on only when it means that there are no
// streams; any other failure would drop the target's streams, and stops the stamp.
TEST_F(UserParamsTest, OnlyASearchThatMeansNoStreamsLetsTheStampGoOn) {
    struct Case {
        const char* what;
        std::optional<DWORD> error;  // none: the system has no stream search
        bool stamped;
    };
    const Case cases[] = {
        {"no streams", ERROR_HANDLE_EOF, true},
        {"file system without streams", ERROR_INVALID_PARAMETER, true},
        {"file system without streams, as some report it", ERROR_INVALID_FUNCTION, true},
        {"no stream search on this system", std::nullopt, true},
        {"access denied", ERROR_ACCESS_DENIED, false},
        {"out of memory", ERROR_NOT_ENOUGH_MEMORY, false},
        {"not implemented", ERROR_CALL_NOT_IMPLEMENTED, false},
    };
    const FileBytes before = ReadBytes(target);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UserParamsCalls calls = QuietCalls();
        calls.files.findFirstStream = nullptr;
        if (c.error) {
            calls.files.findFirstStream = [error = *c.error](const wchar_t*, STREAM_INFO_LEVELS,
                                                             void*, DWORD) {
                SetLastError(error);
                return INVALID_HANDLE_VALUE;
            };
        }
        LastStep report;
        StampUserParams(calls, target.c_str(), c.what, "", &report);
        if (c.stamped) {
            EXPECT_EQ(report.step, StampStep::Replace);
            EXPECT_TRUE(report.done);
            EXPECT_EQ(ResourcesOf(target).at(kFirst), c.what);
            WriteBytes(target, before);
        } else {
            EXPECT_EQ(report.step, StampStep::Metadata);
            EXPECT_FALSE(report.done);
            EXPECT_EQ(report.error, *c.error);
            EXPECT_TRUE(ReadBytes(target) == before);
        }
        EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"target.exe"});
    }
}

// A stream search that hands out `names` as the target's streams, then ends with `endError`.
// Wine keeps no streams, but there a name with ':' is a file of its own: the streams handed out
// are files beside the target, and the copy's streams are files beside the copy.
class ProvidedStreams {
public:
    ProvidedStreams(std::vector<std::wstring> names, DWORD endError)
        : names_(std::move(names)), endError_(endError) {}

    void Install(FileCalls& files) {
        files.findFirstStream = [this](const wchar_t* path, STREAM_INFO_LEVELS, void* found,
                                       DWORD) {
            searched.emplace_back(path);
            next_ = 0;
            if (!Next(found)) return INVALID_HANDLE_VALUE;
            ++open;
            return Handle();
        };
        files.findNextStream = &FindNext;
        files.findClose = &Close;
    }

    std::vector<std::wstring> searched;
    int open = 0;

private:
    HANDLE Handle() { return this; }
    static BOOL WINAPI FindNext(HANDLE search, void* found) {
        return static_cast<ProvidedStreams*>(search)->Next(found) ? TRUE : FALSE;
    }
    static BOOL WINAPI Close(HANDLE search) {
        --static_cast<ProvidedStreams*>(search)->open;
        return TRUE;
    }
    bool Next(void* found) {
        if (next_ == names_.size()) {
            SetLastError(endError_);
            return false;
        }
        auto& stream = *static_cast<WIN32_FIND_STREAM_DATA*>(found);
        stream = {};
        names_[next_++].copy(stream.cStreamName, std::size(stream.cStreamName) - 1);
        return true;
    }

    std::vector<std::wstring> names_;
    DWORD endError_;
    std::size_t next_ = 0;
};

std::string Narrow(const std::wstring& ascii) { return std::string(ascii.begin(), ascii.end()); }

TEST_F(UserParamsTest, TheCopyTakesEveryStreamTheSearchFinds) {
    struct Case {
        const char* what;
        DWORD endError;
        bool stamped;
    };
    const Case cases[] = {
        {"the search ends", ERROR_HANDLE_EOF, true},
        {"the search fails after the last stream", ERROR_ACCESS_DENIED, false},
    };
    // Besides the main stream, which is the file itself.
    const std::map<std::wstring, FileBytes> streams = {
        {L":zk.origin:$DATA", FileBytes{'Z', 'k', ' ', 's', 'e', 't', 'u', 'p'}},
        {L":Zk.Empty:$DATA", FileBytes{}},
        {L":zk.pattern:$DATA", Pattern(70000)},
    };
    std::vector<std::wstring> names{L"::$DATA"};
    for (const auto& [name, bytes] : streams) {
        names.push_back(name);
        WriteBytes(target + Narrow(name), bytes);
    }
    const FileBytes before = ReadBytes(target);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ProvidedStreams provided(names, c.endError);
        UserParamsCalls calls = QuietCalls();
        provided.Install(calls.files);
        std::string copy;
        calls.moveFile = [&copy](const char* from, const char* to, DWORD flags) {
            copy = from;
            return MoveFileExA(from, to, flags);
        };
        LastStep report;
        StampUserParams(calls, target.c_str(), "abc", "de", &report);

        EXPECT_EQ(provided.searched,
                  std::vector<std::wstring>{std::wstring(target.begin(), target.end())});
        EXPECT_EQ(provided.open, 0) << "a search left open";
        if (c.stamped) {
            EXPECT_TRUE(report.done);
            EXPECT_EQ(ResourcesOf(target).at(kFirst), "abc");
            ASSERT_FALSE(copy.empty());
            for (const auto& [name, bytes] : streams) {
                EXPECT_TRUE(ReadBytes(copy + Narrow(name)) == bytes) << Narrow(name);
                DeleteFileA((copy + Narrow(name)).c_str());
            }
            EXPECT_EQ(GetFileAttributesA((copy + "::$DATA").c_str()), INVALID_FILE_ATTRIBUTES)
                << "the main stream copied as a stream";
            WriteBytes(target, before);
        } else {
            EXPECT_EQ(report.step, StampStep::Metadata);
            EXPECT_FALSE(report.done);
            EXPECT_EQ(report.error, c.endError);
            EXPECT_TRUE(ReadBytes(target) == before);
        }
    }
}

TEST_F(UserParamsTest, ATargetReadOnlyOrInUseIsLeftAsItWas) {
    const FileBytes before = ReadBytes(target);
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
    const DWORD attributes = GetFileAttributesA(target.c_str());
    StampUserParams(QuietCalls(), target.c_str(), "abc", "de");
    EXPECT_EQ(GetFileAttributesA(target.c_str()), attributes);
    EXPECT_TRUE(ReadBytes(target) == before) << "read-only";
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL));

    const HANDLE held =
        CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    StampUserParams(QuietCalls(), target.c_str(), "abc", "de");
    CloseHandle(held);
    EXPECT_TRUE(ReadBytes(target) == before) << "in use";
    EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"target.exe"});
}

TEST_F(UserParamsTest, ShowsTheBoxButWritesNothingWhereNoResourcesCanBeUpdated) {
    const std::string plain = dir + "\\plain.txt";
    WriteBytes(plain, FileBytes{'n', 'o', 't', ' ', 'a', 'n', ' ', 'e', 'x', 'e'});
    const std::string missing = dir + "\\missing.exe";
    for (const std::string& path : {plain, missing, dir}) {
        SCOPED_TRACE(path);
        const FileBytes before = ReadBytes(path);
        ExpectOkBox(Write(path.c_str(), "abc", "de"), path, "abc");
        EXPECT_EQ(ReadBytes(path), before);
    }
    EXPECT_EQ(GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(UserParamsTest, NullArgumentsCountAsEmpty) {
    ExpectOkBox(Write(nullptr, nullptr, nullptr), "", "");
}

// ---- Signed targets, and what the replaced target keeps

PeHeaders HeadersOf(const std::string& path) {
    const FileCalls files;
    const OpenFile file(path, GENERIC_READ, FILE_SHARE_READ, files);
    return ReadPeHeaders(file).value_or(PeHeaders{});
}

FileBytes Slice(const FileBytes& bytes, std::uint64_t from, std::uint64_t size) {
    if (from > bytes.size() || size > bytes.size() - from) return {};
    const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(from);
    return FileBytes(begin, begin + static_cast<std::ptrdiff_t>(size));
}

constexpr std::uint64_t kSymbolSize = 18;

// An unstripped executable with a payload of about 1 MiB, signed by osslsigncode: symbol
// table, payload and certificate table follow its sections in that order. Made before the
// harness runs, with the same file unsigned beside it.
class SignedTargetTest : public UserParamsTest {
protected:
    void SetUp() override {
        UserParamsTest::SetUp();
        signedTarget = dir + "\\signed.exe";
        const std::string source = BesideThisProgram("instdll_signed_target.exe");
        ASSERT_TRUE(CopyFileA(source.c_str(), signedTarget.c_str(), FALSE)) << source;
    }

    std::string signedTarget;
};

TEST_F(SignedTargetTest, AStampedSignedFileIsAWellFormedUnsignedOneWithItsPayload) {
    const FileBytes unsignedBytes = ReadBytes(BesideThisProgram("instdll_payload_target.exe"));
    const PeHeaders before = HeadersOf(signedTarget);
    ASSERT_EQ(before.certificateTable.offset, unsignedBytes.size()) << "payload, then signature";
    ASSERT_GT(before.certificateTable.size, 0u);
    ASSERT_GE(before.symbolTable, before.sectionsEnd) << "unstripped";
    ASSERT_GT(before.symbolCount, 0u);
    const FileBytes symbols =
        Slice(ReadBytes(signedTarget), before.symbolTable, before.symbolCount * kSymbolSize);
    const FileBytes overlay =
        Slice(unsignedBytes, before.sectionsEnd, unsignedBytes.size() - before.sectionsEnd);

    // Large enough to grow the resource section, so that the overlay moves.
    const std::string second(6000, 'z');
    Write(signedTarget.c_str(), "abc", second.c_str());
    const FileBytes stamped = ReadBytes(signedTarget);
    const PeHeaders after = HeadersOf(signedTarget);
    EXPECT_EQ(ResourcesOf(signedTarget).at(kSecond), second);
    EXPECT_EQ(after.certificateTable, FileRange{});
    ASSERT_GT(after.sectionsEnd, before.sectionsEnd);
    EXPECT_EQ(stamped.size(), after.sectionsEnd + overlay.size()) << "nothing after the payload";
    EXPECT_TRUE(Slice(stamped, after.sectionsEnd, overlay.size()) == overlay);
    EXPECT_EQ(after.symbolCount, before.symbolCount);
    EXPECT_TRUE(Slice(stamped, after.symbolTable, symbols.size()) == symbols);

    DWORD inHeader = 0;
    DWORD computed = 0;
    ASSERT_EQ(MapFileAndCheckSumA(signedTarget.c_str(), &inHeader, &computed), CHECKSUM_SUCCESS);
    EXPECT_NE(computed, 0u);
    EXPECT_EQ(inHeader, computed);

    // Where the test script wants it for osslsigncode, which runs outside Wine.
    if (const char* keep = std::getenv("INSTDLL_STAMPED_COPY")) {
        EXPECT_TRUE(CopyFileA(signedTarget.c_str(), keep, FALSE)) << keep;
    }
}

std::string SecurityText(const std::string& path) {
    constexpr SECURITY_INFORMATION kWhat = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    GetFileSecurityA(path.c_str(), kWhat, nullptr, 0, &needed);
    std::vector<char> descriptor(needed);
    if (needed == 0 || !GetFileSecurityA(path.c_str(), kWhat, descriptor.data(), needed, &needed)) {
        return "unreadable";
    }
    char* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor.data(), SDDL_REVISION_1,
                                                              kWhat, &text, nullptr)) {
        return "unconvertible";
    }
    const std::string result = text;
    LocalFree(text);
    return result;
}

bool SetDacl(const std::string& path, const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        return false;
    }
    const BOOL set = SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    return set != FALSE;
}

TEST_F(SignedTargetTest, TheReplacedTargetKeepsItsSecurityDescriptor) {
    // Protected, so nothing the folder passes on can stand in for it.
    ASSERT_TRUE(SetDacl(signedTarget, "D:P(A;;FA;;;WD)(A;;FR;;;BU)"));
    const std::string before = SecurityText(signedTarget);
    const std::string fresh = dir + "\\fresh.exe";
    WriteBytes(fresh, FileBytes{'M', 'Z'});
    ASSERT_NE(SecurityText(fresh), before) << "a new file has a descriptor of its own";
    DeleteFileA(fresh.c_str());

    Write(signedTarget.c_str(), "abc", "de");
    EXPECT_EQ(ResourcesOf(signedTarget).at(kFirst), "abc");
    EXPECT_EQ(SecurityText(signedTarget), before);
}

TEST_F(SignedTargetTest, AFailureAtAnyStepLeavesTheSignedTargetAsItWas) {
    ExpectAllOrNothing(dir, signedTarget,
                       OverlayOf(BesideThisProgram("instdll_payload_target.exe")));
}

}  // namespace
}  // namespace instdll::testing
