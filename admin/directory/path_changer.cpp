#include "admin/directory/path_changer.h"

#include "admin/common/ascii.h"
#include "admin/directory/adspath.h"

namespace vela::directory {

std::string StatusText(const ChangeCount& count) {
    std::string text = Plural(count.changed, " user changed, ", " users changed, ") + std::to_string(count.notChanged) +
                       " not changed";
    if (count.unreadContainers > 0)
        text += ", " + Plural(count.unreadContainers, " container not read", " containers not read");
    // Why, when anything was left undone: the last refusal.
    if ((count.notChanged > 0 || count.unreadContainers > 0) && !count.lastFailure)
        text += ": " + FailureReason(count.lastFailure, "the change");
    if (!count.journalFailure.empty()) text += "; stopped: the journal could not be written: " + count.journalFailure;
    if (!count.journal.empty()) text += "; journal: " + count.journal;
    return text;
}

std::string TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

PathChanger::PathChanger(Connector connector, const ChangerForm& form, std::function<void()> between,
                         std::optional<std::filesystem::path> journalFolder, std::chrono::system_clock::time_point now)
    : connector_(std::move(connector)),
      form_(form),
      between_(std::move(between)),
      journalFolder_(std::move(journalFolder)),
      now_(now) {}

void PathChanger::Between() const {
    if (between_) between_();
}

ChangeCount PathChanger::Run(std::string_view target) {
    count_ = {};
    journal_.reset();
    if (!ParsePath(target)) return count_;  // the tree's root: no directory object, nothing to change
    if (journalFolder_) {
        std::string why;
        journal_ = ChangeJournal::Create(*journalFolder_, target, now_, why);
        if (!journal_) {
            count_.journalFailure = why;
            return count_;
        }
        count_.journal = PathText(journal_->file());
    }
    auto c = connector_();
    if (!c.outcome) {
        count_.unreadContainers = 1;
        count_.lastFailure = c.outcome;
        return count_;
    }
    // The walk waits on each page of a listing; the window serves its events meanwhile.
    if (between_) c.client->SetWaiting(between_);
    Directory dir(*c.client);
    const std::string path(target);
    if (form_.recursive()) EnumOUs(dir, path);
    if (!count_.journalFailure.empty()) return count_;
    EnumUsers(dir, path);
    return count_;
}

void PathChanger::EnumOUs(Directory& dir, const std::string& path) {
    Between();
    // The units are collected before they are descended into: one paged listing at a time per
    // connection (a server keeps one paging state per connection).
    std::vector<std::string> units;
    const Outcome o = dir.Enumerate(path, {"OrganizationalUnit"}, [&](const DirObject& child) {
        Between();
        units.push_back(child.adsPath);
        return true;
    });
    if (!o) {
        ++count_.unreadContainers;
        count_.lastFailure = o;
    }
    for (const auto& unit : units) {
        if (!count_.journalFailure.empty()) return;
        EnumUsers(dir, unit);
        EnumOUs(dir, unit);
    }
}

void PathChanger::EnumUsers(Directory& dir, const std::string& path) {
    Between();
    // Listed whole before the first write: the layer fetches the next page while a listing's
    // callback runs, and writes between its pages make the walk slower.
    std::vector<DirObject> users;
    const Outcome o = dir.Enumerate(path, {"User"}, [&](const DirObject& child) {
        Between();
        // The "User" filter also lets computer accounts through; their class is "computer".
        if (child.className == "user") users.push_back(child);
        return true;
    });
    if (!o) {
        ++count_.unreadContainers;
        count_.lastFailure = o;
    }
    for (const auto& user : users) {
        if (!count_.journalFailure.empty()) return;
        SetAtr(dir, user);
    }
}

// Writes one user from the object as the listing fetched it (its userParameters included), so a
// user costs one modify; the boxes are read now, not when the walk began.  A user listed before
// the directory went away is counted as not changed.
void PathChanger::SetAtr(Directory& dir, const DirObject& user) {
    Between();
    const bool profile = form_.writeProfilePath();
    const bool ts = form_.writeTsProfilePath();
    if (!profile && !ts) return;
    Changes changes;
    if (profile) {
        std::string path = TrimSpaces(form_.profilePath());
        if (path.empty()) {
            (void)changes.PutEx(ADS_PROPERTY_CLEAR, "ProfilePath");  // always supported for CLEAR
        } else {
            changes.Put("ProfilePath", std::move(path));
        }
    }
    if (ts) changes.Put("TerminalServicesProfilePath", form_.tsProfilePath());
    Outcome o;
    if (journal_) {
        // What is about to be written is on disk before the modify is sent.
        std::vector<Modification> planned;
        const Outcome plan = dir.Plan(user, changes, planned);
        if (!journal_->Before(user, planned, plan)) {
            count_.journalFailure = PathText(journal_->file()) + " could not be written";
            return;
        }
        Written written;
        o = dir.SetInfo(user, changes, &written);
        if (!journal_->After(user, o, written)) count_.journalFailure = PathText(journal_->file()) + " could not be written";
    } else {
        o = dir.SetInfo(user, changes);
    }
    if (o) {
        ++count_.changed;
        count_.writtenDns.push_back(user.dn);
    } else {
        ++count_.notChanged;
        count_.lastFailure = o;
    }
}

}  // namespace vela::directory
