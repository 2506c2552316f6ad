#include "copy/SideFile.h"

namespace {

// Lines are held until this much has gathered: one write per few hundred files.
constexpr size_t kFlushBytes = 64u << 10;

} // namespace

void SideFile::Append(const std::string& text) {
    if (m_error != platform::kSuccess)
        return;
    if (!m_started) {
        m_started = true;
        m_file = platform::NewFile::Create(m_path, m_error);
        if (m_error != platform::kSuccess)
            return;
    }
    m_pending += text;
    if (m_pending.size() >= kFlushBytes)
        Flush();
}

void SideFile::Flush() {
    if (m_error == platform::kSuccess && !m_pending.empty())
        m_error = m_file.Write(m_pending.data(), m_pending.size());
    m_pending.clear();
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
