// Settings files: the "*.INI" files of one server type's folder, shown in a plain-text editor.
// The decisions of the "Profile Settings" tab's list and buttons; the page reads its controls,
// calls here and shows the answer.
//
// A file goes into the editor exactly as stored, its line ends made CR LF (what a multi-line
// edit needs).  A save of text that was not changed writes the stored bytes back, so a file
// round-trips byte for byte whatever its line ends or final line break; changed text is written
// as it stands in the editor, nothing added.  An empty file shows as an empty editor and stays
// empty; a file without a final line break keeps it missing.
//
// Files in another encoding than the ANSI code page (a byte-order mark of UTF-8 or UTF-16) and
// files holding NUL bytes are shown read-only and never written: the editor works on ANSI text,
// and writing them from it would destroy them.  Files the platform marks read-only are shown
// read-only too.  Whatever New or Save refuses, LastRefusal says why.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "admin/common/prompts.h"
#include "admin/store/file_system.h"

namespace vela {

// The eleven lines of a new settings file, each ending in CR LF (174 bytes).
inline constexpr std::string_view kSettingsFileTemplate =
    "[Header]\r\n"
    "Version  = 11.0\r\n"
    "Product  = Microsoft Office 11.0\r\n"
    "\r\n"
    "[IncludeFolderTrees]\r\n"
    "\r\n"
    "[IncludeRegistryTrees]\r\n"
    "\r\n"
    "[IncludeIndividualRegistryValues]\r\n"
    "\r\n"
    "[ExcludeRegistryTrees]\r\n";

inline constexpr std::string_view kSettingsFilePattern = "*.INI";

enum class TextEncoding { Ansi, Utf8Bom, Utf16LeBom, Utf16BeBom, Binary };

// The encoding a file's bytes are in, by their byte-order mark; ANSI text holding a NUL byte is
// Binary.
[[nodiscard]] TextEncoding DetectEncoding(std::string_view bytes);

// `text` with every line end (CR LF, a lone LF, a lone CR) made CR LF.
[[nodiscard]] std::string WithCrLf(std::string_view text);

// A settings file as the editor holds it.
struct SettingsFile {
    std::string path;
    std::string bytes;  // as stored when loaded or last saved
    TextEncoding encoding = TextEncoding::Ansi;
    // What the editor was given, for ANSI files: the bytes with CR LF line ends.  Empty for the
    // others, which the page shows from `bytes` in their own encoding.
    std::string text;
    bool readOnlyFile = false;  // the platform marks the file read-only (at the load or last save)

    // The editor gets `text` (ANSI) or the page's reading of `bytes` (any other encoding).
    [[nodiscard]] bool AnsiText() const { return encoding == TextEncoding::Ansi; }
    // Shown read-only and never written.
    [[nodiscard]] bool ReadOnly() const { return !AnsiText() || readOnlyFile; }
};

// What the editor shows for `file`, as UTF-16: its text in its own encoding (the ANSI code page,
// or UTF-8 or UTF-16 after their byte-order marks), every line end made CR LF and each NUL shown as
// a space.  A UTF-16 file's odd last byte holds no character; bytes after a UTF-8 mark that are no
// UTF-8 show as ANSI text.  The page shows ANSI files from `text` instead, which it can save.
[[nodiscard]] std::u16string ShownText(const SettingsFile& file);

class SettingsFiles {
public:
    SettingsFiles(FileSystem& fs, Prompts& prompts) : fs_(fs), prompts_(prompts) {}

    // A click on `name` in the list showing `folder`; nullopt when it cannot be read.
    [[nodiscard]] std::optional<SettingsFile> Load(const std::string& folder, const std::string& name);

    // "Save": writes `editorText` into `file` through the file system's replace, so a failed
    // write leaves the old file.  Unchanged text writes the stored bytes.  A file in another
    // encoding is never written; whether the platform marks the file read-only is asked again
    // (`readOnlyFile` then holds the answer), so a mark taken away since the load lets it be
    // saved.  On success `file` holds what is now stored.
    bool Save(SettingsFile& file, const std::string& editorText);

    // "New": prompts for a name, completes it with ".INI" unless it holds ".ini" anywhere, and
    // writes the template followed by CR LF into `folder`, replacing a file of that name.
    // Cancel, a blank answer or a name that is not plain create nothing.  The name written, or
    // nullopt.
    std::optional<std::string> New(const std::string& folder);

    // "Delete": asks, and on Yes deletes `name` in `folder`.  Nothing without a plain name.
    bool Delete(const std::string& folder, const std::string& name);

    // "Permissions": the file in `folder`, or with no name the folder itself (with its
    // trailing separator).
    [[nodiscard]] static std::string PropertiesPath(const std::string& folder, const std::string& name);

    // Why the last New or Save made or wrote nothing, one sentence for the status bar; empty after
    // one that wrote, or a New the user cancelled or left blank.
    [[nodiscard]] const std::string& LastRefusal() const { return refusal_; }

private:
    std::string refusal_;
    FileSystem& fs_;
    Prompts& prompts_;
};

}  // namespace vela
