// Drive letters under Wine: define and remove them at once through the mount manager, and read
// what the system then reports about them.
#include <windows.h>

#include <winioctl.h>

#include <cstring>
#include <cwctype>

#include "Handles.h"
#include "Probe.h"

namespace probe {
namespace {

// Wine's mount manager record for IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE, followed in the same buffer by
// the NUL-terminated UTF-8 Unix path of the folder.
struct UnixDriveRecord {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};

constexpr DWORD kDefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

std::optional<wchar_t> DriveLetter(const std::wstring& word) {
    if (word.empty() || (word.size() > 1 && word.substr(1) != L":" && word.substr(1) != L":\\"))
        return std::nullopt;
    const wchar_t letter = static_cast<wchar_t>(std::towupper(word[0]));
    if (letter < L'A' || letter > L'Z')
        return std::nullopt;
    return letter;
}

// device, when given, is the Unix file the volume's label and serial number are read from (a FAT or
// ISO 9660 boot record); without one they come from .windows-label and .windows-serial in the folder.
Status DefineDrive(wchar_t letter, ULONG type, const std::string& unixPath, const std::string& device = {}) {
    const size_t pathBytes = unixPath.empty() ? 0 : unixPath.size() + 1;
    const size_t deviceBytes = device.empty() ? 0 : device.size() + 1;
    std::vector<char> buffer(sizeof(UnixDriveRecord) + pathBytes + deviceBytes, '\0');
    UnixDriveRecord record{};
    record.size = static_cast<ULONG>(buffer.size());
    record.type = type;
    record.letter = static_cast<WCHAR>(std::towlower(letter));
    record.mountPointOffset = unixPath.empty() ? 0 : static_cast<USHORT>(sizeof record);
    record.deviceOffset = device.empty() ? 0 : static_cast<USHORT>(sizeof record + pathBytes);
    std::memcpy(buffer.data(), &record, sizeof record);
    std::memcpy(buffer.data() + sizeof record, unixPath.data(), unixPath.size());
    std::memcpy(buffer.data() + sizeof record + pathBytes, device.data(), device.size());

    UniqueHandle manager(CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!manager.IsValid())
        return Status::Fail(L"cannot open the mount manager: %lu", GetLastError());
    DWORD returned = 0;
    if (!DeviceIoControl(manager.Get(), kDefineUnixDrive, buffer.data(), static_cast<DWORD>(buffer.size()),
                         nullptr, 0, &returned, nullptr))
        return Status::Fail(L"the mount manager refused %lc: (%lu)", letter, GetLastError());
    return Status::Ok();
}

std::wstring Root(wchar_t letter) {
    return std::wstring(1, letter) + L":\\";
}

JsonObject DriveJson(wchar_t letter) {
    const std::wstring root = Root(letter);
    JsonObject json;
    json.Text("root", root).Int("type", GetDriveTypeW(root.c_str()));
    wchar_t label[MAX_PATH + 1] = {};
    wchar_t fileSystem[MAX_PATH + 1] = {};
    DWORD serial = 0, maxLength = 0, flags = 0;
    const bool volume = GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, &serial, &maxLength, &flags,
                                              fileSystem, MAX_PATH + 1);
    json.Bool("volume", volume);
    if (volume)
        json.Text("label", label).Int("serial", serial).Text("fs", fileSystem);
    ULARGE_INTEGER available{}, total{}, free{};
    if (GetDiskFreeSpaceExW(root.c_str(), &available, &total, &free))
        json.Int("total_bytes", static_cast<int64_t>(total.QuadPart))
            .Int("free_bytes", static_cast<int64_t>(free.QuadPart));
    return json;
}

Status Map(Context&, const Args& args, JsonObject& out) {
    static const wchar_t usage[] = L"map LETTER TYPE UNIX_PATH [device=UNIX_FILE]";
    const auto letter = DriveLetter(args.Text(0));
    const auto type = args.Number(1);
    const std::wstring path = args.Text(2);
    if (!letter || !type || path.empty() || *type < 2 || *type > 6)
        return Status::Fail(L"usage: %ls (TYPE 2 removable, 3 fixed, 4 remote, 5 CD-ROM, 6 RAM disk)", usage);
    const std::string device = ToUtf8(args.Option(L"device").value_or(L""));
    if (Status status = DefineDrive(*letter, static_cast<ULONG>(*type), ToUtf8(path), device); !status.ok)
        return status;
    out = DriveJson(*letter);
    if (GetDriveTypeW(Root(*letter).c_str()) <= DRIVE_NO_ROOT_DIR)
        return Status::Fail(L"%lc: is not there after mapping", *letter);
    return Status::Ok();
}

Status Unmap(Context&, const Args& args, JsonObject& out) {
    const auto letter = DriveLetter(args.Text(0));
    if (!letter)
        return Status::Fail(L"usage: unmap LETTER");
    if (GetDriveTypeW(Root(*letter).c_str()) == DRIVE_NO_ROOT_DIR && args.Flag(L"if-present")) {
        out.Bool("was_present", false);
        return Status::Ok();
    }
    if (Status status = DefineDrive(*letter, DRIVE_NO_ROOT_DIR, ""); !status.ok)
        return status;
    out = DriveJson(*letter);
    return Status::Ok();
}

Status Drive(Context&, const Args& args, JsonObject& out) {
    const auto letter = DriveLetter(args.Text(0));
    if (!letter)
        return Status::Fail(L"usage: drive LETTER");
    out = DriveJson(*letter);
    return Status::Ok();
}

Status Drives(Context&, const Args&, JsonObject& out) {
    wchar_t buffer[256] = {};
    const DWORD length = GetLogicalDriveStringsW(255, buffer);
    JsonArray roots;
    for (const wchar_t* root = buffer; root < buffer + length && *root != L'\0'; root += wcslen(root) + 1)
        roots.AddText(root);
    out.Array("roots", roots).Int("mask", GetLogicalDrives());
    return Status::Ok();
}

} // namespace

void AddDriveCommands(std::vector<Command>& commands) {
    commands.insert(commands.end(),
                    {
                        {"map",
                         "LETTER TYPE UNIX_PATH [device=UNIX_FILE]: define a drive letter for a folder now "
                         "(mount manager); "
                         "the label and serial come from the device's boot record when one is given",
                         Map},
                        {"unmap", "LETTER [if-present]: remove a drive letter now", Unmap},
                        {"drive", "LETTER: type, label, serial, file system and size of a drive", Drive},
                        {"drives", ": GetLogicalDriveStringsW", Drives},
                    });
}

} // namespace probe
