// Stored settings and drive records as a hand-edited or damaged hive may hold them: every value
// with any type and any bytes. Reading must give the stated defaults and never read past a value.
#include "FuzzInput.h"
#include "drives/DriveRecord.h"
#include "platform/Registry.h"
#include "settings/Settings.h"

#include <cstring>
#include <iterator>

namespace {

const wchar_t* const kSettingNames[] = {L"Save to",         L"Folder name", L"Log level",
                                        L"Eject CD-ROM",    L"Show popup",  L"Beep",
                                        L"Beep by speaker", L"Verify",      L"Only new files"};
const wchar_t* const kRecordNames[] = {kSeenValue, kManagedValue, kLastTypeValue};

struct Stored {
    bool present = false;
    std::vector<uint8_t> data;
};

Stored Put(FuzzInput& input, const std::wstring& path, const wchar_t* name) {
    Stored stored;
    const uint8_t how = input.Byte();
    if (how % 4 == 0)
        return stored; // missing
    stored.present = true;
    stored.data = input.Bytes();
    platform::posix::WriteValue(path, name, static_cast<platform::RegType>(how % 12), stored.data);
    return stored;
}

// What a 4-byte read gives: the bytes as a little-endian number, missing high bytes zero.
bool ExpectedDword(const Stored& stored, uint32_t& value) {
    if (!stored.present || stored.data.size() > 4)
        return false;
    value = 0;
    for (size_t i = 0; i < stored.data.size(); ++i)
        value |= static_cast<uint32_t>(stored.data[i]) << (8 * i);
    return true;
}

void CheckSettings(FuzzInput& input) {
    std::vector<Stored> stored;
    for (const wchar_t* name : kSettingNames)
        stored.push_back(Put(input, kSettingsKeyPath, name));
    platform::RegKey key = platform::RegKey::Create(kSettingsKeyPath, kSettingsKeyClass);
    const Settings settings = LoadSettings(key, [] { return std::wstring(L"C:\\Documents"); });

    const int32_t numbers[] = {settings.folderName,
                               settings.logLevel,
                               settings.completion.m_ejectCdRom,
                               settings.completion.m_showPopup,
                               settings.completion.m_beep,
                               settings.completion.m_beepBySpeaker,
                               settings.copying.m_verify,
                               settings.copying.m_onlyNew};
    for (size_t i = 0; i < std::size(numbers); ++i) {
        uint32_t want = 0;
        if (!ExpectedDword(stored[i + 1], want))
            want = 0; // the default of every number
        FUZZ_CHECK(static_cast<uint32_t>(numbers[i]) == want);
    }
    const Stored& saveTo = stored[0];
    if (!saveTo.present || saveTo.data.size() > kSaveToReadChars * 2)
        FUZZ_CHECK(settings.saveTo == L"C:\\Documents");
    else
        FUZZ_CHECK(settings.saveTo.size() <= saveTo.data.size() / 2);
    FUZZ_CHECK(settings.saveTo.size() < kSaveToReadChars);
    FUZZ_CHECK(settings.saveTo.find(L'\0') == std::wstring::npos);

    // What is stored again reads back the same.
    platform::RegKey writable = platform::RegKey::Create(kSettingsKeyPath, kSettingsKeyClass);
    StoreSettings(writable, settings);
    const Settings again = LoadSettings(writable, [] { return std::wstring(L"unused"); });
    FUZZ_CHECK(again.folderName == settings.folderName && again.logLevel == settings.logLevel);
    FUZZ_CHECK(again.completion == settings.completion && again.copying == settings.copying);
    FUZZ_CHECK(again.saveTo == settings.saveTo);
}

void CheckRecord(FuzzInput& input) {
    // Any key, also ones no record has.
    const int32_t recordKey = static_cast<int32_t>(input.Uint32() % 40) - 8;
    const std::wstring path = DriveRecordKeyPath(recordKey);
    std::vector<Stored> stored;
    for (const wchar_t* name : kRecordNames)
        stored.push_back(path.empty() ? Stored{} : Put(input, path, name));

    DriveRecord record;
    record.key = recordKey;
    record.seen = record.managed = record.hasSeen = record.hasManaged = record.hasLastType = true;
    record.lastType = 12345;
    record.Load();
    uint32_t value = 0;
    const bool seenRead = ExpectedDword(stored[0], value);
    FUZZ_CHECK(record.hasSeen == seenRead && record.seen == (seenRead && value != 0));
    const bool managedRead = ExpectedDword(stored[1], value);
    FUZZ_CHECK(record.hasManaged == managedRead && record.managed == (managedRead && value != 0));
    const bool typeRead = ExpectedDword(stored[2], value);
    FUZZ_CHECK(record.hasLastType == typeRead);
    FUZZ_CHECK(record.lastType == (typeRead ? static_cast<int32_t>(value) : -1));
}

void CheckRawQueries(FuzzInput& input) {
    const std::wstring path = L"SOFTWARE\\Fuzz";
    const Stored stored = Put(input, path, L"v");
    platform::RegKey key = platform::RegKey::Open(path);
    if (!key.IsOpen())
        return; // nothing was stored, so no key exists
    uint32_t number = 0x5A5A5A5A;
    uint32_t want = 0;
    FUZZ_CHECK(key.QueryDword(L"v", number) == ExpectedDword(stored, want));
    if (ExpectedDword(stored, want))
        FUZZ_CHECK(number == want);
    const size_t maxChars = 1 + input.Byte() % 40;
    std::wstring text = L"untouched";
    if (key.QueryString(L"v", maxChars, text)) {
        FUZZ_CHECK(stored.present && stored.data.size() <= maxChars * 2);
        FUZZ_CHECK(text.size() <= maxChars);
        FUZZ_CHECK(text.find(L'\0') == std::wstring::npos);
    } else {
        FUZZ_CHECK(!stored.present || stored.data.size() > maxChars * 2);
    }
    // A raw query never writes past the buffer it was given (ASan watches the heap block).
    const uint32_t bufferSize = input.Byte() % 16;
    std::vector<uint8_t> buffer(bufferSize);
    uint32_t size = 0;
    if (key.Query(L"v", buffer.data(), bufferSize, &size))
        FUZZ_CHECK(size <= bufferSize);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    platform::posix::ResetRegistry();
    CheckSettings(input);
    CheckRecord(input);
    CheckRawQueries(input);
    return 0;
}
