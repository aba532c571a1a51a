// The main window's file commands (start-up, New, Open, Save, Save As) as plain C++.
//
// The window keeps only the plumbing: it copies its controls into the editor's model before a
// command, runs the command here and shows the model again afterwards.  The modal questions go
// through FileDialogs, which the window implements over the common file dialogs and a message
// box, and which the tests script.  A failing step never stops a command; what the user must
// know (a file that is not there, a save that wrote nothing) is kept as the command's Problem,
// which the window shows in its status bar.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "admin/config/framework_config.h"
#include "admin/store/file_system.h"

namespace vela {

inline constexpr std::string_view kOpenFilter = "*.ini|*.ini";
inline constexpr std::string_view kSaveFilter = "*.INI|*.INI";
inline constexpr std::string_view kOpenTitle = "Open VelaFramework config file";
inline constexpr std::string_view kNewTitle = "New Vela Configuration file";
inline constexpr std::string_view kSaveAsTitle = "Save VelaFramework config as";

// The modal dialogs the file commands show over the main window.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The full path of the chosen existing file, or empty text when the user cancels.
    [[nodiscard]] virtual std::string ShowOpenDialog(std::string_view filter, std::string_view title,
                                                     std::string_view initialFolder) = 0;
    // The full path of the chosen file, or empty text when the user cancels.
    [[nodiscard]] virtual std::string ShowSaveDialog(std::string_view filter, std::string_view title,
                                                     std::string_view initialFolder) = 0;
    // Asked before a command writes to the existing file `path`, whose name the save dialog did
    // not show (".INI" was appended after it closed): New replaces its content with the
    // template, Save As writes the settings into it.  True for Yes; No is the default answer.
    enum class Overwrite { ReplaceWithTemplate, WriteSettingsInto };
    [[nodiscard]] virtual bool ConfirmOverwrite(const std::string& path, Overwrite what) = 0;
};

// The platform's filter list for a "description|pattern|..." filter: a "|" is appended unless
// the filter ends with one, every "|" becomes a NUL, and one more NUL closes the list, so the
// result ends in two NULs of its own.
[[nodiscard]] std::string FilterToPlatform(std::string_view filter);

// `name` unchanged when it contains ".ini" anywhere (ASCII case ignored: "x.ini.d\cfg" counts),
// otherwise `name` + ".INI".
[[nodiscard]] std::string WithIniExtension(std::string_view name);

// The arguments part of a Windows command line: what follows the program name (quoted or not)
// and the blanks that separate it from the arguments.  The rest is returned as it is: trailing
// blanks and quotation marks stay.
[[nodiscard]] std::string_view CommandLineTail(std::string_view commandLine);

// The configuration file a command-line tail names.  The platform's shell hands a path with
// blanks over in quotation marks (a shortcut, an "Open with" association, start): when the tail,
// blanks around it removed, is one such path in one pair of quotation marks and holds no other
// one, the text between them; otherwise the tail as it stands, blanks and all.
[[nodiscard]] std::string_view ConfigPathOfTail(std::string_view tail);

// The folder that holds the file at `path`, as the program folder is named: "C:\prog" for
// "C:\prog\VelaConfig.exe", "C:\" for a file in a drive root, empty text without a separator.
[[nodiscard]] std::string FolderOfFile(std::string_view path);

// `path` for a space that takes what `fits` accepts: whole when it fits, otherwise shortened in
// the middle to the longest beginning that fits, then "..." and the file name with its separator
// ("C:\data\...\framework.ini").  The file name is kept whole even where nothing else fits.
[[nodiscard]] std::string ShortenPathMiddle(std::string_view path, const std::function<bool(std::string_view)>& fits);

// Why the last command left a file alone.  Kind None: it did what was asked.
struct FileProblem {
    enum class Kind {
        None,
        NotFound,           // the file to open was not there
        SaveDenied,         // the platform refused to let the file be written
        SaveReadOnly,       // the file, or its volume, is read-only
        SaveMissingFolder,  // the file's folder does not exist
        SaveFailed,         // any other reason the file was not written
    };
    Kind kind = Kind::None;
    std::string path;  // the file as the command named it

    friend bool operator==(const FileProblem&, const FileProblem&) = default;
};

class FileCommands {
public:
    FileCommands(ConfigEditor& editor, FileSystem& fs, FileDialogs& dialogs)
        : editor_(editor), fs_(fs), dialogs_(dialogs) {}

    // Decides the first current file: the path `commandTail` names (ConfigPathOfTail) when the
    // tail is not blank, else the file chosen in the open dialog shown in `programFolder`, else the untitled file
    // in `programFolder`.
    void Start(std::string_view commandTail, const std::string& programFolder);

    void New();
    void Open();
    void Save();
    void SaveAs();

    // What went wrong in the last command; every command starts by clearing it.
    [[nodiscard]] const FileProblem& Problem() const { return problem_; }

private:
    void Load(const std::string& path);
    void SaveInto(const std::string& path);

    // The save dialog's answer with the extension rule applied; empty when the user cancelled
    // or declined to replace an existing file.
    [[nodiscard]] std::string AskNewName(std::string_view title, FileDialogs::Overwrite what);

    ConfigEditor& editor_;
    FileSystem& fs_;
    FileDialogs& dialogs_;
    FileProblem problem_;
};

}  // namespace vela
