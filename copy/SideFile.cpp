#include "copy/SideFile.h"

#include "copy/FileNames.h"
#include "platform/System.h"

namespace {

// Lines are held until this much has gathered or the oldest is this old.
constexpr size_t kFlushBytes = 64u << 10;
constexpr uint32_t kFlushMs = 1000;
// Temporary names tried; one is taken only by a run killed between making and placing its file.
constexpr uint32_t kMaxTemporaryNames = 100;

} // namespace

platform::ErrorCode SideFile::RemoveOld() const {
    platform::FileInfo info;
    if (platform::GetFileInfo(m_path, info) != platform::kSuccess ||
        (info.attributes & platform::kAttrDirectory) != 0)
        return platform::kSuccess;
    return platform::DeleteFileAt(m_path);
}

void SideFile::Start() {
    m_started = true;
    const size_t slash = m_path.find_last_of(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : m_path.substr(0, slash + 1);
    const std::wstring base = TemporaryName(m_path.substr(folder.size()));
    std::wstring temporary;
    m_error = platform::kErrorFileExists;
    for (uint32_t number = 1; number <= kMaxTemporaryNames && m_error == platform::kErrorFileExists;
         ++number) {
        temporary = folder + (number == 1 ? base : NumberedName(base, number));
        m_file = platform::NewFile::Create(temporary, m_error);
    }
    if (m_error != platform::kSuccess)
        return;
    m_error = platform::RenameReplacing(temporary, m_path);
    if (m_error == platform::kSuccess)
        return;
    m_file.Close();
    platform::DeleteFileAt(temporary);
}

void SideFile::Append(const std::string& text) {
    if (!m_started)
        Start();
    if (m_error != platform::kSuccess)
        return;
    if (m_pending.empty())
        m_pendingSince = platform::TickCount();
    m_pending += text;
    if (m_pending.size() >= kFlushBytes)
        Flush();
}

void SideFile::Flush() {
    if (m_error == platform::kSuccess && !m_pending.empty())
        m_error = m_file.Write(m_pending.data(), m_pending.size());
    m_pending.clear();
}

// Unsigned 32-bit arithmetic: a wrap of the tick counter still gives the right difference.
bool SideFile::FlushDue() const {
    return !m_pending.empty() && platform::TickCount() - m_pendingSince >= kFlushMs;
}

platform::ErrorCode SideFile::Finish() {
    if (!m_started)
        return platform::kSuccess;
    Flush();
    const platform::ErrorCode closed = m_file.Close();
    if (m_error == platform::kSuccess)
        m_error = closed;
    return m_error;
}

void SideFile::Discard() {
    if (!m_started)
        return;
    m_pending.clear();
    m_file.Close();
    platform::DeleteFileAt(m_path);
}
