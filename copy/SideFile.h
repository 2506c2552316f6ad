#pragma once
// A text file a run writes beside its folder (its checksum list, its copy record): made new on the
// first write, written in large pieces as lines come, closed at the end of the run. A file of that
// name is replaced: the folder it stood beside is gone, or the run's folder could not have that name.
#include "platform/Files.h"

#include <string>

class SideFile {
public:
    explicit SideFile(std::wstring path = std::wstring()) : m_path(std::move(path)) {}

    const std::wstring& Path() const { return m_path; }
    bool IsStarted() const { return m_started; }
    // The first failure (creating or writing); later text is dropped.
    platform::ErrorCode Error() const { return m_error; }

    void Append(const std::string& text);
    // Writes what is held and closes the file; the file's first failure, if any.
    platform::ErrorCode Finish();

private:
    void Flush();

    std::wstring m_path;
    platform::NewFile m_file;
    std::string m_pending;
    bool m_started = false;
    platform::ErrorCode m_error = platform::kSuccess;
};
