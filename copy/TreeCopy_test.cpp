// The tree copy on its own, on real folders: E: is the volume, D:\run the destination.
#include "copy/TreeCopy.h"

#include "copy/FileNames.h"
#include "log/LogText.h"
#include "platform/Drives.h"
#include "platform/TempFolder_test.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <mutex>
#include <pthread.h>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using platformtest::TempFolder;

constexpr uint32_t kSerial = 0x1234ABCD;

// E: as a volume with that label and serial number.
void MapCard(const std::string& folder, const std::wstring& label, uint32_t serial) {
    platform::posix::MapDrive(L'E', folder, platform::kDriveRemovable, label);
    platform::posix::SetDriveSerial(L'E', serial);
}

class RecordingSink : public ITreeCopySink {
public:
    std::function<void(uint64_t)> onProgress;
    std::function<void(const std::wstring&)> onLine;
    std::vector<std::wstring> lines;

    void Log(LogLevel, const std::wstring& text) override {
        lines.push_back(text);
        if (onLine)
            onLine(text);
    }
    void Progress(uint64_t doneBytes) override {
        if (onProgress)
            onProgress(doneBytes);
    }
    bool Has(const std::wstring& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    size_t CountStarting(const std::wstring& start) const {
        return static_cast<size_t>(std::count_if(
            lines.begin(), lines.end(), [&](const std::wstring& line) { return line.rfind(start, 0) == 0; }));
    }
};

// The bytes this process has read through read(2) and its kind so far (/proc/self/io rchar).
uint64_t ReadBytesSoFar() {
    std::ifstream io("/proc/self/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:")
            return value;
    }
    return 0;
}

// The names in a host folder.
std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.insert(name);
        }
        ::closedir(dir);
    }
    return names;
}

class TreeCopyTest : public ::testing::Test {
public:
    TreeCopyResult Copy() { return CTreeCopy(Input(), m_sink).Run(); }
    TreeCopyInput Input() {
        return TreeCopyInput{L"E:", {{L"D:\\run"}}, &m_stop, platform::VolumeIdentity{kSerial, L"CARD"}};
    }

protected:
    void SetUp() override {
        MapCard(m_card.Path(), L"CARD", kSerial);
        platform::posix::MapDrive(L'D', m_disk.Path(), platform::kDriveFixed);
        m_disk.MakeFolder("run");
    }
    void TearDown() override { platform::posix::UnmapAllDrives(); }

    TempFolder m_card;
    TempFolder m_disk;
    RecordingSink m_sink;
    std::atomic<int32_t> m_stop{0};
};

// Two links back to their own folder, one to its parent, one out of the volume and one to a file
// outside: none is followed, each is named and counted, and the copy ends at once.
TEST_F(TreeCopyTest, LinksAreNamedAndNeverFollowed) {
    TempFolder outside;
    outside.WriteFile("secret", "outside the volume");
    m_card.MakeFolder("a");
    m_card.WriteFile("a/x", "x");
    for (const auto& [link, target] :
         std::vector<std::pair<std::string, std::string>>{{"a/self1", "."},
                                                          {"a/self2", "."},
                                                          {"a/up", ".."},
                                                          {"out", outside.Path()},
                                                          {"a/secret", outside.At("secret")}})
        ASSERT_EQ(::symlink(target.c_str(), m_card.At(link).c_str()), 0) << link;
    const auto start = std::chrono::steady_clock::now();
    const TreeCopyResult result = Copy();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    EXPECT_EQ(result.errorCount, 5u);
    EXPECT_EQ(result.filesCopied, 1u);
    for (const wchar_t* line : {L"Not copied: E:\\a\\self1 is a link.",
                                L"Not copied: E:\\a\\self2 is a link.", L"Not copied: E:\\a\\up is a link.",
                                L"Not copied: E:\\out is a link.", L"Not copied: E:\\a\\secret is a link."})
        EXPECT_TRUE(m_sink.Has(line)) << platform::ToUtf8(line);
    EXPECT_EQ(Names(m_disk.At("run")), (std::set<std::string>{"a"}));
    EXPECT_EQ(Names(m_disk.At("run/a")), (std::set<std::string>{"x"}));
}

