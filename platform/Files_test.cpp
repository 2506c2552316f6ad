#include "platform/Files.h"

#include "platform/Drives.h"
#include "platform/TempFolder_test.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace platform {
namespace {

using platformtest::TempFolder;

// Drive S: is a fresh temporary folder.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override { posix::MapDrive(L'S', m_folder.Path(), kDriveRemovable); }
    void TearDown() override { posix::UnmapAllDrives(); }

    std::map<std::wstring, uint32_t> List(const std::wstring& pattern, ErrorCode& endError) {
        std::map<std::wstring, uint32_t> entries;
        ErrorCode error = kSuccess;
        FolderListing listing = FolderListing::Open(pattern, error);
        EXPECT_TRUE(listing.IsOpen()) << ToUtf8(ErrorText(error));
        FolderEntry entry;
        while (listing.Next(entry, error))
            entries[entry.name] = entry.attributes;
        endError = error;
        return entries;
    }

    TempFolder m_folder;
};

struct ProgressCall {
    uint64_t total;
    uint64_t done;
};

struct ProgressLog {
    std::vector<ProgressCall> calls;
    size_t cancelAtCall = SIZE_MAX;            // the routine answers "cancel" at this call
    std::atomic<int32_t>* flagToSet = nullptr; // or sets this flag at that call
};

bool RecordProgress(uint64_t total, uint64_t done, void* context) {
    auto& log = *static_cast<ProgressLog*>(context);
    log.calls.push_back({total, done});
    if (log.calls.size() - 1 != log.cancelAtCall)
        return false;
    if (log.flagToSet == nullptr)
        return true;
    *log.flagToSet = 1;
    return false;
}

std::string Pattern(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 131 + i / 4096) & 0xFF);
    return data;
}

// Runs work on a thread that acts as "nobody", so permissions apply; false when that cannot be had.
template <typename Work> bool RunWithoutRootPowers(Work work) {
    bool dropped = false;
    std::thread worker([&] {
        dropped = platformtest::ActAsNobodyOnThisThread();
        if (dropped)
            work();
    });
    worker.join();
    return dropped;
}

TEST_F(FilesTest, ListingOfAFolderHasDotEntriesAndAttributes) {
    m_folder.MakeFolder("DCIM");
    m_folder.MakeFolder("DCIM/100MEDIA");
    m_folder.WriteFile("DCIM/IMG_0001.JPG", "jpeg");
    m_folder.WriteFile("DCIM/locked.txt", "ro", 0444);
    ErrorCode end = kSuccess;
    const auto entries = List(L"S:\\DCIM\\*", end);
    EXPECT_EQ(end, kErrorNoMoreFiles);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_TRUE(entries.at(L".") & kAttrDirectory);
    EXPECT_TRUE(entries.at(L"..") & kAttrDirectory);
    EXPECT_EQ(entries.at(L"100MEDIA"), kAttrDirectory);
    EXPECT_EQ(entries.at(L"IMG_0001.JPG"), kAttrNormal);
    EXPECT_EQ(entries.at(L"locked.txt"), kAttrReadOnly);
}

TEST_F(FilesTest, ARootListsNoDotEntriesAndAnEmptyRootNothing) {
    ErrorCode error = kSuccess;
    FolderListing empty = FolderListing::Open(L"S:\\\\*", error);
    EXPECT_FALSE(empty.IsOpen());
    EXPECT_EQ(error, kErrorFileNotFound);

    m_folder.WriteFile("a.txt", "a");
    m_folder.MakeFolder("...");
    m_folder.MakeFolder(".hidden");
    ErrorCode end = kSuccess;
    const auto entries = List(L"S:\\\\*", end);
    EXPECT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries.count(L"."), 0u);
    EXPECT_EQ(entries.at(L"..."), kAttrDirectory);
    EXPECT_EQ(entries.at(L".hidden"), kAttrDirectory);
}

