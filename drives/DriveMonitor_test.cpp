#include "drives/DriveMonitor.h"
#include "drives/DriveTypes.h"
#include "drives/VolumeNotification.h"
#include "platform/Drives.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using platform::RegType;

// A list that keeps its rows and, like the list view, reports each row's new check state to the
// monitor while it is being added.
class FakeDriveList : public IDriveList {
public:
    struct Row {
        std::wstring caption;
        uint32_t stateImage = 0;
        intptr_t param = 0;
    };

    explicit FakeDriveList(std::vector<std::string>& events) : m_events(events) {}

    void DeleteAllRows() override {
        m_events.push_back("refresh");
        rows.clear();
    }
    void AddRow(const std::wstring& caption, bool checked, int32_t recordKey) override {
        uint32_t state = checked ? kStateImageTicked : kStateImageUnticked;
        rows.push_back({caption, state, recordKey});
        if (monitor)
            monitor->OnDriveListItemChanged({static_cast<int32_t>(rows.size() - 1), 0, state});
    }
    std::optional<intptr_t> RowParam(int32_t row) const override {
        if (row < 0 || static_cast<size_t>(row) >= rows.size())
            return std::nullopt;
        return rows[static_cast<size_t>(row)].param;
    }
    uint32_t RowStateImage(int32_t row) const override {
        if (row < 0 || static_cast<size_t>(row) >= rows.size())
            return 0;
        return rows[static_cast<size_t>(row)].stateImage;
    }

    std::vector<std::wstring> Captions() const {
        std::vector<std::wstring> captions;
        for (const Row& row : rows)
            captions.push_back(row.caption);
        return captions;
    }
    int32_t RowOf(const std::wstring& caption) const {
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].caption == caption)
                return static_cast<int32_t>(i);
        }
        return -1;
    }

    std::vector<Row> rows;
    DriveMonitor* monitor = nullptr;

private:
    std::vector<std::string>& m_events;
};

class FakeDriveJobs : public IDriveJobs {
public:
    FakeDriveJobs(std::vector<std::string>& events, const FakeDriveList& list)
        : m_events(events), m_list(list) {}

    void Attach(int32_t driveIndex) override { Note("attach", driveIndex); }
    void AttachUnmanaged(int32_t driveIndex) override { Note("unmanaged", driveIndex); }
    void Detach(int32_t driveIndex) override { Note("detach", driveIndex); }

    // The list's captions as they were when each job was called.
    std::vector<std::vector<std::wstring>> listAtCall;

private:
    void Note(const char* what, int32_t driveIndex) {
        m_events.push_back(std::string(what) + " " + std::to_string(driveIndex));
        listAtCall.push_back(m_list.Captions());
    }
    std::vector<std::string>& m_events;
    const FakeDriveList& m_list;
};

std::vector<uint8_t> Bytes(uint32_t value) {
    std::vector<uint8_t> data(4);
    std::memcpy(data.data(), &value, 4);
    return data;
}

void StoreDword(int32_t key, const wchar_t* name, uint32_t value) {
    platform::posix::WriteValue(DriveRecordKeyPath(key), name, RegType::Dword, Bytes(value));
}

// The stored value, or nothing when it is missing.
std::optional<uint32_t> Stored(int32_t key, const wchar_t* name) {
    RegType type{};
    std::vector<uint8_t> data;
    if (!platform::posix::ReadValue(DriveRecordKeyPath(key), name, type, data) || data.size() != 4)
        return std::nullopt;
    uint32_t value = 0;
    std::memcpy(&value, data.data(), 4);
    return value;
}

// Every stored value of every record, to see what an operation wrote.
std::map<std::wstring, std::vector<uint8_t>> RegistrySnapshot() {
    std::map<std::wstring, std::vector<uint8_t>> snapshot;
    for (int32_t key = kFirstRecordKey; key <= kLastRecordKey; ++key) {
        for (const wchar_t* name : {L"Seen", L"Managed", L"Last type"}) {
            RegType type{};
            std::vector<uint8_t> data;
            if (platform::posix::ReadValue(DriveRecordKeyPath(key), name, type, data))
                snapshot[DriveRecordKeyPath(key) + L"|" + name] = data;
        }
    }
    return snapshot;
}

