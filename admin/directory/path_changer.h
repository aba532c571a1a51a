// The work of the "Change profile path" dialog (Form1): set or clear the profile path and the
// terminal-server profile path of every user of a container, optionally of every user in the
// organisational units below it, as the dialog's boxes say at the moment each user is written.
//
//   PathChanger changer(LdapConnector(), form, [] { /* let pending window messages through */ });
//   ChangeCount count = changer.Run(Label2);  // OK
//   status = StatusText(count);               // "12 users changed, 1 not changed"
//
// One connection per run.  A user is written in one modify (both attributes or neither); one
// that cannot be written is counted and the walk goes on with the next.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "admin/directory/change_journal.h"
#include "admin/directory/directory.h"

namespace vela::directory {

// The dialog's controls as the walk reads them: again for every user.  A box counts as set when
// its value is not 0 (ticked or greyed).
class ChangerForm {
public:
    virtual ~ChangerForm() = default;
    [[nodiscard]] virtual bool writeProfilePath() const = 0;    // write "ProfilePath"
    [[nodiscard]] virtual std::string profilePath() const = 0;  // its new value; blank clears it
    [[nodiscard]] virtual bool writeTsProfilePath() const = 0;  // write TerminalServicesProfilePath
    [[nodiscard]] virtual std::string tsProfilePath() const = 0;
    [[nodiscard]] virtual bool recursive() const = 0;           // organisational units below, recursively
};

struct ChangeCount {
    int changed = 0;
    int notChanged = 0;        // users the walk found but could not write
    int unreadContainers = 0;  // containers that could not be listed: their users are not counted
    Outcome lastFailure;       // why the last failure happened
    std::string journal;       // the run's journal (UTF-8 path); empty when none was kept
    std::string journalFailure;  // why the journal could not be written: the run stopped there
    std::vector<std::string> writtenDns;  // the users written, in LDAP style
};

// "12 users changed, 1 not changed", with ", 2 containers not read" when some were not, and the
// reason of the last failure after a colon when anything was left undone ("0 users changed,
// 5 not changed: the directory refused the change (constraint violation)"), then the journal
// ("; journal: C:\...\20261211-101500 OU=Sales,DC=example,DC=test.ldif").  A journal that
// could not be written says why instead.
[[nodiscard]] std::string StatusText(const ChangeCount& count);

// The profile path as written: spaces around it removed; empty means clear the attribute.
[[nodiscard]] std::string TrimSpaces(std::string_view text);

class PathChanger {
public:
    // `between` runs once per container and once per user, so the windows stay usable.
    // `journalFolder`: where the run's journal goes (change_journal.h); nullopt keeps none, an
    // empty path is a folder that could not be found and stops the run.
    PathChanger(Connector connector, const ChangerForm& form, std::function<void()> between = {},
                std::optional<std::filesystem::path> journalFolder = std::nullopt,
                std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

    // OK: with recursive() set, the organisational units below `target` first (depth first, each
    // unit's own users before the units below it), then the users directly in `target`.
    // A target that is no directory path ("root") changes nothing.  A journal that cannot be
    // written stops the run before the next user is written.
    ChangeCount Run(std::string_view target);

private:
    void EnumOUs(Directory& dir, const std::string& path);
    void EnumUsers(Directory& dir, const std::string& path);
    // SetAtr: writes one user as the form says.
    void SetAtr(Directory& dir, const DirObject& user);
    void Between() const;

    Connector connector_;
    const ChangerForm& form_;
    std::function<void()> between_;
    ChangeCount count_;
    std::optional<std::filesystem::path> journalFolder_;
    std::chrono::system_clock::time_point now_;
    std::optional<ChangeJournal> journal_;
};

}  // namespace vela::directory