// Names Windows programs cannot use get safe names; names that meet are numbered; a name with a
// backslash on a POSIX volume stays one name inside its folder.
TEST_F(TreeCopyTest, UnusableAndMeetingNamesGetNamesOfTheirOwn) {
    m_card.WriteFile("a", "plain");
    m_card.WriteFile("a.", "dot");
    m_card.WriteFile("com1", "device");
    m_card.WriteFile("CON.txt", "device with extension");
    m_card.WriteFile("x", "beside in");
    m_card.MakeFolder("in");
    m_card.WriteFile("in/..\\x", "literal");
    m_card.MakeFolder("c");
    m_card.WriteFile("c/x_", "p");
    m_card.WriteFile("c/x.", "q");
    const TreeCopyResult result = Copy();

    EXPECT_EQ(result.errorCount, 0u);
    EXPECT_EQ(result.filesCopied, 8u);
    EXPECT_EQ(Names(m_disk.At("run")),
              (std::set<std::string>{"a", "a_", "com1_", "CON_.txt", "x", "in", "c"}));
    EXPECT_EQ(m_disk.ReadFile("run/a"), "plain");
    EXPECT_EQ(m_disk.ReadFile("run/a_"), "dot");
    EXPECT_EQ(m_disk.ReadFile("run/com1_"), "device");
    EXPECT_EQ(m_disk.ReadFile("run/x"), "beside in");
    EXPECT_EQ(Names(m_disk.At("run/in")), (std::set<std::string>{".._x"}));
    EXPECT_EQ(m_disk.ReadFile("run/in/.._x"), "literal");
    EXPECT_EQ(Names(m_disk.At("run/c")), (std::set<std::string>{"x_", "x_ (2)"}));
    EXPECT_EQ((std::set<std::string>{m_disk.ReadFile("run/c/x_"), m_disk.ReadFile("run/c/x_ (2)")}),
              (std::set<std::string>{"p", "q"}));
    EXPECT_TRUE(m_sink.Has(L"E:\\a. is copied as a_: Windows programs cannot use its name."));
    EXPECT_TRUE(m_sink.Has(L"E:\\CON.txt is copied as CON_.txt: Windows programs cannot use its name."));
    EXPECT_EQ(m_sink.CountStarting(L"E:\\c\\x") - m_sink.CountStarting(L"E:\\c\\x. is copied as x_:"), 3u);
    EXPECT_EQ(Names(m_card.Path()), (std::set<std::string>{"a", "a.", "com1", "CON.txt", "x", "in", "c"}));
}

// Killed after a file's data is written and before its rename: no file under the final name, only
// the temporary one, which the next copy into the same folder passes over.
TEST_F(TreeCopyTest, ACopyKilledBeforeItsRenameLeavesOnlyATemporaryFile) {
    const std::string data(2u << 20, 'k');
    m_card.WriteFile("big", data);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int reports = 0;
        // The file's last report comes after its copy is complete and closed, before the rename.
        m_sink.onProgress = [&](uint64_t done) {
            if (done == data.size() && ++reports == 2)
                ::raise(SIGKILL);
        };
        Copy();
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    EXPECT_EQ(Names(m_disk.At("run")), (std::set<std::string>{"big.harvex-partial"}));
    EXPECT_TRUE(IsTemporaryName(L"big.harvex-partial"));

    const TreeCopyResult again = Copy();
    EXPECT_EQ(again.errorCount, 0u);
    EXPECT_EQ(Names(m_disk.At("run")), (std::set<std::string>{"big", "big.harvex-partial"}));
    EXPECT_EQ(m_disk.ReadFile("run/big"), data);
    EXPECT_EQ(m_sink.CountStarting(L"E:\\big is copied as"), 0u);
}

// Creates `depth` nested folders "d" below host folder root, with a file in the first.
void MakeDeepTree(const std::string& root, int depth) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int level = 0; level < depth; ++level) {
        ASSERT_EQ(::mkdirat(fd, "d", 0755), 0) << level;
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0) << level;
        fd = next;
        if (level == 0) {
            const int file = ::openat(fd, "f", O_WRONLY | O_CREAT, 0644);
            ASSERT_EQ(::write(file, "f", 1), 1);
            ::close(file);
        }
    }
    ::close(fd);
}

// How many folders "d" lie one in another below host folder root.
int DeepTreeDepth(const std::string& root) {
    int depth = 0;
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    while (fd >= 0) {
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        depth += fd >= 0 ? 1 : 0;
    }
    return depth;
}

