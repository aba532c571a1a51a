#include "admin/directory/directory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "admin/common/ascii.h"
#include "admin/common/text.h"
#include "admin/directory/adspath.h"
#include "admin/directory/environment.h"
#include "admin/directory/user_parameters.h"

namespace vela::directory {

namespace {

constexpr std::string_view kTsPath = "TerminalServicesProfilePath";

const std::string* First(const LdapEntry& e, std::string_view name) {
    const auto* v = e.Find(name);
    return v && !v->empty() ? &v->front() : nullptr;
}

std::optional<std::string> Optional(const std::string* s) {
    return s ? std::optional<std::string>(*s) : std::nullopt;
}

// The most specific class.  objectClass lists the class chain top first, the most specific
// structural class last; auxiliary classes may follow it.  structuralObjectClass is one value on
// some servers and the whole structural chain, in no promised order, on the domain directory.  So:
// the last objectClass value that is also a structural class, and without structuralObjectClass
// the last objectClass value.
std::string MostSpecificClass(const LdapEntry& e) {
    const auto* all = e.Find("objectClass");
    const auto* structural = e.Find("structuralObjectClass");
    if (all && structural && !structural->empty()) {
        for (auto c = all->rbegin(); c != all->rend(); ++c)
            if (std::any_of(structural->begin(), structural->end(), [&](const std::string& s) { return AsciiIEquals(s, *c); }))
                return *c;
        if (structural->size() == 1) return structural->front();
    }
    if (all && !all->empty()) return all->back();
    return structural && structural->size() == 1 ? structural->front() : std::string();
}

std::string TsPathText(const TsProfilePath& ts) {
    std::u16string text = ts.wide ? *ts.wide : AnsiToUtf16(ts.ansi);
    return Utf16ToUtf8(text);
}

}  // namespace

Outcome Failure(Fault fault, std::string message, int code) { return Outcome{fault, code, std::move(message)}; }

const char* FaultName(Fault fault) noexcept {
    switch (fault) {
        case Fault::None: return "none";
        case Fault::NoServer: return "no server";
        case Fault::Unreachable: return "unreachable";
        case Fault::Untrusted: return "untrusted";
        case Fault::BindRefused: return "bind refused";
        case Fault::LogonFailed: return "logon failed";
        case Fault::LogonNeeded: return "logon needed";
        case Fault::SealRefused: return "seal refused";
        case Fault::NoAnswer: return "no answer";
        case Fault::Insecure: return "insecure";
        case Fault::NoSuchObject: return "no such object";
        case Fault::Rejected: return "rejected";
        case Fault::Truncated: return "truncated";
        case Fault::BadPath: return "bad path";
        case Fault::Damaged: return "damaged";
        case Fault::TooLong: return "too long";
        case Fault::Lossy: return "lossy";
    }
    return "?";
}

std::string ResultName(int code) {
    static constexpr struct {
        int code;
        const char* name;
    } kNames[] = {
        {1, "operations error"},
        {2, "protocol error"},
        {3, "time limit exceeded"},
        {4, "size limit exceeded"},
        {7, "authentication method not supported"},
        {8, "stronger authentication required"},
        {11, "administrative limit exceeded"},
        {12, "unavailable critical extension"},
        {13, "confidentiality required"},
        {16, "no such attribute"},
        {17, "undefined attribute type"},
        {18, "inappropriate matching"},
        {19, "constraint violation"},
        {20, "attribute or value exists"},
        {21, "invalid attribute syntax"},
        {32, "no such object"},
        {34, "invalid DN syntax"},
        {48, "inappropriate authentication"},
        {49, "invalid credentials"},
        {50, "insufficient access rights"},
        {51, "busy"},
        {52, "unavailable"},
        {53, "unwilling to perform"},
        {64, "naming violation"},
        {65, "object class violation"},
        {66, "not allowed on non-leaf"},
        {67, "not allowed on RDN"},
        {69, "object class modifications prohibited"},
        {80, "other"},
    };
    for (const auto& n : kNames)
        if (n.code == code) return n.name;
    return "result " + std::to_string(code);
}

std::string FailureReason(const Outcome& o, std::string_view what) {
    switch (o.fault) {
        case Fault::None: return {};
        case Fault::NoServer:
        case Fault::Insecure: return o.message;
        case Fault::Unreachable: return "the directory server could not be reached or stopped answering";
        case Fault::Untrusted:
            return "the directory server's certificate is not trusted by this computer (a certificate problem, "
                   "not the network)";
        case Fault::BindRefused:
            return "the logon was refused: wrong user name or password (VELA_DIRECTORY_USER, "
                   "VELA_DIRECTORY_PASSWORD)";
        case Fault::LogonFailed: return "the directory did not accept the logon (" + ResultName(o.code) + ")";
        case Fault::LogonNeeded:
            return "the directory wants a logon: set VELA_DIRECTORY_USER and VELA_DIRECTORY_PASSWORD";
        case Fault::SealRefused:
            return "the directory refused the logon: it allows no signing and sealing inside TLS, and this "
                   "system's LDAP library asks for them on ldaps://; use ldap://, where the logon is signed and sealed";
        case Fault::NoAnswer:
            return "the directory server stopped answering (a change it was sent may still be made when it "
                   "answers again)";
        case Fault::NoSuchObject: return "the directory has no such object";
        case Fault::Rejected:
            return "the directory refused " + std::string(what) + " (" + ResultName(o.code) + ")";
        case Fault::Truncated: return "the directory cut the listing short";
        case Fault::BadPath: return "not a directory path";
        case Fault::Damaged: return "a user's userParameters value is damaged and was left as it was";
        case Fault::TooLong: return "the terminal-server path does not fit into userParameters";
        case Fault::Lossy:
            return "the terminal-server path has characters this computer's ANSI code page lacks, and "
                   "was not written";
    }
    return o.message;
}

const std::vector<std::string>* LdapEntry::Find(std::string_view name) const {
    for (const auto& a : attributes)
        if (AsciiIEquals(a.name, name)) return &a.values;
    return nullptr;
}

namespace {

constexpr char kPasswordVariable[] = "VELA_DIRECTORY_PASSWORD";

std::string& TakenPassword() {
    static std::string password;
    return password;
}

}  // namespace

void Wipe(std::string& secret) noexcept {
    volatile char* p = secret.data();
    for (std::size_t i = 0; i < secret.size(); ++i) p[i] = '\0';
    secret.clear();
}

void TakePasswordFromEnvironment() {
    static bool taken = false;
    if (taken) return;
    taken = true;
    if (auto v = EnvironmentVariable(kPasswordVariable)) TakenPassword() = std::move(*v);
    RemoveEnvironmentVariable(kPasswordVariable);
}

ConnectionSettings SettingsFromEnvironment() {
    TakePasswordFromEnvironment();
    auto get = [](const char* name) { return EnvironmentVariable(name).value_or(std::string()); };
    return ConnectionSettings{get("VELA_DIRECTORY"), get("VELA_DIRECTORY_USER"), TakenPassword()};
}

Connector LdapConnector() {
    return [] {
        ConnectionSettings settings = SettingsFromEnvironment();
        Connection c = ConnectLdap(settings);
        Wipe(settings.password);
        return c;
    };
}

const std::vector<std::string>& ObjectAttributes() {
    static const std::vector<std::string> kAttributes = {"objectClass", "structuralObjectClass", "sAMAccountName",
                                                         "profilePath", "userParameters"};
    return kAttributes;
}

std::optional<DirObject> MakeObject(const LdapEntry& e, std::string_view server, DnSuffixCache* cache) {
    DirObject o;
    const std::string prefix = server.empty() ? std::string("LDAP://") : "LDAP://" + std::string(server) + "/";
    // Split off the first RDN at the first comma no backslash escapes.
    std::size_t comma = 0;
    while (comma < e.dn.size() && e.dn[comma] != ',') comma += e.dn[comma] == '\\' ? 2 : 1;
    const std::string_view suffix = comma < e.dn.size() ? std::string_view(e.dn).substr(comma + 1) : std::string_view();
    const auto first = ParseDn(std::string_view(e.dn).substr(0, std::min(comma, e.dn.size())));
    if (!first || first->size() != 1) return std::nullopt;
    DnSuffixCache local;
    DnSuffixCache& c = cache ? *cache : local;
    if (c.raw != suffix || c.ldap.empty() != suffix.empty()) {
        const auto rest = ParseDn(suffix);
        if (!rest) return std::nullopt;
        c.raw.assign(suffix);
        c.ldap = rest->empty() ? std::string() : "," + FormatDn(*rest, DnStyle::Ldap);
        c.path = rest->empty() ? std::string() : "," + FormatDn(*rest, DnStyle::Path);
    }
    o.name = FormatRdn(first->front(), DnStyle::Ldap);
    o.dn = o.name + c.ldap;
    o.adsPath = prefix + FormatRdn(first->front(), DnStyle::Path) + c.path;
    o.className = MostSpecificClass(e);
    o.samAccountName = Optional(First(e, "sAMAccountName"));
    o.profile = Optional(First(e, "profilePath"));
    o.userParameters = Optional(First(e, "userParameters"));
    if (o.userParameters) {
        const auto blob = WireToBlob(*o.userParameters);
        const auto ts = blob ? ReadTsProfilePath(*blob) : TsProfilePath{TsProfilePath::State::Damaged, {}, {}};
        o.userParametersDamaged = ts.state == TsProfilePath::State::Damaged;
        if (ts.state == TsProfilePath::State::Set) o.tsProfilePath = TsPathText(ts);
    }
    return o;
}

std::optional<std::string> DirObject::Get(std::string_view p) const {
    if (AsciiIEquals(p, "Name")) return name;
    if (AsciiIEquals(p, "Class")) return className;
    if (AsciiIEquals(p, "adspath")) return adsPath;
    if (AsciiIEquals(p, "samaccountname")) return samAccountName;
    if (AsciiIEquals(p, "profile") || AsciiIEquals(p, "profilePath")) return profile;
    if (AsciiIEquals(p, kTsPath)) return tsProfilePath;
    return std::nullopt;
}

void Changes::Put(std::string_view property, std::string value) {
    if (AsciiIEquals(property, kTsPath)) {
        items_.push_back(Item{"", std::move(value)});
    } else if (AsciiIEquals(property, "profile") || AsciiIEquals(property, "profilePath")) {
        items_.push_back(Item{"profilePath", std::move(value)});
    } else {
        items_.push_back(Item{std::string(property), std::move(value)});
    }
}

bool Changes::PutEx(int control, std::string_view property) {
    if (control != ADS_PROPERTY_CLEAR) return false;
    if (AsciiIEquals(property, kTsPath)) {
        items_.push_back(Item{"", std::string()});
    } else {
        items_.push_back(Item{AsciiIEquals(property, "profile") ? std::string("profilePath") : std::string(property),
                              std::nullopt});
    }
    return true;
}

Outcome Directory::DefaultNamingContext(std::string& out) {
    bool found = false;
    SearchRequest r{"", Scope::Base, {}, {"defaultNamingContext"}};
    Outcome o = client_.Search(r, [&](LdapEntry&& e) {
        if (const auto* v = First(e, "defaultNamingContext")) {
            out = *v;
            found = true;
        }
        return false;
    });
    if (o && !found) return Failure(Fault::NoSuchObject, "the root DSE names no defaultNamingContext");
    return o;
}

Outcome Directory::Bind(std::string_view path, DirObject& out) {
    const auto p = ParsePath(path);
    if (!p || p->rootDse) return Failure(Fault::BadPath, "not a directory object's path: " + std::string(path));
    bool found = false;
    const std::string server = p->server.empty() ? server_ : p->server;
    Outcome o = client_.Search(SearchRequest{FormatDn(p->dn, DnStyle::Ldap), Scope::Base, {}, ObjectAttributes()},
                               [&](LdapEntry&& e) {
                                   if (auto obj = MakeObject(e, server)) {
                                       out = std::move(*obj);
                                       found = true;
                                   }
                                   return false;
                               });
    if (o && !found) return Failure(Fault::NoSuchObject, "no object at " + std::string(path), 32);
    return o;
}

Outcome Directory::Enumerate(std::string_view path, const std::vector<std::string>& filter,
                             const std::function<bool(const DirObject&)>& each) {
    const auto p = ParsePath(path);
    if (!p || p->rootDse) return Failure(Fault::BadPath, "not a container's path: " + std::string(path));
    const std::string server = p->server.empty() ? server_ : p->server;
    return client_.Search(SearchRequest{FormatDn(p->dn, DnStyle::Ldap), Scope::OneLevel, filter, ObjectAttributes()},
                          [&, cache = DnSuffixCache{}](LdapEntry&& e) mutable {
                              const auto obj = MakeObject(e, server, &cache);
                              return !obj || each(*obj);
                          });
}

namespace {

// The answers of a server to a userParameters value that changed since it was read: the value
// to delete is gone (16), the value added makes two (19: single-valued), or is there (20).
bool ValueChangedMeanwhile(const Outcome& o) {
    return o.fault == Fault::Rejected && (o.code == 16 || o.code == 19 || o.code == 20);
}

}  // namespace

Outcome Directory::SetInfo(const DirObject& object, const Changes& changes, Written* written) {
    Outcome o = Commit(object, changes, written);
    const bool writesUserParameters =
        std::any_of(changes.items_.begin(), changes.items_.end(), [](const auto& item) { return item.attribute.empty(); });
    if (!writesUserParameters || !ValueChangedMeanwhile(o)) return o;
    // The value was changed since the listing: re-encode into the value the server holds now,
    // once; a second refusal stands.
    DirObject now;
    if (!Bind(object.adsPath, now) || now.userParameters == object.userParameters) return o;
    return Commit(now, changes, written);
}

Outcome Directory::Commit(const DirObject& object, const Changes& changes, Written* written) {
    std::vector<Modification> mods;
    if (Outcome planned = Plan(object, changes, mods); !planned) return planned;
    if (written) *written = Written{object, mods};
    if (mods.empty()) return {};
    return client_.Modify(object.dn, mods);
}

Outcome Directory::Read(std::string_view dn, const std::vector<std::string>& attributes, LdapEntry& out) {
    bool found = false;
    Outcome o = client_.Search(SearchRequest{std::string(dn), Scope::Base, {}, attributes}, [&](LdapEntry&& e) {
        out = std::move(e);
        found = true;
        return false;
    });
    if (o && !found) return Failure(Fault::NoSuchObject, "no object at " + std::string(dn), 32);
    return o;
}

Outcome Directory::Modify(std::string_view dn, const std::vector<Modification>& modifications) {
    return client_.Modify(dn, modifications);
}

Outcome Directory::Plan(const DirObject& object, const Changes& changes, std::vector<Modification>& mods) const {
    mods.clear();
    for (const auto& item : changes.items_) {
        if (!item.attribute.empty()) {
            if (item.value) {
                mods.push_back(Modification{Modification::Op::Replace, item.attribute, {*item.value}});
            } else {
                mods.push_back(Modification{Modification::Op::Delete, item.attribute, {}});
            }
            continue;
        }
        const auto wide = Utf8ToUtf16(*item.value);
        if (!wide) return Failure(Fault::Rejected, "the terminal-server path is not UTF-8 text");
        std::optional<std::string> blob;
        if (object.userParameters) {
            blob = WireToBlob(*object.userParameters);
            if (!blob) return Failure(Fault::Damaged, "userParameters of " + object.adsPath + " is not readable");
        }
        const auto ansi = Utf16ToAnsi(*wide);
        const auto w = WriteTsProfilePath(blob ? std::optional<std::string_view>(*blob) : std::nullopt,
                                          ansi ? std::optional<std::string_view>(*ansi) : std::nullopt, *wide);
        if (w.result == TsWrite::Result::Damaged)
            return Failure(Fault::Damaged, "userParameters of " + object.adsPath + " is damaged; left as it is");
        if (w.result == TsWrite::Result::Lossy)
            return Failure(Fault::Lossy, "the terminal-server path " + *item.value +
                                             " has no exact form in this computer's ANSI code page; " + object.adsPath +
                                             " was left as it is");
        if (w.result == TsWrite::Result::TooLong)
            return Failure(Fault::TooLong, "the terminal-server path does not fit userParameters");
        // A later change of the path in the same cache replaces an earlier one.
        std::erase_if(mods, [](const Modification& m) { return AsciiIEquals(m.attribute, "userParameters"); });
        // The other properties in the value belong to other tools: the value read is deleted
        // and the new one added in the same modify, so a value changed since it was read makes
        // the server refuse the write rather than lose that change.
        if (object.userParameters)
            mods.push_back(Modification{Modification::Op::Delete, "userParameters", {*object.userParameters}});
        mods.push_back(Modification{Modification::Op::Add, "userParameters", {BlobToWire(w.blob)}});
    }
    return {};
}

}  // namespace vela::directory
