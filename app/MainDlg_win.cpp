#include "app/MainDlg_win.h"
#include "app/MainDlgLayout.h"
#include "copy/DestinationNaming.h"
#include "copy/Progress.h"
#include "platform/Drives.h"
#include "platform/System.h"
#include "resources/resource.h"
#include "settings/OptionsDialog_win.h"
#include "settings/Settings.h"
#include "settings/StartWithWindows.h"
#include "ui/AboutDlg_win.h"

#include "HarvexVersion.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dbt.h>
#include <shlobj.h>

#include <vector>

namespace {

// Posted (never sent) when the report queue goes from empty to non-empty.
constexpr UINT kReportsQueuedMessage = WM_APP + 1;
// Reports are shown at most this often: every append to the log box costs the same whether it adds
// one line or a hundred (7-9 ms under Wine), so a copy of many small files would otherwise keep the
// user-interface thread busier than the copy itself.
constexpr DWORD kReportsIntervalMs = 50;
constexpr UINT_PTR kReportsTimerId = 0x4852;
// How long quitting waits at most for running copies to stop before the process ends them.
constexpr DWORD kQuitWaitMs = 120000;

constexpr int kCopyToReadChars = 10240;

// The program's own pages. Harvex has no web site yet: these reserved addresses stand in for it
// until one exists, so no one else's page is ever opened.
constexpr wchar_t kHomePageAddress[] = L"https://harvex.invalid/help";
constexpr wchar_t kDonationPageAddress[] = L"https://harvex.invalid/donate";

const wchar_t* const kFolderNameItems[] = {
    L"Date/time (yyyy-mm-dd hh-mm-ss.mss)",
    L"3-digit numeric sequence",
    L"5-digit numeric sequence",
    L"Volume label and optional number",
};

const wchar_t* const kLogLevelItems[] = {
    L"Basic events and errors",
    L"Events/errors/folder names",
    L"Everything, including file names",
};

std::wstring WindowText(HWND window, int maxChars) {
    std::vector<wchar_t> buffer(static_cast<size_t>(maxChars) + 1, L'\0');
    int length = GetWindowTextW(window, buffer.data(), maxChars);
    return std::wstring(buffer.data(), length > 0 ? static_cast<size_t>(length) : 0);
}

int32_t ComboSelection(HWND combo) {
    return static_cast<int32_t>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

} // namespace

CMainDlg::CMainDlg()
    : m_settingsKey(platform::RegKey::Create(kSettingsKeyPath, kSettingsKeyClass)), m_jobs(this),
      m_driveMonitor(m_driveList, m_jobs) {
    AddMainDialogRules(Layout());
}

CMainDlg::~CMainDlg() = default;

int CMainDlg::DoModal(HINSTANCE instance, const StartOptions& start) {
    m_instance = instance;
    m_start = start;
    INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), GetActiveWindow(), DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    if (result == -1)
        return -1;
    // Wine's modal loop gives 1 when WM_QUIT ends it; "Quit" always means exit code 0.
    return m_quitRequested ? 0 : static_cast<int>(result);
}

INT_PTR CALLBACK CMainDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CMainDlg*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        self->m_hwnd = hwnd;
        return self->HandleMessage(message, wParam, lParam);
    }
    auto* self = reinterpret_cast<CMainDlg*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self)
        return FALSE;
    return self->HandleMessage(message, wParam, lParam);
}

INT_PTR CMainDlg::Result(LRESULT value) {
    SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, value);
    return TRUE;
}

