#include "admin/directory/server_accounts.h"

#include <charconv>
#include <utility>

#include "admin/common/ascii.h"
#include "admin/directory/directory.h"

namespace vela::directory {
namespace {

constexpr unsigned long kAccountDisabled = 0x2;

const std::string* First(const LdapEntry& e, const char* attribute) {
    const auto* values = e.Find(attribute);
    return values && !values->empty() ? &values->front() : nullptr;
}

// userAccountControl travels as a decimal integer; the directory may send the flags of a large
// value as a negative 32-bit number.
bool Disabled(const std::string& uac) {
    long long flags = 0;
    const auto [end, ec] = std::from_chars(uac.data(), uac.data() + uac.size(), flags);
    if (ec != std::errc() || end != uac.data() + uac.size()) return false;  // unreadable: not known to be off
    return (static_cast<unsigned long long>(flags) & kAccountDisabled) != 0;
}

}  // namespace

const std::vector<std::string>& ServerAccountAttributes() {
    static const std::vector<std::string> kAttributes = {"operatingSystem", "userAccountControl", "dNSHostName",
                                                         "sAMAccountName"};
    return kAttributes;
}

std::optional<std::string> ServerAccountName(const LdapEntry& computer) {
    const std::string* os = First(computer, "operatingSystem");
    if (!os || !AsciiIContains(*os, "Server")) return std::nullopt;
    if (const std::string* uac = First(computer, "userAccountControl"); uac && Disabled(*uac)) return std::nullopt;
    if (const std::string* dns = First(computer, "dNSHostName"); dns && !dns->empty()) return *dns;
    const std::string* sam = First(computer, "sAMAccountName");
    if (!sam) return std::nullopt;
    std::string name = *sam;
    if (!name.empty() && name.back() == '$') name.pop_back();
    if (name.empty()) return std::nullopt;
    return name;
}

std::optional<std::vector<std::string>> DirectoryServers::Servers() {
    failure_.clear();
    if (!connect_) return std::nullopt;
    auto failed = [this](const Outcome& o) {
        failure_ = FailureReason(o, "the search");
        return std::nullopt;
    };
    Connection c = connect_();
    if (!c.outcome || !c.client) return failed(c.outcome);
    std::string domain;
    if (Outcome o = Directory(*c.client).DefaultNamingContext(domain); !o) return failed(o);
    std::vector<std::string> names;
    const Outcome listed = c.client->Search(
        SearchRequest{domain, Scope::Subtree, {"computer"}, ServerAccountAttributes()}, [&](LdapEntry&& e) {
            if (auto name = ServerAccountName(e)) names.push_back(std::move(*name));
            return true;
        });
    if (!listed) return failed(listed);
    return names;
}

}  // namespace vela::directory
