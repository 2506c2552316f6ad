#include "app/MainDlg_win.h"
#include "app/CompletionActions_win.h"
#include "app/MainDlgLayout.h"
#include "app/MainDlgTexts.h"
#include "app/ReportBatchView.h"
#include "copy/Progress.h"
#include "platform/FileDialogs_win.h"
#include "platform/System.h"
#include "resources/resource.h"
#include "service/RunSettings.h"
#include "settings/OptionsDialog_win.h"
#include "settings/Settings.h"
#include "settings/StartWithWindows.h"
#include "ui/AboutDlg_win.h"

#include "HarvexVersion.h"

#include <commctrl.h>
#include <dbt.h>

#include <vector>

namespace {

// Posted (never sent) when the report queue goes from empty to non-empty.
constexpr UINT kReportsQueuedMessage = WM_APP + 1;
// Reports are shown at most this often, and less often when showing them is slow.
constexpr uint32_t kReportsIntervalMs = 50;
constexpr UINT_PTR kReportsTimerId = 0x4852;
// How long quitting waits at most for running copies to stop before the process ends them.
constexpr DWORD kQuitWaitMs = 120000;
// How long the end of the session waits for copies to stop: Windows ends a program that holds
// the session's end for about five seconds.
constexpr DWORD kSessionEndWaitMs = 4000;
// How long quitting waits at most for "Verify a copy..." to stop: it writes nothing, so there is
// nothing to lose when a check stuck in a look-up on a dead share is given up.
constexpr DWORD kCheckWaitMs = 2000;

constexpr int kCopyToReadChars = 10240;

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
    : m_settingsKey(platform::RegKey::Create(kSettingsKeyPath, kSettingsKeyClass)),
      m_host(std::make_unique<ReportingHost>()), m_jobs(m_host.get(), [this] { return RunOptionsNow(); }),
      m_driveMonitor(m_driveList, m_jobs), m_reportPacing(kReportsIntervalMs) {
    AddMainDialogRules(Layout());
}

CMainDlg::~CMainDlg() = default;

int CMainDlg::DoModal(HINSTANCE instance, const StartOptions& start) {
    m_instance = instance;
    m_start = start;
    INT_PTR result = RunModal(instance, IDD_MAIN, GetActiveWindow());
    if (result == -1)
        return -1;
    // Wine's modal loop gives 1 when WM_QUIT ends it; "Quit" always means exit code 0.
    return m_quitRequested ? 0 : static_cast<int>(result);
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
        ShowQueuedReports();
        return Result(0);
    case WM_QUERYENDSESSION:
        // The copies are stopped when the session really ends (WM_ENDSESSION), not on the question.
        return Result(TRUE);
    case WM_ENDSESSION:
        if (wParam)
            OnEndSession();
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
        if (MustShowMinimised(m_trayIcon.IsShown(), IsWindowVisible(m_hwnd) != FALSE))
            ShowMinimised();
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
        HideToTray();
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
        // From the moment Quit is chosen no copy starts, not even during the calls that follow
        // and may let an arrival's message in while they wait on another process.
        m_jobs.Close();
        PostQuitMessage(0);
        return true;
    default:
        return false;
    }
}

BOOL CMainDlg::OnInitDialog() {
    // A worker given up at quitting may still end its actions after the dialog is gone: it holds
    // nothing of the dialog's but the window handle, which then names no window.
    m_host->Connect(
        [hwnd = m_hwnd] { PostMessageW(hwnd, kReportsQueuedMessage, 0, 0); },
        [hwnd = m_hwnd](const CompletionRequest& request) { RunCompletionActions(hwnd, request); });
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
    m_options = {settings.completion, settings.copying, settings.alsoCopyTo};
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
    ShowWindow(m_hwnd,
               m_startHold.Begin(m_trayIcon.IsShown()) == PutAway::Hide ? SW_HIDE : SW_SHOWMINNOACTIVE);
}

