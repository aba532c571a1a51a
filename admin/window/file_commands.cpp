#include "admin/window/file_commands.h"

#include "admin/common/ascii.h"
#include "admin/config/config_template.h"
#include "admin/store/settings_path.h"

namespace vela {

std::string FilterToPlatform(std::string_view filter) {
    std::string list(filter);
    if (list.empty() || list.back() != '|') list += '|';
    for (char& c : list)
        if (c == '|') c = '\0';
    list += '\0';
    return list;
}

std::string WithIniExtension(std::string_view name) {
    std::string completed(name);
    if (!AsciiIContains(name, ".ini")) completed += ".INI";
    return completed;
}

std::string_view CommandLineTail(std::string_view commandLine) {
    size_t i = 0;
    // The program name as the platform splits it off: up to the closing quote when it starts
    // quoted, and up to the next blank in either case ("C:\a b\x.exe"y still belongs to it).
    bool quoted = false;
    for (; i < commandLine.size(); ++i) {
        const char c = commandLine[i];
        if (c == '"') quoted = !quoted;
        else if (!quoted && IsBlank(c)) break;
    }
    while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
    return commandLine.substr(i);
}

std::string_view ConfigPathOfTail(std::string_view tail) {
    const std::string_view trimmed = TrimBlanks(tail);
    if (trimmed.size() < 2 || trimmed.front() != '"' || trimmed.back() != '"') return tail;
    const std::string_view inside = trimmed.substr(1, trimmed.size() - 2);
    if (inside.find('"') != std::string_view::npos || TrimBlanks(inside).empty()) return tail;
    return inside;
}

std::string FolderOfFile(std::string_view path) {
    const size_t sep = path.find_last_of("\\/");
    if (sep == std::string_view::npos) return {};
    // "C:\x.exe": the drive root keeps its separator, as the platform names a root folder.
    if (sep == 2 && path[1] == ':') return std::string(path.substr(0, 3));
    return std::string(path.substr(0, sep));
}

void FileCommands::Start(std::string_view commandTail, const std::string& programFolder) {
    problem_ = {};
    if (!TrimBlanks(commandTail).empty()) {
        Load(std::string(ConfigPathOfTail(commandTail)));
        return;
    }
    const std::string chosen = dialogs_.ShowOpenDialog(kOpenFilter, kOpenTitle, programFolder);
    if (!TrimBlanks(chosen).empty())
        Load(chosen);
    else
        editor_.SetUntitled(programFolder);
}

void FileCommands::Load(const std::string& path) {
    if (!editor_.LoadConfig(path)) problem_ = {FileProblem::Kind::NotFound, path};
}

namespace {

FileProblem::Kind SaveProblem(WriteAccess why) {
    switch (why) {
    case WriteAccess::Allowed: break;
    case WriteAccess::Denied: return FileProblem::Kind::SaveDenied;
    case WriteAccess::ReadOnly: return FileProblem::Kind::SaveReadOnly;
    case WriteAccess::MissingFolder: return FileProblem::Kind::SaveMissingFolder;
    case WriteAccess::Other: break;
    }
    return FileProblem::Kind::SaveFailed;   // Allowed only after a failed write: no reason known
}

}  // namespace

void FileCommands::SaveInto(const std::string& path) {
    if (const WriteAccess why = editor_.SaveConfig(path); why != WriteAccess::Allowed)
        problem_ = {SaveProblem(why), path};
}

std::string ShortenPathMiddle(std::string_view path, const std::function<bool(std::string_view)>& fits) {
    if (fits(path)) return std::string(path);
    const size_t sep = path.find_last_of("\\/");
    const std::string_view name = sep == std::string_view::npos ? path : path.substr(sep);
    const auto shortened = [&](size_t keep) { return std::string(path.substr(0, keep)) + "..." + std::string(name); };
    // The longer the beginning kept, the wider the text: search the longest that fits.
    size_t lo = 0, hi = path.size() - name.size();
    if (!fits(shortened(0))) return shortened(0);
    while (lo < hi) {
        const size_t mid = (lo + hi + 1) / 2;
        if (fits(shortened(mid)))
            lo = mid;
        else
            hi = mid - 1;
    }
    return shortened(lo);
}

std::string FileCommands::AskNewName(std::string_view title, FileDialogs::Overwrite what) {
    const std::string chosen = dialogs_.ShowSaveDialog(kSaveFilter, title, editor_.ConfigFolder());
    if (TrimBlanks(chosen).empty()) return {};
    std::string completed = WithIniExtension(chosen);
    // The dialog's own replace question was about the name without the extension; a file under
    // the completed name would otherwise be replaced without a word.
    if (completed != chosen && fs_.FileExists(completed) && !dialogs_.ConfirmOverwrite(completed, what))
        return {};
    return completed;
}

void FileCommands::New() {
    problem_ = {};
    const std::string name = AskNewName(kNewTitle, FileDialogs::Overwrite::ReplaceWithTemplate);
    if (name.empty()) return;
    // A template that cannot be written is said, and the current file stays with its edits.
    if (!fs_.WriteFile(name, NewConfigFileText())) {
        problem_ = {SaveProblem(fs_.CheckWrite(name)), name};
        return;
    }
    editor_.LoadConfig(name);
    // Normally made already by the load's settings-path step; failure is ignored.
    (void)fs_.CreateFolder(SettingsLocation::StoreRoot(editor_.ConfigFolder()));
}

void FileCommands::Open() {
    problem_ = {};
    const std::string chosen = dialogs_.ShowOpenDialog(kOpenFilter, kOpenTitle, editor_.ConfigFolder());
    if (!TrimBlanks(chosen).empty()) Load(chosen);
}

void FileCommands::Save() {
    problem_ = {};
    // A copy: SaveConfig replaces the path it is handed a reference to.
    const std::string current = editor_.ConfigFilePath();
    if (!TrimBlanks(current).empty())
        SaveInto(current);
    else
        SaveAs();
}

void FileCommands::SaveAs() {
    problem_ = {};
    const std::string name = AskNewName(kSaveAsTitle, FileDialogs::Overwrite::WriteSettingsInto);
    if (!name.empty()) SaveInto(name);
}

}  // namespace vela