INT_PTR CMainDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR held = FALSE;
    if (HoldStartState(message, wParam, lParam, held))
        return held;
    if (ProcessPlacementMessage(m_hwnd, message, wParam, lParam))
        return Result(0);
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_DESTROY:
        OnDestroy();
        return Result(0);
    case WM_COMMAND:
        return HandleCommand(LOWORD(wParam)) ? Result(0) : FALSE;
    case kTrayCallbackMessage:
        OnTrayNotify(lParam);
        return Result(1);
    case kReportsQueuedMessage:
        OnReportsQueued();
        return Result(0);
    case WM_TIMER:
        if (wParam != kReportsTimerId)
            break;
        KillTimer(m_hwnd, kReportsTimerId);
        m_reportsTimerSet = false;
        ShowQueuedReports();
        return Result(0);
    case WM_DEVICECHANGE:
        return Result(m_driveMonitor.OnDeviceChange(static_cast<uint32_t>(wParam),
                                                    reinterpret_cast<const void*>(lParam)));
    case WM_NOTIFY:
        if (auto change = m_driveList.ItemChangeOf(lParam))
            return Result(m_driveMonitor.OnDriveListItemChanged(*change));
        break;
    default:
        break;
    }
    if (message == m_taskbarCreatedMessage && m_taskbarCreatedMessage != 0) {
        m_trayIcon.Readd();
        return Result(0);
    }
    LRESULT gridResult = 0;
    if (ProcessGridMessage(m_hwnd, message, wParam, lParam, gridResult))
        return Result(gridResult);
    return FALSE;
}

LRESULT CALLBACK CMainDlg::DriveListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self) {
    switch (message) {
    case WM_SIZE:
        // The column follows the list's width; the list itself does not see this WM_SIZE.
        reinterpret_cast<CMainDlg*>(self)->m_driveList.OnDriveListSize();
        return 0;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, DriveListProc, id);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

bool CMainDlg::HandleCommand(int id) {
    switch (id) {
    case IDCANCEL:
        ShowWindow(m_hwnd, SW_HIDE);
        return true;
    case IDC_BROWSE:
        OnBrowse();
        return true;
    case IDC_CLEAR:
        OnClear();
        return true;
    case IDC_STOP:
        OnStop();
        return true;
    case IDC_OPTIONS:
        OnOptions();
        return true;
    case IDC_ABOUT:
        OnAbout();
        return true;
    case ID_TRAY_OPEN:
        ShowDialog();
        return true;
    case ID_TRAY_CHECK_FOR_UPDATES:
        m_homeLink.OpenTarget();
        return true;
    case ID_TRAY_DONATE:
        m_donateLink.OpenTarget();
        return true;
    case ID_TRAY_VERIFY_COPY:
        OnVerifyCopy();
        return true;
    case ID_TRAY_QUIT:
        m_quitRequested = true;
        PostQuitMessage(0);
        return true;
    default:
        return false;
    }
}

BOOL CMainDlg::OnInitDialog() {
    m_reports =
        std::make_unique<ReportQueue>([hwnd = m_hwnd] { PostMessageW(hwnd, kReportsQueuedMessage, 0, 0); });
    m_taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");

    m_trayIcon.Add(m_hwnd, m_instance, IDI_HARVEX, kProductAndVersion);

    m_progressBar = GetDlgItem(m_hwnd, IDC_PROGRESS_BAR);
    SendMessageW(m_progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));

    SetUpDriveList();

    m_folderNamesCombo = GetDlgItem(m_hwnd, IDC_FOLDER_NAMES_COMBO);
    m_logLevelCombo = GetDlgItem(m_hwnd, IDC_LOG_LEVEL_COMBO);
    m_logEdit.Attach(GetDlgItem(m_hwnd, IDC_LOG_EDIT));

    m_trayMenu.Build();

    Settings settings = LoadSettings(m_settingsKey, platform::DocumentsFolder);
    *LockedObject<OptionsDialogValues>::Scope(m_options) = {settings.completion, settings.copying};
    SetDlgItemTextW(m_hwnd, IDC_COPY_TO_EDIT, settings.saveTo.c_str());

    auto loadIcon = [this](int size) {
        return LoadImageW(m_instance, MAKEINTRESOURCEW(IDI_HARVEX), IMAGE_ICON, size, size, 0);
    };
    SendMessageW(m_hwnd, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(loadIcon(GetSystemMetrics(SM_CXICON))));
    SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(loadIcon(GetSystemMetrics(SM_CXSMICON))));

    FillCombos(settings.folderName, settings.logLevel);
    m_driveList.InsertDriveColumn();

    m_donateLink.AttachToStatic(GetDlgItem(m_hwnd, IDC_DONATE_LINK));
    m_donateLink.SetTarget(kDonationPageAddress);
    m_homeLink.AttachToStatic(GetDlgItem(m_hwnd, IDC_HELP_LINK));
    m_homeLink.SetTarget(kHomePageAddress);

    // Drives present now are listed but not copied: copies start only on later arrivals.
    m_driveMonitor.RefreshDrives();

    RECT window{};
    GetWindowRect(m_hwnd, &window);
    m_minTrackWidth = window.right - window.left;
    m_minTrackHeight = window.bottom - window.top;
    InitLayout(m_hwnd);
    RestoreWindowPlacement(m_hwnd, L"Main frame");

    m_logEdit.Append(L"Ready.\r\n", 1);
    SetProgressText(L"Ready.");
    if (m_start.inTray)
        StartInTray();
    return TRUE;
}

