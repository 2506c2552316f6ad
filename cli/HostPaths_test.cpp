#include "cli/HostPaths.h"

#include "platform/Files.h"

#include <gtest/gtest.h>

namespace {

TEST(HostPaths, FoldersGoToTheEngineAndItsLinesComeBackInHostForm) {
    const HostPaths paths(L'Q', "/media/me/CARD");
    EXPECT_EQ(paths.EnginePath("/media/backup/"), L"\\\\media\\backup");
    EXPECT_EQ(paths.EnginePath("/media/me/CARD/../backup/./x"), L"\\\\media\\me\\backup\\x");
    EXPECT_EQ(paths.EnginePath("/media/me/CARD/copies"), L"Q:\\copies") << "a copy into the card stays on it";
    EXPECT_EQ(paths.EnginePath("/media/me/CARDS"), L"\\\\media\\me\\CARDS") << "a sibling is not on the card";
    EXPECT_EQ(paths.EnginePath("/srv/a\\b"), std::wstring(L"\\\\srv\\a") + platform::kHostBackslash + L"b");

    EXPECT_EQ(paths.HostText(L"Q:\\DCIM\\a.jpg"), "/media/me/CARD/DCIM/a.jpg");
    EXPECT_EQ(paths.HostText(L"Nothing new on Q:: 2 files were copied before."),
              "Nothing new on /media/me/CARD: 2 files were copied before.");
    EXPECT_EQ(paths.HostText(L"Finished. \\\\media\\backup\\001: 2 files copied. FAQ: x"),
              "Finished. /media/backup/001: 2 files copied. FAQ: x");
    EXPECT_EQ(paths.HostText(std::wstring(L"\\\\srv\\a") + platform::kHostBackslash + L"b"), "/srv/a\\b");
}

} // namespace
