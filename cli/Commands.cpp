#include "cli/Commands.h"

#include "HarvexVersion.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr std::array kCommands = {
    Command{"copy",
            "SOURCE [--to DIR] [--also-copy-to DIR] [--folder-name RULE] [--verify|--no-verify]\n"
            "            [--only-new|--no-only-new] [--log-level LEVEL]",
            RunCopyCommand},
    Command{"verify", "LIST.sha256", RunVerifyCommand},
    Command{"watch", "[--folder DIR]...", RunWatchCommand},
};

void PrintUsage(std::FILE* out, const Command* only) {
    std::fprintf(out, "usage:\n");
    for (const Command& command : kCommands) {
        if (only == nullptr || only == &command)
            std::fprintf(out, "  harvex %s %s\n", command.name, command.synopsis);
    }
    if (only != nullptr && std::strcmp(only->name, "copy") == 0)
        std::fprintf(out, "RULE: date-time, three-digits, five-digits, volume-label or none\n"
                          "LEVEL: basic, folders or files\n");
}

} // namespace

std::span<const Command> Commands() {
    return kCommands;
}

const Command* CommandNamed(const char* name) {
    for (const Command& command : kCommands) {
        if (std::strcmp(command.name, name) == 0)
            return &command;
    }
    return nullptr;
}

int UsageError(const char* why, const Command* command) {
    if (why != nullptr)
        std::fprintf(stderr, "harvex: %s\n", why);
    PrintUsage(stderr, command);
    return kExitUsage;
}

int Dispatch(int argc, char** argv) {
    if (argc < 2)
        return UsageError("no command given");
    const char* name = argv[1];
    if (std::strcmp(name, "--help") == 0 || std::strcmp(name, "-h") == 0) {
        PrintUsage(stdout, nullptr);
        return kExitDone;
    }
    if (std::strcmp(name, "--version") == 0) {
        std::printf("harvex %s\n", HARVEX_VERSION_TEXT);
        return kExitDone;
    }
    const Command* command = CommandNamed(name);
    if (command == nullptr)
        return UsageError((std::string("unknown command: ") + name).c_str());
    if (argc == 3 && (std::strcmp(argv[2], "--help") == 0 || std::strcmp(argv[2], "-h") == 0)) {
        PrintUsage(stdout, command);
        return kExitDone;
    }
    return command->run(argc - 1, argv + 1);
}
