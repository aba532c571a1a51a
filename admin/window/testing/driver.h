// Drives another program's windows from outside, the way a person would: windows and controls
// are found by their captions and texts, boxes are clicked, lists picked, text typed and the
// menu worked with the keyboard.  Everything waits with a time-out, so a program that never
// shows what a test expects fails that test instead of hanging the run.
//
// Under Wine one process cannot read another's menus, so menus are driven blind: the menu bar is
// opened with its mnemonic and the item chosen with its own.  Cross-process messages go through
// SendMessageTimeoutA; anything that may open a modal window (OK in a file dialog, a menu
// command) is posted, never sent, because a sent message would wait for that window to close.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "admin/win32/unique.h"

namespace vela::testing {

inline constexpr DWORD kDefaultTimeoutMs = 10000;

// Polls `done` every 20 ms until it is true or `timeoutMs` has passed; true when it became true.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = kDefaultTimeoutMs);

// A started program.  A program still running when this is destroyed is killed, so a failing
// test never leaves it behind.
class Process {
public:
    // Starts `exe` with `arguments` after its quoted name (nothing after it when empty), in
    // `currentFolder` (this process's current folder when empty).  The environment is this
    // process's.  Nullopt when the program could not be started.
    static std::optional<Process> Start(const std::string& exe, const std::string& arguments,
                                        const std::string& currentFolder = {});
    Process(Process&&) noexcept = default;
    Process& operator=(Process&&) noexcept = default;
    ~Process();

    [[nodiscard]] DWORD id() const noexcept { return id_; }
    [[nodiscard]] bool Running() const;
    // True when the program ended within `timeoutMs`.
    bool WaitForExit(DWORD timeoutMs);
    // The exit code once the program has ended; nullopt while it runs.
    [[nodiscard]] std::optional<DWORD> ExitCode() const;
    void Kill();

private:
    Process(win32::UniqueHandle h, DWORD id) : handle_(std::move(h)), id_(id) {}
    win32::UniqueHandle handle_;
    DWORD id_ = 0;
};

// --- Reading windows -------------------------------------------------------------------------

[[nodiscard]] std::string ClassOf(HWND w);
// The window's text as the window itself reports it (WM_GETTEXT), so edits and status bars give
// their current content, not the caption they were created with.
[[nodiscard]] std::string TextOf(HWND w);
// `text` without its mnemonic markers: "&Save" and "Save" name the same control.
[[nodiscard]] std::string WithoutMnemonics(const std::string& text);

// Visible top-level windows of process `pid`; `className` empty matches every class.
[[nodiscard]] std::vector<HWND> TopLevelWindows(DWORD pid, const std::string& className = {});
// Waits for a visible top-level window of `pid` with exactly this title (and class when given).
HWND WaitForTopLevel(DWORD pid, const std::string& title, const std::string& className = {},
                     DWORD timeoutMs = kDefaultTimeoutMs);

// All descendants of `root`, in the order EnumChildWindows gives (parents before children,
// siblings in z-order, which is the creation and tab order of a dialog template).
[[nodiscard]] std::vector<HWND> Descendants(HWND root);
// The first descendant of `root` of this class (ASCII case ignored) whose text, mnemonics
// removed, is `text`; null when there is none.  Hidden controls count: the tab pages that are
// not shown are found as well.
[[nodiscard]] HWND FindControl(HWND root, const std::string& className, const std::string& text);
// The first descendant of `root` of this class; null when there is none.
[[nodiscard]] HWND FindByClass(HWND root, const std::string& className);
// The first control of class `className` that follows the control with caption `caption` among
// its siblings: a box found by the label or option button in front of it.
[[nodiscard]] HWND FindControlAfter(HWND root, const std::string& caption, const std::string& className);

// BM_GETCHECK: BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE; -1 when the control is gone.
[[nodiscard]] int CheckState(HWND button);
[[nodiscard]] std::vector<std::string> ComboItems(HWND combo);
// The text of the selected entry; empty text when none is selected.
[[nodiscard]] std::string ComboText(HWND combo);
[[nodiscard]] int ComboSelection(HWND combo);
// The first combo box below `root` whose list holds an entry with this text.
[[nodiscard]] HWND FindComboWithItem(HWND root, const std::string& item);

// --- Acting ----------------------------------------------------------------------------------

// Brings `w`'s top-level window to the front and waits until it is the foreground window.
bool Activate(HWND w);
// A left click at the centre of `control`, through the mouse input queue.
bool Click(HWND control);
// The same with the right button (a context menu it opens is modal: close it with Escape).
bool RightClick(HWND control);
// The same with the buttons' own MOUSEEVENTF_ press and release flags.
bool ClickWith(HWND control, DWORD down, DWORD up);
// Keys through the keyboard input queue, to whatever has the focus in the foreground window.
// `modifier` (VK_MENU, VK_SHIFT, VK_CONTROL or 0) is held around the key.
void PressKey(WORD vk, WORD modifier = 0);
void TypeText(const std::string& text);  // ASCII letters, digits and punctuation
// Clicks into a single-line edit, clears it and types `text`; true when the edit then holds it.
bool TypeInto(HWND edit, const std::string& text);
// Replaces the text of an edit (WM_SETTEXT; the edit reports EN_CHANGE to its parent as after
// typing).
bool SetText(HWND edit, const std::string& text);
// Picks entry `index` of a drop-down list the way the keyboard does: click the box open, Home,
// Down `index` times, Enter.
bool PickComboEntry(HWND combo, int index);
bool PickComboEntry(HWND combo, const std::string& text);
// The same for a box that fills its list when it drops down: the entry is looked up once open.
bool PickFreshComboEntry(HWND combo, const std::string& text);

// Opens the window's first menu (File) with Alt and `menuMnemonic`, then chooses the item with
// mnemonic `itemMnemonic`.  True when the popup was seen to open and close again.
bool ChooseMenuItem(HWND window, char menuMnemonic, char itemMnemonic);

// --- Dialogs ---------------------------------------------------------------------------------

// The common file dialog's file-name box (the edit inside cmb13, or edt1).
[[nodiscard]] HWND FileNameBox(HWND fileDialog);
// The "Look in" box (cmb2): its text is the name of the folder the dialog shows.
[[nodiscard]] HWND FileDialogFolderBox(HWND fileDialog);
// Types `name` into the file-name box and presses OK.  Does not wait for the dialog to close.
bool AcceptFileDialog(HWND fileDialog, const std::string& name);
// Presses a button of a dialog by id (posted: the press may open another modal window).
bool PressDialogButton(HWND dialog, int id);

}  // namespace vela::testing