// 10,000 nested folders on a thread with a 256 KiB stack: copied as deep as the system's path
// limit allows, every folder beyond logged, and the thread lives to return.
TEST_F(TreeCopyTest, TenThousandNestedFoldersOnASmallStack) {
    // In memory when it can be: 10,000 folders on a shared disk take many seconds.
    const TempFolder card("/dev/shm");
    const TempFolder disk("/dev/shm");
    MapCard(card.Path(), L"CARD", kSerial);
    platform::posix::MapDrive(L'D', disk.Path(), platform::kDriveFixed);
    disk.MakeFolder("run");
    MakeDeepTree(card.Path(), 10000);
    struct Job {
        TreeCopyTest* test;
        TreeCopyResult result;
    } job{this, {}};
    pthread_attr_t attributes;
    ASSERT_EQ(::pthread_attr_init(&attributes), 0);
    ASSERT_EQ(::pthread_attr_setstacksize(&attributes, 256u << 10), 0);
    pthread_t thread;
    ASSERT_EQ(::pthread_create(
                  &thread, &attributes,
                  [](void* context) -> void* {
                      auto* job = static_cast<Job*>(context);
                      job->result = job->test->Copy();
                      return nullptr;
                  },
                  &job),
              0);
    ::pthread_join(thread, nullptr);
    ::pthread_attr_destroy(&attributes);

    EXPECT_EQ(disk.ReadFile("run/d/f"), "f");
    const int copied = DeepTreeDepth(disk.At("run"));
    EXPECT_GT(copied, 1000); // a host path holds at most 4,096 bytes
    EXPECT_GE(job.result.errorCount, 1u);
    EXPECT_EQ(job.result.errorCount, m_sink.CountStarting(L"CreateDirectory failed for D:\\run\\d\\d") +
                                         m_sink.CountStarting(L"FindFirstFile failed for E:\\d\\d") +
                                         m_sink.CountStarting(L"GetFileAttributesEx failed for E:\\d\\d"));
    EXPECT_EQ(m_sink.CountStarting(L"E:\\d"),
              static_cast<size_t>(copied) + 1 + m_sink.CountStarting(L"CreateDirectory failed"));
    // TempFolder's removal works with whole paths, which stop at the limit.
    EXPECT_EQ(std::system(("rm -rf " + card.At("d") + " " + disk.At("run/d")).c_str()), 0);
}

// Another volume at the letter: between folders, and during a file.
TEST_F(TreeCopyTest, AChangedVolumeEndsTheCopyAndFilesNothingOfIt) {
    m_card.MakeFolder("A");
    m_card.MakeFolder("B");
    m_card.WriteFile("A/a1", "a1");
    m_card.WriteFile("B/b1", "b1");
    m_sink.onLine = [this](const std::wstring& line) {
        if (line == L"E:\\A" || line == L"E:\\B")
            MapCard(m_card.Path(), L"CARD", kSerial + 1);
    };
    TreeCopyResult result = Copy();
    EXPECT_TRUE(result.volumeChanged);
    EXPECT_FALSE(result.stopped);
    EXPECT_EQ(result.errorCount, 1u);
    EXPECT_EQ(m_sink.lines.back(), L"Stopped: the volume in E: was changed.");
    EXPECT_EQ(Names(m_disk.At("run")).size(), 1u); // the folder entered before the change, and no more

    // The label alone changes while a file is copied, a second after the last look.
    m_sink = RecordingSink();
    platformtest::RemoveTree(m_card.At("A"));
    platformtest::RemoveTree(m_card.At("B"));
    MapCard(m_card.Path(), L"CARD", kSerial);
    m_card.WriteFile("big", std::string(20u << 20, 'b'));
    m_disk.MakeFolder("run2");
    bool changed = false;
    m_sink.onProgress = [&](uint64_t) {
        if (changed)
            return;
        changed = true;
        MapCard(m_card.Path(), L"OTHER", kSerial);
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    };
    TreeCopyInput input{L"E:", {{L"D:\\run2"}}, &m_stop, platform::VolumeIdentity{kSerial, L"CARD"}};
    result = CTreeCopy(input, m_sink).Run();
    EXPECT_TRUE(result.volumeChanged);
    EXPECT_EQ(result.filesCopied, 0u);
    EXPECT_TRUE(Names(m_disk.At("run2")).empty());
    EXPECT_EQ(m_sink.lines, (std::vector<std::wstring>{L"Stopped: the volume in E: was changed."}));

    // Changed as soon as a copy is complete: it waits under its temporary name for the next look,
    // which drops it.
    m_sink = RecordingSink();
    MapCard(m_card.Path(), L"CARD", kSerial);
    m_disk.MakeFolder("run3");
    m_sink.onProgress = [&](uint64_t done) {
        if (done == (20u << 20))
            MapCard(m_card.Path(), L"CARD", kSerial + 2);
    };
    input.destinations[0].root = L"D:\\run3";
    result = CTreeCopy(input, m_sink).Run();
    EXPECT_TRUE(result.volumeChanged);
    EXPECT_EQ(result.filesCopied, 0u);
    EXPECT_TRUE(Names(m_disk.At("run3")).empty());
    EXPECT_EQ(m_sink.lines,
              (std::vector<std::wstring>{L"E:\\big", L"Stopped: the volume in E: was changed."}));
}

