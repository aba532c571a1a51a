#include "admin/window/testing/driver.h"

#include <algorithm>

#include "admin/window/window_text.h"

namespace vela::testing {
namespace {

constexpr UINT kSendTimeoutMs = 3000;
constexpr size_t kSlack = 64;

std::string Narrow(const std::wstring& w) {
    if (w.empty()) return {};
    const int len = static_cast<int>(w.size());
    const int n = ::WideCharToMultiByte(CP_ACP, 0, w.data(), len, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(std::max(n, 0)), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, w.data(), len, out.data(), n, nullptr, nullptr);
    return out;
}

bool SameAscii(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto low = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
               return low(x) == low(y);
           });
}

// SendMessageTimeoutA: a program that is busy or gone makes the call fail, not hang the test.
bool Send(HWND w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result = nullptr) {
    DWORD_PTR r = 0;
    const bool ok = ::SendMessageTimeoutA(w, msg, wp, lp, SMTO_ABORTIFHUNG, kSendTimeoutMs, &r) != 0;
    if (result) *result = static_cast<LRESULT>(r);
    return ok;
}

void SendInputs(std::vector<INPUT>& inputs) {
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

INPUT Key(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}

bool IsMenuPopupOpen(DWORD pid) { return !TopLevelWindows(pid, "#32768").empty(); }

}  // namespace

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (done()) return true;
        if (::GetTickCount() - start >= timeoutMs) return false;
        ::Sleep(20);
    }
}

// --- Process ---------------------------------------------------------------------------------

std::optional<Process> Process::Start(const std::string& exe, const std::string& arguments,
                                      const std::string& currentFolder) {
    std::string line = "\"" + exe + "\"";
    if (!arguments.empty()) line += " " + arguments;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          currentFolder.empty() ? nullptr : currentFolder.c_str(), &si, &pi)) {
        return std::nullopt;
    }
    ::CloseHandle(pi.hThread);
    return Process(win32::UniqueHandle(pi.hProcess), pi.dwProcessId);
}

Process::~Process() {
    if (handle_ && Running()) Kill();
}

bool Process::Running() const {
    return handle_ && ::WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(DWORD timeoutMs) {
    return handle_ && ::WaitForSingleObject(handle_.get(), timeoutMs) == WAIT_OBJECT_0;
}

std::optional<DWORD> Process::ExitCode() const {
    if (!handle_ || Running()) return std::nullopt;
    DWORD code = 0;
    if (!::GetExitCodeProcess(handle_.get(), &code)) return std::nullopt;
    return code;
}

void Process::Kill() {
    if (!handle_) return;
    ::TerminateProcess(handle_.get(), 99);
    ::WaitForSingleObject(handle_.get(), 5000);
}

// --- Reading windows -------------------------------------------------------------------------

std::string ClassOf(HWND w) {
    char buf[256];
    const int n = ::GetClassNameA(w, buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string TextOf(HWND w) {
    LRESULT len = 0;
    if (!Send(w, WM_GETTEXTLENGTH, 0, 0, &len) || len <= 0) return {};
    std::string text(static_cast<size_t>(len) + 1, '\0');
    LRESULT got = 0;
    if (!Send(w, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &got)) return {};
    text.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, len)));
    return text;
}

std::string WithoutMnemonics(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') out += text[++i];  // "&&" is one '&'
            continue;
        }
        out += text[i];
    }
    return out;
}

