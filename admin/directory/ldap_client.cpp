// The LDAP client over the platform's C API: wldap32 on Windows (its wide entry points, so DNs
// and values outside the ANSI code page pass intact), OpenLDAP's libldap in the native tree.
// The two APIs have the same shape; the difference is kept to the block of adapters below and
// to connecting, where Windows binds as the logged-on user and libldap has no equal.
#ifdef _WIN32
#include <windows.h>
#include <rpc.h>
#include <winldap.h>
#include <winber.h>
#include <ntldap.h>
#else
#include <ldap.h>
#include <sys/time.h>
#endif

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "admin/common/ascii.h"
#include "admin/directory/ldap_client.h"
#include "admin/directory/user_parameters.h"
#ifdef _WIN32
#include "admin/directory/certificate_probe.h"
#include "admin/win32/text.h"
#include "admin/win32/wine.h"
#endif

namespace vela::directory {

namespace {

constexpr int kInsufficientAccess = 50;  // one number, two names in the two libraries
constexpr int kPageSize = 1000;          // the domain directory's MaxPageSize; never ask for more
constexpr long kConnectSeconds = 10;
constexpr long kOperationSeconds = 30;  // the server's limit for a search, the library's for a bind
// With a waiting hook, a page is received message by message, each wait at most a slice, and the
// hook runs at least once an interval.
constexpr long kWaitSliceMicroseconds = 50'000;
constexpr auto kWaitingInterval = std::chrono::milliseconds(20);

// ---- the thin difference ----------------------------------------------------------------------
#ifdef _WIN32
using Char = wchar_t;
using Text = std::wstring;
using Control = LDAPControlW;
using Mod = LDAPModW;
using Code = ULONG;
#define VELA_LDAP(name) name##W
constexpr char kPermissiveModify[] = LDAP_SERVER_PERMISSIVE_MODIFY_OID;

// Nullopt for text that is not UTF-8: an empty DN would be the root DSE, not a failure.
std::optional<Text> ToApi(std::string_view utf8) {
    if (!IsUtf8(utf8)) return std::nullopt;
    return win32::Wide(utf8);
}
std::string FromApi(const Char* s) { return s ? win32::Utf8(s) : std::string(); }
void Unbind(LDAP* ld) { ldap_unbind(ld); }
// Sends a search; the message id, or 0 and the error in `rc`.
int SendSearch(LDAP* ld, Char* base, int scope, Char* filter, Char** attrs, Control** server, Code& rc) {
    ULONG id = 0;
    rc = ldap_search_extW(ld, base, static_cast<ULONG>(scope), filter, attrs, 0, server, nullptr, kOperationSeconds, 0, &id);
    return rc == LDAP_SUCCESS ? static_cast<int>(id) : 0;
}
// One wait for messages of `id` (LDAP_MSG_ONE or LDAP_MSG_ALL): the message type, 0 after
// `micro` microseconds without one, -1 on a lost connection; `rc` says why when not positive.
int Receive(LDAP* ld, int id, int all, long micro, LDAPMessage*& res, Code& rc) {
    l_timeval t{micro / 1'000'000, micro % 1'000'000};
    const ULONG type = ldap_result(ld, static_cast<ULONG>(id), static_cast<ULONG>(all), &t, &res);
    if (type == static_cast<ULONG>(-1)) {
        rc = LdapGetLastError();
        if (rc == LDAP_SUCCESS) rc = LDAP_SERVER_DOWN;
        return -1;
    }
    if (type == 0) rc = LDAP_TIMEOUT;
    return static_cast<int>(type);
}
void Abandon(LDAP* ld, int id) { ldap_abandon(ld, static_cast<ULONG>(id)); }
int SendModify(LDAP* ld, Char* dn, Mod** mods, Control** server, Code& rc) {
    ULONG id = 0;
    rc = ldap_modify_extW(ld, dn, mods, server, nullptr, &id);
    return rc == LDAP_SUCCESS ? static_cast<int>(id) : 0;
}
// wldap32 parses the page control out of the whole array.
bool ParsePage(LDAP* ld, Control** controls, std::string& cookie) {
    berval* c = nullptr;
    ULONG count = 0;
    if (!controls || ldap_parse_page_controlW(ld, controls, &count, &c) != LDAP_SUCCESS) return false;
    cookie.assign(c && c->bv_val ? std::string(c->bv_val, c->bv_len) : std::string());
    if (c) ber_bvfree(c);
    return true;
}
#else
using Char = char;
using Text = std::string;
using Control = LDAPControl;
using Mod = LDAPMod;
using Code = int;
#define VELA_LDAP(name) name
constexpr char kPermissiveModify[] = LDAP_CONTROL_X_PERMISSIVE_MODIFY;

// libldap passes bytes on; the same refusal as on Windows keeps both trees alike.
std::optional<Text> ToApi(std::string_view utf8) {
    if (!IsUtf8(utf8)) return std::nullopt;
    return Text(utf8);
}
std::string FromApi(const Char* s) { return s ? std::string(s) : std::string(); }
void Unbind(LDAP* ld) { ldap_unbind_ext_s(ld, nullptr, nullptr); }
int SendSearch(LDAP* ld, Char* base, int scope, Char* filter, Char** attrs, Control** server, Code& rc) {
    int id = 0;
    timeval t{kOperationSeconds, 0};
    rc = ldap_search_ext(ld, base, scope, filter, attrs, 0, server, nullptr, &t, 0, &id);
    return rc == LDAP_SUCCESS ? id : 0;
}
int Receive(LDAP* ld, int id, int all, long micro, LDAPMessage*& res, Code& rc) {
    timeval t{micro / 1'000'000, micro % 1'000'000};
    const int type = ldap_result(ld, id, all, &t, &res);
    if (type < 0) {
        rc = LDAP_SERVER_DOWN;
        ldap_get_option(ld, LDAP_OPT_RESULT_CODE, &rc);
        return -1;
    }
    if (type == 0) rc = LDAP_TIMEOUT;
    return type;
}
void Abandon(LDAP* ld, int id) { ldap_abandon_ext(ld, id, nullptr, nullptr); }
int SendModify(LDAP* ld, Char* dn, Mod** mods, Control** server, Code& rc) {
    int id = 0;
    rc = ldap_modify_ext(ld, dn, mods, server, nullptr, &id);
    return rc == LDAP_SUCCESS ? id : 0;
}
bool ParsePage(LDAP* ld, Control** controls, std::string& cookie) {
    Control* c = controls ? ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, controls, nullptr) : nullptr;
    berval value{0, nullptr};
    ber_int_t count = 0;
    if (!c || ldap_parse_pageresponse_control(ld, c, &count, &value) != LDAP_SUCCESS) return false;
    cookie.assign(value.bv_val ? std::string(value.bv_val, value.bv_len) : std::string());
    ber_memfree(value.bv_val);
    return true;
}
#endif
// -------------------------------------------------------------------------------------------------

struct MessageFree {
    void operator()(LDAPMessage* m) const { ldap_msgfree(m); }
};
using Message = std::unique_ptr<LDAPMessage, MessageFree>;

// Waits for the whole answer to request `id` into `parts`, the message of type `end` last;
// false on a lost connection (`rc` says why) or after `limit` without it (`rc` is LDAP_TIMEOUT).
// Without a waiting hook in one call.  With one, message by message: a page of 1000 entries can
// take a second to arrive, a server can hang, and the hook serves the window meanwhile.
bool WaitResult(LDAP* ld, int id, int end, std::chrono::milliseconds limit, Code& rc,
                const std::function<void()>& waiting, std::vector<Message>& parts) {
    LDAPMessage* res = nullptr;
    if (!waiting) {
        const int type = Receive(ld, id, LDAP_MSG_ALL, static_cast<long>(limit.count()) * 1000L, res, rc);
        Message all(res);
        if (type <= 0) return false;
        parts.push_back(std::move(all));
        return true;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    auto last = std::chrono::steady_clock::now();
    for (;;) {
        res = nullptr;
        const int type = Receive(ld, id, LDAP_MSG_ONE, kWaitSliceMicroseconds, res, rc);
        Message one(res);
        if (type < 0) return false;
        if (type > 0) {
            parts.push_back(std::move(one));
            if (type == end) return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            rc = LDAP_TIMEOUT;
            return false;
        }
        if (type == 0 || now - last >= kWaitingInterval) {
            waiting();
            last = std::chrono::steady_clock::now();
        }
    }
}

bool IsConnectionLoss(Code rc) {
    return rc == static_cast<Code>(LDAP_SERVER_DOWN) || rc == static_cast<Code>(LDAP_CONNECT_ERROR) ||
           rc == static_cast<Code>(LDAP_TIMEOUT);
}

Outcome FromCode(Code rc, std::string_view what, bool anonymous = false) {
    std::string text = std::string(what) + ": " + FromApi(VELA_LDAP(ldap_err2string)(rc)) + " (" +
                       std::to_string(static_cast<long>(rc)) + ")";
    const int code = static_cast<int>(rc);
    if (IsConnectionLoss(rc)) return Failure(Fault::Unreachable, std::move(text), code);
    switch (rc) {
        case LDAP_NO_SUCH_OBJECT: return Failure(Fault::NoSuchObject, std::move(text), code);
        case LDAP_INVALID_CREDENTIALS: return Failure(Fault::BindRefused, std::move(text), code);
        case LDAP_SIZELIMIT_EXCEEDED: return Failure(Fault::Truncated, std::move(text), code);
        // What servers answer an anonymous connection that may not read or write: the domain
        // directory says operations error ("a successful bind must be completed"), others ask
        // for stronger authentication or deny access.
        case LDAP_OPERATIONS_ERROR:
        case LDAP_STRONG_AUTH_REQUIRED:
        case LDAP_CONFIDENTIALITY_REQUIRED:
        case LDAP_INAPPROPRIATE_AUTH:
        case kInsufficientAccess:
            return Failure(anonymous ? Fault::LogonNeeded : Fault::Rejected, std::move(text), code);
        default: return Failure(Fault::Rejected, std::move(text), code);
    }
}

// Text that has no form for the API (not UTF-8): the operation fails rather than going out with
// an empty text in its place.
Outcome NotText(std::string_view what) {
    return Failure(Fault::BadPath, std::string(what) + ": not UTF-8 text; nothing was sent");
}

// A failed bind: wrong credentials, a lost connection, or another refusal of the logon.
Outcome BindFailure(Code rc, std::string_view what) {
    Outcome o = FromCode(rc, what);
    if (o.fault == Fault::Rejected || o.fault == Fault::NoSuchObject || o.fault == Fault::Truncated)
        o.fault = Fault::LogonFailed;
    return o;
}

std::string EscapeFilterValue(std::string_view v) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (char c : v) {
        if (c == '*' || c == '(' || c == ')' || c == '\\' || c == '\0') {
            const auto b = static_cast<unsigned char>(c);
            out += '\\';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

std::string ClassFilter(const std::vector<std::string>& classes) {
    if (classes.empty()) return "(objectClass=*)";
    std::string f;
    for (const auto& c : classes) f += "(objectClass=" + EscapeFilterValue(c) + ")";
    return classes.size() == 1 ? f : "(|" + f + ")";
}

// Reads the requested attributes by name: one pass over the entry a name, no allocation for
// attributes the entry lacks.  With no names, every attribute the server sent.
LdapEntry ReadEntry(LDAP* ld, LDAPMessage* e, const std::vector<Text>& names, const std::vector<std::string>& requested) {
    LdapEntry out;
    if (Char* dn = VELA_LDAP(ldap_get_dn)(ld, e)) {
        out.dn = FromApi(dn);
        VELA_LDAP(ldap_memfree)(dn);
    }
    auto values = [&](Char* name, std::string label) {
        if (berval** vals = VELA_LDAP(ldap_get_values_len)(ld, e, name)) {
            Attribute attr{std::move(label), {}};
            for (berval** v = vals; *v; ++v) attr.values.emplace_back((*v)->bv_val, (*v)->bv_len);
            ldap_value_free_len(vals);
            out.attributes.push_back(std::move(attr));
        }
    };
    if (!names.empty()) {
        out.attributes.reserve(names.size());
        for (std::size_t i = 0; i < names.size(); ++i) values(const_cast<Char*>(names[i].c_str()), requested[i]);
        return out;
    }
    BerElement* ber = nullptr;
    for (Char* a = VELA_LDAP(ldap_first_attribute)(ld, e, &ber); a; a = VELA_LDAP(ldap_next_attribute)(ld, e, ber)) {
        values(a, FromApi(a));
        VELA_LDAP(ldap_memfree)(a);
    }
    if (ber) ber_free(ber, 0);
    return out;
}

class Client final : public LdapClient {
public:
    explicit Client(LDAP* ld, bool anonymous) : ld_(ld), anonymous_(anonymous) {}
    ~Client() override { Unbind(ld_); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    Outcome Search(const SearchRequest& r, const std::function<bool(LdapEntry&&)>& each) override {
        const auto apiBase = ToApi(r.base), apiFilter = ToApi(ClassFilter(r.classes));
        if (!apiBase || !apiFilter) return NotText("search " + r.base);
        Text base = *apiBase, filter = *apiFilter;
        std::vector<Text> names;
        for (const auto& a : r.attributes) {
            auto name = ToApi(a);
            if (!name) return NotText("search " + r.base);
            names.push_back(std::move(*name));
        }
        std::vector<Char*> attrs;
        for (auto& n : names) attrs.push_back(n.data());
        attrs.push_back(nullptr);
        const int scope = r.scope == Scope::Base       ? LDAP_SCOPE_BASE
                          : r.scope == Scope::OneLevel ? LDAP_SCOPE_ONELEVEL
                                                       : LDAP_SCOPE_SUBTREE;
        const std::string what = "search " + r.base;
        if (silent_) return Silent(what);
        // A base search is one entry: no paging.  A listing pages until the cookie comes back
        // empty, and asks for the next page before it hands out this one's entries, so the
        // server works while the caller does.
        const bool paged = r.scope != Scope::Base;
        auto send = [&](const std::string& cookie, Code& rc) -> int {
            Control* page = nullptr;
            if (paged) {
                berval c{static_cast<decltype(c.bv_len)>(cookie.size()), const_cast<char*>(cookie.data())};
                if ((rc = VELA_LDAP(ldap_create_page_control)(ld_, kPageSize, cookie.empty() ? nullptr : &c, 0, &page)) !=
                    LDAP_SUCCESS)
                    return 0;
            }
            Control* server[] = {page, nullptr};
            const int id = SendSearch(ld_, base.data(), scope, filter.data(), attrs.data(), paged ? server : nullptr, rc);
            if (page) VELA_LDAP(ldap_control_free)(page);
            return id;
        };
        const std::vector<Text> wanted = r.attributes.empty() ? std::vector<Text>() : names;
        Code rc = LDAP_SUCCESS;
        int id = send(std::string(), rc);
        if (!id) return FromCode(rc, what, anonymous_);
        while (id) {
            std::vector<Message> parts;
            if (!WaitResult(ld_, id, LDAP_RES_SEARCH_RESULT, timeLimit_, rc, waiting_, parts)) return Lost(id, rc, what);
            Code result = LDAP_SUCCESS;
            Control** controls = nullptr;
            if (VELA_LDAP(ldap_parse_result)(ld_, parts.back().get(), &result, nullptr, nullptr, nullptr, &controls, 0) != LDAP_SUCCESS)
                result = LDAP_OTHER;
            std::string next;
            const bool hasPage = ParsePage(ld_, controls, next);
            if (controls) VELA_LDAP(ldap_controls_free)(controls);
            id = 0;
            if (result == LDAP_SUCCESS && paged && hasPage && !next.empty()) {
                id = send(next, rc);
                if (!id) return FromCode(rc, what, anonymous_);
            }
            for (const auto& part : parts) {
                for (LDAPMessage* e = ldap_first_entry(ld_, part.get()); e; e = ldap_next_entry(ld_, e)) {
                    if (!each(ReadEntry(ld_, e, wanted, r.attributes))) {
                        // Ending early is no failure.  The server forgets the paged search when
                        // the connection closes; until then, drop the page already asked for.
                        if (id) Abandon(ld_, id);
                        return {};
                    }
                }
            }
            if (result != LDAP_SUCCESS) return FromCode(result, what, anonymous_);
        }
        return {};
    }

    Outcome Modify(std::string_view dn, const std::vector<Modification>& changes) override {
        // Keep every buffer alive until the call returns.
        std::vector<Text> names;
        std::vector<std::vector<berval>> values;
        std::vector<std::vector<berval*>> valuePtrs;
        std::vector<Mod> mods;
        names.reserve(changes.size());
        values.reserve(changes.size());
        valuePtrs.reserve(changes.size());
        mods.reserve(changes.size());
        for (const auto& c : changes) {
            auto name = ToApi(c.attribute);
            if (!name) return NotText("modify " + std::string(dn));
            names.push_back(std::move(*name));
            auto& vs = values.emplace_back();
            for (const auto& v : c.values)
                vs.push_back(berval{static_cast<decltype(berval{}.bv_len)>(v.size()), const_cast<char*>(v.data())});
            auto& ps = valuePtrs.emplace_back();
            for (auto& v : vs) ps.push_back(&v);
            ps.push_back(nullptr);
            Mod m{};
            m.mod_op = (c.op == Modification::Op::Replace  ? LDAP_MOD_REPLACE
                        : c.op == Modification::Op::Delete ? LDAP_MOD_DELETE
                                                           : LDAP_MOD_ADD) |
                       LDAP_MOD_BVALUES;
            m.mod_type = names.back().data();
            // A delete of the whole attribute is an empty value list, not a null one: Wine's
            // wldap32 walks the list without checking it.
            m.mod_vals.modv_bvals = ps.data();
            mods.push_back(m);
        }
        std::vector<Mod*> modPtrs;
        for (auto& m : mods) modPtrs.push_back(&m);
        modPtrs.push_back(nullptr);
        Text oid(kPermissiveModify, kPermissiveModify + sizeof kPermissiveModify - 1);  // ASCII
        Control permissive{};
        permissive.ldctl_oid = oid.data();
        permissive.ldctl_iscritical = 0;
        Control* server[] = {&permissive, nullptr};
        const std::string what = "modify " + std::string(dn);
        const auto apiTarget = ToApi(dn);
        if (!apiTarget) return NotText(what);
        Text target = *apiTarget;
        if (silent_) return Silent(what);
        Code rc = LDAP_SUCCESS;
        const int id = SendModify(ld_, target.data(), modPtrs.data(), server, rc);
        if (!id) return FromCode(rc, what, anonymous_);
        std::vector<Message> parts;
        if (!WaitResult(ld_, id, LDAP_RES_MODIFY, timeLimit_, rc, waiting_, parts)) return Lost(id, rc, what);
        Code result = LDAP_SUCCESS;
        if (VELA_LDAP(ldap_parse_result)(ld_, parts.back().get(), &result, nullptr, nullptr, nullptr, nullptr, 0) !=
            LDAP_SUCCESS)
            result = LDAP_OTHER;
        if (result != LDAP_SUCCESS) return FromCode(result, what, anonymous_);
        return {};
    }

private:
    // An answer that did not come: after a time-out the server counts as no longer answering,
    // and every later operation on this connection fails at once rather than wait as long again.
    Outcome Lost(int id, Code rc, const std::string& what) {
        if (rc != static_cast<Code>(LDAP_TIMEOUT)) return FromCode(rc, what, anonymous_);
        Abandon(ld_, id);
        silent_ = true;
        return Silent(what);
    }
    static Outcome Silent(const std::string& what) {
        return Failure(Fault::NoAnswer, what + ": the server did not answer in time", static_cast<int>(LDAP_TIMEOUT));
    }

    LDAP* ld_;
    bool anonymous_;
    bool silent_ = false;  // the server stopped answering
};

struct Url {
    bool secure = false;
    std::string host;
    int port = 389;
};

bool ParseUrl(std::string_view url, Url& out) {
    std::string_view rest;
    if (url.size() > 8 && AsciiIEquals(url.substr(0, 8), "ldaps://")) {
        out.secure = true, out.port = 636, rest = url.substr(8);
    } else if (url.size() > 7 && AsciiIEquals(url.substr(0, 7), "ldap://")) {
        rest = url.substr(7);
    } else {
        return false;
    }
    if (const auto slash = rest.find('/'); slash != std::string_view::npos) rest = rest.substr(0, slash);
    const auto colon = rest.rfind(':');
    out.host.assign(rest.substr(0, colon));
    if (colon != std::string_view::npos) {
        out.port = 0;
        for (char c : rest.substr(colon + 1)) {
            if (c < '0' || c > '9' || out.port > 65535) return false;
            out.port = out.port * 10 + (c - '0');
        }
    }
    return !out.host.empty() && out.port > 0 && out.port <= 65535;
}

constexpr char kNoTls[] =
    "the directory server offers no encrypted connection (ldaps:// or StartTLS); the password was not sent";

#ifdef _WIN32
// Wine's wldap32 turns the Negotiate bind into a SASL bind that crashes without credentials.
using win32::UnderWine;

// An encrypted connection failed where an open port answered: tell a certificate this computer
// does not trust from a server that is not there.
Outcome SecureFailure(const Url& url, ULONG rc, std::string_view what) {
    if (ProbeServerCertificate(url.host, url.port) == CertificateProbe::Untrusted)
        return Failure(Fault::Untrusted,
                       "the certificate of " + url.host + ":" + std::to_string(url.port) + " is not trusted here",
                       static_cast<int>(rc));
    return FromCode(rc, what);
}

Connection Connect(const ConnectionSettings& s) {
    if (s.url.empty() && UnderWine())
        return {nullptr, Failure(Fault::NoServer, "no directory server named: set VELA_DIRECTORY=ldap://host:port")};
    Url url;
    if (!s.url.empty() && !ParseUrl(s.url, url))
        return {nullptr, Failure(Fault::NoServer, "VELA_DIRECTORY is not ldap://host:port: " + s.url)};
    // Wine's TLS layer does not check the server's certificate: check it here first, so that
    // nothing goes to a server this computer does not trust.
    if (url.secure && UnderWine() && ProbeServerCertificate(url.host, url.port) == CertificateProbe::Untrusted)
        return {nullptr, Failure(Fault::Untrusted, "the certificate of " + s.url + " is not trusted here")};
    const auto apiHost = ToApi(url.host);
    if (!apiHost) return {nullptr, Failure(Fault::NoServer, "VELA_DIRECTORY names no host in UTF-8: " + s.url)};
    Text host = *apiHost;
    LDAP* ld = s.url.empty() ? ldap_initW(nullptr, LDAP_PORT)
               : url.secure  ? ldap_sslinitW(host.data(), static_cast<ULONG>(url.port), 1)
                             : ldap_initW(host.data(), static_cast<ULONG>(url.port));
    if (!ld) return {nullptr, FromCode(LdapGetLastError(), "connect")};
    const bool anonymous = !s.url.empty() && s.user.empty();
    auto client = std::make_unique<Client>(ld, anonymous);
    ULONG version = LDAP_VERSION3;
    ldap_set_optionW(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_optionW(ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    l_timeval t{kConnectSeconds, 0};
    if (ULONG rc = ldap_connect(ld, &t); rc != LDAP_SUCCESS) {
        if (url.secure && IsConnectionLoss(rc)) return {nullptr, SecureFailure(url, rc, "connect " + s.url)};
        return {nullptr, FromCode(rc, "connect " + s.url)};
    }
    ULONG rc;
    if (!anonymous) {
        // The logged-on user (or the given account) through Negotiate: what domain controllers
        // that require signing accept, and a password never goes in clear.  On plain LDAP the
        // bind asks for signing and sealing; over TLS the connection is encrypted already, and
        // servers refuse a second layer on it ("Sign or Seal are not allowed if TLS is used").
        if (!url.secure) {
            ldap_set_optionW(ld, LDAP_OPT_SIGN, LDAP_OPT_ON);
            ldap_set_optionW(ld, LDAP_OPT_ENCRYPT, LDAP_OPT_ON);
        }
        if (s.user.empty()) {
            rc = ldap_bind_sW(ld, nullptr, nullptr, LDAP_AUTH_NEGOTIATE);
        } else {
            auto apiUser = ToApi(s.user), apiPassword = ToApi(s.password);
            if (!apiUser || !apiPassword) {
                if (apiPassword) SecureZeroMemory(apiPassword->data(), apiPassword->size() * sizeof(wchar_t));
                return {nullptr, Failure(Fault::NoServer, "VELA_DIRECTORY_USER or VELA_DIRECTORY_PASSWORD is not UTF-8 "
                                                          "text; nothing was sent")};
            }
            Text domain, user = std::move(*apiUser), password = std::move(*apiPassword);
            if (const auto bs = user.find(L'\\'); bs != Text::npos) {
                domain = user.substr(0, bs);
                user.erase(0, bs + 1);
            }
            SEC_WINNT_AUTH_IDENTITY_W id{};
            id.User = reinterpret_cast<unsigned short*>(user.data());
            id.UserLength = static_cast<unsigned long>(user.size());
            id.Domain = reinterpret_cast<unsigned short*>(domain.data());
            id.DomainLength = static_cast<unsigned long>(domain.size());
            id.Password = reinterpret_cast<unsigned short*>(password.data());
            id.PasswordLength = static_cast<unsigned long>(password.size());
            id.Flags = SEC_WINNT_AUTH_IDENTITY_UNICODE;
            rc = ldap_bind_sW(ld, nullptr, reinterpret_cast<PWCHAR>(&id), LDAP_AUTH_NEGOTIATE);
            SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
        }
    } else {
        rc = ldap_simple_bind_sW(ld, nullptr, nullptr);
    }
    if (rc != LDAP_SUCCESS) {
        if (url.secure && IsConnectionLoss(rc)) return {nullptr, SecureFailure(url, rc, "bind " + s.url)};
        // Wine's Negotiate bind asks for signing and sealing whatever the options say, and on TLS
        // the server refuses them.
        if (url.secure && !anonymous && rc == LDAP_UNWILLING_TO_PERFORM)
            return {nullptr, Failure(Fault::SealRefused, "bind " + s.url + ": signing and sealing refused inside TLS",
                                     static_cast<int>(rc))};
        return {nullptr, BindFailure(rc, "bind")};
    }
    return {std::move(client), {}};
}
#else
// Opens a handle on `uri` with the options every connection gets; with `checkCertificate` false
// the server's certificate is not checked (for telling a certificate problem from the network).
LDAP* OpenHandle(const std::string& uri, bool checkCertificate = true) {
    LDAP* ld = nullptr;
    if (ldap_initialize(&ld, uri.c_str()) != LDAP_SUCCESS) return nullptr;
    int version = LDAP_VERSION3;
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    timeval connect{kConnectSeconds, 0}, op{kOperationSeconds, 0};
    ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &connect);
    ldap_set_option(ld, LDAP_OPT_TIMEOUT, &op);
    if (!checkCertificate) {
        int never = LDAP_OPT_X_TLS_NEVER, fresh = 0;
        ldap_set_option(ld, LDAP_OPT_X_TLS_REQUIRE_CERT, &never);
        ldap_set_option(ld, LDAP_OPT_X_TLS_NEWCTX, &fresh);
    }
    return ld;
}

// The encrypted connection failed: when it succeeds without checking the certificate (and sending
// nothing but an anonymous bind), the certificate is what failed, not the network.
Outcome SecureFailure(const std::string& uri, bool startTls, int rc, std::string_view what) {
    bool certificate = false;
    if (LDAP* probe = OpenHandle(uri, false)) {
        berval none{0, nullptr};
        certificate = startTls ? ldap_start_tls_s(probe, nullptr, nullptr) == LDAP_SUCCESS
                               : ldap_sasl_bind_s(probe, nullptr, LDAP_SASL_SIMPLE, &none, nullptr, nullptr, nullptr) ==
                                     LDAP_SUCCESS;
        Unbind(probe);
    }
    if (certificate)
        return Failure(Fault::Untrusted, "the certificate of " + uri + " is not trusted (LDAPTLS_CACERT names trusted ones)",
                       rc);
    return FromCode(rc, std::string(what) + " " + uri);
}

Connection Connect(const ConnectionSettings& s) {
    if (s.url.empty())
        return {nullptr, Failure(Fault::NoServer, "no directory server named: set VELA_DIRECTORY=ldap://host:port")};
    Url url;
    if (!ParseUrl(s.url, url))
        return {nullptr, Failure(Fault::NoServer, "VELA_DIRECTORY is not ldap://host:port: " + s.url)};
    const std::string uri = (url.secure ? "ldaps://" : "ldap://") + url.host + ":" + std::to_string(url.port);
    LDAP* ld = OpenHandle(uri);
    if (!ld) return {nullptr, Failure(Fault::NoServer, "cannot open " + uri)};
    auto client = std::make_unique<Client>(ld, s.user.empty());
    berval cred{0, nullptr};
    std::string password = s.password;
    if (!s.user.empty()) {
        if (!url.secure) {
            if (int rc = ldap_start_tls_s(ld, nullptr, nullptr); rc != LDAP_SUCCESS) {
                if (IsConnectionLoss(rc)) return {nullptr, SecureFailure(uri, true, rc, "connect")};
                return {nullptr, Failure(Fault::Insecure, kNoTls, rc)};
            }
        }
        cred = berval{password.size(), password.data()};
    }
    const int rc = ldap_sasl_bind_s(ld, s.user.empty() ? nullptr : s.user.c_str(), LDAP_SASL_SIMPLE, &cred, nullptr,
                                    nullptr, nullptr);
    std::fill(password.begin(), password.end(), '\0');
    if (rc != LDAP_SUCCESS) {
        if (url.secure && IsConnectionLoss(rc)) return {nullptr, SecureFailure(uri, false, rc, "bind")};
        return {nullptr, BindFailure(rc, "bind " + uri)};
    }
    return {std::move(client), {}};
}
#endif

}  // namespace

Connection ConnectLdap(const ConnectionSettings& settings) { return Connect(settings); }

}  // namespace vela::directory
