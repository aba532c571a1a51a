// The prompts over the main window: the text prompt is the dialog IDD_PROMPT, the question a
// message box with Yes and No and the question icon.
#pragma once

#include <windows.h>

#include <functional>

#include "admin/common/prompts.h"

namespace vela {

class Win32Prompts final : public Prompts {
public:
    // `owner` names the window the prompts are modal to when they are shown.
    Win32Prompts(HINSTANCE instance, std::function<HWND()> owner)
        : instance_(instance), owner_(std::move(owner)) {}

    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
    bool YesNo(const std::string& question, const std::string& title, Default byDefault) override;

private:
    HINSTANCE instance_;
    std::function<HWND()> owner_;
};

}  // namespace vela