// Two names that are not UTF-8 stay two files with their own data; a listing that names one entry
// twice (as Wine lists two such names) copies the first and reports each further one: never a
// second copy of the first file's data under a numbered name.
TEST_F(TreeCopyTest, ANameListedTwiceIsAnErrorAndBytesOfNamesAreKept) {
    m_card.WriteFile("bad\xff.jpg", "first");
    m_card.WriteFile("bad\xfe.jpg", "second");
    m_card.WriteFile("dup.jpg", "dup");
    m_card.MakeFolder("sub");
    m_card.WriteFile("sub/in", "in");
    TreeCopyInput input = Input();
    input.onListing = [](std::vector<platform::FolderEntry>& entries) {
        for (size_t i = 0, count = entries.size(); i < count; ++i) {
            if (entries[i].name == L"dup.jpg" || entries[i].name == L"sub")
                entries.push_back(entries[i]);
        }
    };
    const TreeCopyResult result = CTreeCopy(input, m_sink).Run();

    EXPECT_EQ(result.errorCount, 2u);
    EXPECT_EQ(result.filesCopied, 4u);
    EXPECT_EQ(Names(m_disk.At("run")),
              (std::set<std::string>{"bad\xff.jpg", "bad\xfe.jpg", "dup.jpg", "sub"}));
    EXPECT_EQ(m_disk.ReadFile("run/bad\xff.jpg"), "first");
    EXPECT_EQ(m_disk.ReadFile("run/bad\xfe.jpg"), "second");
    EXPECT_EQ(Names(m_disk.At("run/sub")), (std::set<std::string>{"in"}));
    EXPECT_TRUE(m_sink.Has(L"Not copied: E:\\dup.jpg: the volume lists another entry under the same name."));
    EXPECT_TRUE(m_sink.Has(L"Not copied: E:\\sub: the volume lists another entry under the same name."));
    const std::wstring shown = VisibleLogText(platform::FromHostName("E:\\bad\xff.jpg"));
    EXPECT_EQ(shown, L"E:\\bad?.jpg");
}

// The temporary and numbered names of names near the limit (in UTF-16 units and in UTF-8 bytes)
// fit; a name that fits keeps itself; Harvex's own names are never taken from a volume.
TEST_F(TreeCopyTest, LongNamesAndHarvexsOwnNamesGetNamesThatFit) {
    const std::string ascii(250, 'a');
    std::string cjk;
    for (int i = 0; i < 80; ++i)
        cjk += "\xE6\xBC\xA2"; // U+6F22, 3 bytes
    cjk += ".jpg";
    const std::string meeting(254, 'm');
    for (const auto& [name, data] :
         std::vector<std::pair<std::string, std::string>>{{ascii, "ascii"},
                                                          {cjk, "cjk"},
                                                          {meeting + ".", "dot"},
                                                          {meeting + "_", "underscore"},
                                                          {"x.harvex-partial", "leftover?"},
                                                          {"r.COPIED", "record?"},
                                                          {"l.sha256", "list?"}})
        m_card.WriteFile(name, data);
    m_card.MakeFolder("sub");
    m_card.WriteFile("sub/s.sha256", "deeper");
    TreeCopyInput input = Input();
    input.intoCopyTo = true;
    const TreeCopyResult result = CTreeCopy(input, m_sink).Run();

    EXPECT_EQ(result.errorCount, 0u);
    EXPECT_EQ(result.filesCopied, 8u);
    const std::string numbered = std::string(251, 'm') + " (2)";
    EXPECT_EQ(Names(m_disk.At("run")),
              (std::set<std::string>{ascii, cjk, meeting + "_", numbered, "x.harvex-partial_", "r.COPIED_",
                                     "l.sha256_", "sub"}));
    EXPECT_EQ(m_disk.ReadFile("run/" + ascii), "ascii");
    EXPECT_EQ(m_disk.ReadFile("run/" + cjk), "cjk");
    EXPECT_EQ(
        (std::set<std::string>{m_disk.ReadFile("run/" + meeting + "_"), m_disk.ReadFile("run/" + numbered)}),
        (std::set<std::string>{"dot", "underscore"}));
    EXPECT_EQ(m_disk.ReadFile("run/x.harvex-partial_"), "leftover?");
    EXPECT_EQ(Names(m_disk.At("run/sub")), (std::set<std::string>{"s.sha256"}));
    EXPECT_TRUE(
        m_sink.Has(L"E:\\x.harvex-partial is copied as x.harvex-partial_: its name is one that Harvex "
                   L"gives its own files."));
    EXPECT_TRUE(m_sink.Has(L"E:\\r.COPIED is copied as r.COPIED_: its name is one that Harvex gives its own "
                           L"files."));
}

