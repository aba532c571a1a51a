#include "admin/directory/change_journal.h"

#include <algorithm>
#include <ctime>
#include <iterator>
#include <system_error>

#include "admin/common/ascii.h"
#include "admin/directory/adspath.h"

namespace vela::directory {

namespace fs = std::filesystem;

namespace {

constexpr char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kUndoneSuffix[] = ".undone";
constexpr char kHeaderTarget[] = "# target: ";

// RFC 2849's SAFE-STRING, and no trailing space (readers may drop it).
bool SafeString(std::string_view v) {
    if (v.empty()) return true;
    const auto first = static_cast<unsigned char>(v.front());
    if (first == ' ' || first == ':' || first == '<') return false;
    if (v.back() == ' ') return false;
    return std::all_of(v.begin(), v.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u != 0 && u != '\n' && u != '\r' && u < 128;
    });
}

const char* OpName(Modification::Op op) {
    switch (op) {
    case Modification::Op::Add: return "add";
    case Modification::Op::Delete: return "delete";
    case Modification::Op::Replace: return "replace";
    }
    return "replace";
}

// The value an attribute of the basis had, for the attributes the walk writes.
std::optional<std::string> ValueRead(const DirObject& o, std::string_view attribute) {
    if (AsciiIEquals(attribute, "profilePath")) return o.profile;
    if (AsciiIEquals(attribute, "userParameters")) return o.userParameters;
    return std::nullopt;
}

// The attribute's own spelling when the undo covers it, else null.
const char* Undoable(std::string_view attribute) {
    for (const char* name : {"profilePath", "userParameters"})
        if (AsciiIEquals(attribute, name)) return name;
    return nullptr;
}

// "OU=Sales,DC=example,DC=test" as a file name: characters Windows refuses become '_', and the
// name stays short enough for any folder.
std::string FileNamePart(std::string_view target) {
    std::string dn(target);
    if (const auto p = ParsePath(target); p && !p->rootDse) dn = FormatDn(p->dn, DnStyle::Ldap);
    std::string out;
    for (char c : dn) {
        const auto u = static_cast<unsigned char>(c);
        out += (u < 32 || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) ? '_' : c;
    }
    if (out.size() > 80) out.resize(80);
    while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
    return out;
}

std::string Stamp(std::chrono::system_clock::time_point now, const char* format) {
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
#ifdef _WIN32
    gmtime_s(&tm, &t);
#else
    gmtime_r(&t, &tm);
#endif
    char buf[32];
    return std::string(buf, std::strftime(buf, sizeof buf, format, &tm));
}

fs::path FromUtf8(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }


// The normalised LDAP form of a DN, for comparing; empty when it does not parse.
std::string Normal(std::string_view dn) {
    const auto parsed = ParseDn(dn);
    return parsed ? AsciiLower(FormatDn(*parsed, DnStyle::Ldap)) : std::string();
}

// The DN of the container holding `dn`.
std::string_view ParentOf(std::string_view dn) {
    std::size_t comma = 0;
    while (comma < dn.size() && dn[comma] != ',') comma += dn[comma] == '\\' ? 2 : 1;
    return comma < dn.size() ? dn.substr(comma + 1) : std::string_view();
}

// The record's result already there: every value it adds present, every value it only deletes
// gone.  So it is after an earlier undo of the same journal that the directory broke off.
bool AlreadyRestored(const UndoRecord& r, const LdapEntry& now) {
    const auto adds = [&](const std::string& attribute, const std::string& value) {
        return std::any_of(r.modifications.begin(), r.modifications.end(), [&](const Modification& m) {
            return m.op == Modification::Op::Add && AsciiIEquals(m.attribute, attribute) &&
                   std::find(m.values.begin(), m.values.end(), value) != m.values.end();
        });
    };
    for (const auto& m : r.modifications) {
        const auto* held = now.Find(m.attribute);
        for (const auto& v : m.values) {
            const bool present = held && std::find(held->begin(), held->end(), v) != held->end();
            if (m.op == Modification::Op::Add && !present) return false;
            if (m.op == Modification::Op::Delete && present && !adds(m.attribute, v)) return false;
        }
    }
    return true;
}

// The record's guard as the server would apply it: every value to delete still there, and an
// attribute that gets a value back without one deleted first still empty.
bool StillAsWritten(const UndoRecord& r, const LdapEntry& now) {
    for (const auto& m : r.modifications) {
        const auto* held = now.Find(m.attribute);
        const std::vector<std::string> none;
        const auto& values = held ? *held : none;
        if (m.op == Modification::Op::Delete) {
            for (const auto& v : m.values)
                if (std::find(values.begin(), values.end(), v) == values.end()) return false;
        } else if (m.op == Modification::Op::Add) {
            const bool deletedFirst = std::any_of(r.modifications.begin(), r.modifications.end(), [&](const Modification& d) {
                return d.op == Modification::Op::Delete && AsciiIEquals(d.attribute, m.attribute);
            });
            if (!deletedFirst && !values.empty()) return false;
        }
    }
    return true;
}

// The journals of the folder, newest first: the one written last, of two written in the same
// clock tick the later name (names begin with the time of the run).
std::vector<fs::path> JournalsNewestFirst(const fs::path& folder) {
    std::error_code ec;
    std::vector<std::pair<fs::file_time_type, fs::path>> found;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        if (p.extension() != ".ldif") continue;
        std::error_code timeError;
        const auto time = fs::last_write_time(p, timeError);
        if (!timeError) found.emplace_back(time, p);
    }
    std::sort(found.begin(), found.end(), [](const auto& x, const auto& y) {
        return x.first != y.first ? x.first > y.first : x.second.filename() > y.second.filename();
    });
    std::vector<fs::path> out;
    for (auto& f : found) out.push_back(std::move(f.second));
    return out;
}

}  // namespace