std::vector<std::byte> VolumeBroadcast(uint32_t unitMask) {
    std::vector<std::byte> bytes(20);
    uint32_t fields[4] = {20, kDeviceTypeVolume, 0, unitMask};
    std::memcpy(bytes.data(), fields, sizeof fields);
    return bytes;
}

const std::vector<std::wstring> kPolicyCaptions = {L"New removable drives", L"New fixed drives",
                                                   L"New remote drives",    L"New CD-ROM drives",
                                                   L"New ramdisk drives",   L"Other new drives"};

class DriveMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::posix::ResetRegistry();
        platform::posix::UnmapAllDrives();
    }
    void TearDown() override {
        platform::posix::ResetRegistry();
        platform::posix::UnmapAllDrives();
    }

    // A monitor as the dialog makes it: records loaded at construction, the list filled at start.
    DriveMonitor& Start() {
        m_monitor = std::make_unique<DriveMonitor>(m_list, m_jobs);
        m_list.monitor = m_monitor.get();
        m_monitor->RefreshDrives();
        m_events.clear();
        m_jobs.listAtCall.clear();
        return *m_monitor;
    }

    // The user clicks a row's check box: the list changes the state image and reports it.
    void ClickCheckBox(const std::wstring& caption) {
        int32_t row = m_list.RowOf(caption);
        ASSERT_GE(row, 0) << "no row " << platform::ToUtf8(caption);
        uint32_t before = m_list.rows[static_cast<size_t>(row)].stateImage;
        uint32_t after = before == kStateImageTicked ? kStateImageUnticked : kStateImageTicked;
        m_list.rows[static_cast<size_t>(row)].stateImage = after;
        m_monitor->OnDriveListItemChanged({row, before, after});
    }

    bool RowTicked(const std::wstring& caption) const {
        int32_t row = m_list.RowOf(caption);
        EXPECT_GE(row, 0);
        return row >= 0 && m_list.rows[static_cast<size_t>(row)].stateImage == kStateImageTicked;
    }

    intptr_t Notify(uint32_t event, uint32_t unitMask) {
        auto bytes = VolumeBroadcast(unitMask);
        return m_monitor->OnDeviceChange(event, bytes.data());
    }

    std::vector<std::string> m_events;
    FakeDriveList m_list{m_events};
    FakeDriveJobs m_jobs{m_events, m_list};
    std::unique_ptr<DriveMonitor> m_monitor;
};

// --- Records at start ---

TEST_F(DriveMonitorTest, FirstStartCreatesAll32SubkeysWithDwordClass) {
    DriveMonitor monitor(m_list, m_jobs);
    auto names = platform::posix::SubkeyNames(L"SOFTWARE\\Quenby\\Harvex2\\Drives");
    std::vector<std::wstring> expected = {L"CD-ROM", L"FIXED",   L"NETWORK",
                                          L"OTHER",  L"RAMDISK", L"REMOVABLE"};
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter)
        expected.push_back(std::wstring(1, letter));
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    for (int32_t key = kFirstRecordKey; key <= kLastRecordKey; ++key) {
        EXPECT_EQ(platform::posix::KeyClass(DriveRecordKeyPath(key)), L"DWORD") << key;
        const DriveRecord* record = monitor.FindRecord(key);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->key, key);
        EXPECT_FALSE(record->seen);
        EXPECT_FALSE(record->managed);
        EXPECT_EQ(record->lastType, -1);
    }
    EXPECT_EQ(monitor.Records().size(), 32u);
    EXPECT_EQ(monitor.FindRecord(-7), nullptr);
    EXPECT_EQ(monitor.FindRecord(26), nullptr);
    EXPECT_TRUE(m_events.empty()) << "construction must not touch the list";
}

