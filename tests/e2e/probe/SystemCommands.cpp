// What the system reports to any program in the prefix: special folders, the time, the screen.
#include <windows.h>

#include <shlobj.h>

#include "Probe.h"

namespace probe {
namespace {

struct FolderName {
    const wchar_t* name;
    int csidl;
};

constexpr FolderName kFolders[] = {
    {L"personal", CSIDL_PERSONAL}, {L"desktop", CSIDL_DESKTOPDIRECTORY}, {L"appdata", CSIDL_APPDATA},
    {L"profile", CSIDL_PROFILE},   {L"windows", CSIDL_WINDOWS},
};

Status SpecialFolder(Context&, const Args& args, JsonObject& out) {
    std::optional<int> csidl;
    for (const auto& folder : kFolders) {
        if (args.Text(0) == folder.name)
            csidl = folder.csidl;
    }
    if (!csidl && args.Number(0))
        csidl = static_cast<int>(*args.Number(0));
    if (!csidl)
        return Status::Fail(L"usage: special-folder personal|desktop|appdata|profile|windows|CSIDL");
    wchar_t path[MAX_PATH] = {};
    // The same call the program makes: no creation of a missing folder.
    if (!SHGetSpecialFolderPathW(nullptr, path, *csidl, FALSE))
        return Status::Fail(L"SHGetSpecialFolderPathW failed for %d", *csidl);
    out.Text("path", path).Bool("exists", GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES);
    return Status::Ok();
}

Status Screen(Context&, const Args&, JsonObject& out) {
    RECT workArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    out.Int("width", GetSystemMetrics(SM_CXSCREEN)).Int("height", GetSystemMetrics(SM_CYSCREEN));
    out.Object("work_area", RectJson(workArea));
    out.Int("small_icon", GetSystemMetrics(SM_CXSMICON)).Int("icon", GetSystemMetrics(SM_CXICON));
    return Status::Ok();
}

} // namespace

void AddSystemCommands(std::vector<Command>& commands) {
    commands.insert(
        commands.end(),
        {
            {"special-folder", "personal|desktop|appdata|profile|windows|CSIDL: SHGetSpecialFolderPathW",
             SpecialFolder},
            {"screen", ": screen size, work area and icon sizes", Screen},
        });
}

} // namespace probe