bool CMainDlg::HoldStartState(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    if (message == WM_WINDOWPOSCHANGING && m_startHold.RefusesShow()) {
        reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
        return false;
    }
    if (message == WM_QUERYOPEN && m_startHold.RefusesOpen()) {
        result = Result(FALSE);
        return true;
    }
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_RESTORE)
        m_startHold.Release();
    return false;
}

void CMainDlg::ShowDialog() {
    m_startHold.Release();
    ShowWindow(m_hwnd, SW_SHOWNORMAL);
}

void CMainDlg::ShowMinimised() {
    m_startHold.Minimise();
    ShowWindow(m_hwnd, SW_SHOWMINNOACTIVE);
}

void CMainDlg::SetUpDriveList() {
    HWND list = GetDlgItem(m_hwnd, IDC_DRIVE_LIST);
    SetWindowSubclass(list, DriveListProc, 1, reinterpret_cast<DWORD_PTR>(this));
    m_driveList.Attach(list);
    m_driveList.SetExtendedStyles();
}

void CMainDlg::FillCombos(int32_t folderName, int32_t logLevel) {
    for (size_t i = 0; i < kFolderNameItems.size(); ++i)
        SendMessageW(m_folderNamesCombo, CB_INSERTSTRING, i, reinterpret_cast<LPARAM>(kFolderNameItems[i]));
    for (size_t i = 0; i < kLogLevelItems.size(); ++i)
        SendMessageW(m_logLevelCombo, CB_INSERTSTRING, i, reinterpret_cast<LPARAM>(kLogLevelItems[i]));
    // An index that names no item leaves the combo without a selection.
    SendMessageW(m_folderNamesCombo, CB_SETCURSEL, static_cast<WPARAM>(folderName), 0);
    SendMessageW(m_logLevelCombo, CB_SETCURSEL, static_cast<WPARAM>(logLevel), 0);
}

void CMainDlg::OnDestroy() {
    m_jobs.Close();
    // The settings are stored by Quit alone; a session that ends keeps the stored ones.
    if (!m_sessionEnded) {
        StoreSettings(m_settingsKey, SettingsNow());
        SaveWindowPlacement(m_hwnd, L"Main frame");
    }

    m_trayIcon.Remove();
    m_trayMenu.Destroy();

    // The program is gone for the user from here on; what is left is ending the copies cleanly.
    ShowWindow(m_hwnd, SW_HIDE);
    StopJobsForQuit();
}

void CMainDlg::StopJobsForQuit() {
    m_listCheck->Stop();
    // On Windows a copy ends within one chunk of its file. Wine's file copy ignores the stop
    // request, so there the file in progress is finished rather than left half written; only a
    // copy that hangs for good is given up on.
    // At the session's end the waiting is over already.
    WaitForCopies(m_sessionEnded ? 0 : kQuitWaitMs);
    m_closing = true;
    // No report reaches the dialog any more, and a worker that waits to show its completion is let go.
    m_host->Reports().Close();
    bool allJoined = m_jobs.JoinEndedAndAbandonTheRest();
    if (!m_listCheck->JoinIfEnded()) {
        // Its worker still uses it: the check is given up as a copy worker is.
        (void)m_listCheck.release();
        allJoined = false;
    }
    if (!allJoined)
        (void)m_host.release();
}

void CMainDlg::OnEndSession() {
    m_jobs.EndSession();
    m_listCheck->Stop();
    WaitForCopies(kSessionEndWaitMs);
    ShowQueuedReports();
    m_sessionEnded = true;
    // The process may be ended any time after this message returns; end the dialog the quick way.
    m_quitRequested = true;
    EndDialog(m_hwnd, 0);
}

