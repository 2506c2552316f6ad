#pragma once
#include <cstdint>

// The index of the "Log:" combo box and the stored "Log level": a selected level n shows every
// line of level n or lower.
enum class LogLevel : int32_t {
    Basic = 0,   // arrival, removal, start and end of a run, errors
    Folders = 1, // each subfolder entered
    Files = 2,   // each file copied
};