std::string PathText(const fs::path& path) {
    const std::u8string u = path.u8string();
    return std::string(u.begin(), u.end());
}

std::string Base64(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 2]);
        out += kB64[(n >> 18) & 63];
        out += kB64[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kB64[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kB64[n & 63] : '=';
    }
    return out;
}

std::optional<std::string> FromBase64(std::string_view text) {
    std::string out;
    unsigned n = 0;
    int bits = 0, pad = 0;
    for (char c : text) {
        if (c == ' ') continue;
        if (c == '=') {
            ++pad;
            continue;
        }
        const char* at = std::find(kB64, kB64 + 64, c);
        if (at == kB64 + 64 || pad > 0) return std::nullopt;
        n = (n << 6) | static_cast<unsigned>(at - kB64);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((n >> bits) & 0xFF);
        }
    }
    if (pad > 2 || bits >= 6) return std::nullopt;
    return out;
}

std::string LdifLine(std::string_view name, std::string_view value) {
    return SafeString(value) ? std::string(name) + ": " + std::string(value)
                             : std::string(name) + ":: " + Base64(value);
}

UndoRecord UndoOf(const Written& written) {
    UndoRecord r{written.basis.dn, {}};
    std::vector<std::string> seen;
    for (const auto& m : written.modifications) {
        const char* name = Undoable(m.attribute);
        if (!name) continue;
        if (std::any_of(seen.begin(), seen.end(), [&](const std::string& s) { return AsciiIEquals(s, m.attribute); }))
            continue;
        seen.push_back(m.attribute);
        // What the change left in the attribute: the last replace or add, none after a delete of
        // the whole attribute; a delete of a value is the guard and leaves nothing of its own.
        std::optional<std::string> left = ValueRead(written.basis, m.attribute);
        for (const auto& n : written.modifications) {
            if (!AsciiIEquals(n.attribute, m.attribute)) continue;
            if (n.op == Modification::Op::Replace) left = n.values.empty() ? std::nullopt : std::optional(n.values.front());
            if (n.op == Modification::Op::Add && !n.values.empty()) left = n.values.front();
            if (n.op == Modification::Op::Delete && n.values.empty()) left = std::nullopt;
        }
        const std::optional<std::string> read = ValueRead(written.basis, m.attribute);
        if (left) r.modifications.push_back(Modification{Modification::Op::Delete, name, {*left}});
        if (read) r.modifications.push_back(Modification{Modification::Op::Add, name, {*read}});
    }
    return r;
}

