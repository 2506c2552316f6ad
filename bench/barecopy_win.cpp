// The baseline of the Wine benchmarks: the least a Windows program must do to copy a tree, with the
// same system calls harvex.exe makes and no reports. Depth first, each folder created before its
// content and given its attributes and times after it, files copied with CopyFileExW.
//
//   barecopy.exe SOURCE_FOLDER DESTINATION_FOLDER
//
// The destination folder is created; it must not exist. Exit code 0 when every entry was copied,
// 1 when some failed, 2 on a usage error. Standard output gets a line when the copy starts and one
// with the number of files and failures when it ends.
#include "platform/Handles_win.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Counts {
    unsigned long files = 0;
    unsigned long folders = 0;
    unsigned long failures = 0;
};

bool IsDotName(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

void CopyFolderAttributes(const std::wstring& source, const std::wstring& destination, Counts& counts) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &data)) {
        ++counts.failures;
        return;
    }
    SetFileAttributesW(destination.c_str(), data.dwFileAttributes);
    platform::UniqueHandle folder(CreateFileW(destination.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (folder.IsValid())
        SetFileTime(folder.Get(), &data.ftCreationTime, &data.ftLastAccessTime, &data.ftLastWriteTime);
}

// With --temporary-names each file is written as NAME.harvex-partial and renamed to its name without
// replacing anything, as harvex.exe files its copies: the floor of what that costs.
bool g_temporaryNames = false;

bool CopyOneFile(const std::wstring& from, const std::wstring& to) {
    if (!g_temporaryNames)
        return CopyFileExW(from.c_str(), to.c_str(), nullptr, nullptr, nullptr,
                           COPY_FILE_ALLOW_DECRYPTED_DESTINATION) != FALSE;
    const std::wstring temporary = to + L".harvex-partial";
    return CopyFileExW(from.c_str(), temporary.c_str(), nullptr, nullptr, nullptr,
                       COPY_FILE_ALLOW_DECRYPTED_DESTINATION | COPY_FILE_FAIL_IF_EXISTS) != FALSE &&
           MoveFileExW(temporary.c_str(), to.c_str(), 0) != FALSE;
}

void CopyTree(const std::wstring& source, const std::wstring& destination, Counts& counts) {
    WIN32_FIND_DATAW data{};
    platform::UniqueFindHandle find(FindFirstFileExW((source + L"\\*").c_str(), FindExInfoBasic, &data,
                                                     FindExSearchNameMatch, nullptr,
                                                     FIND_FIRST_EX_LARGE_FETCH));
    if (!find.IsValid())
        return;
    do {
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder && IsDotName(data.cFileName))
            continue;
        const std::wstring from = source + L'\\' + data.cFileName;
        const std::wstring to = destination + L'\\' + data.cFileName;
        if (!isFolder) {
            ++counts.files;
            if (!CopyOneFile(from, to))
                ++counts.failures;
            continue;
        }
        ++counts.folders;
        if (!CreateDirectoryW(to.c_str(), nullptr)) {
            ++counts.failures;
            continue;
        }
        CopyTree(from, to, counts);
        CopyFolderAttributes(from, to, counts);
    } while (FindNextFileW(find.Get(), &data));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    g_temporaryNames = argc == 4 && std::wstring(argv[3]) == L"--temporary-names";
    if (argc != 3 && !g_temporaryNames) {
        std::fprintf(stderr, "usage: barecopy.exe SOURCE_FOLDER DESTINATION_FOLDER [--temporary-names]\n");
        return 2;
    }
    const std::wstring source = argv[1];
    const std::wstring destination = argv[2];
    if (!CreateDirectoryW(destination.c_str(), nullptr)) {
        std::fprintf(stderr, "barecopy: cannot create the destination folder (%lu)\n", GetLastError());
        return 2;
    }
    // The benchmark times the copy from this line to the last one, leaving out the process start.
    std::printf("{\"started\": true}\n");
    std::fflush(stdout);
    LARGE_INTEGER frequency{}, start{}, end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    Counts counts;
    CopyTree(source, destination, counts);
    QueryPerformanceCounter(&end);
    const double seconds =
        static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("{\"files\": %lu, \"folders\": %lu, \"failures\": %lu, \"seconds\": %.3f}\n", counts.files,
                counts.folders, counts.failures, seconds);
    return counts.failures == 0 ? 0 : 1;
}
