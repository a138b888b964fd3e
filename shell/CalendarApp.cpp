#include "shell/CalendarApp.h"

#include "resources/Resource.h"
#include "settings/Settings.h"
#include "shell/FrameRules.h"
#include "shell/MainFrame.h"
#include "toolkit/Services.h"

#include <cstdlib>

namespace {

const char kUninstallCaption[] = "アンインストール";
const char kUninstallBusy[] =
    "ミモザ手帳が起動中のためアンインストールに失敗しました。\r\n"
    "ミモザ手帳を終了させてからもう一度アンインストールを実行してください。";
const char kUninstallDone[] = "レジストリ情報を削除しました。";

}  // namespace

CalendarApp::CalendarApp() : frame_(std::make_unique<MainFrame>()), mutex_(std::make_unique<Mutex>()) {}

CalendarApp::~CalendarApp() {
    mutex_.reset();
    frame_.reset();
}

int CalendarApp::Run() {
    mutex_->Create(nullptr, TRUE, kInstanceName);
    const bool anotherRuns = GetLastError() == ERROR_ALREADY_EXISTS;
    if (anotherRuns) {
        if (HWND other = FindWindowA(kInstanceName, nullptr)) {
            ::ShowWindow(other, SW_RESTORE);
            ::SetForegroundWindow(other);
        }
    }
    if (IsUninstallSwitch(__argc, __argv)) return Uninstall(anotherRuns);
    if (anotherRuns) return 0;

    if (int failure = StartFrame()) return failure;
    return RunMessageLoop();
}

int CalendarApp::Uninstall(bool anotherRuns) {
    if (anotherRuns) {
        ShowMessageBox(FindWindowA(kInstanceName, nullptr), kUninstallBusy, kUninstallCaption,
                       MB_ICONWARNING | MB_OK);
        return 0;
    }
    const REGSAM access = KEY_READ | KEY_WRITE;
    RegKey data;
    data.CreateKey(HKEY_CURRENT_USER, Settings::kRegistryPath, access);
    if (data.DeleteTree() != ERROR_SUCCESS) return 0;
    data.Close();
    RegKey maker;
    if (maker.CreateKey(HKEY_CURRENT_USER, kMakerKey, access) == ERROR_SUCCESS && maker.SubKeyCount() == 0) {
        maker.DeleteKey("");
    }
    ShowMessageBox(nullptr, kUninstallDone, kUninstallCaption, MB_ICONINFORMATION | MB_OK);
    return 0;
}

int CalendarApp::StartFrame() {
    HINSTANCE instance = GetInstance();
    WNDCLASSEXA frameClass{};
    frameClass.cbSize = sizeof frameClass;
    frameClass.lpfnWndProc = &WindowBase::WindowProc;
    frameClass.hInstance = instance;
    frameClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APPLICATION_ICON));
    frameClass.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APPLICATION_ICON), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                        LR_SHARED));
    frameClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    frameClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    frameClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINFRAME);
    frameClass.lpszClassName = kInstanceName;
    // Without its window the program would wait for a quit that never comes.
    if (!RegisterClassExA(&frameClass)) return kExitClassNotRegistered;

    HWND window = frame_->Create(0, kInstanceName, MainFrame::kTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                 instance, nullptr);
    if (!window) return kExitFrameNotCreated;

    const Settings& settings = frame_->GetSettings();
    if (settings.dwWindowLeft != Settings::kDefaultPlacement) {
        frame_->SetWindowPos(nullptr, settings.dwWindowLeft, settings.dwWindowTop, settings.dwWindowWidth,
                             settings.dwWindowHeight, SWP_NOZORDER);
    }
    frame_->ShowWindow(nCmdShow);
    frame_->UpdateWindow();
    return 0;
}
