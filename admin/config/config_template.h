// The text of a new framework configuration file.
#pragma once

#include <string>
#include <string_view>

namespace vela {

// The 64 template lines, each ended by CR LF.
extern const std::string_view ConfigTemplate;

// What the New command writes: the template and one more CR LF, so the file ends in an empty line.
[[nodiscard]] std::string NewConfigFileText();

}  // namespace vela
