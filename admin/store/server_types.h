// Server types: the subfolders of the settings store, with the pseudo type "(DEFAULT)" for the
// store root itself.  The decisions of the two server-type boxes and of the buttons
// "New server type" and "Delete server type"; the pages only read their controls and call here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "admin/common/prompts.h"
#include "admin/store/file_system.h"

namespace vela {

inline constexpr std::string_view kDefaultServerType = "(DEFAULT)";

// Whether `name` can stand as one folder or file name directly in its folder: not empty, no
// byte below 0x20 and none of \ / : * ? " < > |, not "." or "..", not ending in a blank or a
// dot (the platform would silently strip those and name another entry), and not a device name
// (CON, PRN, AUX, NUL, COM1-9, LPT1-9 and COM or LPT with a superscript 1, 2 or 3, with or
// without an extension, blanks before the dot ignored: "NUL .ini"), which would name no folder
// at all.  Such a name cannot resolve outside its folder.
[[nodiscard]] bool IsPlainName(std::string_view name);

// Why IsPlainName refuses `name`, as the end of a sentence for the status bar ("it ends in a
// blank or a dot"); empty when the name is plain.
[[nodiscard]] std::string PlainNameRefusal(std::string_view name);

class ServerTypes {
public:
    ServerTypes(FileSystem& fs, Prompts& prompts) : fs_(fs), prompts_(prompts) {}

    // What both server-type boxes hold after a drop-down: "(DEFAULT)", then the subfolders of the
    // store root below `configFolder` in the file system's listing order.
    [[nodiscard]] std::vector<std::string> List(const std::string& configFolder);

    // "New server type": prompts for a name and creates its folder (one level) in the store root.
    // Cancel, a blank answer, a name that is not plain, "(DEFAULT)" or an existing type create
    // nothing.
    // True when a folder was made.
    bool New(const std::string& configFolder);

    // "Delete server type" for the box's text `picked`: nothing for "(DEFAULT)", an empty text or
    // a name that is not plain; otherwise asks, and on Yes deletes the type's folder with its
    // content.  A type folder that is a link or junction is removed as a link; its target stays.
    // True when the folder is gone.
    bool Delete(const std::string& configFolder, const std::string& picked);

    // The folder of type `name` below `configFolder`.
    [[nodiscard]] static std::string Folder(const std::string& configFolder, std::string_view name);

private:
    FileSystem& fs_;
    Prompts& prompts_;
};

}  // namespace vela
