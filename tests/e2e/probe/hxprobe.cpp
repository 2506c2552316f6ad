// hxprobe: drives harvex.exe from another process for the end-to-end tests.
//
//   hxprobe COMMAND ARGS... [; COMMAND ARGS...]...
//
// Commands run in order; each prints one JSON object on a line of its own with "cmd", "ok" and its
// results. The first command that fails ends the run with exit code 1 (2 for a usage error).
// Every wait and every sent message has a time limit. "hxprobe help" lists the commands.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Probe.h"

namespace {

using probe::Command;

std::vector<Command> AllCommands() {
    std::vector<Command> commands;
    probe::AddWindowCommands(commands);
    probe::AddControlCommands(commands);
    probe::AddListViewCommands(commands);
    probe::AddDriveCommands(commands);
    probe::AddDeviceCommands(commands);
    probe::AddRegistryCommands(commands);
    probe::AddInputCommands(commands);
    probe::AddSystemCommands(commands);
    probe::AddUiCommands(commands);
    return commands;
}

void PrintLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void PrintHelp(const std::vector<Command>& commands) {
    PrintLine("hxprobe COMMAND ARGS... [; COMMAND ARGS...]...   (texts may be given as hex:UTF8HEX)");
    for (const auto& command : commands)
        PrintLine(std::string("  ") + command.name + " " + command.usage);
}

std::vector<std::vector<std::wstring>> SplitCommands(int argc, wchar_t** argv) {
    std::vector<std::vector<std::wstring>> groups(1);
    for (int i = 1; i < argc; ++i) {
        if (std::wstring(argv[i]) == L";") {
            groups.emplace_back();
            continue;
        }
        groups.back().push_back(argv[i]);
    }
    std::erase_if(groups, [](const auto& group) { return group.empty(); });
    return groups;
}

const Command* FindCommand(const std::vector<Command>& commands, const std::wstring& name) {
    for (const auto& command : commands) {
        if (name == std::wstring(command.name, command.name + std::char_traits<char>::length(command.name)))
            return &command;
    }
    return nullptr;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    const auto commands = AllCommands();
    const auto groups = SplitCommands(argc, argv);
    if (groups.empty() || groups.front().front() == L"help") {
        PrintHelp(commands);
        return groups.empty() ? 2 : 0;
    }
    probe::Context context;
    for (const auto& group : groups) {
        probe::JsonObject head;
        head.Text("cmd", group.front());
        const Command* command = FindCommand(commands, group.front());
        if (command == nullptr) {
            head.Bool("ok", false).Text("error", L"unknown command");
            PrintLine(head.Str());
            return 2;
        }
        probe::JsonObject out;
        const probe::Status status =
            command->run(context, probe::Args({group.begin() + 1, group.end()}), out);
        head.Bool("ok", status.ok);
        if (!status.ok)
            head.Text("error", status.error);
        PrintLine(head.Merge(out).Str());
        if (!status.ok)
            return 1;
    }
    return 0;
}
