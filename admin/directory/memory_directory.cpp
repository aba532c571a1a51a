#include "admin/directory/memory_directory.h"

#include <algorithm>

#include "admin/common/ascii.h"
#include "admin/directory/adspath.h"

namespace vela::directory {

struct MemoryDirectory::Node {
    std::string key;        // DnKey of the DN
    std::string parentKey;  // DnKey of the parent
    LdapEntry entry;
};

namespace {

std::string KeyOf(std::string_view dn) {
    auto parsed = ParseDn(dn);
    return parsed ? DnKey(*parsed) : std::string("\x01invalid");
}

std::string ParentKey(std::string_view dn) {
    auto parsed = ParseDn(dn);
    if (!parsed || parsed->empty()) return "\x01none";
    parsed->erase(parsed->begin());
    return DnKey(*parsed);
}

std::string ChildDn(std::string_view parent, std::string_view type, std::string_view name) {
    Dn dn = ParseDn(parent).value_or(Dn{});
    dn.insert(dn.begin(), Rdn{Ava{std::string(type), std::string(name)}});
    return FormatDn(dn, DnStyle::Ldap);
}

bool HasClass(const LdapEntry& e, const std::vector<std::string>& classes) {
    if (classes.empty()) return true;
    const auto* have = e.Find("objectClass");
    if (!have) return false;
    for (const auto& c : classes)
        for (const auto& h : *have)
            if (AsciiIEquals(c, h)) return true;
    return false;
}

LdapEntry Project(const LdapEntry& e, const std::vector<std::string>& attributes) {
    LdapEntry out{e.dn, {}};
    for (const auto& name : attributes)
        if (const auto* v = e.Find(name)) out.attributes.push_back(Attribute{name, *v});
    return out;
}

Outcome Gone() { return Failure(Fault::Unreachable, "the directory server is not reachable", -1); }

}  // namespace

class MemoryDirectory::Client : public LdapClient {
public:
    explicit Client(MemoryDirectory& d) : d_(d) {}

    Outcome Search(const SearchRequest& r, const std::function<bool(LdapEntry&&)>& each) override {
        if (!d_.Operate()) return Gone();
        ++d_.searches;
        if (r.base.empty() && r.scope == Scope::Base) {
            LdapEntry root{"", {Attribute{"defaultNamingContext", {d_.domain_}}}};
            each(Project(root, r.attributes));
            return {};
        }
        const Node* base = d_.Lookup(r.base);
        if (!base) return Failure(Fault::NoSuchObject, "no such object: " + r.base, 32);
        if (r.scope == Scope::Base) {
            if (HasClass(base->entry, r.classes)) each(Project(base->entry, r.attributes));
            return {};
        }
        // Copy first: `each` may add entries (a test re-entering the directory).
        std::vector<LdapEntry> children;
        const auto below = [&](const Node* n) {
            if (r.scope == Scope::OneLevel) return n->parentKey == base->key;
            while (n && n->key != base->key) {
                const auto parent = d_.index_.find(n->parentKey);
                n = parent == d_.index_.end() ? nullptr : parent->second;
            }
            return n != nullptr;
        };
        for (const auto& n : d_.nodes_)
            if (below(n.get()) && HasClass(n->entry, r.classes)) children.push_back(Project(n->entry, r.attributes));
        for (auto& c : children) {
            if (!each(std::move(c))) break;
        }
        return {};
    }

