// The record a profile path change keeps of itself, and its undo.  One LDIF file per run in the
// administrator's own folder (JournalFolder()): for every user the walk is about to write, the
// values read and the values to be written as comments, flushed before the modify; after it, the
// outcome, and for a user that was written a change record that puts the values back, guarded as
// the change itself is (delete the value written, add the value read).  So
// `ldapmodify -c -f JOURNAL` restores those users and leaves alone any that was changed since, and
// UndoLastChange() does the same through the directory layer.
//
//   auto journal = ChangeJournal::Create(folder, target, now, why);   // before the first user
//   journal->Before(user, planned);  dir.SetInfo(user, changes, &written);  journal->After(user, o, written);
//   UndoResult undone = UndoLastChange(connector, folder, pump);      // "Undo last change"
//
// Values are journaled as read: a userParameters value is never decoded, and any value LDIF
// cannot carry as it is (non-ASCII, control characters, leading space or colon) goes in base64.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "admin/directory/directory.h"

namespace vela::directory {

// <local application data>\Vela\Changes on Windows; $XDG_DATA_HOME/vela/changes (default
// ~/.local/share) elsewhere.  Nullopt when the platform names no such folder.
[[nodiscard]] std::optional<std::filesystem::path> JournalFolder();

// "name: value", or "name:: base64" when the value is not a safe LDIF string.
[[nodiscard]] std::string LdifLine(std::string_view name, std::string_view value);
[[nodiscard]] std::string Base64(std::string_view bytes);
[[nodiscard]] std::optional<std::string> FromBase64(std::string_view text);

// One user's undo: the modifications that put back what a written change replaced, guarded.
struct UndoRecord {
    std::string dn;
    std::vector<Modification> modifications;
    friend bool operator==(const UndoRecord&, const UndoRecord&) = default;
};
// The undo of `written` (profilePath and userParameters; other attributes are not undone): per
// attribute, delete the value the change left and add the value it found.  Empty when the change
// left both as they were absent.
[[nodiscard]] UndoRecord UndoOf(const Written& written);
// The change records of an LDIF text (the journal's undo), in order; other content is passed
// over.  Nullopt when a change record cannot be read.
[[nodiscard]] std::optional<std::vector<UndoRecord>> ParseUndoRecords(std::string_view ldif);

class ChangeJournal {
public:
    // Opens a new journal in `folder` (made when missing), named by `now` and `target`'s DN.
    // Nullopt, with `why` set, when it cannot be written.
    [[nodiscard]] static std::optional<ChangeJournal> Create(const std::filesystem::path& folder,
                                                             std::string_view target,
                                                             std::chrono::system_clock::time_point now,
                                                             std::string& why);
    // What is about to be written to `user`, flushed.  False when the journal cannot be written.
    [[nodiscard]] bool Before(const DirObject& user, const std::vector<Modification>& planned, const Outcome& plan);
    // The modify's outcome and, when it wrote, the undo record; flushed.
    [[nodiscard]] bool After(const DirObject& user, const Outcome& outcome, const Written& written);

    [[nodiscard]] const std::filesystem::path& file() const noexcept { return file_; }

private:
    ChangeJournal(std::filesystem::path file, std::ofstream out) : file_(std::move(file)), out_(std::move(out)) {}
    [[nodiscard]] bool Put(const std::string& text);

    std::filesystem::path file_;
    std::ofstream out_;
};

// A path as UTF-8 text (a path's own string() is in the ANSI code page on Windows).
[[nodiscard]] std::string PathText(const std::filesystem::path& path);

struct UndoResult {
    enum class State { Replayed, NoJournal, NothingWritten, UndoneAlready, Unreadable } state = State::NoJournal;
    int restored = 0;
    int changedSince = 0;  // users whose values another tool changed after the change
    int failed = 0;        // users the directory would not restore for another reason
    Outcome lastFailure;
    std::filesystem::path journal;
    std::vector<std::string> restoredDns;  // in LDAP style
};

// Replays the newest journal in `folder` that wrote a user, unless it is marked undone, then marks
// it; journals of runs that wrote nobody are passed over.  `between` runs once per user.  When the
// directory failed a user, the journal is not marked: the next call replays it again, and a user
// already put back counts as restored.
[[nodiscard]] UndoResult UndoLastChange(const Connector& connector, const std::filesystem::path& folder,
                                        const std::function<void()>& between = {});

// "5 users restored, 1 not restored: changed since", or why there was nothing to undo.
[[nodiscard]] std::string UndoStatusText(const UndoResult& result);

// True when one of `dns` (users, LDAP style) is directly in the container at `path` (a tree
// node's key): a listing of it now shows something else.
[[nodiscard]] bool TouchesContainer(const std::vector<std::string>& dns, std::string_view path);

}  // namespace vela::directory