// A folder that cannot be listed (gone between its parent's listing and its own) is one error, with
// its reason.
TEST_F(TreeCopyTest, AFolderThatCannotBeListedIsOneError) {
    m_card.MakeFolder("gone");
    m_card.WriteFile("gone/x", "x");
    m_card.WriteFile("y", "y");
    m_sink.onLine = [&](const std::wstring& line) {
        if (line == L"E:\\gone") {
            ::unlink(m_card.At("gone/x").c_str());
            ::rmdir(m_card.At("gone").c_str());
        }
    };
    const TreeCopyResult result = Copy();

    EXPECT_EQ(result.errorCount, 1u);
    EXPECT_EQ(result.filesCopied, 1u);
    EXPECT_TRUE(m_sink.Has(L"FindFirstFile failed for E:\\gone: " +
                           platform::ErrorText(platform::kErrorPathNotFound)))
        << platform::ToUtf8(m_sink.lines.back());
}

TEST(FileNames, SafeNumberedAndTemporaryNames) {
    const struct {
        const wchar_t* name;
        const wchar_t* safe;
    } safeCases[] = {
        {L"IMG_0001.JPG", L"IMG_0001.JPG"},
        {L"a.", L"a_"},
        {L"Fotos ", L"Fotos_"},
        {L"...", L"___"},
        {L"com1", L"com1_"},
        {L"CON.txt", L"CON_.txt"},
        {L"lpt9 .x", L"lpt9 _.x"},
        {L"conin$", L"conin$_"},
        {L"COM0", L"COM0"},
        {L"a:b*c?\"<>|", L"a_b_c_____"},
        {L"x\r\ny", L"x__y"},
        {L".profile", L".profile"},
    };
    for (const auto& c : safeCases)
        EXPECT_EQ(SafeName(c.name), c.safe) << platform::ToUtf8(c.name);
    EXPECT_EQ(SafeName(std::wstring(L"..") + platform::kHostBackslash + L"x"), L".._x");

    EXPECT_EQ(NumberedName(L"IMG.JPG", 2), L"IMG (2).JPG");
    EXPECT_EQ(NumberedName(L"notes", 3), L"notes (3)");
    EXPECT_EQ(NumberedName(L".profile", 2), L".profile (2)");
    EXPECT_EQ(NumberedName(L"a.tar.gz", 10), L"a.tar (10).gz");
    const std::wstring longest = std::wstring(251, L'n') + L".jpg";
    EXPECT_EQ(NumberedName(longest, 2), std::wstring(247, L'n') + L" (2).jpg");
    EXPECT_EQ(NumberedName(longest, 2).size(), kMaxNameLength);

    EXPECT_EQ(TemporaryName(L"IMG.JPG"), L"IMG.JPG.harvex-partial");
    EXPECT_EQ(TemporaryName(longest).size(), kMaxNameLength);
    // A surrogate pair is never cut in half.
    const std::wstring emoji = std::wstring(239, L'e') + L"\xD83D\xDE00";
    EXPECT_EQ(TemporaryName(emoji), std::wstring(239, L'e') + L".harvex-partial");
    for (const std::wstring& name :
         {TemporaryName(L"a"), NumberedName(TemporaryName(L"a.b"), 2), TemporaryName(longest)})
        EXPECT_TRUE(IsTemporaryName(name)) << platform::ToUtf8(name);
    for (const std::wstring name : {L"a", L"harvex-partial", L"a.harvex-partial (2)"})
        EXPECT_FALSE(IsTemporaryName(name)) << platform::ToUtf8(name);

    // Under Wine and on Linux a name is kept to 255 UTF-8 bytes: 85 characters of three bytes.
    const std::wstring wide = std::wstring(100, L'\x6F22') + L".jpg";
    EXPECT_EQ(NameLength(wide), 304u);
    const CopyName fitted = NameInCopy(wide, {true});
    EXPECT_EQ(fitted.name, std::wstring(83, L'\x6F22') + L".jpg");
    EXPECT_STREQ(fitted.reason, L"its name is too long for the destination.");
    EXPECT_EQ(NameLength(NumberedName(fitted.name, 10000)), 255u);
    EXPECT_EQ(NameLength(TemporaryName(fitted.name)), 255u);
    EXPECT_EQ(NameInCopy(std::wstring(85, L'\x6F22'), {true}).reason, nullptr);
    EXPECT_EQ(NameInCopy(L"a.Harvex-Partial", {false}).reason, nullptr);
    EXPECT_EQ(NameInCopy(L"a.Harvex-Partial", {true}).name, L"a.Harvex-Partial_");
    EXPECT_EQ(NameInCopy(L"a.copied", {true, false}).name, L"a.copied");
}

} // namespace

