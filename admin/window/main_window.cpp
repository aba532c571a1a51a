#include "admin/window/main_window.h"

#include <windowsx.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "admin/win32/run_step.h"
#include "admin/win32/text.h"
#include "admin/window/resource.h"

namespace vela {
namespace {

using win32::RunStep;

constexpr char kClassName[] = "VelaConfig.frmConfig";
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
constexpr UINT_PTR kTabSubclassId = 1;

}  // namespace

std::string ProgramFolder() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) return FolderOfFile(std::string_view(path.data(), n));
        path.resize(path.size() * 2);  // truncated: the path is longer than the buffer
    }
}

UniqueImageList MakeImageList1(HINSTANCE instance) {
    UniqueImageList list(::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 8, 0));
    if (!list) return list;
    const int pictures[] = {IDI_PICTURE_BLANK,     IDI_PICTURE_OU,       IDI_PICTURE_DOMAIN, IDI_PICTURE_DIRECTORY_ROOT,
                            IDI_PICTURE_CONTAINER, IDI_PICTURE_COMPUTER, IDI_PICTURE_BLANK,  IDI_PICTURE_USER};
    for (int id : pictures) {
        HICON icon = static_cast<HICON>(::LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0));
        ::ImageList_ReplaceIcon(list.get(), -1, icon);
        if (icon) ::DestroyIcon(icon);
    }
    return list;
}

UniqueMenu LoadContextMenus(HINSTANCE instance) {
    return UniqueMenu(::LoadMenuA(instance, MAKEINTRESOURCEA(IDR_CONTEXTMENUS)));
}

namespace {

// The services the frame cannot do without, checked before a page takes a reference to them;
// a missing directory is one that cannot be reached.
FrameServices Checked(FrameServices services) {
    if (!services.files || !services.prompts || !services.servers || !services.serverRegistry)
        throw std::invalid_argument("frmConfig: a required service is missing");
    if (!services.directory) {
        services.directory = [] {
            return directory::Connection{nullptr, directory::Failure(directory::Fault::NoServer, "no directory")};
        };
    }
    return services;
}

}  // namespace

frmConfig::frmConfig(HINSTANCE instance, FrameServices services)
    : instance_(instance),
      services_(Checked(std::move(services))),
      imageList_(MakeImageList1(instance)),
      contextMenus_(LoadContextMenus(instance)),
      settingsPage_(std::make_unique<SettingsPage>(
          instance, Host(), *services_.files, *services_.prompts,
          SettingsPageLinks{
              .GetSettingsPath = [this] { settings_.GetSettingsPath(editor_.ConfigFolder()); },
              .RefillServerTypes = [this] { serversPage_->Combo5_DropDown(); },
              .ShowFileProperties = [this](const std::string& path,
                                           HWND owner) { ShowFileProperties(path, owner, services_.shellExecuteEx); },
          })),
      settings_(*services_.files, *settingsPage_),
      editor_(*services_.files, settings_),
      commands_(editor_, *services_.files, *this),
      configPage_(std::make_unique<ConfigPage>(instance)),
      serversPage_(std::make_unique<ServersPage>(
          instance, Host(), *services_.files, *services_.prompts, imageList_.get(),
          ::GetSubMenu(contextMenus_.get(), 0), *services_.servers, services_.serverDirectory.get(),
          *services_.serverRegistry,
          ServersPageLinks{
              .ConfigFolder = [this] { return editor_.ConfigFolder(); },
              .ProgramFolder = [this] { return programFolder_; },
              .FillSettingsTypes = [this](const std::vector<std::string>& types) { settingsPage_->FillServerTypes(types); },
          })),
      usersPage_(std::make_unique<UsersPage>(instance, Host(), services_.directory, imageList_.get(),
                                             ::GetSubMenu(contextMenus_.get(), 1),
                                             ::GetSubMenu(contextMenus_.get(), 2))),
      pages_{configPage_.get(), settingsPage_.get(), serversPage_.get(), usersPage_.get()} {}

frmConfig::~frmConfig() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

