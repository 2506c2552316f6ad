// Volume labels as a card, a disc or a hand-made image may carry them. A label names one folder
// inside "Copy to", or none at all: never a path that leaves it.
#include "FuzzInput.h"
#include "copy/DestinationNaming.h"
#include "copy/FileNames.h"

#include <set>

namespace {

// A file system that accepts every name and remembers it; the label comes from the input.
class RecordingNaming : public NamingEnvironment {
public:
    explicit RecordingNaming(std::wstring label, bool labelReadable, size_t taken)
        : m_label(std::move(label)), m_labelReadable(labelReadable), m_taken(taken) {}
    bool PathExists(const std::wstring& path) override { return m_made.count(path) != 0; }
    platform::ErrorCode CreateFolder(const std::wstring& path) override {
        m_created.push_back(path);
        // The first few names are taken, to reach the numbered form.
        if (m_created.size() <= m_taken || m_made.count(path) != 0) {
            m_made.insert(path);
            return platform::kErrorAlreadyExists;
        }
        m_made.insert(path);
        return platform::kSuccess;
    }
    platform::LocalTime LocalTime() override { return {}; }
    void YieldTimeSlice() override {}
    bool VolumeLabel(const std::wstring&, std::wstring& label) override {
        label = m_label;
        return m_labelReadable;
    }
    const std::vector<std::wstring>& Created() const { return m_created; }

private:
    std::wstring m_label;
    bool m_labelReadable;
    size_t m_taken;
    std::vector<std::wstring> m_created;
    std::set<std::wstring> m_made;
};

bool IsSeparatorOrDrive(wchar_t c) {
    return c == L'\\' || c == L'/' || c == L':';
}

// One folder name that stays in its parent: not empty, no separator, not dots alone.
bool NamesOneFolder(const std::wstring& name) {
    if (name.empty() || name.find_first_not_of(L". ") == std::wstring::npos)
        return false;
    for (wchar_t c : name) {
        if (IsSeparatorOrDrive(c) || c < 0x20)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const uint8_t flags = input.Byte();
    const std::wstring label = input.Text();

    const std::wstring name = FolderNameOfLabel(label);
    FUZZ_CHECK(NamesOneFolder(name));
    // The label as it is, or made safe (a trailing dot or blank that Windows would trim), or none.
    FUZZ_CHECK(name == label || name == SafeName(label) || name == L"[no name]");
    FUZZ_CHECK(!name.empty() && name.back() != L'.' && name.back() != L' ');
    for (wchar_t c : name)
        FUZZ_CHECK(std::wstring(L"<>\"|?*").find(c) == std::wstring::npos);

    const std::wstring base = L"C:\\Copies\\";
    RecordingNaming naming(label, (flags & 1) != 0, flags >> 5);
    const std::wstring made = MakeVolumeLabelFolder(base, static_cast<int32_t>(flags >> 1) % 26, naming);
    for (const std::wstring& path : naming.Created()) {
        FUZZ_CHECK(path.compare(0, base.size(), base) == 0);
        FUZZ_CHECK(NamesOneFolder(path.substr(base.size())));
    }
    if (!made.empty()) {
        FUZZ_CHECK(made.compare(0, base.size(), base) == 0);
        FUZZ_CHECK(NamesOneFolder(made.substr(base.size())));
    }
    return 0;
}
