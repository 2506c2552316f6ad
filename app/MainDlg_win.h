#pragma once
// The main dialog: the hub that owns the settings key, the copy jobs, the drive records, the tray
// icon and the controls through which the jobs report.
#include "app/DialogPresence.h"
#include "app/LogBox_win.h"
#include "app/ReportBatchView.h"
#include "app/ReportPacing.h"
#include "app/StartOptions.h"
#include "app/TrayIcon_win.h"
#include "copy/ListCheck.h"
#include "drives/DriveListView_win.h"
#include "drives/DriveMonitor.h"
#include "platform/ModalDialog_win.h"
#include "platform/Registry.h"
#include "service/DriveJobTable.h"
#include "service/ReportingHost.h"
#include "settings/CompletionOptions.h"
#include "settings/DialogPositionRegSaver_win.h"
#include "settings/Settings.h"
#include "ui/DialogGridResize_win.h"
#include "ui/HyperLink_win.h"

#include <windows.h>

#include <memory>
#include <vector>

class CMainDlg : public platform::ModalDialog<CMainDlg>,
                 public CDialogPositionRegSaver<CMainDlg>,
                 public CDialogGridResize<CMainDlg> {
public:
    CMainDlg();
    ~CMainDlg();
    CMainDlg(const CMainDlg&) = delete;
    CMainDlg& operator=(const CMainDlg&) = delete;

    // Runs the dialog modally; gives the process exit code. Started in the tray, the dialog stays
    // hidden behind its tray icon, or starts minimised when the icon cannot be shown.
    int DoModal(HINSTANCE instance, const StartOptions& start = {});

private:
    friend class platform::ModalDialog<CMainDlg>;
    static LRESULT CALLBACK DriveListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                          DWORD_PTR self);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool HandleCommand(int id);

    BOOL OnInitDialog();
    void OnDestroy();
    void HideToTray();
    void OnTrayNotify(LPARAM mouseMessage);
    // Every show of the dialog goes here, so that a start in the tray never swallows one.
    void ShowDialog();
    void ShowMinimised();
    void StartInTray();
    bool HoldStartState(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);
    void OnReportsQueued();
    void ShowQueuedReports();
    void OnBrowse();
    void OnClear();
    void OnStop();
    void OnOptions();
    void OnAbout();
    void OnVerifyCopy();
    void StopJobsForQuit();
    void OnEndSession();
    // Dispatches messages while the copies still run, for at most limitMs, and while the list check
    // still runs, for at most kCheckWaitMs of that.
    void WaitForCopies(DWORD limitMs);
    // Everything the settings key holds, as the controls and options stand now.
    Settings SettingsNow();
    // What a run needs, read from the controls at an arrival.
    RunOptions RunOptionsNow();

    void FillCombos(int32_t folderName, int32_t logLevel);
    void SetUpDriveList();
    void ShowProgressView(const ReportBatchView& view);
    void SetProgressText(const std::wstring& text);

    HINSTANCE m_instance = nullptr;
    bool m_quitRequested = false;
    StartOptions m_start;
    StartHold m_startHold;

    TrayIcon m_trayIcon;
    TrayMenu m_trayMenu;
    HWND m_folderNamesCombo = nullptr;
    HWND m_logLevelCombo = nullptr;
    HWND m_progressBar = nullptr;
    CHyperLink m_donateLink;
    CHyperLink m_homeLink;
    LogBox m_logEdit;
    platform::RegKey m_settingsKey;
    UINT m_taskbarCreatedMessage = 0;

    // The Options dialog's settings; each run is handed a copy when its volume arrives.
    OptionsDialogValues m_options;

    // Declared before the jobs, which report to it. Given up (never freed) when quitting leaves a
    // worker behind, so that the worker never reports to a freed object.
    std::unique_ptr<ReportingHost> m_host;
    DriveJobTable m_jobs;
    // "Verify a copy...". Given up (never freed) with the host when quitting leaves its worker behind.
    std::unique_ptr<CListCheck> m_listCheck = std::make_unique<CListCheck>(m_host.get());
    DriveListView m_driveList;
    DriveMonitor m_driveMonitor;
    bool m_closing = false;      // OnDestroy has begun: no job starts and no report is shown
    bool m_sessionEnded = false; // the session ends: nothing is stored
    ReportPacing m_reportPacing;
};