    Outcome Modify(std::string_view dn, const std::vector<Modification>& changes) override {
        if (!d_.Operate()) return Gone();
        ++d_.modifies;
        Node* n = d_.Lookup(dn);
        if (!n) return Failure(Fault::NoSuchObject, "no such object: " + std::string(dn), 32);
        LdapEntry changed = n->entry;  // all or nothing
        for (const auto& m : changes) {
            if (AsciiIEquals(m.attribute, "objectClass")) return Failure(Fault::Rejected, "objectClass is fixed here", 53);
            if (!d_.refusedAttribute_.empty() && AsciiIEquals(m.attribute, d_.refusedAttribute_))
                return Failure(Fault::Rejected, "writing " + m.attribute + " is refused here", d_.refusedCode_);
            auto& attrs = changed.attributes;
            auto it = std::find_if(attrs.begin(), attrs.end(), [&](const Attribute& a) { return AsciiIEquals(a.name, m.attribute); });
            if (m.op == Modification::Op::Replace) {
                if (m.values.size() > 1) return Failure(Fault::Rejected, m.attribute + " is single-valued", 19);
                if (it != attrs.end()) attrs.erase(it);
                if (!m.values.empty()) attrs.push_back(Attribute{m.attribute, m.values});
            } else if (m.op == Modification::Op::Add) {
                // The attributes written here are single-valued; adding a value already held
                // is no change (the permissive-modify control).
                if (it == attrs.end()) {
                    attrs.push_back(Attribute{m.attribute, m.values});
                } else if (m.values.size() != 1 || it->values != m.values) {
                    return Failure(Fault::Rejected, m.attribute + " is single-valued", 19);
                }
            } else if (it != attrs.end()) {
                if (m.values.empty()) {
                    attrs.erase(it);
                } else {
                    std::erase_if(it->values, [&](const std::string& v) {
                        return std::find(m.values.begin(), m.values.end(), v) != m.values.end();
                    });
                    if (it->values.empty()) attrs.erase(it);
                }
            }
        }
        n->entry = std::move(changed);
        return {};
    }

private:
    MemoryDirectory& d_;
};

MemoryDirectory::MemoryDirectory(std::string domain) : domain_(std::move(domain)) {
    auto dn = ParseDn(domain_).value_or(Dn{});
    const std::string dc = dn.empty() || dn.front().empty() ? "" : dn.front().front().value;
    Add(domain_, {"top", "domain", "domainDNS"}, {Attribute{"dc", {dc}}});
}

MemoryDirectory::~MemoryDirectory() = default;

void MemoryDirectory::Add(std::string_view dn, std::vector<std::string> classes, std::vector<Attribute> attributes) {
    auto node = std::make_unique<Node>();
    node->key = KeyOf(dn);
    node->parentKey = ParentKey(dn);
    node->entry.dn = std::string(dn);
    node->entry.attributes.push_back(Attribute{"objectClass", std::move(classes)});
    for (auto& a : attributes) node->entry.attributes.push_back(std::move(a));
    if (auto it = index_.find(node->key); it != index_.end()) {
        *it->second = std::move(*node);
        return;
    }
    index_[node->key] = node.get();
    nodes_.push_back(std::move(node));
}

std::string MemoryDirectory::AddOu(std::string_view parent, std::string_view name) {
    std::string dn = ChildDn(parent, "OU", name);
    Add(dn, {"top", "organizationalUnit"}, {Attribute{"ou", {std::string(name)}}});
    return dn;
}

std::string MemoryDirectory::AddContainer(std::string_view parent, std::string_view name) {
    std::string dn = ChildDn(parent, "CN", name);
    Add(dn, {"top", "container"}, {Attribute{"cn", {std::string(name)}}});
    return dn;
}

std::string MemoryDirectory::AddUser(std::string_view parent, std::string_view name, std::string_view sam,
                                     std::optional<std::string> profile, std::optional<std::string> userParameters) {
    std::string dn = ChildDn(parent, "CN", name);
    std::vector<Attribute> attrs{{"cn", {std::string(name)}}, {"sAMAccountName", {std::string(sam)}}};
    if (profile) attrs.push_back(Attribute{"profilePath", {*profile}});
    if (userParameters) attrs.push_back(Attribute{"userParameters", {*userParameters}});
    Add(dn, {"top", "person", "organizationalPerson", "user"}, std::move(attrs));
    return dn;
}

std::string MemoryDirectory::AddComputer(std::string_view parent, std::string_view name) {
    std::string dn = ChildDn(parent, "CN", name);
    Add(dn, {"top", "person", "organizationalPerson", "user", "computer"},
        {Attribute{"cn", {std::string(name)}}, Attribute{"sAMAccountName", {std::string(name) + "$"}}});
    return dn;
}

const LdapEntry* MemoryDirectory::Find(std::string_view dn) const {
    const Node* n = Lookup(dn);
    return n ? &n->entry : nullptr;
}

std::optional<std::string> MemoryDirectory::Value(std::string_view dn, std::string_view attribute) const {
    const auto* e = Find(dn);
    const auto* v = e ? e->Find(attribute) : nullptr;
    return v && !v->empty() ? std::optional<std::string>(v->front()) : std::nullopt;
}

Connector MemoryDirectory::connector() {
    return [this]() -> Connection {
        if (!Operate()) return Connection{nullptr, Gone()};
        ++connections;
        return Connection{std::make_unique<Client>(*this), {}};
    };
}

void MemoryDirectory::SetReachable(bool reachable) {
    reachable_ = reachable;
    budget_ = -1;
}

void MemoryDirectory::FailAfter(int operations) { budget_ = operations; }

bool MemoryDirectory::Operate() {
    if (!reachable_) return false;
    if (budget_ == 0) {
        reachable_ = false;
        return false;
    }
    if (budget_ > 0) --budget_;
    return true;
}

MemoryDirectory::Node* MemoryDirectory::Lookup(std::string_view dn) {
    const auto it = index_.find(KeyOf(dn));
    return it == index_.end() ? nullptr : it->second;
}

const MemoryDirectory::Node* MemoryDirectory::Lookup(std::string_view dn) const {
    return const_cast<MemoryDirectory*>(this)->Lookup(dn);
}

}  // namespace vela::directory