HWND frmConfig::Create() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &WindowProc;
    wc.hInstance = instance_;
    wc.hIcon = static_cast<HICON>(::LoadImageA(instance_, MAKEINTRESOURCEA(IDI_VELACONFIG), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0));
    wc.hIconSm = static_cast<HICON>(::LoadImageA(instance_, MAKEINTRESOURCEA(IDI_VELACONFIG), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    // A second window in the same process (the tests make many) finds the class registered.
    if (!::RegisterClassExA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;

    // The window owns its menu once it exists; until then the menu is ours to free.
    UniqueMenu menu(::LoadMenuA(instance_, MAKEINTRESOURCEA(IDR_MAINMENU)));
    const std::string caption = Text(IDS_CAPTION);
    if (!::CreateWindowExA(kExStyle, kClassName, caption.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 640, 480,
                           nullptr, menu.get(), instance_, this))
        return nullptr;
    static_cast<void>(menu.release());
    return hwnd_;
}

HWND frmConfig::Page(int tab) const noexcept {
    return tab >= 0 && tab < kTabCount ? pages_[static_cast<size_t>(tab)]->hwnd() : nullptr;
}

std::string frmConfig::Text(UINT id) const {
    char buffer[512];
    const int n = ::LoadStringA(instance_, id, buffer, sizeof buffer);
    return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

LRESULT CALLBACK frmConfig::WindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    try {
        if (msg == WM_NCCREATE) {
            auto* self = static_cast<frmConfig*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
            self->hwnd_ = h;
            ::SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<frmConfig*>(::GetWindowLongPtrA(h, GWLP_USERDATA));
        if (!self) return ::DefWindowProcA(h, msg, wp, lp);
        if (msg == WM_NCDESTROY) {
            ::SetWindowLongPtrA(h, GWLP_USERDATA, 0);
            self->hwnd_ = self->tab_ = self->status_ = nullptr;
            return ::DefWindowProcA(h, msg, wp, lp);
        }
        return self->OnMessage(msg, wp, lp);
    } catch (...) {
        // Handlers fail quietly: the message counts as handled and the window goes on.
        return 0;
    }
}

LRESULT frmConfig::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate() ? 0 : -1;
    case WM_COMMAND:
        if (lp == 0) OnCommand(LOWORD(wp));  // menu commands only: the pages handle their controls
        return 0;
    case WM_NOTIFY:
        OnNotify(*reinterpret_cast<const NMHDR*>(lp));
        return 0;
    case WM_SETCURSOR:
        if (OnSetCursor()) return TRUE;
        break;
    case WM_ACTIVATE:
        OnActivate(LOWORD(wp) != WA_INACTIVE);
        return 0;
    case WM_SETFOCUS:
        ::SetFocus(focus_ && ::IsChild(hwnd_, focus_) && ::IsWindowVisible(focus_) ? focus_ : tab_);
        return 0;
    case WM_NEXTDLGCTL:
        OnNextDlgCtl(wp, lp);
        return 0;
    case WM_SIZE:
        if (wp != SIZE_MINIMIZED) LayOut();
        return 0;
    case WM_GETMINMAXINFO:
        if (minimum_.cx > 0) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lp);
            info->ptMinTrackSize = {minimum_.cx, minimum_.cy};
        }
        return 0;
    case WM_CLOSE:
        Form_Unload();
        return 0;
    case WM_ENDSESSION:
        // The session ends without a WM_CLOSE; the hive is unloaded all the same.
        if (wp) Form_Unload();
        return 0;
    case WM_DESTROY:
        if (services_.onDestroyed) services_.onDestroyed();
        return 0;
    default:
        break;
    }
    return ::DefWindowProcA(hwnd_, msg, wp, lp);
}

// What DefDlgProc does for a dialog: the dialog manager asks the window holding the controls to
// move the focus, to a given control (lp true) or to the next or previous tab stop.
void frmConfig::OnNextDlgCtl(WPARAM wp, LPARAM lp) {
    HWND next = LOWORD(lp) ? reinterpret_cast<HWND>(wp) : ::GetNextDlgTabItem(hwnd_, ::GetFocus(), wp != 0);
    if (!next || !::IsChild(hwnd_, next)) return;
    ::SetFocus(next);
    if (::SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) ::SendMessageA(next, EM_SETSEL, 0, -1);
}

