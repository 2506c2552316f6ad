#include "copy/DestinationNaming.h"

#include "copy/FileNames.h"
#include "drives/DriveTypes.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace {

const wchar_t kNoName[] = L"[no name]";

// A clock that never moves on, or a file system that calls every name taken, must not hold the
// user-interface thread for ever. Each attempt takes microseconds, so this many attempts span
// hundreds of milliseconds, each of which would have to name a folder that exists.
constexpr int kMaxDateTimeAttempts = 100000;

// Numbers beyond this are not searched: only a file system that reports every name as taken
// gets here.
constexpr int64_t kMaxSequenceNumber = int64_t{1} << 40;

std::wstring SequenceText(bool fiveDigits, int64_t number) {
    return platform::Format(fiveDigits ? L"%05lld" : L"%03lld", static_cast<long long>(number));
}

std::wstring DateTimeText(const platform::LocalTime& t) {
    return platform::Format(L"%04d-%02d-%02d %02d-%02d-%02d.%03d", t.year, t.month, t.day, t.hour, t.minute,
                            t.second, t.milliseconds);
}

// "D:", "D:\..." or "\\server\...": a "Copy to" text that does not hang on the process's current
// folder or drive.
bool IsAbsoluteFolder(const std::wstring& text) {
    const bool drive = text.size() >= 2 && text[1] == L':' &&
                       ((text[0] >= L'A' && text[0] <= L'Z') || (text[0] >= L'a' && text[0] <= L'z'));
    if (drive)
        return text.size() == 2 || text[2] == L'\\' || text[2] == L'/';
    return text.size() > 2 && text[0] == L'\\' && text[1] == L'\\' && text[2] != L'\\';
}

} // namespace

bool NamingEnvironment::PathExists(const std::wstring& path) {
    return platform::PathExists(path);
}

platform::ErrorCode NamingEnvironment::CreateFolder(const std::wstring& path) {
    return platform::CreateFolder(path);
}

platform::LocalTime NamingEnvironment::LocalTime() {
    return platform::GetLocalTime();
}

void NamingEnvironment::YieldTimeSlice() {
    platform::YieldTimeSlice();
}

bool NamingEnvironment::VolumeLabel(const std::wstring& root, std::wstring& label) {
    return platform::VolumeLabel(root, label);
}

NamingEnvironment& SystemNamingEnvironment() {
    static NamingEnvironment environment;
    return environment;
}

std::wstring BasePath(const std::wstring& copyToText) {
    std::wstring base = copyToText;
    while (!base.empty() && base.back() == L'\\')
        base.pop_back();
    base += L'\\';
    return base;
}

std::wstring FolderNameOfLabel(const std::wstring& label) {
    if (IsDotsAndBlanks(label) || IsDeviceName(label))
        return kNoName;
    for (wchar_t c : label) {
        if (IsForbiddenNameCharacter(c) || c == 0x7F)
            return kNoName;
    }
    // Windows would trim a trailing dot or blank when it makes the folder, and every path the run
    // then forms inside the untrimmed name would fail.
    return SafeName(label);
}

std::wstring MakeDateTimeFolder(const std::wstring& base, NamingEnvironment& env) {
    for (int attempt = 0; attempt < kMaxDateTimeAttempts; ++attempt) {
        const std::wstring path = base + DateTimeText(env.LocalTime());
        const platform::ErrorCode error = env.CreateFolder(path);
        if (error == platform::kSuccess)
            return path;
        if (error != platform::kErrorAlreadyExists)
            return std::wstring();
        env.YieldTimeSlice();
    }
    return std::wstring();
}

// A galloping search: L is the last number known to be taken, N the candidate. Hits double N
// (0, 1, 3, 7, 15 ...); a miss with a gap behind it halves the gap; a miss right after a taken
// number (or at 0) is created.
std::wstring MakeNumberedFolder(bool fiveDigits, std::wstring prefix, NamingEnvironment& env) {
    int64_t lastTaken = 0;
    int64_t candidate = 0;
    while (candidate <= kMaxSequenceNumber) {
        const std::wstring path = prefix + SequenceText(fiveDigits, candidate);
        const bool taken = env.PathExists(path);
        if (!taken && candidate - lastTaken > 1) {
            candidate = lastTaken + (candidate - lastTaken) / 2;
            continue;
        }
        if (!taken) {
            const platform::ErrorCode error = env.CreateFolder(path);
            if (error == platform::kSuccess)
                return path;
            if (error != platform::kErrorAlreadyExists)
                return std::wstring();
            // Made by someone else in between: taken after all.
        }
        lastTaken = candidate;
        candidate = 2 * candidate + 1;
    }
    return std::wstring();
}

std::wstring MakeVolumeLabelFolder(const std::wstring& base, int32_t driveIndex, NamingEnvironment& env) {
    std::wstring label;
    if (!env.VolumeLabel(DriveRoot(driveIndex), label))
        label.clear();
    const std::wstring name = FolderNameOfLabel(label);
    const std::wstring path = base + name;
    if (env.CreateFolder(path) == platform::kSuccess)
        return path;
    return MakeNumberedFolder(false, path + L".", env);
}

std::wstring MakeDestinationFolder(const std::wstring& copyToText, FolderNaming naming, int32_t driveIndex,
                                   NamingEnvironment& env) {
    // A relative text would put the copy below whatever folder the process happens to be in.
    if (!IsAbsoluteFolder(copyToText))
        return std::wstring();
    const std::wstring base = BasePath(copyToText);
    switch (naming) {
    case FolderNaming::DateTime:
        return MakeDateTimeFolder(base, env);
    case FolderNaming::ThreeDigits:
        return MakeNumberedFolder(false, base, env);
    case FolderNaming::FiveDigits:
        return MakeNumberedFolder(true, base, env);
    case FolderNaming::VolumeLabel:
        return MakeVolumeLabelFolder(base, driveIndex, env);
    default:
        return copyToText;
    }
}
