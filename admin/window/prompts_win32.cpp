#include "admin/window/prompts_win32.h"

#include "admin/window/placement.h"
#include "admin/window/resource.h"
#include "admin/window/window_text.h"

namespace vela {
namespace {

// A message box places itself (on the screen's centre, not its owner's); the one window it
// shows is moved when it is first activated, before it is painted.  One box at a time per thread.
struct CentredBox {
    static inline thread_local HHOOK hook = nullptr;
    static inline thread_local HWND over = nullptr;

    explicit CentredBox(HWND owner) {
        over = owner;
        if (owner) hook = ::SetWindowsHookExA(WH_CBT, &OnCbt, nullptr, ::GetCurrentThreadId());
    }
    ~CentredBox() { Unhook(); }
    CentredBox(const CentredBox&) = delete;
    CentredBox& operator=(const CentredBox&) = delete;

    static void Unhook() {
        if (hook) ::UnhookWindowsHookEx(hook);
        hook = nullptr;
    }
    static LRESULT CALLBACK OnCbt(int code, WPARAM wp, LPARAM lp) noexcept {
        const HHOOK self = hook;
        if (code == HCBT_ACTIVATE) {
            CentreOver(reinterpret_cast<HWND>(wp), over);
            Unhook();
        }
        return ::CallNextHookEx(self, code, wp, lp);
    }
};

struct PromptState {
    const std::string* prompt;
    const std::string* title;
    const std::string* defaultText;
    std::string answer;
};

INT_PTR CALLBACK PromptProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    try {
        switch (msg) {
        case WM_INITDIALOG: {
            ::SetWindowLongPtrA(dlg, DWLP_USER, lp);
            const auto* state = reinterpret_cast<PromptState*>(lp);
            ::SetWindowTextA(dlg, state->title->c_str());
            ::SetDlgItemTextA(dlg, IDC_PROMPT_TEXT, state->prompt->c_str());
            HWND edit = ::GetDlgItem(dlg, IDC_PROMPT_EDIT);
            ::SetWindowTextA(edit, state->defaultText->c_str());
            ::SendMessageA(edit, EM_SETSEL, 0, -1);
            CentreOver(dlg, ::GetWindow(dlg, GW_OWNER));
            ::SetFocus(edit);
            return FALSE;  // the focus is set
        }
        case WM_COMMAND:
            if (LOWORD(wp) == IDOK) {
                auto* state = reinterpret_cast<PromptState*>(::GetWindowLongPtrA(dlg, DWLP_USER));
                if (state) state->answer = WindowText(::GetDlgItem(dlg, IDC_PROMPT_EDIT));
                ::EndDialog(dlg, IDOK);
                return TRUE;
            }
            if (LOWORD(wp) == IDCANCEL) {
                ::EndDialog(dlg, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}

}  // namespace

std::optional<std::string> Win32Prompts::InputBox(const std::string& prompt, const std::string& title,
                                                  const std::string& defaultText) {
    PromptState state{&prompt, &title, &defaultText, {}};
    const INT_PTR result = ::DialogBoxParamA(instance_, MAKEINTRESOURCEA(IDD_PROMPT), owner_ ? owner_() : nullptr,
                                             &PromptProc, reinterpret_cast<LPARAM>(&state));
    if (result != IDOK) return std::nullopt;  // Cancel, Esc, the close box, or no dialog at all
    return state.answer;
}

bool Win32Prompts::YesNo(const std::string& question, const std::string& title, Default byDefault) {
    const UINT type = MB_YESNO | MB_ICONQUESTION | (byDefault == Default::No ? MB_DEFBUTTON2 : MB_DEFBUTTON1);
    HWND owner = owner_ ? owner_() : nullptr;
    CentredBox centred(owner);
    return ::MessageBoxA(owner, question.c_str(), title.c_str(), type) == IDYES;
}

}  // namespace vela