TEST_F(DriveMonitorTest, FreshStartWithOnlyCShowsItUntickedAndTheDefaultPolicyTicks) {
    platform::posix::MapDrive(L'C', "/", platform::kDriveFixed);
    Start();
    std::vector<std::wstring> expected = {L"C:\\ [FIXED]"};
    expected.insert(expected.end(), kPolicyCaptions.begin(), kPolicyCaptions.end());
    ASSERT_EQ(m_list.Captions(), expected);
    std::vector<intptr_t> keys;
    std::vector<bool> ticks;
    for (const auto& row : m_list.rows) {
        keys.push_back(row.param);
        ticks.push_back(row.stateImage == kStateImageTicked);
    }
    EXPECT_EQ(keys, (std::vector<intptr_t>{2, -2, -3, -4, -5, -6, -1}));
    EXPECT_EQ(ticks, (std::vector<bool>{false, true, false, false, true, false, false}));
}

TEST_F(DriveMonitorTest, PolicyDefaultsStayInMemoryOnly) {
    platform::posix::MapDrive(L'C', "/", platform::kDriveFixed);
    DriveMonitor& monitor = Start();
    EXPECT_TRUE(monitor.FindRecord(-2)->managed);
    EXPECT_TRUE(monitor.FindRecord(-5)->managed);
    for (int32_t key = -6; key <= -1; ++key) {
        EXPECT_FALSE(Stored(key, L"Managed")) << key;
        EXPECT_FALSE(Stored(key, L"Seen")) << key;
    }
}

// --- First sighting ---

TEST_F(DriveMonitorTest, NewRemovableDriveTakesTheDefaultPolicyAndIsStored) {
    platform::posix::MapDrive(L'F', "/tmp", platform::kDriveRemovable);
    Start();
    EXPECT_TRUE(RowTicked(L"F:\\ [REMOVABLE]"));
    EXPECT_EQ(Stored(5, L"Seen"), 1u);
    EXPECT_EQ(Stored(5, L"Managed"), 1u);
    EXPECT_EQ(Stored(5, L"Last type"), 2u);
}

TEST_F(DriveMonitorTest, NewFixedDriveStaysUnmanagedWhileItsPolicyWasNeverTicked) {
    platform::posix::MapDrive(L'D', "/", platform::kDriveFixed);
    Start();
    EXPECT_FALSE(RowTicked(L"D:\\ [FIXED]"));
    EXPECT_EQ(Stored(3, L"Managed"), 0u);
}

TEST_F(DriveMonitorTest, LettersAAndBNeverTakeAPolicy) {
    platform::posix::MapDrive(L'A', "/tmp", platform::kDriveRemovable);
    platform::posix::MapDrive(L'B', "/tmp", platform::kDriveRemovable);
    StoreDword(1, L"Managed", 1);
    Start();
    EXPECT_FALSE(RowTicked(L"A:\\ [REMOVABLE]"));
    EXPECT_TRUE(RowTicked(L"B:\\ [REMOVABLE]"));
    EXPECT_EQ(Stored(0, L"Managed"), 0u);
    EXPECT_EQ(Stored(1, L"Managed"), 1u);
}

TEST_F(DriveMonitorTest, PolicyAppliesOnlyAtTheFirstSighting) {
    StoreDword(7, L"Seen", 1);
    StoreDword(7, L"Managed", 0);
    StoreDword(7, L"Last type", 2);
    platform::posix::MapDrive(L'H', "/tmp", platform::kDriveRemovable);
    Start();
    EXPECT_FALSE(RowTicked(L"H:\\ [REMOVABLE]"));
    EXPECT_EQ(Stored(7, L"Managed"), 0u);
}