void CMainDlg::WaitForCopies(DWORD limitMs) {
    // Messages keep flowing meanwhile: reports are shown, and a worker's completion message box is
    // owned by this dialog and talks to it.
    DWORD start = GetTickCount();
    bool quitSeen = false;
    auto stillRunning = [&] {
        const DWORD waited = GetTickCount() - start;
        return waited < limitMs &&
               (m_jobs.CopiesStillRunning() || (!m_listCheck->WorkerHasEnded() && waited < kCheckWaitMs));
    };
    while (stillRunning()) {
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
}

void CMainDlg::HideToTray() {
    ShowWindow(m_hwnd, PutAwayWith(m_trayIcon.IsShown()) == PutAway::Hide ? SW_HIDE : SW_MINIMIZE);
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
    const uint32_t delay = m_reportPacing.DelayFor(GetTickCount());
    if (delay == ReportPacing::kWaiting)
        return;
    if (delay > 0 && SetTimer(m_hwnd, kReportsTimerId, delay, nullptr) != 0) {
        m_reportPacing.TimerSet();
        return;
    }
    ShowQueuedReports();
}

void CMainDlg::ShowQueuedReports() {
    if (m_closing)
        return;
    const DWORD start = GetTickCount();
    ReportQueue& reports = m_host->Reports();
    ReportBatchView view = ViewReportBatch(reports.TakeAll(), ComboSelection(m_logLevelCombo));
    m_logEdit.Append(view.appendText, view.appendedLines);
    ShowProgressView(view);
    // A finished run's beep and pop-up wait for this: "Complete." is on screen now.
    reports.MarkShown();
    for (int32_t driveIndex : view.endedRuns) {
        if (driveIndex == kListCheckIndex)
            m_listCheck->OnWorkerEnded();
    }
    m_reportPacing.Shown(start, GetTickCount() - start);
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
    std::wstring folder;
    if (platform::PickFolder(m_hwnd, L"Select folder:", folder))
        SetDlgItemTextW(m_hwnd, IDC_COPY_TO_EDIT, folder.c_str());
}

void CMainDlg::OnClear() {
    // Lines already reported belong before the clear, as if each had been shown at once.
    ShowQueuedReports();
    m_jobs.ClearAllLogs();
    m_logEdit.Clear();
}

void CMainDlg::OnStop() {
    m_jobs.StopAll();
    m_listCheck->Stop();
}

void CMainDlg::OnOptions() {
    OptionsDialogValues options = m_options;
    const std::wstring exe = platform::ExecutablePath();
    bool startWithWindows = IsStartWithWindowsOn(exe);
    if (!EditOptions(GetActiveWindow(), options, startWithWindows))
        return;
    m_options = options;
    if (!ApplyStartWithWindows(startWithWindows, exe))
        MessageBoxW(m_hwnd, kStartWithWindowsFailedText, kMessageCaption, MB_OK | MB_ICONWARNING);
}

// Asks for a checksum list and checks it on the list check's worker; the dialog shows how it goes.
void CMainDlg::OnVerifyCopy() {
    if (!m_listCheck->WorkerHasEnded()) {
        MessageBoxW(m_hwnd, kVerifyBusyText, kMessageCaption, MB_OK | MB_ICONINFORMATION);
        return;
    }
    std::wstring list;
    if (!platform::PickFileToOpen(m_hwnd, L"Verify a copy",
                                  L"Checksum lists (*.sha256)\0*.sha256\0All files (*.*)\0*.*\0", list))
        return;
    ShowDialog();
    if (!m_listCheck->Start(list))
        MessageBoxW(m_hwnd, kVerifyNotStartedText, kMessageCaption, MB_OK | MB_ICONWARNING);
}

void CMainDlg::OnAbout() {
    CAboutDlg about;
    about.DoModal(GetActiveWindow());
}

Settings CMainDlg::SettingsNow() {
    Settings settings;
    settings.folderName = ComboSelection(m_folderNamesCombo);
    settings.logLevel = ComboSelection(m_logLevelCombo);
    settings.completion = m_options.completion;
    settings.copying = m_options.copying;
    settings.alsoCopyTo = m_options.alsoCopyTo;
    settings.saveTo = WindowText(GetDlgItem(m_hwnd, IDC_COPY_TO_EDIT), kCopyToReadChars);
    return settings;
}

RunOptions CMainDlg::RunOptionsNow() {
    // The controls count as they stand now, saved or not.
    return RunOptionsFrom(SettingsNow());
}
