#include "admin/store/server_assignment.h"

#include <utility>

#include "admin/common/ascii.h"
#include "admin/store/ell_reg_format.h"

namespace vela {

ServerAssignment::ServerAssignment(ServerRegistry& registry, std::function<void()> between)
    : registry_(registry), between_(std::move(between)) {}

void ServerAssignment::Mark(ServerList& list) {
    const unsigned long mine = ++scan_;
    for (std::size_t i = 0;; ++i) {
        if (between_) between_();
        if (scan_ != mine || i >= list.Count()) return;
        const auto read = registry_.ReadServerType(list.ServerAt(i));
        // The pick is read after the (slow) read, so the row shows the newest pick.
        const bool carries = read && AsciiIEquals(*read, list.PickedType());
        list.Show(i, carries, read.value_or(std::string(ellreg::kNotFound)));
    }
}

TickResult ServerAssignment::Tick(const std::string& server, const std::string& type, bool ticked) {
    const std::string wanted = ticked ? type : std::string();
    // A write that reports failure may still have landed (the flush failed): the read-back decides.
    (void)registry_.WriteServerType(server, wanted);
    const auto held = registry_.ReadServerType(server);
    TickResult r;
    r.serverType = held.value_or(std::string(ellreg::kNotFound));
    r.taken = held && AsciiIEquals(*held, wanted);
    r.checked = r.taken ? ticked : held && AsciiIEquals(*held, type);
    return r;
}

std::string TickFailureText(std::string_view server, std::string_view type, bool ticked) {
    std::string text = ticked ? "The server type " : "The server type could not be cleared on ";
    if (ticked) (text += type) += " could not be written to ";
    (text += server) += '.';
    return text;
}

}  // namespace vela
