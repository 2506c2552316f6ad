#include "settings/Settings.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

using platform::RegKey;
using platform::RegType;
namespace posix = platform::posix;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { posix::ResetRegistry(); }
    RegKey OpenSettingsKey() { return RegKey::Create(kSettingsKeyPath, kSettingsKeyClass); }
    static std::wstring Documents() { return L"C:\\Users\\me\\Documents"; }
};

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> list) {
    return std::vector<uint8_t>(list);
}

TEST_F(SettingsTest, FirstStartCreatesTheKeyWithItsClassAndGivesDefaults) {
    RegKey key = OpenSettingsKey();
    EXPECT_TRUE(posix::KeyExists(L"SOFTWARE\\Quenby"));
    EXPECT_EQ(posix::KeyClass(kSettingsKeyPath), L"DWORD");
    Settings s = LoadSettings(key, Documents);
    EXPECT_EQ(s.folderName, 0);
    EXPECT_EQ(s.logLevel, 0);
    EXPECT_EQ(s.completion, CompletionOptions{});
    EXPECT_EQ(s.copying, CopyingOptions{});
    EXPECT_EQ(s.saveTo, Documents());
    RegType type;
    std::vector<uint8_t> data;
    EXPECT_FALSE(posix::ReadValue(kSettingsKeyPath, L"Save to", type, data))
        << "nothing is written before quit";
}

TEST_F(SettingsTest, StoreWritesEveryValueWithItsType) {
    RegKey key = OpenSettingsKey();
    Settings s;
    s.folderName = -1;
    s.logLevel = 2;
    s.completion.m_beep = 1;
    s.copying.m_onlyNew = 1;
    s.saveTo = L"D:\\Cards";
    StoreSettings(key, s);
    RegType type;
    std::vector<uint8_t> data;
    ASSERT_TRUE(posix::ReadValue(kSettingsKeyPath, L"Folder name", type, data));
    EXPECT_EQ(type, RegType::Dword);
    EXPECT_EQ(data, Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
    for (const wchar_t* name : {L"Log level", L"Eject CD-ROM", L"Show popup", L"Beep", L"Beep by speaker",
                                L"Verify", L"Only new files"}) {
        ASSERT_TRUE(posix::ReadValue(kSettingsKeyPath, name, type, data)) << platform::ToUtf8(name);
        EXPECT_EQ(type, RegType::Dword);
        EXPECT_EQ(data.size(), 4u);
    }
    ASSERT_TRUE(posix::ReadValue(kSettingsKeyPath, L"Save to", type, data));
    EXPECT_EQ(type, RegType::String);
    EXPECT_EQ(data.size(), (8u + 1u) * 2u) << "the terminator is part of the value";

    Settings back = LoadSettings(key, Documents);
    EXPECT_EQ(back.folderName, -1);
    EXPECT_EQ(back.logLevel, 2);
    EXPECT_EQ(back.completion, (CompletionOptions{0, 0, 1, 0}));
    EXPECT_EQ(back.copying, (CopyingOptions{0, 1}));
    EXPECT_EQ(back.saveTo, L"D:\\Cards");
}

TEST_F(SettingsTest, BadSizesFallBackToDefaults) {
    RegKey key = OpenSettingsKey();
    posix::WriteValue(kSettingsKeyPath, L"Log level", RegType::Qword, Bytes({2, 0, 0, 0, 0, 0, 0, 0}));
    posix::WriteValue(kSettingsKeyPath, L"Beep", RegType::String, Bytes({1, 0, 0, 0}));
    posix::WriteValue(kSettingsKeyPath, L"Verify", RegType::Binary, Bytes({7, 0}));
    posix::WriteValue(kSettingsKeyPath, L"Only new files", RegType::Qword, Bytes({1, 0, 0, 0, 0, 0, 0, 0}));
    posix::WriteValue(kSettingsKeyPath, L"Save to", RegType::String, std::vector<uint8_t>(261 * 2, 'a'));
    Settings s = LoadSettings(key, Documents);
    EXPECT_EQ(s.logLevel, 0) << "an eight-byte value does not fit the four-byte read";
    EXPECT_EQ(s.completion.m_beep, 1) << "four bytes count as a number whatever their type";
    EXPECT_EQ(s.copying.m_verify, 7) << "a shorter value reads as a number too; any non-zero value is on";
    EXPECT_EQ(s.copying.m_onlyNew, 0);
    EXPECT_EQ(s.saveTo, Documents()) << "a text longer than 259 characters cannot be read";
}

TEST_F(SettingsTest, StoredEmptySaveToStaysEmpty) {
    RegKey key = OpenSettingsKey();
    key.SetString(L"Save to", L"");
    EXPECT_EQ(LoadSettings(key, Documents).saveTo, L"");
}

TEST_F(SettingsTest, AlsoCopyToIsStoredAsTextAndAnythingUnreadableIsOff) {
    RegKey key = OpenSettingsKey();
    EXPECT_EQ(LoadSettings(key, Documents).alsoCopyTo, L"") << "missing: one copy, never a default folder";

    Settings s;
    s.alsoCopyTo = L"E:\\Backup";
    StoreSettings(key, s);
    RegType type;
    std::vector<uint8_t> data;
    ASSERT_TRUE(posix::ReadValue(kSettingsKeyPath, L"Also copy to", type, data));
    EXPECT_EQ(type, RegType::String);
    EXPECT_EQ(data.size(), (9u + 1u) * 2u);
    EXPECT_EQ(LoadSettings(key, Documents).alsoCopyTo, L"E:\\Backup");

    const std::wstring longest(kSaveToReadChars - 1, L'b');
    key.SetString(L"Also copy to", longest);
    EXPECT_EQ(LoadSettings(key, Documents).alsoCopyTo, longest) << "the same length limit as \"Save to\"";

    struct Stored {
        RegType type;
        std::vector<uint8_t> data;
        const char* what;
    };
    const Stored unreadable[] = {
        {RegType::String, {0, 0}, "empty"},
        {RegType::String, std::vector<uint8_t>(kSaveToReadChars * 2 + 2, 'a'), "longer than 259 characters"},
        {RegType::Dword, Bytes({0x45, 0, 0, 0}), "a number"},
        {RegType::Binary, Bytes({0x45, 0, 0x3A, 0}), "bytes that would read as \"E:\""},
    };
    for (const Stored& value : unreadable) {
        posix::WriteValue(kSettingsKeyPath, L"Also copy to", value.type, value.data);
        EXPECT_EQ(LoadSettings(key, Documents).alsoCopyTo, L"") << value.what;
    }
}

TEST_F(SettingsTest, UnopenedKeyGivesDefaultsAndIgnoresWrites) {
    posix::SetRegistryBroken(true);
    RegKey key = OpenSettingsKey();
    EXPECT_FALSE(key.IsOpen());
    Settings s;
    s.completion.m_beep = 1;
    StoreSettings(key, s);
    Settings back = LoadSettings(key, [] { return std::wstring(); });
    EXPECT_EQ(back.completion.m_beep, 0);
    EXPECT_EQ(back.saveTo, L"");
    posix::SetRegistryBroken(false);
}

} // namespace
