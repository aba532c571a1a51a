#include "admin/store/server_assignment.h"

#include <utility>

#include "admin/common/name_case.h"

namespace vela {
namespace {

bool Holds(const ServerTypeRead& read, const std::string& type) {
    return read.outcome == ServerTypeRead::Outcome::Held && NamesEqualIgnoringCase(read.type, type);
}

}  // namespace

std::string ServerTypeColumn(const ServerTypeRead& read) {
    switch (read.outcome) {
    case ServerTypeRead::Outcome::Held: return read.type;
    case ServerTypeRead::Outcome::Unset: return {};
    case ServerTypeRead::Outcome::Unreadable: return "(not readable)";
    case ServerTypeRead::Outcome::Unreachable: break;
    }
    return "(not reachable)";
}

ServerAssignment::ServerAssignment(ServerRegistry& registry, std::function<void()> between)
    : registry_(registry), between_(std::move(between)) {}

void ServerAssignment::Mark(ServerList& list) {
    const unsigned long mine = ++scan_;
    for (std::size_t i = 0;; ++i) {
        if (between_) between_();
        if (scan_ != mine || i >= list.Count()) return;
        const ServerTypeRead read = registry_.ReadServerType(list.ServerAt(i));
        // The pick is read after the (slow) read, so the row shows the newest pick.
        const std::string picked = list.PickedType();
        list.Show(i, !picked.empty() && Holds(read, picked), ServerTypeColumn(read));
    }
}

void ServerAssignment::ClearMarks(ServerList& list) {
    CancelScan();
    for (std::size_t i = 0, n = list.Count(); i < n; ++i) list.Uncheck(i);
}

TickResult ServerAssignment::Tick(const std::string& server, const std::string& type, bool ticked) {
    TickResult r;
    if (type.empty()) {
        // A tick would write the empty text, which clears the server's type, beside a check mark.
        r.refused = true;
        r.checked = !ticked;
        return r;
    }
    const std::string wanted = ticked ? type : std::string();
    // A write that reports failure may still have landed (the flush failed): the read-back decides.
    (void)registry_.WriteServerType(server, wanted);
    const ServerTypeRead held = registry_.ReadServerType(server);
    r.read = held.outcome;
    r.serverType = ServerTypeColumn(held);
    r.taken = held.outcome == ServerTypeRead::Outcome::Held && (ticked ? Holds(held, wanted) : held.type.empty());
    r.checked = r.taken ? ticked : Holds(held, type);
    return r;
}

std::string TickFailureText(std::string_view server, std::string_view type, bool ticked, const TickResult& result) {
    if (result.refused)
        return "No server type is picked in \"Server type\": pick one before ticking or clearing a server.";
    std::string text;
    if (ticked) {
        text = "The server type ";
        (text += type) += " could not be written to ";
    } else {
        text = "The server type could not be cleared on ";
    }
    text += server;
    switch (result.read) {
    case ServerTypeRead::Outcome::Unreachable: text += ": the server's registry cannot be reached"; break;
    case ServerTypeRead::Outcome::Unreadable: text += ": the value cannot be read back"; break;
    default: break;
    }
    return text += '.';
}

}  // namespace vela