void CMainDlg::StartInTray() {
    if (m_trayIcon.IsShown()) {
        m_holdHidden = true;
        ShowWindow(m_hwnd, SW_HIDE);
        return;
    }
    // Hidden without an icon there would be no way back: the task bar keeps it instead.
    ShowWindow(m_hwnd, SW_SHOWMINNOACTIVE);
    m_holdMinimised = true;
}

bool CMainDlg::HoldStartState(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    // The modal loop shows the dialog after WM_INITDIALOG and again when its queue first runs empty
    // (Wine restores it from minimised too); a start in the tray refuses those shows until the user
    // asks for the dialog.
    if (message == WM_WINDOWPOSCHANGING && m_holdHidden) {
        reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
        return false;
    }
    if (message == WM_QUERYOPEN && m_holdMinimised) {
        result = Result(FALSE);
        return true;
    }
    if (message == WM_SYSCOMMAND && m_holdMinimised && (wParam & 0xFFF0) == SC_RESTORE)
        m_holdMinimised = false;
    return false;
}

void CMainDlg::ShowDialog() {
    m_holdHidden = false;
    m_holdMinimised = false;
    ShowWindow(m_hwnd, SW_SHOWNORMAL);
}

void CMainDlg::SetUpDriveList() {
    HWND list = GetDlgItem(m_hwnd, IDC_DRIVE_LIST);
    SetWindowSubclass(list, DriveListProc, 1, reinterpret_cast<DWORD_PTR>(this));
    m_driveList.Attach(list);
    m_driveList.SetExtendedStyles();
}

void CMainDlg::FillCombos(int32_t folderName, int32_t logLevel) {
    for (int i = 0; i < 4; ++i)
        SendMessageW(m_folderNamesCombo, CB_INSERTSTRING, i, reinterpret_cast<LPARAM>(kFolderNameItems[i]));
    for (int i = 0; i < 3; ++i)
        SendMessageW(m_logLevelCombo, CB_INSERTSTRING, i, reinterpret_cast<LPARAM>(kLogLevelItems[i]));
    // An index that names no item leaves the combo without a selection.
    SendMessageW(m_folderNamesCombo, CB_SETCURSEL, static_cast<WPARAM>(folderName), 0);
    SendMessageW(m_logLevelCombo, CB_SETCURSEL, static_cast<WPARAM>(logLevel), 0);
}

void CMainDlg::OnDestroy() {
    Settings settings;
    settings.folderName = ComboSelection(m_folderNamesCombo);
    settings.logLevel = ComboSelection(m_logLevelCombo);
    const OptionsDialogValues options = OptionsNow();
    settings.completion = options.completion;
    settings.copying = options.copying;
    settings.saveTo = WindowText(GetDlgItem(m_hwnd, IDC_COPY_TO_EDIT), kCopyToReadChars);
    StoreSettings(m_settingsKey, settings);

    SaveWindowPlacement(m_hwnd, L"Main frame");

    m_trayIcon.Remove();
    m_trayMenu.Destroy();

    // The program is gone for the user from here on; what is left is ending the copies cleanly.
    ShowWindow(m_hwnd, SW_HIDE);
    StopJobsForQuit();
}

