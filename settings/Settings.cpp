#include "settings/Settings.h"

namespace {

int32_t ReadInt(const platform::RegKey& key, const wchar_t* name) {
    uint32_t value = 0;
    if (!key.QueryDword(name, value))
        return 0;
    return static_cast<int32_t>(value);
}

} // namespace

Settings LoadSettings(const platform::RegKey& key, const std::function<std::wstring()>& documentsFolder) {
    Settings s;
    s.folderName = ReadInt(key, L"Folder name");
    s.logLevel = ReadInt(key, L"Log level");
    s.ejectCdRom = ReadInt(key, L"Eject CD-ROM");
    s.showPopup = ReadInt(key, L"Show popup");
    s.beep = ReadInt(key, L"Beep");
    s.beepBySpeaker = ReadInt(key, L"Beep by speaker");
    if (!key.QueryString(L"Save to", kSaveToReadChars, s.saveTo))
        s.saveTo = documentsFolder ? documentsFolder() : std::wstring();
    return s;
}

void StoreSettings(platform::RegKey& key, const Settings& s) {
    key.SetDword(L"Folder name", static_cast<uint32_t>(s.folderName));
    key.SetDword(L"Log level", static_cast<uint32_t>(s.logLevel));
    key.SetDword(L"Eject CD-ROM", static_cast<uint32_t>(s.ejectCdRom));
    key.SetDword(L"Show popup", static_cast<uint32_t>(s.showPopup));
    key.SetDword(L"Beep", static_cast<uint32_t>(s.beep));
    key.SetDword(L"Beep by speaker", static_cast<uint32_t>(s.beepBySpeaker));
    key.SetString(L"Save to", s.saveTo);
}