std::optional<std::vector<UndoRecord>> ParseUndoRecords(std::string_view ldif) {
    // Unfold: a line beginning with one space continues the one before.
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos <= ldif.size()) {
        std::size_t end = ldif.find('\n', pos);
        if (end == std::string_view::npos) end = ldif.size();
        std::string line(ldif.substr(pos, end - pos));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == ' ' && !lines.empty()) {
            lines.back() += line.substr(1);
        } else {
            lines.push_back(std::move(line));
        }
        pos = end + 1;
    }
    std::vector<UndoRecord> records;
    std::optional<UndoRecord> current;
    std::optional<Modification> mod;
    auto finish = [&]() -> bool {
        if (mod) return false;  // a modification without its "-"
        if (current) records.push_back(std::move(*current));
        current.reset();
        return true;
    };
    for (const auto& line : lines) {
        if (line.empty()) {
            if (!finish()) return std::nullopt;
            continue;
        }
        if (line.front() == '#') continue;
        if (line == "-") {
            if (!current || !mod) return std::nullopt;
            current->modifications.push_back(std::move(*mod));
            mod.reset();
            continue;
        }
        const auto colon = line.find(':');
        if (colon == std::string::npos) return std::nullopt;
        const std::string name = line.substr(0, colon);
        std::string value;
        if (colon + 1 < line.size() && line[colon + 1] == ':') {
            const auto decoded = FromBase64(TrimBlanks(std::string_view(line).substr(colon + 2)));
            if (!decoded) return std::nullopt;
            value = *decoded;
        } else {
            value = std::string(std::string_view(line).substr(colon + 1));
            if (!value.empty() && value.front() == ' ') value.erase(0, value.find_first_not_of(' '));
        }
        if (!current) {
            if (AsciiIEquals(name, "version")) continue;
            if (!AsciiIEquals(name, "dn")) return std::nullopt;
            current = UndoRecord{value, {}};
        } else if (AsciiIEquals(name, "changetype")) {
            if (!AsciiIEquals(value, "modify")) return std::nullopt;
        } else if (!mod && (AsciiIEquals(name, "add") || AsciiIEquals(name, "delete") || AsciiIEquals(name, "replace"))) {
            const auto op = AsciiIEquals(name, "add")      ? Modification::Op::Add
                            : AsciiIEquals(name, "delete") ? Modification::Op::Delete
                                                           : Modification::Op::Replace;
            mod = Modification{op, value, {}};
        } else if (mod && AsciiIEquals(name, mod->attribute)) {
            mod->values.push_back(std::move(value));
        } else {
            return std::nullopt;
        }
    }
    if (!finish()) return std::nullopt;
    return records;
}

std::optional<ChangeJournal> ChangeJournal::Create(const fs::path& folder, std::string_view target,
                                                   std::chrono::system_clock::time_point now, std::string& why) {
    std::error_code ec;
    if (folder.empty()) {
        why = "this computer names no folder for it";
        return std::nullopt;
    }
    fs::create_directories(folder, ec);
    if (ec) {
        why = PathText(folder) + " could not be made (" + ec.message() + ")";
        return std::nullopt;
    }
    const std::string stem = Stamp(now, "%Y%m%d-%H%M%S") + " " + FileNamePart(target);
    // Never over another journal: runs of the same container in the same second get a number.
    fs::path file;
    for (int k = 1; file.empty() && k < 100; ++k) {
        fs::path candidate = folder / FromUtf8(stem + (k == 1 ? std::string() : " (" + std::to_string(k) + ")") + ".ldif");
        if (!fs::exists(candidate, ec) && !ec) file = std::move(candidate);
    }
    if (file.empty()) {
        why = "no free name for it in " + PathText(folder);
        return std::nullopt;
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) {
        why = PathText(file) + " could not be made";
        return std::nullopt;
    }
    ChangeJournal journal(file, std::move(out));
    if (!journal.Put("version: 1\n# Profile path change of " + std::string(Stamp(now, "%Y-%m-%d %H:%M:%S UTC")) +
                     "\n" + kHeaderTarget + std::string(target) +
                     "\n# The change records below undo it: ldapmodify -c -f <this file>\n\n")) {
        why = PathText(file) + " could not be written";
        return std::nullopt;
    }
    return journal;
}

bool ChangeJournal::Put(const std::string& text) {
    out_ << text;
    out_.flush();
    return static_cast<bool>(out_);
}

bool ChangeJournal::Before(const DirObject& user, const std::vector<Modification>& planned, const Outcome& plan) {
    std::string text = "# " + LdifLine("user", user.dn) + "\n";
    for (const char* attribute : {"profilePath", "userParameters"}) {
        const auto read = ValueRead(user, attribute);
        text += read ? "# read " + LdifLine(attribute, *read) + "\n" : "# read " + std::string(attribute) + " (absent)\n";
    }
    if (!plan) text += "# cannot be written: " + FailureReason(plan, "the change") + "\n";
    for (const auto& m : planned) {
        if (m.op == Modification::Op::Delete && !m.values.empty()) continue;  // the guard
        const std::string name = Undoable(m.attribute) ? Undoable(m.attribute) : m.attribute;
        if (m.values.empty()) {
            text += "# write " + std::string(OpName(m.op)) + " " + name + "\n";
        } else {
            text += "# write " + std::string(OpName(m.op)) + " " + LdifLine(name, m.values.front()) + "\n";
        }
    }
    return Put(text);
}