std::vector<HWND> TopLevelWindows(DWORD pid, const std::string& className) {
    struct Ctx {
        DWORD pid;
        const std::string* cls;
        std::vector<HWND> found;
    } ctx{pid, &className, {}};
    ::EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto& c = *reinterpret_cast<Ctx*>(lp);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            if (owner == c.pid && ::IsWindowVisible(w) && (c.cls->empty() || SameAscii(ClassOf(w), *c.cls)))
                c.found.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

HWND WaitForTopLevel(DWORD pid, const std::string& title, const std::string& className, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND w : TopLevelWindows(pid, className)) {
                if (WindowText(w) == title) {  // a top-level window's caption is stored with it
                    found = w;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

std::vector<HWND> Descendants(HWND root) {
    std::vector<HWND> all;
    ::EnumChildWindows(
        root,
        [](HWND w, LPARAM lp) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND FindControl(HWND root, const std::string& className, const std::string& text) {
    for (HWND w : Descendants(root)) {
        if (SameAscii(ClassOf(w), className) && WithoutMnemonics(TextOf(w)) == WithoutMnemonics(text))
            return w;
    }
    return nullptr;
}

HWND FindByClass(HWND root, const std::string& className) {
    for (HWND w : Descendants(root))
        if (SameAscii(ClassOf(w), className)) return w;
    return nullptr;
}

HWND FindControlAfter(HWND root, const std::string& caption, const std::string& className) {
    for (HWND w : Descendants(root)) {
        if (WithoutMnemonics(TextOf(w)) != WithoutMnemonics(caption)) continue;
        for (HWND next = ::GetWindow(w, GW_HWNDNEXT); next; next = ::GetWindow(next, GW_HWNDNEXT)) {
            if (SameAscii(ClassOf(next), className)) return next;
        }
    }
    return nullptr;
}

int CheckState(HWND button) {
    LRESULT r = 0;
    return ::IsWindow(button) && Send(button, BM_GETCHECK, 0, 0, &r) ? static_cast<int>(r) : -1;
}

std::vector<std::string> ComboItems(HWND combo) {
    // Wine answers a cross-process CB_GETLBTEXTA with the entry's UTF-16 text, twice the bytes
    // the A call promises: asked for in UTF-16 into a buffer with room to spare, and narrowed here.
    std::vector<std::string> items;
    LRESULT count = 0;
    if (!Send(combo, CB_GETCOUNT, 0, 0, &count)) return items;
    for (LRESULT i = 0; i < count; ++i) {
        DWORD_PTR len = 0;
        if (!::SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0, SMTO_ABORTIFHUNG,
                                   kSendTimeoutMs, &len) ||
            static_cast<LRESULT>(len) < 0)
            break;
        std::wstring wide(static_cast<size_t>(len) + kSlack, L'\0');
        DWORD_PTR got = 0;
        if (!::SendMessageTimeoutW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide.data()),
                                   SMTO_ABORTIFHUNG, kSendTimeoutMs, &got) ||
            static_cast<LRESULT>(got) < 0)
            break;
        wide.resize(std::min<size_t>(got, len));
        items.push_back(Narrow(wide));
    }
    return items;
}

int ComboSelection(HWND combo) {
    LRESULT sel = CB_ERR;
    return Send(combo, CB_GETCURSEL, 0, 0, &sel) ? static_cast<int>(sel) : CB_ERR;
}

std::string ComboText(HWND combo) {
    const int sel = ComboSelection(combo);
    if (sel < 0) return {};
    const auto items = ComboItems(combo);
    return static_cast<size_t>(sel) < items.size() ? items[static_cast<size_t>(sel)] : std::string();
}

HWND FindComboWithItem(HWND root, const std::string& item) {
    for (HWND w : Descendants(root)) {
        if (!SameAscii(ClassOf(w), "ComboBox")) continue;
        const auto items = ComboItems(w);
        if (std::find(items.begin(), items.end(), item) != items.end()) return w;
    }
    return nullptr;
}

// --- Acting ----------------------------------------------------------------------------------

bool Activate(HWND w) {
    const HWND top = ::GetAncestor(w, GA_ROOT);
    if (::GetForegroundWindow() == top) return true;
    ::SetForegroundWindow(top);
    return WaitFor([&] { return ::GetForegroundWindow() == top; }, 3000);
}

bool Click(HWND control) { return ClickWith(control, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP); }
bool RightClick(HWND control) { return ClickWith(control, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP); }

bool ClickWith(HWND control, DWORD down, DWORD up) {
    RECT r;
    if (!::IsWindow(control) || !::GetWindowRect(control, &r) || !Activate(control)) return false;
    const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
    std::vector<INPUT> inputs(3);
    for (auto& in : inputs) {
        in.type = INPUT_MOUSE;
        in.mi.dx = static_cast<LONG>((x * 65535LL + cx / 2) / (cx - 1));
        in.mi.dy = static_cast<LONG>((y * 65535LL + cy / 2) / (cy - 1));
        in.mi.dwFlags = MOUSEEVENTF_ABSOLUTE;
    }
    inputs[0].mi.dwFlags |= MOUSEEVENTF_MOVE;
    inputs[1].mi.dwFlags |= down;
    inputs[2].mi.dwFlags |= up;
    SendInputs(inputs);
    // Input is delivered asynchronously; a harmless message returns once the target thread has
    // worked through what was queued before it.
    ::Sleep(50);
    Send(control, WM_NULL, 0, 0);
    return true;
}

void PressKey(WORD vk, WORD modifier) {
    std::vector<INPUT> inputs;
    if (modifier) inputs.push_back(Key(modifier, false));
    inputs.push_back(Key(vk, false));
    inputs.push_back(Key(vk, true));
    if (modifier) inputs.push_back(Key(modifier, true));
    SendInputs(inputs);
    ::Sleep(30);
}

void TypeText(const std::string& text) {
    for (char c : text) {
        const SHORT vk = ::VkKeyScanA(c);
        if (vk == -1) continue;
        std::vector<INPUT> inputs;
        const bool shift = (vk >> 8) & 1;
        if (shift) inputs.push_back(Key(VK_SHIFT, false));
        inputs.push_back(Key(static_cast<WORD>(vk & 0xFF), false));
        inputs.push_back(Key(static_cast<WORD>(vk & 0xFF), true));
        if (shift) inputs.push_back(Key(VK_SHIFT, true));
        SendInputs(inputs);
    }
    ::Sleep(30);
}

bool TypeInto(HWND edit, const std::string& text) {
    if (!Click(edit)) return false;
    PressKey(VK_END);
    PressKey(VK_HOME, VK_SHIFT);  // selects the whole line, so the typing replaces it
    PressKey(VK_DELETE);
    TypeText(text);
    // The keys travel through the display's input queue; a busy machine delivers the last ones
    // after the program has answered a first message.
    return WaitFor([&] { return TextOf(edit) == text; }, 5000);
}

bool SetText(HWND edit, const std::string& text) {
    LRESULT ok = 0;
    return Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &ok) && ok;
}

bool PickComboEntry(HWND combo, int index) {
    if (!Click(combo)) return false;
    LRESULT dropped = 0;
    if (!WaitFor([&] { return Send(combo, CB_GETDROPPEDSTATE, 0, 0, &dropped) && dropped; }, 3000)) return false;
    PressKey(VK_HOME);
    for (int i = 0; i < index; ++i) PressKey(VK_DOWN);
    PressKey(VK_RETURN);
    return WaitFor([&] { return Send(combo, CB_GETDROPPEDSTATE, 0, 0, &dropped) && !dropped; }, 3000) &&
           ComboSelection(combo) == index;
}

bool PickComboEntry(HWND combo, const std::string& text) {
    const auto items = ComboItems(combo);
    const auto it = std::find(items.begin(), items.end(), text);
    return it != items.end() && PickComboEntry(combo, static_cast<int>(it - items.begin()));
}

bool PickFreshComboEntry(HWND combo, const std::string& text) {
    if (!Click(combo)) return false;
    LRESULT dropped = 0;
    if (!WaitFor([&] { return Send(combo, CB_GETDROPPEDSTATE, 0, 0, &dropped) && dropped; }, 3000)) return false;
    const auto items = ComboItems(combo);
    const auto it = std::find(items.begin(), items.end(), text);
    const int index = it == items.end() ? -1 : static_cast<int>(it - items.begin());
    PressKey(VK_HOME);
    for (int i = 0; i < index; ++i) PressKey(VK_DOWN);
    PressKey(index < 0 ? VK_ESCAPE : VK_RETURN);
    return WaitFor([&] { return Send(combo, CB_GETDROPPEDSTATE, 0, 0, &dropped) && !dropped; }, 3000) &&
           index >= 0 && ComboSelection(combo) == index;
}

bool ChooseMenuItem(HWND window, char menuMnemonic, char itemMnemonic) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (!Activate(window)) return false;
    PressKey(static_cast<WORD>(::VkKeyScanA(menuMnemonic) & 0xFF), VK_MENU);
    if (!WaitFor([&] { return IsMenuPopupOpen(pid); }, 3000)) return false;
    PressKey(static_cast<WORD>(::VkKeyScanA(itemMnemonic) & 0xFF));
    return WaitFor([&] { return !IsMenuPopupOpen(pid); }, 3000);
}

// --- Dialogs ---------------------------------------------------------------------------------

HWND FileNameBox(HWND fileDialog) {
    // Explorer-style templates hold the name in cmb13, older ones in the edit edt1.  Wine's cmb13
    // is a ComboBoxEx32 with the edit two levels down (ComboBoxEx32 > ComboBox > Edit).
    if (HWND combo = ::GetDlgItem(fileDialog, 0x47C)) {
        if (SameAscii(ClassOf(combo), "Edit")) return combo;
        if (HWND edit = FindByClass(combo, "Edit")) return edit;
    }
    return ::GetDlgItem(fileDialog, 0x480);
}

HWND FileDialogFolderBox(HWND fileDialog) { return ::GetDlgItem(fileDialog, 0x471); }

bool AcceptFileDialog(HWND fileDialog, const std::string& name) {
    const HWND box = FileNameBox(fileDialog);
    return box && SetText(box, name) && TextOf(box) == name && PressDialogButton(fileDialog, IDOK);
}

bool PressDialogButton(HWND dialog, int id) {
    const HWND button = ::GetDlgItem(dialog, id);
    return ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != 0;
}

}  // namespace vela::testing