// Links are listed as links and never followed, whatever they point at.
TEST_F(FilesTest, LinksAreListedAsLinksAndNotFollowed) {
    m_folder.MakeFolder("real");
    m_folder.WriteFile("real/inside", "x");
    m_folder.WriteFile("file", "x");
    ASSERT_EQ(::symlink("real", m_folder.At("to-folder").c_str()), 0);
    ASSERT_EQ(::symlink("file", m_folder.At("to-file").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", m_folder.At("dangling").c_str()), 0);
    ErrorCode error = kSuccess;
    FolderListing listing = FolderListing::Open(L"S:\\*", error);
    FolderEntry entry;
    std::map<std::wstring, bool> isLink;
    while (listing.Next(entry, error)) {
        isLink[entry.name] = entry.isLink;
        if (entry.isLink) {
            EXPECT_EQ(entry.attributes, kAttrReparsePoint);
        }
    }
    EXPECT_EQ(isLink, (std::map<std::wstring, bool>{{L"real", false},
                                                    {L"file", false},
                                                    {L"to-folder", true},
                                                    {L"to-file", true},
                                                    {L"dangling", true}}));
    // Neither a listing nor a copy reads through a link, and its description is its own.
    EXPECT_FALSE(FolderListing::Open(L"S:\\to-folder\\*", error).IsOpen());
    EXPECT_EQ(CopyToNewFile(L"S:\\to-file", L"S:\\copy", nullptr, nullptr, nullptr), kErrorStoppedOnSymlink);
    EXPECT_FALSE(m_folder.Exists("copy"));
    FileInfo info;
    ASSERT_EQ(GetFileInfo(L"S:\\to-folder", info), kSuccess);
    EXPECT_EQ(info.attributes, kAttrReparsePoint);
}

// A host name with a backslash is one name: listed with U+F05C, read as itself and nothing else.
TEST_F(FilesTest, ABackslashInAHostNameIsNoSeparator) {
    m_folder.MakeFolder("sub");
    m_folder.WriteFile("sub/x", "outer");
    m_folder.WriteFile("..\\sub\\x", "inner");
    ErrorCode end = kSuccess;
    const std::wstring name = std::wstring(L"..") + kHostBackslash + L"sub" + kHostBackslash + L"x";
    EXPECT_EQ(List(L"S:\\*", end).count(name), 1u);
    ASSERT_EQ(CopyToNewFile(L"S:\\" + name, L"S:\\sub\\" + name, nullptr, nullptr, nullptr), kSuccess);
    EXPECT_EQ(m_folder.ReadFile("sub/..\\sub\\x"), "inner");
    EXPECT_EQ(m_folder.ReadFile("sub/x"), "outer");
}

TEST_F(FilesTest, ListingFailuresSayWhy) {
    ErrorCode error = kSuccess;
    EXPECT_FALSE(FolderListing::Open(L"S:\\missing\\*", error).IsOpen());
    EXPECT_EQ(error, kErrorPathNotFound);
    m_folder.WriteFile("file", "x");
    EXPECT_FALSE(FolderListing::Open(L"S:\\file\\*", error).IsOpen());
    EXPECT_EQ(error, kErrorPathNotFound);

    m_folder.MakeFolder("locked", 0);
    const bool ran = RunWithoutRootPowers([&] {
        EXPECT_FALSE(FolderListing::Open(L"S:\\locked\\*", error).IsOpen());
        EXPECT_EQ(error, kErrorAccessDenied);
    });
    if (!ran)
        GTEST_SKIP() << "cannot act as another user here";
}

TEST_F(FilesTest, AMovedListingKeepsItsPlace) {
    m_folder.WriteFile("one", "1");
    m_folder.WriteFile("two", "2");
    ErrorCode error = kSuccess;
    FolderListing first = FolderListing::Open(L"S:\\*", error);
    FolderEntry entry;
    ASSERT_TRUE(first.Next(entry, error));
    const std::wstring firstName = entry.name;
    FolderListing moved = std::move(first);
    EXPECT_FALSE(first.IsOpen());
    EXPECT_FALSE(first.Next(entry, error));
    ASSERT_TRUE(moved.Next(entry, error));
    EXPECT_NE(entry.name, firstName);
    EXPECT_FALSE(moved.Next(entry, error));
    EXPECT_EQ(error, kErrorNoMoreFiles);
}

TEST_F(FilesTest, CreateFolderMakesOneLevel) {
    EXPECT_EQ(CreateFolder(L"S:\\new"), kSuccess);
    EXPECT_TRUE(PathExists(L"S:\\new"));
    EXPECT_EQ(CreateFolder(L"S:\\new"), kErrorAlreadyExists);
    EXPECT_EQ(CreateFolder(L"S:\\a\\b"), kErrorPathNotFound);
    m_folder.WriteFile("file", "x");
    EXPECT_EQ(CreateFolder(L"S:\\file"), kErrorAlreadyExists);
    EXPECT_TRUE(PathExists(L"S:\\file"));
    EXPECT_FALSE(PathExists(L"S:\\nothing"));
}

TEST_F(FilesTest, FolderTimesAndReadOnlyRoundTrip) {
    m_folder.MakeFolder("f");
    const FileTime access = 133000000000000000; // 2022
    const FileTime write = 132000000000000000;  // 2019
    ASSERT_EQ(SetFolderTimes(L"S:\\f", 0, access, write), kSuccess);
    ASSERT_EQ(SetAttributes(L"S:\\f", kAttrDirectory | kAttrReadOnly), kSuccess);
    FileInfo info;
    ASSERT_EQ(GetFileInfo(L"S:\\f", info), kSuccess);
    EXPECT_EQ(info.attributes, kAttrDirectory | kAttrReadOnly);
    EXPECT_EQ(info.lastWriteTime, write);
    EXPECT_EQ(info.lastAccessTime, access);
    EXPECT_EQ(info.size, 0u);
    EXPECT_EQ(m_folder.Mode("f") & 0222, 0u);
    ASSERT_EQ(SetAttributes(L"S:\\f", kAttrDirectory), kSuccess);
    ASSERT_EQ(GetFileInfo(L"S:\\f", info), kSuccess);
    EXPECT_EQ(info.attributes, kAttrDirectory);
    EXPECT_EQ(GetFileInfo(L"S:\\gone", info), kErrorFileNotFound);
    EXPECT_EQ(SetFolderTimes(L"S:\\gone", 0, access, write), kErrorFileNotFound);
}

TEST_F(FilesTest, CopyKeepsDataLastWriteAndReadOnly) {
    const std::string data = Pattern(3 * 1024 * 1024 + 17);
    m_folder.WriteFile("src.bin", data, 0444);
    m_folder.SetModifiedSeconds("src.bin", 1500000000);
    ProgressLog log;
    ASSERT_EQ(CopyToNewFile(L"S:\\src.bin", L"S:\\dst.bin", &RecordProgress, &log, nullptr), kSuccess);
    EXPECT_EQ(m_folder.ReadFile("dst.bin"), data);
    EXPECT_EQ(m_folder.ModifiedSeconds("dst.bin"), 1500000000);
    EXPECT_EQ(m_folder.Mode("dst.bin") & 0222, 0u);
    // The routine hears of the file before any data moves, then as data moves, up to the end.
    ASSERT_GE(log.calls.size(), 2u);
    EXPECT_EQ(log.calls.front().done, 0u);
    EXPECT_EQ(log.calls.back().done, data.size());
    for (size_t i = 1; i < log.calls.size(); ++i) {
        EXPECT_EQ(log.calls[i].total, data.size());
        EXPECT_GT(log.calls[i].done, log.calls[i - 1].done);
    }
}

TEST_F(FilesTest, AnEmptyFileIsReportedOnce) {
    m_folder.WriteFile("empty", "");
    ProgressLog log;
    ASSERT_EQ(CopyToNewFile(L"S:\\empty", L"S:\\copy", &RecordProgress, &log, nullptr), kSuccess);
    EXPECT_TRUE(m_folder.Exists("copy"));
    ASSERT_EQ(log.calls.size(), 1u);
    EXPECT_EQ(log.calls[0].total, 0u);
}

// Neither the copy nor the rename ever takes the place of something that exists.
TEST_F(FilesTest, NothingIsWrittenOver) {
    m_folder.WriteFile("src", "new content");
    m_folder.WriteFile("dst", "an older and much longer content", 0444);
    m_folder.MakeFolder("folder");
    EXPECT_EQ(CopyToNewFile(L"S:\\src", L"S:\\dst", nullptr, nullptr, nullptr), kErrorFileExists);
    EXPECT_EQ(CopyToNewFile(L"S:\\src", L"S:\\src", nullptr, nullptr, nullptr), kErrorFileExists);
    EXPECT_EQ(m_folder.ReadFile("dst"), "an older and much longer content");
    EXPECT_EQ(m_folder.ReadFile("src"), "new content");
    EXPECT_EQ(RenameNoReplace(L"S:\\src", L"S:\\dst"), kErrorAlreadyExists);
    EXPECT_EQ(RenameNoReplace(L"S:\\src", L"S:\\folder"), kErrorAlreadyExists);
    EXPECT_EQ(m_folder.ReadFile("dst"), "an older and much longer content");
    ASSERT_EQ(RenameNoReplace(L"S:\\src", L"S:\\free"), kSuccess);
    EXPECT_EQ(m_folder.ReadFile("free"), "new content");
    EXPECT_FALSE(m_folder.Exists("src"));
    EXPECT_EQ(RenameNoReplace(L"S:\\src", L"S:\\other"), kErrorFileNotFound);
}

TEST_F(FilesTest, ACancelledCopyLeavesNoFile) {
    const std::string data = Pattern(24 * 1024 * 1024);
    m_folder.WriteFile("big", data);
    std::atomic<int32_t> cancel{1};
    ProgressLog before;
    EXPECT_EQ(CopyToNewFile(L"S:\\big", L"S:\\a", &RecordProgress, &before, &cancel), kErrorRequestAborted);
    EXPECT_TRUE(before.calls.empty());
    EXPECT_FALSE(m_folder.Exists("a"));

    // The routine answers "cancel" after the first chunk.
    ProgressLog byRoutine;
    byRoutine.cancelAtCall = 1;
    EXPECT_EQ(CopyToNewFile(L"S:\\big", L"S:\\b", &RecordProgress, &byRoutine, nullptr),
              kErrorRequestAborted);
    EXPECT_EQ(byRoutine.calls.size(), 2u);
    EXPECT_LT(byRoutine.calls.back().done, data.size());
    EXPECT_FALSE(m_folder.Exists("b"));

    // The flag is set while the copy goes on.
    cancel = 0;
    ProgressLog byFlag;
    byFlag.cancelAtCall = 1;
    byFlag.flagToSet = &cancel;
    EXPECT_EQ(CopyToNewFile(L"S:\\big", L"S:\\c", &RecordProgress, &byFlag, &cancel), kErrorRequestAborted);
    EXPECT_FALSE(m_folder.Exists("c"));
}

// A file cut while it is copied: the plain copy, like the hashed one, fails rather than end short.
TEST_F(FilesTest, ACopyOfAFileThatShrinksFails) {
    m_folder.WriteFile("shrinks", Pattern(24 * 1024 * 1024));
    struct Cut {
        std::string path;
        bool done = false;
    } cut{m_folder.At("shrinks")};
    const CopyProgressFn cutOnce = [](uint64_t, uint64_t, void* context) {
        auto& state = *static_cast<Cut*>(context);
        if (!state.done)
            state.done = ::truncate(state.path.c_str(), 1024 * 1024) == 0;
        return false;
    };
    Sha256Digest digest{};
    EXPECT_EQ(CopyToNewFile(L"S:\\shrinks", L"S:\\plain", cutOnce, &cut, nullptr), kErrorReadFault);
    EXPECT_TRUE(cut.done);
    m_folder.WriteFile("shrinks2", Pattern(24 * 1024 * 1024));
    cut = {m_folder.At("shrinks2")};
    EXPECT_EQ(CopyFileHashed(L"S:\\shrinks2", L"S:\\hashed", cutOnce, &cut, nullptr, digest),
              kErrorReadFault);
    EXPECT_FALSE(m_folder.Exists("plain"));
    EXPECT_FALSE(m_folder.Exists("hashed"));
}

// Names that are not UTF-8 keep their bytes: each is listed and opened as itself.
TEST_F(FilesTest, NamesThatAreNotUtf8KeepTheirBytes) {
    m_folder.WriteFile("bad\xff.jpg", "ff");
    m_folder.WriteFile("bad\xfe.jpg", "fe");
    m_folder.WriteFile("ok\xC0\x80", "overlong");
    ErrorCode end = kSuccess;
    const auto entries = List(L"S:\\*", end);
    std::vector<std::wstring> names;
    for (const auto& [name, attributes] : entries)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"bad\xDCFE.jpg", L"bad\xDCFF.jpg", L"ok\xDCC0\xDC80"}));
    const std::vector<std::string> contents{"fe", "ff", "overlong"};
    for (size_t i = 0; i < names.size(); ++i) {
        std::string data;
        EXPECT_EQ(ReadSmallFile(L"S:\\" + names[i], 100, data), kSuccess);
        EXPECT_EQ(data, contents[i]);
    }
    EXPECT_EQ(ToHostName(L"bad\xDCFF.jpg"), "bad\xff.jpg");
    EXPECT_EQ(FromHostName("caf\xC3\xA9"), L"caf\xE9");
}