bool frmConfig::OnCreate() {
    tab_ = ::CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0, 100,
                             100, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SSTAB1)), instance_, nullptr);
    status_ = ::CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, hwnd_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUSBAR)), instance_, nullptr);
    if (!tab_ || !status_) return false;
    ::SetWindowSubclass(tab_, &TabSubclassProc, kTabSubclassId, reinterpret_cast<DWORD_PTR>(this));

    const UINT captions[kTabCount] = {IDS_TAB_CONFIG, IDS_TAB_SETTINGS, IDS_TAB_SERVERS, IDS_TAB_USERS};
    for (int i = 0; i < kTabCount; ++i) {
        std::string caption = Text(captions[i]);
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        ::SendMessageA(tab_, TCM_INSERTITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }

    for (vela::Page* page : pages_)
        if (!page->Create(hwnd_)) return false;

    // The tab control and the status bar write in the pages' dialog font.
    LOGFONTA face{};
    if (::GetObjectA(reinterpret_cast<HGDIOBJ>(::SendMessageA(Page(0), WM_GETFONT, 0, 0)), sizeof face, &face))
        font_.reset(::CreateFontIndirectA(&face));
    if (font_) {
        ::SendMessageA(tab_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        ::SendMessageA(status_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    }

    FitToPages();
    configPage_->ShowModel(editor_.model);  // the start values, until a file is loaded
    ShowPage(0);
    ShowCurrentFile();
    return true;
}

// The pages' template size sets the first and the smallest window: the tab control fitted around
// a page, the window around the tab control and the status bar.
void frmConfig::FitToPages() {
    RECT page{};
    ::GetWindowRect(Page(0), &page);
    RECT margin{0, 0, 7, 7};
    ::MapDialogRect(Page(0), &margin);
    RECT tab{0, 0, page.right - page.left, page.bottom - page.top};
    ::SendMessageA(tab_, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&tab));
    // Above the tab control, which clips its siblings, and so first in the tab order.
    for (int i = kTabCount - 1; i >= 0; --i)
        ::SetWindowPos(Page(i), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    ::SetWindowPos(tab_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);

    ::SendMessageA(status_, WM_SIZE, 0, 0);
    RECT bar{};
    ::GetWindowRect(status_, &bar);
    const int clientWidth = (tab.right - tab.left) + 2 * margin.right;
    const int clientHeight = (tab.bottom - tab.top) + 2 * margin.bottom + (bar.bottom - bar.top);
    RECT frame{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&frame, kStyle, TRUE, kExStyle);
    minimum_ = {frame.right - frame.left, frame.bottom - frame.top};
    ::SetWindowPos(hwnd_, nullptr, 0, 0, minimum_.cx, minimum_.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A menu bar that wraps onto a second line takes more than AdjustWindowRectEx allowed for.
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    if (client.bottom < clientHeight) {
        minimum_.cy += clientHeight - client.bottom;
        ::SetWindowPos(hwnd_, nullptr, 0, 0, minimum_.cx, minimum_.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    LayOut();
}

void frmConfig::LayOut() {
    if (!tab_ || !status_) return;
    ::SendMessageA(status_, WM_SIZE, 0, 0);
    RECT client{}, bar{};
    ::GetClientRect(hwnd_, &client);
    ::GetWindowRect(status_, &bar);
    RECT margin{0, 0, 7, 7};
    if (Page(0)) ::MapDialogRect(Page(0), &margin);
    RECT tab{margin.right, margin.bottom, client.right - margin.right,
             client.bottom - (bar.bottom - bar.top) - margin.bottom};
    if (tab.right < tab.left || tab.bottom < tab.top) return;
    ::SetWindowPos(tab_, nullptr, tab.left, tab.top, tab.right - tab.left, tab.bottom - tab.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    RECT display = tab;
    ::SendMessageA(tab_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    for (vela::Page* page : pages_) {
        if (!page->hwnd()) continue;
        ::SetWindowPos(page->hwnd(), nullptr, display.left, display.top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        page->OnSize(display.right - display.left, display.bottom - display.top);
    }
    ShowCurrentFile();
}

void frmConfig::Form_Load(std::string_view commandTail, const std::string& programFolder) {
    programFolder_ = programFolder;
    RunFileCommand([&] { commands_.Start(commandTail, programFolder); });
}

void frmConfig::Show(int showCommand) {
    ::SendMessageA(tab_, TCM_SETCURSEL, 0, 0);
    ShowPage(0);
    ::ShowWindow(hwnd_, showCommand);
    ::UpdateWindow(hwnd_);
    ::SetFocus(tab_);
}

bool frmConfig::TranslateDialogMessage(MSG& msg) {
    // Form1 is a window of its own, without an owner: its keyboard goes through here too.
    if (usersPage_->TranslateForm1(msg)) return true;
    if (!hwnd_ || (msg.hwnd != hwnd_ && !::IsChild(hwnd_, msg.hwnd))) return false;
    // Ctrl+Tab and Ctrl+PgDn turn to the next page, Ctrl+Shift+Tab and Ctrl+PgUp to the one
    // before, from wherever the focus is, as in property sheets.
    if (msg.message == WM_KEYDOWN && ::GetKeyState(VK_CONTROL) < 0 &&
        (msg.wParam == VK_TAB || msg.wParam == VK_NEXT || msg.wParam == VK_PRIOR)) {
        const bool back = msg.wParam == VK_PRIOR || (msg.wParam == VK_TAB && ::GetKeyState(VK_SHIFT) < 0);
        const int step = back ? kTabCount - 1 : 1;
        ::SendMessageA(tab_, TCM_SETCURFOCUS, static_cast<WPARAM>((shownTab_ + step) % kTabCount), 0);
        return true;
    }
    if (usersPage_->TranslateKey(msg)) return true;
    return ::IsDialogMessageA(hwnd_, &msg) != FALSE;
}

void frmConfig::OnCommand(int id) {
    switch (id) {
    case IDM_NEW: mnuNew_Click(); break;
    case IDM_OPEN: mnuOpen_Click(); break;
    case IDM_SAVE: mnuSave_Click(); break;
    case IDM_SAVEAS: mnuSaveAs_Click(); break;
    case IDM_QUIT: mnuQuit_Click(); break;
    default: break;
    }
}

void frmConfig::OnNotify(const NMHDR& header) {
    if (header.idFrom == IDC_SSTAB1 && header.code == TCN_SELCHANGE) SSTab1_SelChange();
}

bool frmConfig::OnSetCursor() {
    if (busy_ == 0) return false;
    ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    return true;
}

void frmConfig::OnActivate(bool active) {
    if (active) return;  // WM_SETFOCUS follows and puts the focus back
    HWND focus = ::GetFocus();
    if (focus && ::IsChild(hwnd_, focus)) focus_ = focus;
}

void frmConfig::mnuNew_Click() { RunFileCommand([this] { commands_.New(); }); }
void frmConfig::mnuOpen_Click() { RunFileCommand([this] { commands_.Open(); }); }
void frmConfig::mnuSave_Click() { RunFileCommand([this] { commands_.Save(); }); }
void frmConfig::mnuSaveAs_Click() { RunFileCommand([this] { commands_.SaveAs(); }); }
void frmConfig::mnuQuit_Click() { EndProgram(); }
void frmConfig::Form_Unload() { EndProgram(); }

void frmConfig::RunFileCommand(const std::function<void()>& command) {
    configPage_->ReadInto(editor_.model);
    try {
        command();
    } catch (...) {
        // Like every failing step of a command: passed over, the window shows what is left.
    }
    configPage_->ShowModel(editor_.model);
    ShowCurrentFile();
}

// A path too long for the bar loses folders from its middle, never its file name.
void frmConfig::ShowCurrentFile() {
    if (!status_) return;
    const std::string full = StatusOfFile();
    // Room for the part's borders and the size grip.
    const int room = LayOutStatusParts() - 4 * ::GetSystemMetrics(SM_CXEDGE) - ::GetSystemMetrics(SM_CXVSCROLL);
    HDC dc = ::GetDC(status_);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(status_, WM_GETFONT, 0, 0)));
    const std::string shown = ShortenPathMiddle(full, [&](std::string_view text) {
        SIZE size{};
        ::GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
        return size.cx <= room;
    });
    ::SelectObject(dc, old);
    ::ReleaseDC(status_, dc);
    if (shown == statusText_) return;
    statusText_ = shown;
    ::SendMessageA(status_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(shown.c_str()));
}

// The current file, or what the last file command could not do to the file it named.
std::string frmConfig::StatusOfFile() const {
    const FileProblem& problem = commands_.Problem();
    UINT id = 0;
    switch (problem.kind) {
    case FileProblem::Kind::None: break;
    case FileProblem::Kind::NotFound: id = IDS_FILE_NOT_FOUND; break;
    case FileProblem::Kind::SaveDenied: id = IDS_SAVE_DENIED; break;
    case FileProblem::Kind::SaveReadOnly: id = IDS_SAVE_READONLY; break;
    case FileProblem::Kind::SaveMissingFolder: id = IDS_SAVE_NO_FOLDER; break;
    case FileProblem::Kind::SaveFailed: id = IDS_SAVE_FAILED; break;
    }
    if (id == 0) {
        const std::string& path = editor_.ConfigFilePath();
        return path.empty() ? Text(IDS_NO_CURRENT_FILE) : path;
    }
    // The path goes last, so the shortening below takes folders from its middle, never the reason.
    std::string text = Text(id);
    if (const size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, problem.path);
    return text;
}

void frmConfig::ShowStatus(const std::string& utf8) {
    if (!status_) return;
    if (utf8.empty()) {  // no message: the file's path again
        ShowCurrentFile();
        return;
    }
    statusText_.clear();  // the next ShowCurrentFile writes the file again
    ::SendMessageW(status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(win32::Wide(utf8).c_str()));
}

void frmConfig::ShowCount(const std::string& text) {
    countText_ = text;
    statusText_.clear();  // the file's part changes width: shorten its text again
    ShowCurrentFile();
}

int frmConfig::LayOutStatusParts() {
    RECT bar{};
    ::GetClientRect(status_, &bar);
    if (countText_.empty()) {
        int whole = -1;
        ::SendMessageA(status_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&whole));
        return bar.right;
    }
    HDC dc = ::GetDC(status_);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(status_, WM_GETFONT, 0, 0)));
    SIZE size{};
    ::GetTextExtentPoint32A(dc, countText_.data(), static_cast<int>(countText_.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(status_, dc);
    const int countWidth = size.cx + 6 * ::GetSystemMetrics(SM_CXEDGE) + ::GetSystemMetrics(SM_CXVSCROLL);
    int parts[2] = {std::max(0, static_cast<int>(bar.right - countWidth)), -1};
    ::SendMessageA(status_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    ::SendMessageA(status_, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(countText_.c_str()));
    return parts[0] + ::GetSystemMetrics(SM_CXVSCROLL);
}

void frmConfig::EndProgram() {
    if (ending_) return;  // a close dispatched while the unload waits starts no second one
    ending_ = true;
    try {
        if (services_.unloadHive) services_.unloadHive([this] { PumpMessages(false); });
    } catch (...) {
    }
    if (services_.endProcess) services_.endProcess();
}

void frmConfig::PumpMessages(bool keepQuit) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // The hive unload ends the process right after its wait anyway; other work leaves the
            // quit for the message loop.
            if (keepQuit) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            continue;
        }
        if (!TranslateDialogMessage(msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

void frmConfig::SSTab1_SelChange() {
    const int previous = shownTab_;
    ShowPage(static_cast<int>(::SendMessageA(tab_, TCM_GETCURSEL, 0, 0)));
    // A message and a change count the last page left in the status bar go with it.
    countText_.clear();
    statusText_.clear();
    ShowCurrentFile();
    // The page is painted before its work starts, which may keep the window busy for a while.
    ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    SSTab1_Click(previous);
}

void frmConfig::ShowPage(int tab) {
    if (tab < 0 || tab >= kTabCount) return;
    shownTab_ = tab;
    for (int i = 0; i < kTabCount; ++i)
        if (i != tab) ::ShowWindow(Page(i), SW_HIDE);
    ::ShowWindow(Page(tab), SW_SHOW);
    // Ctrl+Tab from inside a page would leave the focus on a hidden control.
    HWND focus = ::GetFocus();
    if (focus && ::IsChild(hwnd_, focus) && !::IsWindowVisible(focus)) ::SetFocus(tab_);
}

void frmConfig::BeginBusy() {
    const HCURSOR before = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    if (busy_++ == 0) beforeBusy_ = before;
}

void frmConfig::EndBusy() {
    if (busy_ > 0 && --busy_ == 0) ::SetCursor(beforeBusy_);
}

void frmConfig::SSTab1_Click(int /*previousTab*/) {
    const auto hourglass = Busy();
    RunStep([this] { pages_[static_cast<size_t>(shownTab_)]->OnActivate(); });
}

void frmConfig::SSTab1_KeyDown(WPARAM keyCode) {
    if (keyCode == VK_F5) SSTab1_Click(shownTab_);
}

LRESULT CALLBACK frmConfig::TabSubclassProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR /*id*/,
                                            DWORD_PTR self) noexcept {
    try {
        if (msg == WM_KEYDOWN && wp == VK_F5) {
            reinterpret_cast<frmConfig*>(self)->SSTab1_KeyDown(wp);
            return 0;
        }
        if (msg == WM_NCDESTROY) ::RemoveWindowSubclass(h, &TabSubclassProc, kTabSubclassId);
    } catch (...) {
        return 0;
    }
    return ::DefSubclassProc(h, msg, wp, lp);
}

std::string frmConfig::ShowOpenDialog(std::string_view filter, std::string_view title, std::string_view folder) {
    return vela::ShowOpenDialog(hwnd_, filter, title, folder, services_.fileDialogs);
}

std::string frmConfig::ShowSaveDialog(std::string_view filter, std::string_view title, std::string_view folder) {
    return vela::ShowSaveDialog(hwnd_, filter, title, folder, services_.fileDialogs);
}

bool frmConfig::ConfirmOverwrite(const std::string& path, Overwrite what) {
    std::string question = Text(what == Overwrite::ReplaceWithTemplate ? IDS_CONFIRM_NEW_OVER : IDS_CONFIRM_SAVEAS_OVER);
    if (const size_t at = question.find("%s"); at != std::string::npos) question.replace(at, 2, path);
    return services_.prompts->YesNo(question, Text(IDS_CONFIRM_TITLE), Prompts::Default::No);
}

}  // namespace vela