// Two destinations: every file is read from the volume once, and each destination gets all of it.
TEST_F(TreeCopyTest, OneReadOfEachFileFillsBothDestinations) {
    const std::string big(8u << 20, 'x');
    m_card.MakeFolder("DCIM");
    m_card.WriteFile("DCIM/big.bin", big);
    m_card.WriteFile("small.txt", "small");
    m_disk.MakeFolder("second");
    TreeCopyInput input = Input();
    input.destinations.push_back(CopyDestination{L"D:\\second"});
    const uint64_t before = ReadBytesSoFar();
    const TreeCopyResult result = CTreeCopy(std::move(input), m_sink).Run();
    const uint64_t read = ReadBytesSoFar() - before;
    EXPECT_EQ(result.errorCount, 0u);
    EXPECT_EQ(result.filesCopied, 4u);
    ASSERT_EQ(result.targets.size(), 2u);
    EXPECT_EQ(result.targets[1].filesCopied, 2u);
    EXPECT_EQ(result.doneBytes, big.size() + 5) << "progress follows the volume, not the copies";
    for (const std::string run : {"run", "second"}) {
        EXPECT_EQ(m_disk.ReadFile(run + "/DCIM/big.bin"), big);
        EXPECT_EQ(m_disk.ReadFile(run + "/small.txt"), "small");
    }
    EXPECT_GE(read, big.size());
    EXPECT_LT(read, big.size() + big.size() / 2) << "the source was read once, not once a destination";
}

namespace {

// A verified run into D:\run with its checksum list beside it (D:\run.sha256); the listing sorted,
// so that files are copied in the order of their names.
class VerifiedTreeCopyTest : public TreeCopyTest {
protected:
    VerifiedTreeCopyTest()
        : m_records(CopyingOptions{1, 0}, RunPlace{L"E:", L"D:\\run", false, L"CARD", kSerial, {}}) {}

    TreeCopyResult CopyVerified(ReadBackFn readBack) {
        TreeCopyInput input = Input();
        input.destinations[0].records = &m_records;
        input.onListing = [](std::vector<platform::FolderEntry>& entries) {
            std::sort(entries.begin(), entries.end(),
                      [](const auto& a, const auto& b) { return a.name < b.name; });
        };
        input.readBack = std::move(readBack);
        const TreeCopyResult result = CTreeCopy(std::move(input), m_sink).Run();
        m_records.Finish({}, result.stopped, result.errorCount, false);
        return result;
    }
    // The copies' paths in the list, below "Copy to".
    std::set<std::string> Listed() const {
        std::set<std::string> paths;
        std::istringstream list(m_disk.ReadFile("run.sha256"));
        for (std::string line; std::getline(list, line);) {
            if (!line.empty() && line[0] != '#')
                paths.insert(line.substr(line.find("  ") + 2));
        }
        return paths;
    }

