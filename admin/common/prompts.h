// The modal questions of the administration program, as the logic sees them: a text prompt with
// OK and Cancel, and a Yes/No question with the question icon.  The window implements them over
// a dialog template and a message box (admin/window/prompts_win32.h); the tests script them.
#pragma once

#include <optional>
#include <string>

namespace vela {

class Prompts {
public:
    enum class Default { Yes, No };

    virtual ~Prompts() = default;
    // Shows `prompt` over an edit that starts with `defaultText`; the text as typed for OK,
    // nullopt for Cancel.
    [[nodiscard]] virtual std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                                              const std::string& defaultText) = 0;
    // True for Yes.  `byDefault` is the button that Enter presses.
    [[nodiscard]] virtual bool YesNo(const std::string& question, const std::string& title, Default byDefault) = 0;
};

}  // namespace vela
