#pragma once
// The Linux program's subcommands: one table, one file per command.
#include <span>

struct Command {
    const char* name;
    const char* synopsis; // the usage line's arguments
    // argv[0] is the command's name; the result is the program's exit status.
    int (*run)(int argc, char** argv);
};

// Exit statuses every command shares.
inline constexpr int kExitDone = 0;     // everything copied or matched
inline constexpr int kExitProblems = 1; // errors, differences, or a run that was stopped
inline constexpr int kExitUsage = 2;    // bad usage or a settings file that cannot be read

int RunCopyCommand(int argc, char** argv);
int RunVerifyCommand(int argc, char** argv);
int RunWatchCommand(int argc, char** argv);

std::span<const Command> Commands();
const Command* CommandNamed(const char* name);

// Prints the usage of every command (or of one) to stderr and gives kExitUsage.
int UsageError(const char* why, const Command* command = nullptr);

// harvex COMMAND ARGS...: runs the command named by argv[1].
int Dispatch(int argc, char** argv);