bool CMainDlg::CopiesStillRunning() {
    if (!m_listCheck.WorkerHasEnded())
        return true;
    for (int32_t i = 0; i < kDriveCount; ++i) {
        // A worker held by its completion message box has nothing left to write.
        if (!m_jobs.Job(i).WorkerHasEnded() && !m_inCompletionActions[static_cast<size_t>(i)])
            return true;
    }
    return false;
}

void CMainDlg::StopJobsForQuit() {
    m_closing = true;
    m_jobs.StopAll();
    m_listCheck.Stop();
    // On Windows a copy ends within one chunk of its file. Wine's file copy ignores the stop
    // request, so there the file in progress is finished rather than left half written; only a
    // copy that hangs for good is given up on. Messages keep flowing meanwhile: a worker's
    // completion message box is owned by this dialog and talks to it.
    DWORD start = GetTickCount();
    bool quitSeen = false;
    while (CopiesStillRunning() && GetTickCount() - start < kQuitWaitMs) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quitSeen = true;
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    if (quitSeen)
        PostQuitMessage(0);
    // No report may reach the dialog once it is being destroyed.
    if (m_reports)
        m_reports->Close();
    m_jobs.JoinEndedAndAbandonTheRest();
}

void CMainDlg::OnTrayNotify(LPARAM mouseMessage) {
    switch (LOWORD(mouseMessage)) {
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU:
        m_trayMenu.Track(m_hwnd);
        break;
    case WM_LBUTTONDBLCLK:
        ShowDialog();
        break;
    default:
        break;
    }
}

void CMainDlg::SetProgressText(const std::wstring& text) {
    SetDlgItemTextW(m_hwnd, IDC_PROGRESS_TEXT, text.c_str());
}

void CMainDlg::OnReportsQueued() {
    if (m_reportsTimerSet)
        return;
    DWORD sinceLast = GetTickCount() - m_lastReportsShown;
    if (sinceLast < kReportsIntervalMs) {
        // The queue keeps what comes meanwhile; the timer takes it all at once.
        m_reportsTimerSet = SetTimer(m_hwnd, kReportsTimerId, kReportsIntervalMs - sinceLast, nullptr) != 0;
        if (m_reportsTimerSet)
            return;
    }
    ShowQueuedReports();
}

void CMainDlg::ShowQueuedReports() {
    if (!m_reports || m_closing)
        return;
    m_lastReportsShown = GetTickCount();
    ReportBatchView view = ViewReportBatch(m_reports->TakeAll(), ComboSelection(m_logLevelCombo));
    m_logEdit.Append(view.appendText, view.appendedLines);
    ShowProgressView(view);
    for (int32_t driveIndex : view.endedRuns) {
        if (driveIndex == kListCheckIndex)
            m_listCheck.OnWorkerEnded();
        else
            m_jobs.OnWorkerEnded(driveIndex);
    }
}

void CMainDlg::ShowProgressView(const ReportBatchView& view) {
    if (view.hasBarReport) {
        ProgressView bar = MakeProgressView(view.lastBarReport);
        if (bar.setsBar)
            SendMessageW(m_progressBar, PBM_SETPOS, static_cast<WPARAM>(bar.barPos), 0);
    }
    if (view.hasProgress)
        SetProgressText(MakeProgressView(view.lastProgress).text);
}