TEST_F(DriveMonitorTest, UntickingTheRemovablePolicyAffectsOnlyLaterNewDrives) {
    platform::posix::MapDrive(L'F', "/tmp", platform::kDriveRemovable);
    Start();
    ClickCheckBox(L"New removable drives");
    EXPECT_EQ(Stored(-2, L"Managed"), 0u);

    platform::posix::MapDrive(L'G', "/tmp", platform::kDriveRemovable);
    Notify(kDeviceArrival, 1u << 6);
    EXPECT_FALSE(RowTicked(L"G:\\ [REMOVABLE]"));
    EXPECT_TRUE(RowTicked(L"F:\\ [REMOVABLE]"));
    EXPECT_FALSE(RowTicked(L"New removable drives"));

    // The unticked policy is now stored, so the default no longer applies after a restart.
    Start();
    EXPECT_FALSE(RowTicked(L"New removable drives"));
}

TEST_F(DriveMonitorTest, UnknownDriveTypeTakesTheOtherPolicyAndIsStoredAsZero) {
    StoreDword(-1, L"Managed", 1);
    platform::posix::MapDrive(L'K', "/tmp", 9);
    Start();
    EXPECT_TRUE(RowTicked(L"K:\\ [UNKNOWN]"));
    EXPECT_EQ(Stored(10, L"Last type"), 0u);
}

// --- Row captions ---

TEST_F(DriveMonitorTest, CaptionsOfPresentAbsentAndNeverTypedLetters) {
    platform::posix::MapDrive(L'Q', "/tmp", platform::kDriveRemovable);
    StoreDword(6, L"Seen", 1); // G: seen once, type never stored
    StoreDword(8, L"Seen", 1); // I: last seen with a hand-edited type
    StoreDword(8, L"Last type", 99);
    StoreDword(9, L"Seen", 1); // J: last seen as a CD-ROM drive
    StoreDword(9, L"Last type", 5);
    Start();
    EXPECT_NE(m_list.RowOf(L"Q:\\ [REMOVABLE]"), -1);
    EXPECT_NE(m_list.RowOf(L"G:\\ [NO ACCESS]"), -1);
    EXPECT_NE(m_list.RowOf(L"I:\\ [NONE (UNKNOWN)]"), -1);
    EXPECT_NE(m_list.RowOf(L"J:\\ [NONE (CD-ROM)]"), -1);

    platform::posix::UnmapDrive(L'Q');
    m_monitor->RefreshDrives();
    EXPECT_NE(m_list.RowOf(L"Q:\\ [NONE (REMOVABLE)]"), -1);
}

TEST_F(DriveMonitorTest, NegativeStoredLastTypeReadsAsUnknown) {
    StoreDword(8, L"Seen", 1);
    StoreDword(8, L"Last type", 0xFFFFFFFF);
    Start();
    EXPECT_EQ(m_monitor->GetDriveTypeText(8), L"NONE (UNKNOWN)");
}

TEST_F(DriveMonitorTest, DriveRowsComeInLetterOrderAboveThePolicyRows) {
    platform::posix::MapDrive(L'Z', "/tmp", platform::kDriveRemote);
    platform::posix::MapDrive(L'C', "/", platform::kDriveFixed);
    StoreDword(4, L"Seen", 1);
    StoreDword(4, L"Last type", 2);
    Start();
    std::vector<std::wstring> expected = {L"C:\\ [FIXED]", L"E:\\ [NONE (REMOVABLE)]", L"Z:\\ [NETWORK]"};
    expected.insert(expected.end(), kPolicyCaptions.begin(), kPolicyCaptions.end());
    EXPECT_EQ(m_list.Captions(), expected);
}

TEST_F(DriveMonitorTest, AbsentLetterKeepsItsStoredValuesUntouched) {
    StoreDword(4, L"Seen", 1);
    StoreDword(4, L"Managed", 5);
    StoreDword(4, L"Last type", 2);
    platform::posix::MapDrive(L'C', "/", platform::kDriveFixed);
    Start();
    m_monitor->RefreshDrives();
    EXPECT_EQ(Stored(4, L"Managed"), 5u);
    EXPECT_TRUE(RowTicked(L"E:\\ [NONE (REMOVABLE)]"));
}

