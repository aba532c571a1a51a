#include "admin/directory/user_tab.h"

#include <algorithm>

#include "admin/common/ascii.h"
#include "admin/directory/adspath.h"

namespace vela::directory {

namespace {

const std::vector<std::string> kListFilter = {"container", "OrganizationalUnit", "user"};

std::string PathText(const std::optional<std::string>& path) { return path ? *path : std::string(" "); }

}  // namespace

std::string ListingStatus(const Outcome& listed) {
    if (listed) return {};
    return "The directory could not be read: " + FailureReason(listed, "the listing");
}

void SortRows(std::vector<UserRow>& rows, int column, bool descending) {
    auto text = [column](const UserRow& r) -> const std::string& {
        return column == 1 ? r.profilePath : column == 2 ? r.tsProfilePath : r.userId;
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const UserRow& a, const UserRow& b) {
        const std::string x = AsciiLower(text(a)), y = AsciiLower(text(b));
        return descending ? y < x : x < y;
    });
}

std::string RowKey(char column, int n) { return column + std::to_string(n); }

std::string NodeText(std::string_view name) { return std::string(name.substr(std::min<std::size_t>(3, name.size()))); }

UserTab::UserTab(Connector connector, UserTabView& view, std::function<void()> between)
    : connector_(std::move(connector)), view_(view), between_(std::move(between)) {}

void UserTab::AddNode(TreeNode node) {
    if (keys_.contains(node.key)) return;
    if (!node.parent.empty() && !keys_.contains(node.parent)) return;  // its parent went with a rebuild
    keys_.insert(node.key);
    view_.AddNode(node);
    nodes_.push_back(std::move(node));
}

Outcome UserTab::LoadDomain() {
    const unsigned generation = ++generation_;
    auto c = connector_();
    if (c.client) c.client->SetWaiting(between_);
    std::string context;
    DirObject domain;
    Outcome found = c.outcome;
    if (found) found = Directory(*c.client).DefaultNamingContext(context);
    const std::string domainPath = "LDAP://" + context;
    if (found) found = Directory(*c.client).Bind(domainPath, domain);

    nodes_.clear();
    keys_.clear();
    view_.ClearTree();
    AddNode(TreeNode{kRootKey, "", kRootText, kImageRoot});
    if (!found) {
        listed_.clear();
        view_.ClearList();
        return found;
    }
    AddNode(TreeNode{domainPath, kRootKey, NodeText(domain.name), kImageDomain});
    Directory dir(*c.client);
    const Outcome listed = List(dir, domainPath, generation);
    view_.ExpandAll();
    return listed;
}

Outcome UserTab::ListContainer(std::string_view path) {
    const unsigned generation = ++generation_;
    // Not a directory path (the root node): nothing to connect to; the list is emptied all the same.
    if (!ParsePath(path)) {
        listed_.clear();
        view_.ClearList();
        return Failure(Fault::BadPath, "not a container's path: " + std::string(path));
    }
    auto c = connector_();
    if (!c.outcome) {
        listed_.clear();
        view_.ClearList();
        return c.outcome;
    }
    c.client->SetWaiting(between_);
    Directory dir(*c.client);
    return List(dir, path, generation);
}

Outcome UserTab::List(Directory& dir, std::string_view path, unsigned generation) {
    const std::string parent(path);
    listed_ = parent;
    view_.ClearList();
    view_.BeginRows();
    int n = 0;
    const Outcome o = dir.Enumerate(parent, kListFilter, [&](const DirObject& child) {
        if (between_) between_();
        // A handler started another listing or a rebuild: what this one would add no longer belongs.
        if (generation != generation_) return false;
        ++n;
        const std::string cls = AsciiLower(child.className);
        if (cls == "user") {
            view_.AddRow(UserRow{n, child.samAccountName.value_or(std::string()), PathText(child.profile),
                                 PathText(child.tsProfilePath), child.dn});
        } else if (cls == "container" || cls == "organizationalunit") {
            AddNode(TreeNode{child.adsPath, parent, NodeText(child.name), cls == "container" ? kImageContainer : kImageOu});
        }
        return true;
    });
    view_.EndRows();
    return o;
}

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string UserListCsv(const std::vector<UserRow>& rows) {
    std::string out = "\xEF\xBB\xBFUserID,ProfilePath,TSProfilePath,DN\r\n";
    for (const auto& r : rows)
        out += CsvField(r.userId) + "," + CsvField(r.profilePath) + "," + CsvField(r.tsProfilePath) + "," + CsvField(r.dn) + "\r\n";
    return out;
}

}  // namespace vela::directory
