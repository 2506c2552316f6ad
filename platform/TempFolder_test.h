#pragma once
// Temporary folders for tests that touch real files, and a way for one thread to lose root's
// powers so that "access denied" happens even when the tests run as root.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace platformtest {

// Gives the calling thread the credentials of "nobody" (65534) so that file permissions apply.
// Raw system calls change only this thread; glibc's wrappers would change every thread. True when
// permissions now apply, which they always do for a test run that is not root.
inline bool ActAsNobodyOnThisThread() {
    if (::geteuid() != 0)
        return true;
    return ::syscall(SYS_setgroups, 0, nullptr) == 0 && ::syscall(SYS_setresgid, -1, 65534, -1) == 0 &&
           ::syscall(SYS_setresuid, -1, 65534, -1) == 0;
}

// Makes every folder below path searchable and writable again, so that it can be removed.
inline void RestorePermissions(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return;
    ::chmod(path.c_str(), 0777);
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            RestorePermissions(path + "/" + name);
    }
    ::closedir(dir);
}

inline void RemoveTree(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return;
    if (S_ISDIR(info.st_mode)) {
        if (DIR* dir = ::opendir(path.c_str())) {
            std::vector<std::string> names;
            while (const dirent* entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..")
                    names.push_back(name);
            }
            ::closedir(dir);
            for (const std::string& name : names)
                RemoveTree(path + "/" + name);
        }
        ::rmdir(path.c_str());
        return;
    }
    ::unlink(path.c_str());
}

// A fresh folder under /tmp (or under parent when that is a folder), removed with everything in it
// at the end.
class TempFolder {
public:
    explicit TempFolder(const std::string& parent = "/tmp") {
        struct stat info {};
        std::string pattern =
            (::stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? parent : "/tmp") +
            "/harvex-copy-XXXXXX";
        const char* made = ::mkdtemp(pattern.data());
        EXPECT_NE(made, nullptr);
        m_path = made != nullptr ? made : "/nonexistent";
        // Open to all, so a thread acting as "nobody" can reach what is inside.
        ::chmod(m_path.c_str(), 0777);
    }
    ~TempFolder() {
        RestorePermissions(m_path);
        RemoveTree(m_path);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string At(const std::string& rel) const { return m_path + "/" + rel; }

    void MakeFolder(const std::string& rel, mode_t mode = 0755) const {
        ASSERT_EQ(::mkdir(At(rel).c_str(), mode), 0) << rel;
        ::chmod(At(rel).c_str(), mode);
    }
    void WriteFile(const std::string& rel, const std::string& content, mode_t mode = 0644) const {
        const int fd = ::open(At(rel).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << rel;
        size_t written = 0;
        while (written < content.size()) {
            const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
            ASSERT_GT(n, 0);
            written += static_cast<size_t>(n);
        }
        ::close(fd);
        ::chmod(At(rel).c_str(), mode);
    }
    std::string ReadFile(const std::string& rel) const {
        std::string content;
        const int fd = ::open(At(rel).c_str(), O_RDONLY);
        if (fd < 0)
            return "<missing>";
        char buffer[65536];
        ssize_t n = 0;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
            content.append(buffer, static_cast<size_t>(n));
        ::close(fd);
        return content;
    }
    bool Exists(const std::string& rel) const {
        struct stat info {};
        return ::lstat(At(rel).c_str(), &info) == 0;
    }
    mode_t Mode(const std::string& rel) const {
        struct stat info {};
        return ::lstat(At(rel).c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
    }
    time_t ModifiedSeconds(const std::string& rel) const {
        struct stat info {};
        return ::lstat(At(rel).c_str(), &info) == 0 ? info.st_mtim.tv_sec : 0;
    }
    void SetModifiedSeconds(const std::string& rel, time_t seconds) const {
        const timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, At(rel).c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << rel;
    }

private:
    std::string m_path;
};

} // namespace platformtest