TEST_F(DriveMonitorTest, BrokenDriveListScansNothingButStillListsSeenLetters) {
    StoreDword(4, L"Seen", 1);
    StoreDword(4, L"Last type", 2);
    platform::posix::MapDrive(L'C', "/", platform::kDriveFixed);
    platform::posix::SetDriveListBroken(true);
    auto before = RegistrySnapshot();
    Start();
    EXPECT_EQ(RegistrySnapshot(), before);
    std::vector<std::wstring> expected = {L"E:\\ [NONE (REMOVABLE)]"};
    expected.insert(expected.end(), kPolicyCaptions.begin(), kPolicyCaptions.end());
    EXPECT_EQ(m_list.Captions(), expected);
}

TEST_F(DriveMonitorTest, RefreshReloadsWhatIsStored) {
    platform::posix::MapDrive(L'C', "/", platform::kDriveFixed);
    Start();
    StoreDword(2, L"Managed", 1);
    m_monitor->RefreshDrives();
    EXPECT_TRUE(RowTicked(L"C:\\ [FIXED]"));
}

TEST_F(DriveMonitorTest, BrokenRegistryStillBuildsTheList) {
    platform::posix::SetRegistryBroken(true);
    platform::posix::MapDrive(L'E', "/tmp", platform::kDriveRemovable);
    Start();
    EXPECT_TRUE(RowTicked(L"E:\\ [REMOVABLE]"));
    EXPECT_EQ(m_list.rows.size(), 7u);
}

// --- Device notifications ---

TEST_F(DriveMonitorTest, ArrivalOfOneLetterRefreshesThenAttaches) {
    Start();
    platform::posix::MapDrive(L'E', "/tmp", platform::kDriveRemovable);
    EXPECT_EQ(Notify(kDeviceArrival, 1u << 4), 1);
    EXPECT_EQ(m_events, (std::vector<std::string>{"refresh", "attach 4"}));
    ASSERT_EQ(m_jobs.listAtCall.size(), 1u);
    EXPECT_EQ(m_jobs.listAtCall[0].front(), L"E:\\ [REMOVABLE]");
}

TEST_F(DriveMonitorTest, ArrivalNamingSeveralLettersRefreshesBeforeEachInLetterOrder) {
    Start();
    platform::posix::MapDrive(L'D', "/tmp", platform::kDriveRemovable);
    platform::posix::MapDrive(L'E', "/tmp", platform::kDriveRemovable);
    Notify(kDeviceArrival, (1u << 4) | (1u << 3));
    EXPECT_EQ(m_events, (std::vector<std::string>{"refresh", "attach 3", "refresh", "attach 4"}));
}

TEST_F(DriveMonitorTest, ArrivalAtAnUnmanagedLetterIsHandedOverAsUnmanaged) {
    Start();
    platform::posix::MapDrive(L'D', "/", platform::kDriveFixed);
    platform::posix::MapDrive(L'E', "/tmp", platform::kDriveRemovable);
    Notify(kDeviceArrival, (1u << 3) | (1u << 4));
    EXPECT_EQ(m_events, (std::vector<std::string>{"refresh", "unmanaged 3", "refresh", "attach 4"}));
}

TEST_F(DriveMonitorTest, UserTickDecidesTheNextArrival) {
    platform::posix::MapDrive(L'D', "/", platform::kDriveFixed);
    Start();
    ClickCheckBox(L"D:\\ [FIXED]");
    m_events.clear();
    Notify(kDeviceArrival, 1u << 3);
    EXPECT_EQ(m_events, (std::vector<std::string>{"refresh", "attach 3"}));
}

