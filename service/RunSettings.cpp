#include "service/RunSettings.h"

RunOptions RunOptionsFrom(const Settings& settings) {
    RunOptions options;
    options.copyTo = settings.saveTo;
    options.alsoCopyTo = settings.alsoCopyTo;
    options.folderNaming = static_cast<FolderNaming>(settings.folderName);
    options.completion = settings.completion;
    options.copying = settings.copying;
    return options;
}
