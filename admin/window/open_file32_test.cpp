// OpenFile32: what reaches the platform, scripted; and the platform's own dialogs, shown on the
// display and answered from a second thread.
#include "admin/window/open_file32.h"

#include <dlgs.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "admin/window/testing/window_test.h"

namespace vela::testing {
namespace {

using namespace std::string_literals;

// A dialog that writes `answer` into the buffer it is handed, as far as the buffer allows.
FileDialogApi Answering(const std::string& answer, DWORD* capacity = nullptr) {
    const auto fill = [answer, capacity](OPENFILENAMEA& ofn) -> BOOL {
        if (capacity) *capacity = ofn.nMaxFile;
        if (answer.size() + 1 > ofn.nMaxFile) return FALSE;  // FNERR_BUFFERTOOSMALL
        std::memcpy(ofn.lpstrFile, answer.c_str(), answer.size() + 1);
        return TRUE;
    };
    FileDialogApi api;
    api.getOpenFileName = fill;
    api.getSaveFileName = fill;
    return api;
}

TEST(OpenFile32, ReturnsPathsOfAnyLengthTheDialogGives) {
    for (size_t length : {10u, 254u, 255u, 300u, 5000u, 32767u}) {
        SCOPED_TRACE(length);
        const std::string path = "C:\\" + std::string(length - 3, 'p');
        DWORD capacity = 0;
        EXPECT_EQ(ShowOpenDialog(nullptr, "*.ini|*.ini", "t", "C:\\", Answering(path, &capacity)), path);
        EXPECT_EQ(ShowSaveDialog(nullptr, "*.INI|*.INI", "t", "C:\\", Answering(path)), path);
        EXPECT_GE(capacity, 32768u);
    }
}

TEST(OpenFile32, TrimsBlanksAndTreatsCancelAndFailureAlike) {
    EXPECT_EQ(ShowOpenDialog(nullptr, "*.ini|*.ini", "t", "", Answering("  C:\\cfg\\a b.ini \t")), "C:\\cfg\\a b.ini");
    EXPECT_EQ(ShowSaveDialog(nullptr, "*.INI|*.INI", "t", "", Answering("   ")), "");
    FileDialogApi cancelled;
    cancelled.getOpenFileName = [](OPENFILENAMEA&) { return FALSE; };
    EXPECT_EQ(ShowOpenDialog(nullptr, "*.ini|*.ini", "t", "", cancelled), "");
    // A dialog that fills the whole buffer without a terminator is read up to the buffer's end.
    FileDialogApi overfull;
    overfull.getSaveFileName = [](OPENFILENAMEA& ofn) {
        std::memset(ofn.lpstrFile, 'x', ofn.nMaxFile);
        return TRUE;
    };
    EXPECT_EQ(ShowSaveDialog(nullptr, "*.INI|*.INI", "t", "", overfull).size(), kFileNameCapacity - 1);
    FileDialogApi missing;
    missing.getOpenFileName = nullptr;
    EXPECT_EQ(ShowOpenDialog(nullptr, "*.ini|*.ini", "t", "", missing), "");
}

// Finds, from another thread, the visible dialog of `thread` with the given caption.
// Polls `rounds` times, 50 ms apart.
HWND WaitForDialog(DWORD thread, const std::string& caption, HWND except = nullptr, int rounds = 400) {
    struct Search {
        std::string caption;
        HWND except, found;
    } search{caption, except, nullptr};
    for (int i = 0; i < rounds && !search.found; ++i) {
        ::EnumThreadWindows(
            thread,
            [](HWND w, LPARAM lp) -> BOOL {
                auto* s = reinterpret_cast<Search*>(lp);
                char cls[32] = {};
                ::GetClassNameA(w, cls, sizeof cls);
                if (w == s->except || std::strcmp(cls, "#32770") != 0 || !::IsWindowVisible(w)) return TRUE;
                if (!s->caption.empty() && WindowText(w) != s->caption) return TRUE;
                s->found = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (!search.found) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return search.found;
}

std::string FolderShown(HWND dialog) {
    char folder[MAX_PATH * 4] = {};
    ::SendMessageA(dialog, CDM_GETFOLDERPATH, sizeof folder, reinterpret_cast<LPARAM>(folder));
    return folder;
}

std::string LongName(const std::string& path) {
    char full[MAX_PATH * 4] = {};
    const DWORD n = ::GetLongPathNameA(path.c_str(), full, sizeof full);
    return n ? std::string(full, n) : path;
}

bool SameFolder(const std::string& a, const std::string& b) {
    return ::lstrcmpiA(LongName(a).c_str(), LongName(b).c_str()) == 0;
}

class RealDialog : public ::testing::Test {
protected:
    TempFolder temp;
    const DWORD thread = ::GetCurrentThreadId();
};

TEST_F(RealDialog, OpenShowsTitleFilterAndFolderAndCancelReturnsNothing) {
    std::string seenFilter, seenFolder;
    bool readOnlyShown = true, found = false;
    std::thread driver([&] {
        HWND dialog = WaitForDialog(thread, "Open VelaFramework config file");
        found = dialog != nullptr;
        if (!dialog) return;
        seenFilter = WindowText(::GetDlgItem(dialog, cmb1));
        seenFolder = FolderShown(dialog);
        HWND readOnly = ::GetDlgItem(dialog, chx1);
        readOnlyShown = readOnly && ::IsWindowVisible(readOnly);
        ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    const std::string chosen = ShowOpenDialog(nullptr, "*.ini|*.ini", "Open VelaFramework config file", temp.Path());
    driver.join();
    ASSERT_TRUE(found) << "no dialog with that title appeared";
    EXPECT_EQ(chosen, "");
    EXPECT_EQ(seenFilter, "*.ini");
    EXPECT_TRUE(SameFolder(seenFolder, temp.Path())) << seenFolder;
    EXPECT_FALSE(readOnlyShown);
}

// The save dialog takes a new name as it is and asks before replacing an existing file.  (The
// create prompt is a flag of the open dialog's kind: the save dialog does not ask before
// creating, neither here nor on Windows.)
TEST_F(RealDialog, SaveTakesANewNameAndAsksBeforeReplacing) {
    WriteBytes(temp / "taken.INI", "[MAIN]\r\n");
    char before[MAX_PATH] = {}, after[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, before);
    for (const std::string name : {"brandnew.INI", "taken.INI"}) {
        SCOPED_TRACE(name);
        const bool exists = name == "taken.INI";
        std::string seenFilter, seenFolder;
        bool found = false, asked = false;
        std::thread driver([&] {
            HWND dialog = WaitForDialog(thread, "Save VelaFramework config as");
            found = dialog != nullptr;
            if (!dialog) return;
            seenFilter = WindowText(::GetDlgItem(dialog, cmb1));
            seenFolder = FolderShown(dialog);
            HWND box = ::GetDlgItem(dialog, cmb13);
            if (!box) box = ::GetDlgItem(dialog, edt1);
            ::SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
            ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
            HWND question = WaitForDialog(thread, "", dialog, exists ? 400 : 20);
            asked = question != nullptr;
            if (question) ::PostMessageA(question, WM_COMMAND, IDYES, 0);
        });
        const std::string chosen = ShowSaveDialog(nullptr, "*.INI|*.INI", "Save VelaFramework config as", temp.Path());
        driver.join();
        ASSERT_TRUE(found);
        EXPECT_EQ(asked, exists);
        EXPECT_EQ(seenFilter, "*.INI");
        EXPECT_TRUE(SameFolder(seenFolder, temp.Path())) << seenFolder;
        EXPECT_TRUE(SameFolder(chosen, temp / name)) << chosen;
        // The current folder, where the executable search looks first, stays where it was.
        ::GetCurrentDirectoryA(MAX_PATH, after);
        EXPECT_STREQ(after, before);
    }
    EXPECT_EQ(ReadBytes(temp / "taken.INI"), "[MAIN]\r\n") << "the dialog itself writes nothing";
}

}  // namespace
}  // namespace vela::testing
