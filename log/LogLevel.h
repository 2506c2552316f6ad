#pragma once
#include <cstdint>

// The index of the "Log:" combo box and the stored "Log level": a selected level n shows every
// line of level n or lower.
enum LogLevel : int32_t {
    LogBasic = 0,   // arrival, removal, start and end of a run, errors
    LogFolders = 1, // each subfolder entered
    LogFiles = 2,   // each file copied
};
