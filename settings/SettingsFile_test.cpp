#include "settings/SettingsFile.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

Settings SomeSettings() {
    Settings s;
    s.folderName = -1;
    s.logLevel = 2;
    s.copying.m_verify = 1;
    s.completion.m_beep = 1;
    s.saveTo = L"/media/backup/cards";
    s.alsoCopyTo = L"/mnt/nas/cards";
    return s;
}

std::string Uncommented(const std::string& text) {
    std::istringstream lines(text);
    std::string result;
    for (std::string line; std::getline(lines, line);) {
        for (const SettingField& field : SettingFields()) {
            if (line.rfind("# " + platform::ToUtf8(field.name) + " = ", 0) == 0)
                line = line.substr(2);
        }
        result += line + "\n";
    }
    return result;
}

bool operator==(const Settings& a, const Settings& b) {
    return a.folderName == b.folderName && a.logLevel == b.logLevel && a.completion == b.completion &&
           a.copying == b.copying && a.saveTo == b.saveTo && a.alsoCopyTo == b.alsoCopyTo;
}

TEST(SettingsFile, EveryLineOfTheMadeFileReadsBackAsTheValueItWasMadeFrom) {
    for (const Settings& values : {SomeSettings(), Settings{}}) {
        Settings made = values;
        if (made.saveTo.empty())
            made.saveTo = L"/root/Documents";
        const std::string text = Uncommented(DefaultSettingsFileText(made));
        Settings read;
        std::string error;
        ASSERT_TRUE(ReadSettingsFile(text, "harvex.conf", L"/root", read, error)) << error << "\n" << text;
        EXPECT_TRUE(read == made) << text;
        EXPECT_EQ(text.find("# Save to"), std::string::npos) << "every setting was offered";
    }
}

TEST(SettingsFile, NamesAnyCaseHomeAndLimitsFromTheTable) {
    Settings read;
    std::string error;
    ASSERT_TRUE(ReadSettingsFile("\xEF\xBB\xBF; a comment\nsave TO = ~/Cards ; inline\nFolder name=-1\n"
                                 "Log level = 2\n",
                                 "harvex.conf", L"/home/me", read, error))
        << error;
    EXPECT_EQ(read.saveTo, L"/home/me/Cards");
    EXPECT_EQ(read.folderName, -1);
    EXPECT_EQ(read.logLevel, 2);
    for (const char* text : {"Folder name = 4\n", "Folder name = -2\n", "Log level = 1x\n",
                             "Log level = 99999999999\n", "Only new files = 2\n", "[Harvex]\nVerify = 1\n"}) {
        EXPECT_FALSE(ReadSettingsFile(text, "harvex.conf", L"/home/me", read, error)) << text;
        EXPECT_EQ(error.rfind("harvex.conf:", 0), 0u) << error;
    }
}

} // namespace