    RunRecords m_records;
};

// Waits for a condition another thread makes true; a bound on the wait only turns a deadlock
// (the order the test needs cannot happen) into a failure.
class Latch {
public:
    void Set() {
        {
            std::lock_guard lock(m_mutex);
            m_set = true;
        }
        m_changed.notify_all();
    }
    bool Wait() {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_set; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_set = false;
};

} // namespace

// a.bin's copy is changed on the disk after it was written; its read-back runs while b.bin is being
// copied (a.bin's read-back waits for b.bin's copy to begin, and b.bin's copy waits inside the file
// for a.bin's verdict). The change is caught, a.bin is written once more, changed again and given
// up; b.bin is filed and listed.
TEST_F(VerifiedTreeCopyTest, AChangedCopyIsCaughtWhileTheNextFileIsCopied) {
    const std::string a(3u << 20, 'a');
    const std::string b(3u << 20, 'b');
    m_card.WriteFile("a.bin", a);
    m_card.WriteFile("b.bin", b);
    Latch bInFlight;
    Latch aReadBack;
    bool aReadBackWaited = false;
    bool bWaited = false;
    m_sink.onProgress = [&](uint64_t done) {
        // Past a.bin and b.bin's first chunk, before its next read.
        if (done > a.size() && done < a.size() + b.size() && !bWaited) {
            bInFlight.Set();
            bWaited = aReadBack.Wait();
        }
    };
    int aReadBacks = 0;
    const TreeCopyResult result = CopyVerified(
        [&](const std::wstring& path, const std::atomic<int32_t>* stop, platform::Xxh128Digest& digest) {
            const std::string host = platform::posix::HostPath(path);
            if (host.find("/a.bin") != std::string::npos) {
                if (++aReadBacks == 1)
                    aReadBackWaited = bInFlight.Wait();
                const int fd = ::open(host.c_str(), O_WRONLY);
                EXPECT_EQ(::pwrite(fd, "X", 1, 0), 1);
                ::close(fd);
            }
            const platform::ErrorCode error = platform::ReadBackHash(path, stop, digest);
            if (host.find("/a.bin") != std::string::npos)
                aReadBack.Set();
            return error;
        });
    EXPECT_TRUE(aReadBackWaited && bWaited) << "a.bin's read-back ran while b.bin was copied";
    EXPECT_EQ(aReadBacks, 2) << "written once more, then given up";
    EXPECT_TRUE(m_sink.Has(L"Verify failed for E:\\a.bin: the copy differs from the source."));
    EXPECT_EQ(result.errorCount, 1u);
    EXPECT_EQ(result.filesCopied, 1u);
    EXPECT_EQ(Names(m_disk.At("run")), (std::set<std::string>{"b.bin"}));
    EXPECT_EQ(m_disk.ReadFile("run/b.bin"), b);
    EXPECT_EQ(Listed(), (std::set<std::string>{"run/b.bin"}));
}

// Stop comes when every file is copied and none is read back yet: each is reported, counted as an
// error, and neither filed nor listed; no temporary copy is left.
TEST_F(VerifiedTreeCopyTest, AStopWithCopiesUnverifiedReportsEachAndListsNone) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        m_card.WriteFile(name, std::string(1000, name[0]));
    Latch stopped;
    int ends = 0;
    // The second report of the whole comes after c.jpg's copy (the first, from inside it, would cut it).
    m_sink.onProgress = [&](uint64_t done) {
        if (done == 3000 && ++ends == 2) {
            m_stop = 1;
            stopped.Set();
        }
    };
    const TreeCopyResult result = CopyVerified(
        [&](const std::wstring& path, const std::atomic<int32_t>* stop, platform::Xxh128Digest& digest) {
            EXPECT_TRUE(stopped.Wait());
            return platform::ReadBackHash(path, stop, digest);
        });
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.errorCount, 3u);
    EXPECT_EQ(result.filesCopied, 0u);
    for (const wchar_t* name : {L"a.jpg", L"b.jpg", L"c.jpg"})
        EXPECT_TRUE(
            m_sink.Has(std::wstring(L"CopyFileEx failed for E:\\") + name + L": The request was aborted."))
            << platform::ToUtf8(name);
    EXPECT_EQ(Names(m_disk.At("run")), std::set<std::string>{});
    EXPECT_EQ(Listed(), std::set<std::string>{});
    EXPECT_NE(m_disk.ReadFile("run.sha256").find("# Not complete: the run was stopped"), std::string::npos);
}
