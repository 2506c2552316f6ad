#pragma once
// A text file a run writes beside its folder (its checksum list, its copy record). It is made under
// a temporary name and at once put in place of any file of its name: such a file was left by a run
// whose folder is gone (the name was free again), so it speaks for nothing. Lines are held briefly
// and written as the run goes (Flush), so a run that is killed leaves what it had filed.
#include "platform/Files.h"

#include <cstdint>
#include <string>

class SideFile {
public:
    explicit SideFile(std::wstring path = std::wstring()) : m_path(std::move(path)) {}

    const std::wstring& Path() const { return m_path; }
    bool IsStarted() const { return m_started; }
    // The first failure (creating or writing); later text is dropped.
    platform::ErrorCode Error() const { return m_error; }

    // Removes a file of this name left by an earlier run: this run will not write one.
    platform::ErrorCode RemoveOld() const;
    void Append(const std::string& text);
    // Writes what is held.
    void Flush();
    // Text has been held for a second.
    bool FlushDue() const;
    // Writes what is held and closes the file; the file's first failure, if any.
    platform::ErrorCode Finish();
    // Closes the file and removes it: the folder it would speak for is gone.
    void Discard();

private:
    void Start();

    std::wstring m_path;
    platform::NewFile m_file;
    std::string m_pending;
    uint32_t m_pendingSince = 0;
    bool m_started = false;
    platform::ErrorCode m_error = platform::kSuccess;
};
