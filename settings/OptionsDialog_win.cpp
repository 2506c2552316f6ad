#include "settings/OptionsDialog_win.h"

#include "platform/FileDialogs_win.h"
#include "resources/resource.h"
#include "settings/Settings.h"

#include <vector>

namespace {

bool IsTicked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void SetTicked(HWND dialog, int id, bool ticked) {
    CheckDlgButton(dialog, id, ticked ? BST_CHECKED : BST_UNCHECKED);
}

std::wstring ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    std::vector<wchar_t> buffer(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    int length = GetWindowTextW(control, buffer.data(), static_cast<int>(buffer.size()));
    return std::wstring(buffer.data(), length > 0 ? static_cast<size_t>(length) : 0);
}

} // namespace

INT_PTR COptionsDialog::DoModal(HWND owner) {
    m_accepted = false;
    INT_PTR result = RunModal(GetModuleHandleW(nullptr), IDD_OPTIONS, owner);
    if (result == -1)
        return -1;
    // A quit while the dialog is open ends its loop too, and Wine then gives 1 (IDOK) as if OK had
    // been pressed: only OK itself accepts.
    return m_accepted ? IDOK : IDCANCEL;
}

INT_PTR COptionsDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG)
        return OnInitDialog();
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDC_BEEP:
        OnBeepClicked();
        return TRUE;
    case IDC_ALSO_COPY_TO_BROWSE:
        OnBrowseAlsoCopyTo();
        return TRUE;
    case IDCANCEL:
        EndDialog(m_hwnd, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL COptionsDialog::OnInitDialog() {
    // No more than the next start can read back: a longer text would be dropped there.
    SendDlgItemMessageW(m_hwnd, IDC_ALSO_COPY_TO_EDIT, EM_SETLIMITTEXT, kSaveToReadChars - 1, 0);
    ShowControls(ControlsFor(m_values));
    SetTicked(m_hwnd, IDC_START_WITH_WINDOWS, m_startWithWindows);
    return TRUE;
}

void COptionsDialog::OnOK() {
    m_values = OptionsFromControls(ReadControls());
    m_startWithWindows = IsTicked(m_hwnd, IDC_START_WITH_WINDOWS);
    m_accepted = true;
    EndDialog(m_hwnd, IDOK);
}

void COptionsDialog::OnBeepClicked() {
    OptionsControls controls = ReadControls();
    SetBeepTicked(controls, controls.beep);
    m_values.completion.m_beep = controls.beep ? 1 : 0;
    EnableRadios(controls.radiosEnabled);
}

void COptionsDialog::OnBrowseAlsoCopyTo() {
    std::wstring folder;
    if (platform::PickFolder(m_hwnd, L"Select folder:", folder))
        SetDlgItemTextW(m_hwnd, IDC_ALSO_COPY_TO_EDIT, folder.c_str());
}

void COptionsDialog::ShowControls(const OptionsControls& controls) {
    SetTicked(m_hwnd, IDC_EJECT_CDROM, controls.ejectCdRom);
    SetTicked(m_hwnd, IDC_SHOW_POPUP, controls.showPopup);
    SetTicked(m_hwnd, IDC_BEEP, controls.beep);
    SetTicked(m_hwnd, IDC_BEEP_SYSTEM_SPEAKER, controls.systemSpeaker);
    SetTicked(m_hwnd, IDC_BEEP_COMMON_AUDIO, controls.commonAudio);
    SetTicked(m_hwnd, IDC_VERIFY_COPIES, controls.verify);
    SetTicked(m_hwnd, IDC_ONLY_NEW_FILES, controls.onlyNew);
    SetDlgItemTextW(m_hwnd, IDC_ALSO_COPY_TO_EDIT, controls.alsoCopyTo.c_str());
    EnableRadios(controls.radiosEnabled);
}

OptionsControls COptionsDialog::ReadControls() const {
    OptionsControls controls;
    controls.ejectCdRom = IsTicked(m_hwnd, IDC_EJECT_CDROM);
    controls.showPopup = IsTicked(m_hwnd, IDC_SHOW_POPUP);
    controls.beep = IsTicked(m_hwnd, IDC_BEEP);
    controls.commonAudio = IsTicked(m_hwnd, IDC_BEEP_COMMON_AUDIO);
    controls.systemSpeaker = IsTicked(m_hwnd, IDC_BEEP_SYSTEM_SPEAKER);
    controls.verify = IsTicked(m_hwnd, IDC_VERIFY_COPIES);
    controls.onlyNew = IsTicked(m_hwnd, IDC_ONLY_NEW_FILES);
    controls.alsoCopyTo = ControlText(m_hwnd, IDC_ALSO_COPY_TO_EDIT);
    controls.radiosEnabled = IsWindowEnabled(GetDlgItem(m_hwnd, IDC_BEEP_SYSTEM_SPEAKER)) != FALSE;
    return controls;
}

void COptionsDialog::EnableRadios(bool enabled) {
    EnableWindow(GetDlgItem(m_hwnd, IDC_BEEP_COMMON_AUDIO), enabled);
    EnableWindow(GetDlgItem(m_hwnd, IDC_BEEP_SYSTEM_SPEAKER), enabled);
}

bool EditOptions(HWND owner, OptionsDialogValues& values, bool& startWithWindows) {
    COptionsDialog dialog;
    dialog.m_values = values;
    dialog.m_startWithWindows = startWithWindows;
    INT_PTR result = dialog.DoModal(owner);
    values = OptionsAfterDialog(values, dialog.m_values, result);
    if (result == kOptionsAccepted)
        startWithWindows = dialog.m_startWithWindows;
    return result == kOptionsAccepted;
}