TEST_F(DriveMonitorTest, RemovalRefreshesThenDetachesWithTheLetterStillListed) {
    platform::posix::MapDrive(L'E', "/tmp", platform::kDriveRemovable);
    Start();
    platform::posix::UnmapDrive(L'E');
    Notify(kDeviceRemoveComplete, 1u << 4);
    EXPECT_EQ(m_events, (std::vector<std::string>{"refresh", "detach 4"}));
    ASSERT_EQ(m_jobs.listAtCall.size(), 1u);
    EXPECT_EQ(m_jobs.listAtCall[0].front(), L"E:\\ [NONE (REMOVABLE)]");
}

TEST_F(DriveMonitorTest, RemovalOfAnUnmanagedLetterStillDetaches) {
    platform::posix::MapDrive(L'D', "/", platform::kDriveFixed);
    Start();
    Notify(kDeviceRemoveComplete, 1u << 3);
    EXPECT_EQ(m_events, (std::vector<std::string>{"refresh", "detach 3"}));
}

TEST_F(DriveMonitorTest, BadOrForeignNotificationsChangeNothing) {
    platform::posix::MapDrive(L'E', "/tmp", platform::kDriveRemovable);
    Start();
    auto before = RegistrySnapshot();

    EXPECT_EQ(m_monitor->OnDeviceChange(kDeviceArrival, nullptr), 1);
    EXPECT_EQ(m_monitor->OnDeviceChange(kDeviceRemoveComplete, nullptr), 1);
    EXPECT_EQ(Notify(0x8001 /* query remove */, 1u << 4), 1);
    EXPECT_EQ(Notify(0x0007 /* device nodes changed */, 1u << 4), 1);
    EXPECT_EQ(Notify(kDeviceArrival, 0xFC000000u), 1);
    EXPECT_EQ(Notify(kDeviceArrival, 0), 1);

    auto port = VolumeBroadcast(1u << 4);
    uint32_t portType = 3;
    std::memcpy(port.data() + 4, &portType, 4);
    EXPECT_EQ(m_monitor->OnDeviceChange(kDeviceArrival, port.data()), 1);

    auto shortHeader = std::make_unique<std::byte[]>(12);
    uint32_t header[3] = {12, kDeviceTypeVolume, 0};
    std::memcpy(shortHeader.get(), header, sizeof header);
    EXPECT_EQ(m_monitor->OnDeviceChange(kDeviceArrival, shortHeader.get()), 1);

    EXPECT_TRUE(m_events.empty());
    EXPECT_EQ(RegistrySnapshot(), before);
}

TEST_F(DriveMonitorTest, MaskBitsAboveZAreIgnoredBesideRealLetters) {
    Start();
    platform::posix::MapDrive(L'Z', "/tmp", platform::kDriveRemovable);
    Notify(kDeviceArrival, 0xFE000000u);
    EXPECT_EQ(m_events, (std::vector<std::string>{"refresh", "attach 25"}));
}

TEST_F(DriveMonitorTest, MediumChangeInACdDriveKeepsTheLetterListedAsCdRom) {
    platform::posix::MapDrive(L'G', "/tmp", platform::kDriveCdRom);
    Start();
    Notify(kDeviceRemoveComplete, 1u << 6);
    Notify(kDeviceArrival, 1u << 6);
    EXPECT_EQ(m_events, (std::vector<std::string>{"refresh", "detach 6", "refresh", "attach 6"}));
    EXPECT_EQ(m_jobs.listAtCall[0].front(), L"G:\\ [CD-ROM]");
}

// --- Ticks in the list ---

TEST_F(DriveMonitorTest, RebuildNeverWritesThroughTheChangeHandler) {
    platform::posix::MapDrive(L'C', "/", platform::kDriveFixed);
    Start(); // the fake list reports every row's check state while it is added
    EXPECT_FALSE(Stored(-2, L"Managed"));
    EXPECT_FALSE(Stored(-5, L"Managed"));
    EXPECT_FALSE(m_monitor->IsRefreshingList());
}