bool ChangeJournal::After(const DirObject& user, const Outcome& outcome, const Written& written) {
    if (!outcome) return Put("# not written: " + FailureReason(outcome, "the change") + "\n\n");
    // Another tool's change seen at the first try: the modify was made on the value read again.
    std::string text = "# written\n";
    if (written.basis.userParameters != user.userParameters) {
        text += "# read again " + (written.basis.userParameters ? LdifLine("userParameters", *written.basis.userParameters)
                                                                : std::string("userParameters (absent)")) + "\n";
    }
    const UndoRecord undo = UndoOf(written);
    if (undo.modifications.empty()) return Put(text + "# nothing to undo: the change left the values as they were\n\n");
    text += LdifLine("dn", undo.dn) + "\nchangetype: modify\n";
    for (const auto& m : undo.modifications) {
        text += std::string(OpName(m.op)) + ": " + m.attribute + "\n";
        for (const auto& v : m.values) text += LdifLine(m.attribute, v) + "\n";
        text += "-\n";
    }
    return Put(text + "\n");
}

UndoResult UndoLastChange(const Connector& connector, const fs::path& folder, const std::function<void()>& between) {
    UndoResult result;
    // A run that wrote nobody changed nothing: the last change is the newest journal with users
    // to put back.  One marked undone ends the search, so a second click replays nothing older.
    std::optional<std::vector<UndoRecord>> records;
    for (const auto& journal : JournalsNewestFirst(folder)) {
        result.journal = journal;
        std::error_code ec;
        fs::path marker = journal;
        marker += kUndoneSuffix;
        if (fs::exists(marker, ec)) {
            result.state = UndoResult::State::UndoneAlready;
            return result;
        }
        std::ifstream in(journal, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        records = !in.is_open() || in.bad() ? std::nullopt : ParseUndoRecords(text);
        if (!records) {
            result.state = UndoResult::State::Unreadable;
            return result;
        }
        if (!records->empty()) break;
        result.state = UndoResult::State::NothingWritten;
    }
    if (!records || records->empty()) return result;
    fs::path marker = result.journal;
    marker += kUndoneSuffix;
    result.state = UndoResult::State::Replayed;
    auto c = connector();
    if (!c.outcome) {
        result.failed = static_cast<int>(records->size());
        result.lastFailure = c.outcome;
        return result;  // not marked: it can be replayed once the directory answers
    }
    if (between) c.client->SetWaiting(between);
    Directory dir(*c.client);
    for (const auto& r : *records) {
        if (between) between();
        std::vector<std::string> attributes;
        for (const auto& m : r.modifications)
            if (std::find(attributes.begin(), attributes.end(), m.attribute) == attributes.end())
                attributes.push_back(m.attribute);
        LdapEntry now;
        Outcome o = dir.Read(r.dn, attributes, now);
        if (o && !StillAsWritten(r, now)) {
            if (AlreadyRestored(r, now)) {
                ++result.restored;
                result.restoredDns.push_back(r.dn);
            } else {
                ++result.changedSince;
            }
            continue;
        }
        // The modify's own guard stands against a change between the read and the write.
        if (o) o = dir.Modify(r.dn, r.modifications);
        if (o) {
            ++result.restored;
            result.restoredDns.push_back(r.dn);
        } else if (o.fault == Fault::Rejected && (o.code == 16 || o.code == 19 || o.code == 20)) {
            ++result.changedSince;
        } else {
            ++result.failed;
            result.lastFailure = o;
        }
    }
    // A user the directory failed (gone, refused) keeps the journal open: the next undo replays it
    // again, and counts the users this one put back as restored.
    if (result.failed == 0) std::ofstream(marker, std::ios::binary) << "undone\n";
    return result;
}

std::string UndoStatusText(const UndoResult& result) {
    switch (result.state) {
    case UndoResult::State::NoJournal: return "Nothing to undo: no change was made here";
    case UndoResult::State::NothingWritten: return "Nothing to undo: no change here wrote a user";
    case UndoResult::State::UndoneAlready: return "Nothing to undo: the last change was undone already";
    case UndoResult::State::Unreadable: return "The last change cannot be undone: its journal is damaged (" + PathText(result.journal) + ")";
    case UndoResult::State::Replayed: break;
    }
    const int notRestored = result.changedSince + result.failed;
    std::string text = Plural(result.restored, " user restored", " users restored");
    if (notRestored > 0) {
        text += ", " + std::to_string(notRestored) + " not restored: ";
        if (result.changedSince > 0) text += "changed since";
        if (result.changedSince > 0 && result.failed > 0) text += "; ";
        if (result.failed > 0) text += FailureReason(result.lastFailure, "the undo") + "; undo again to restore the rest";
    }
    return text;
}

bool TouchesContainer(const std::vector<std::string>& dns, std::string_view path) {
    const auto p = ParsePath(path);
    if (!p || p->rootDse) return false;
    const std::string container = AsciiLower(FormatDn(p->dn, DnStyle::Ldap));
    return std::any_of(dns.begin(), dns.end(), [&](const std::string& dn) { return Normal(ParentOf(dn)) == container; });
}

}  // namespace vela::directory
