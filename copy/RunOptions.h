#pragma once
// What a run needs from the user's choices, read from the dialog's controls when the volume arrives
// and handed to the job with it: the job never asks the dialog for anything. More choices go here.
#include "copy/DestinationNaming.h"
#include "settings/CompletionOptions.h"

#include <cstdint>
#include <string>

struct RunOptions {
    std::wstring copyTo;           // the "Copy to" text as it stood, saved or not
    std::wstring alsoCopyTo;       // "Also copy to": a second destination, empty for one copy
    FolderNaming folderNaming{-1}; // the "Folder names:" selection; outside 0..3 the text itself is used
    CompletionOptions completion;  // "When finished:"
    CopyingOptions copying;        // "Copying"
    // Where the destination folder is made; the system's own unless a test or benchmark says else.
    NamingEnvironment* naming = nullptr;

    // No folder name rule: the destination is "Copy to" itself.
    bool IntoCopyTo() const {
        return folderNaming < FolderNaming::DateTime || folderNaming > FolderNaming::VolumeLabel;
    }
};
