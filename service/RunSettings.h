#pragma once
// A run's options from the settings as they stand: the dialog's controls, or the Linux program's
// settings file with its flags. Every front end hands its runs the same choices the same way.
#include "copy/RunOptions.h"
#include "settings/Settings.h"

// "Save to" is the run's "Copy to"; "Folder name", "When finished:", "Copying" and "Also copy to"
// carry over as they are.
RunOptions RunOptionsFrom(const Settings& settings);