void CMainDlg::OnBrowse() {
    wchar_t path[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = m_hwnd;
    info.pszDisplayName = path;
    info.lpszTitle = L"Select folder:";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (!item)
        return;
    BOOL gotPath = SHGetPathFromIDListW(item, path);
    CoTaskMemFree(item);
    if (gotPath && path[0] != L'\0')
        SetDlgItemTextW(m_hwnd, IDC_COPY_TO_EDIT, path);
}

void CMainDlg::OnClear() {
    // Lines already reported belong before the clear, as if each had been shown at once.
    ShowQueuedReports();
    m_jobs.ClearAllLogs();
    m_logEdit.Clear();
}

void CMainDlg::OnStop() {
    m_jobs.StopAll();
    m_listCheck.Stop();
}

void CMainDlg::OnOptions() {
    OptionsDialogValues options = OptionsNow();
    const std::wstring exe = platform::ExecutablePath();
    bool startWithWindows = IsStartWithWindowsOn(exe);
    if (!EditOptions(GetActiveWindow(), options, startWithWindows))
        return;
    *LockedObject<OptionsDialogValues>::Scope(m_options) = options;
    if (!ApplyStartWithWindows(startWithWindows, exe))
        MessageBoxW(m_hwnd,
                    L"Harvex could not change \"Start with Windows\": the value \"Harvex\" under "
                    L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run could not be "
                    L"written. A policy of this computer may forbid it.",
                    L"Harvex", MB_OK | MB_ICONWARNING);
}

OptionsDialogValues CMainDlg::OptionsNow() {
    return *LockedObject<OptionsDialogValues>::Scope(m_options);
}

// Asks for a checksum list and checks it on the list check's worker; the dialog shows how it goes.
void CMainDlg::OnVerifyCopy() {
    if (!m_listCheck.WorkerHasEnded()) {
        MessageBoxW(m_hwnd, L"A copy is being verified. Stop it first, or wait until it has ended.",
                    L"Harvex", MB_OK | MB_ICONINFORMATION);
        return;
    }
    std::vector<wchar_t> path(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_hwnd;
    dialog.lpstrFilter = L"Checksum lists (*.sha256)\0*.sha256\0All files (*.*)\0*.*\0";
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrTitle = L"Verify a copy";
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!GetOpenFileNameW(&dialog))
        return;
    ShowWindow(m_hwnd, SW_SHOWNORMAL);
    if (!m_listCheck.Start(path.data()))
        MessageBoxW(m_hwnd, L"The check could not be started.", L"Harvex", MB_OK | MB_ICONWARNING);
}

void CMainDlg::OnAbout() {
    CAboutDlg about;
    about.DoModal(GetActiveWindow());
}

void CMainDlg::ShowLogLine(int32_t driveIndex, LogLevel level, const std::wstring& text) {
    if (m_reports)
        m_reports->PushLogLine(driveIndex, level, text);
}

void CMainDlg::ShowProgress(const ProgressReport& report) {
    if (m_reports)
        m_reports->PushProgress(report);
}

void CMainDlg::OnRunEnded(int32_t driveIndex) {
    if (m_reports)
        m_reports->PushRunEnded(driveIndex);
}

std::wstring CMainDlg::MakeDestinationFolder(int32_t driveIndex) {
    // The controls count as they stand now, saved or not.
    std::wstring copyTo = WindowText(GetDlgItem(m_hwnd, IDC_COPY_TO_EDIT), kCopyToReadChars);
    return ::MakeDestinationFolder(copyTo, ComboSelection(m_folderNamesCombo), driveIndex);
}

RunOptions CMainDlg::RunOptionsFor(int32_t) {
    const int32_t rule = ComboSelection(m_folderNamesCombo);
    RunOptions options;
    options.copying = OptionsNow().copying;
    options.intoCopyTo = rule < DateTime || rule > VolumeLabel;
    return options;
}

void CMainDlg::RunCompletionActions(int32_t driveIndex) {
    m_inCompletionActions[static_cast<size_t>(driveIndex)] = true;
    std::wstring root = L"A:\\";
    root[0] = static_cast<wchar_t>(L'A' + driveIndex);
    std::wstring devicePath = L"\\\\.\\A:";
    devicePath[4] = root[0];
    CompletionPlan plan = PlanCompletion(OptionsNow().completion, platform::DriveType(root));
    if (plan.eject)
        platform::EjectMedia(devicePath);
    if (plan.speakerBeep)
        Beep(1000, 100);
    if (plan.soundBeep)
        MessageBeep(MB_ICONASTERISK);
    if (plan.popup)
        MessageBoxW(m_hwnd, CompletionPopupText(driveIndex).c_str(), L"Harvex",
                    MB_SYSTEMMODAL | MB_ICONINFORMATION);
    m_inCompletionActions[static_cast<size_t>(driveIndex)] = false;
}