TEST_F(FilesTest, AFailedSourceLeavesAnExistingDestinationAlone) {
    m_folder.WriteFile("dst", "keep me");
    EXPECT_EQ(CopyToNewFile(L"S:\\missing", L"S:\\dst", nullptr, nullptr, nullptr), kErrorFileNotFound);
    EXPECT_EQ(m_folder.ReadFile("dst"), "keep me");
}

TEST_F(FilesTest, ThingsThatAreNotFilesAreTurnedAway) {
    m_folder.MakeFolder("folder");
    ASSERT_EQ(::mkfifo(m_folder.At("fifo").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("loop", m_folder.At("loop").c_str()), 0);
    m_folder.WriteFile("src", "x");
    EXPECT_EQ(CopyToNewFile(L"S:\\folder", L"S:\\a", nullptr, nullptr, nullptr), kErrorAccessDenied);
    // A FIFO without a writer would hold a plain open for ever.
    EXPECT_EQ(CopyToNewFile(L"S:\\fifo", L"S:\\b", nullptr, nullptr, nullptr), kErrorNotSupported);
    EXPECT_EQ(CopyToNewFile(L"S:\\loop", L"S:\\c", nullptr, nullptr, nullptr), kErrorStoppedOnSymlink);
    // A folder or FIFO where the copy should go is neither written nor removed.
    EXPECT_EQ(CopyToNewFile(L"S:\\src", L"S:\\folder", nullptr, nullptr, nullptr), kErrorFileExists);
    EXPECT_EQ(CopyToNewFile(L"S:\\src", L"S:\\fifo", nullptr, nullptr, nullptr), kErrorFileExists);
    EXPECT_TRUE(m_folder.Exists("folder"));
    EXPECT_TRUE(m_folder.Exists("fifo"));
    EXPECT_FALSE(m_folder.Exists("a") || m_folder.Exists("b") || m_folder.Exists("c"));
}

TEST_F(FilesTest, CopyIntoAMissingFolderFails) {
    m_folder.WriteFile("src", "x");
    EXPECT_EQ(CopyToNewFile(L"S:\\src", L"S:\\no\\dst", nullptr, nullptr, nullptr), kErrorPathNotFound);
}

TEST_F(FilesTest, AnUnreadableFileIsDenied) {
    m_folder.WriteFile("secret", "x", 0);
    m_folder.MakeFolder("out", 0777);
    ErrorCode error = kSuccess;
    const bool ran = RunWithoutRootPowers(
        [&] { error = CopyToNewFile(L"S:\\secret", L"S:\\out\\secret", nullptr, nullptr, nullptr); });
    if (!ran)
        GTEST_SKIP() << "cannot act as another user here";
    EXPECT_EQ(error, kErrorAccessDenied);
    EXPECT_FALSE(m_folder.Exists("out/secret"));
}

// Between file systems copy_file_range gives up and the read/write loop takes over.
TEST_F(FilesTest, CopyAcrossFileSystems) {
    struct stat tmpInfo {
    }, shmInfo{};
    if (::stat("/dev/shm", &shmInfo) != 0 || ::stat(m_folder.Path().c_str(), &tmpInfo) != 0 ||
        shmInfo.st_dev == tmpInfo.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    char pattern[] = "/dev/shm/harvex-files-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string shmFolder = pattern;
    const std::string data = Pattern(5 * 1024 * 1024 + 3);
    m_folder.WriteFile("src", data);
    posix::MapDrive(L'R', shmFolder, kDriveRamdisk);
    ProgressLog log;
    EXPECT_EQ(CopyToNewFile(L"S:\\src", L"R:\\dst", &RecordProgress, &log, nullptr), kSuccess);
    EXPECT_GE(log.calls.size(), 3u); // the start and one call per buffer of the loop
    m_folder.MakeFolder("back");
    EXPECT_EQ(CopyToNewFile(L"R:\\dst", L"S:\\back\\src", nullptr, nullptr, nullptr), kSuccess);
    EXPECT_EQ(m_folder.ReadFile("back/src"), data);
    platformtest::RemoveTree(shmFolder);
}

// A full destination: the copy fails and leaves nothing half written.
TEST_F(FilesTest, ADiskFullCopyLeavesNoPartialFile) {
    m_folder.MakeFolder("small");
    const std::string mountPoint = m_folder.At("small");
    if (::mount("none", mountPoint.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mountPoint};
    m_folder.WriteFile("big", Pattern(3 * 1024 * 1024));
    EXPECT_EQ(CopyToNewFile(L"S:\\big", L"S:\\small\\big", nullptr, nullptr, nullptr), kErrorDiskFull);
    EXPECT_FALSE(m_folder.Exists("small/big"));
}

TEST_F(FilesTest, PathsLongerThanWindowsPlainLimit) {
    std::wstring path = L"S:";
    std::string host;
    for (int level = 0; level < 4; ++level) {
        const std::string name(100, static_cast<char>('a' + level));
        host += (host.empty() ? "" : "/") + name;
        path += L"\\" + FromUtf8(name);
        ASSERT_EQ(CreateFolder(path), kSuccess);
    }
    ASSERT_GT(path.size(), 400u);
    m_folder.WriteFile(host + "/f", "deep");
    EXPECT_EQ(CopyToNewFile(path + L"\\f", path + L"\\g", nullptr, nullptr, nullptr), kSuccess);
    EXPECT_EQ(m_folder.ReadFile(host + "/g"), "deep");
    ErrorCode end = kSuccess;
    EXPECT_EQ(List(path + L"\\*", end).size(), 4u);
    EXPECT_EQ(DeleteFileAt(path + L"\\g"), kSuccess);
    EXPECT_FALSE(m_folder.Exists(host + "/g"));
}

} // namespace
} // namespace platform
