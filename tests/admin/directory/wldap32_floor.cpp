// The least any Windows program can spend on the users benchmark through wldap32: the same paged
// listing (filter, attributes, page size) with every value read, then one synchronous modify of
// both attributes per user, in a bare loop without a window.  tools/benchmark-users runs it beside
// the window, so the figures show what the platform's LDAP library costs on this machine.
//
//   wldap32_floor HOST PORT BASE
//
// It writes the values the first user listed holds (the window has written them to every user).
// Prints "FLOOR listing_s=.. change_s=.. users=..".  Not a test.
#include <windows.h>
#include <winldap.h>
#include <winber.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::wstring Wide(const char* utf8) {
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring w(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, w.data(), n);
    w.resize(w.size() - 1);
    return w;
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: wldap32_floor HOST PORT BASE\n");
        return 2;
    }
    std::wstring host = Wide(argv[1]), base = Wide(argv[3]);
    LDAP* ld = ldap_initW(host.data(), static_cast<ULONG>(std::atoi(argv[2])));
    ULONG version = LDAP_VERSION3;
    if (!ld || ldap_set_optionW(ld, LDAP_OPT_PROTOCOL_VERSION, &version) != LDAP_SUCCESS ||
        ldap_simple_bind_sW(ld, nullptr, nullptr) != LDAP_SUCCESS) {
        std::fprintf(stderr, "wldap32_floor: cannot bind to %s:%s\n", argv[1], argv[2]);
        return 1;
    }

    const auto listingStart = std::chrono::steady_clock::now();
    wchar_t filter[] = L"(|(objectClass=container)(objectClass=organizationalUnit)(objectClass=user))";
    std::wstring names[] = {L"objectClass", L"structuralObjectClass", L"sAMAccountName", L"profilePath", L"userParameters"};
    std::vector<wchar_t*> attrs;
    for (auto& n : names) attrs.push_back(n.data());
    attrs.push_back(nullptr);
    std::vector<std::wstring> users;
    std::string values[2];  // profilePath, userParameters of the first user
    berval* cookie = nullptr;
    size_t bytes = 0;
    for (;;) {
        LDAPControlW* page = nullptr;
        ldap_create_page_controlW(ld, 1000, cookie, 0, &page);
        LDAPControlW* server[] = {page, nullptr};
        LDAPMessage* res = nullptr;
        const ULONG rc = ldap_search_ext_sW(ld, base.data(), LDAP_SCOPE_ONELEVEL, filter, attrs.data(), 0, server,
                                            nullptr, nullptr, 0, &res);
        ldap_control_freeW(page);
        if (cookie) ber_bvfree(cookie);
        cookie = nullptr;
        if (rc != LDAP_SUCCESS) {
            std::fprintf(stderr, "wldap32_floor: search failed (%lu)\n", rc);
            return 1;
        }
        for (LDAPMessage* e = ldap_first_entry(ld, res); e; e = ldap_next_entry(ld, e)) {
            wchar_t* dn = ldap_get_dnW(ld, e);
            users.emplace_back(dn ? dn : L"");
            ldap_memfreeW(dn);
            for (size_t i = 0; i < std::size(names); ++i) {
                if (berval** vals = ldap_get_values_lenW(ld, e, names[i].data())) {
                    for (berval** v = vals; *v; ++v) bytes += (*v)->bv_len;
                    if (users.size() == 1 && i >= 3 && vals[0]) values[i - 3].assign(vals[0]->bv_val, vals[0]->bv_len);
                    ldap_value_free_len(vals);
                }
            }
        }
        LDAPControlW** controls = nullptr;
        ULONG result = 0, count = 0;
        ldap_parse_resultW(ld, res, &result, nullptr, nullptr, nullptr, &controls, FALSE);
        if (controls) ldap_parse_page_controlW(ld, controls, &count, &cookie);
        if (controls) ldap_controls_freeW(controls);
        ldap_msgfree(res);
        if (!cookie || cookie->bv_len == 0) break;
    }
    if (cookie) ber_bvfree(cookie);
    const double listing = Since(listingStart);

    const auto changeStart = std::chrono::steady_clock::now();
    const std::string& profile = values[0];
    const std::string& parameters = values[1];
    berval profileValue{static_cast<ULONG>(profile.size()), const_cast<char*>(profile.data())};
    berval parametersValue{static_cast<ULONG>(parameters.size()), const_cast<char*>(parameters.data())};
    berval* profileValues[] = {&profileValue, nullptr};
    berval* parametersValues[] = {&parametersValue, nullptr};
    wchar_t profileName[] = L"profilePath", parametersName[] = L"userParameters";
    LDAPModW mods[2] = {};
    mods[0].mod_op = mods[1].mod_op = LDAP_MOD_REPLACE | LDAP_MOD_BVALUES;
    mods[0].mod_type = profileName;
    mods[0].mod_vals.modv_bvals = profileValues;
    mods[1].mod_type = parametersName;
    mods[1].mod_vals.modv_bvals = parametersValues;
    LDAPModW* modPtrs[] = {&mods[0], &mods[1], nullptr};
    int failed = 0;
    for (auto& dn : users)
        if (ldap_modify_ext_sW(ld, dn.data(), modPtrs, nullptr, nullptr) != LDAP_SUCCESS) ++failed;
    const double change = Since(changeStart);
    ldap_unbind(ld);
    std::printf("FLOOR listing_s=%.3f change_s=%.3f users=%zu failed=%d bytes=%zu\n", listing, change, users.size(),
                failed, bytes);
    return failed ? 1 : 0;
}