TEST_F(DriveMonitorTest, SelectionAndFocusChangesWriteNothing) {
    platform::posix::MapDrive(L'C', "/", platform::kDriveFixed);
    Start();
    auto before = RegistrySnapshot();
    const uint32_t kSelectedFocused = 0x3;
    for (int32_t row = 0; row < static_cast<int32_t>(m_list.rows.size()); ++row) {
        uint32_t image = m_list.rows[static_cast<size_t>(row)].stateImage;
        m_monitor->OnDriveListItemChanged({row, image, image | kSelectedFocused});
        m_monitor->OnDriveListItemChanged({row, image | kSelectedFocused, image});
    }
    EXPECT_EQ(RegistrySnapshot(), before);
}

TEST_F(DriveMonitorTest, TickingADriveRowWritesItsWholeRecord) {
    platform::posix::MapDrive(L'D', "/", platform::kDriveFixed);
    Start();
    ClickCheckBox(L"D:\\ [FIXED]");
    EXPECT_EQ(Stored(3, L"Managed"), 1u);
    EXPECT_EQ(Stored(3, L"Seen"), 1u);
    EXPECT_EQ(Stored(3, L"Last type"), 3u);
    ClickCheckBox(L"D:\\ [FIXED]");
    EXPECT_EQ(Stored(3, L"Managed"), 0u);
}

TEST_F(DriveMonitorTest, TickingAPolicyRowWritesOnlyThatPolicy) {
    platform::posix::MapDrive(L'D', "/", platform::kDriveFixed);
    Start();
    auto before = RegistrySnapshot();
    ClickCheckBox(L"New fixed drives");
    auto after = RegistrySnapshot();
    const std::wstring fixed = DriveRecordKeyPath(-3) + L"|";
    for (auto it = after.begin(); it != after.end();) {
        if (it->first.starts_with(fixed))
            it = after.erase(it);
        else
            ++it;
    }
    EXPECT_EQ(after, before);
    EXPECT_EQ(Stored(-3, L"Seen"), 0u);
    EXPECT_EQ(Stored(-3, L"Managed"), 1u);
    EXPECT_EQ(Stored(-3, L"Last type"), 0xFFFFFFFFu);
    EXPECT_FALSE(RowTicked(L"D:\\ [FIXED]"));
    EXPECT_EQ(Stored(3, L"Managed"), 0u);
}

TEST_F(DriveMonitorTest, AbsentLetterCanStillBeTicked) {
    StoreDword(4, L"Seen", 1);
    StoreDword(4, L"Last type", 2);
    Start();
    ClickCheckBox(L"E:\\ [NONE (REMOVABLE)]");
    EXPECT_EQ(Stored(4, L"Managed"), 1u);
    EXPECT_EQ(Stored(4, L"Last type"), 2u);
}

TEST_F(DriveMonitorTest, RowWithoutStateImageCountsAsTicked) {
    platform::posix::MapDrive(L'D', "/", platform::kDriveFixed);
    Start();
    int32_t row = m_list.RowOf(L"D:\\ [FIXED]");
    m_list.rows[static_cast<size_t>(row)].stateImage = 0;
    m_monitor->OnDriveListItemChanged({row, kStateImageUnticked, 0});
    EXPECT_EQ(Stored(3, L"Managed"), 1u);
}

TEST_F(DriveMonitorTest, UnreadableRowOrForeignParameterWritesNothing) {
    platform::posix::MapDrive(L'D', "/", platform::kDriveFixed);
    Start();
    auto before = RegistrySnapshot();
    m_monitor->OnDriveListItemChanged({99, kStateImageUnticked, kStateImageTicked});
    m_monitor->OnDriveListItemChanged({-1, kStateImageUnticked, kStateImageTicked});
    for (intptr_t param : {intptr_t{26}, intptr_t{-7}, intptr_t{1} << 40}) {
        m_list.rows[0].param = param;
        m_list.rows[0].stateImage = kStateImageTicked;
        EXPECT_EQ(m_monitor->OnDriveListItemChanged({0, kStateImageUnticked, kStateImageTicked}), 1);
    }
    EXPECT_EQ(RegistrySnapshot(), before);
}

} // namespace
