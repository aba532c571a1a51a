#include "admin/config/config_template.h"

#include <gtest/gtest.h>

#include <vector>

namespace vela {
namespace {

// The template split at CR LF; the text after the last CR LF is the last element.
std::vector<std::string> CrLfLines(std::string_view text) {
    std::vector<std::string> lines;
    for (size_t at = 0;;) {
        const size_t end = text.find("\r\n", at);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(at));
            return lines;
        }
        lines.emplace_back(text.substr(at, end - at));
        at = end + 2;
    }
}

TEST(ConfigTemplate, SixtyFourPlainAsciiLinesEachEndedByCrLf) {
    std::vector<std::string> lines = CrLfLines(ConfigTemplate);
    ASSERT_EQ(lines.back(), "") << "the last line must end in CR LF";
    lines.pop_back();
    ASSERT_EQ(lines.size(), 64u);
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE("line " + std::to_string(i + 1) + ": " + lines[i]);
        for (char c : lines[i]) EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << "byte " << int(static_cast<unsigned char>(c));
        if (!lines[i].empty()) {
            EXPECT_NE(lines[i].back(), ' ') << "no trailing blanks";
            EXPECT_NE(lines[i].front(), ' ');
        }
        EXPECT_EQ(lines[i].find(" ="), std::string::npos) << "a rewriting profile writer would close the gap";
        EXPECT_EQ(lines[i].find("= "), std::string::npos);
    }
}

TEST(ConfigTemplate, FixedLinesExactAndCommentsWhereTheyBelong) {
    const std::vector<std::string> lines = CrLfLines(ConfigTemplate);
    ASSERT_GE(lines.size(), 64u);
    auto line = [&](int n) { return lines[static_cast<size_t>(n - 1)]; };

    const std::pair<int, std::string> exact[] = {
        {1, "; >>> VELA_FRAMEWORK CONFIGURATION FILE <<<"},
        {2, "; Like any other INI file, ensure there are no trailing spaces at the end of each setting!"},
        {5, "[MAIN]"},
        {8, "REFRESH_WINDOWS_APPEARANCE=1"},
        {11, "REFRESH_KEYBOARD=1"},
        {12, "REFRESH_MOUSE=1"},
        {15, "ENABLE_PASSWORDS=1"},
        {19, "ENABLE_CERTIFICATES=0"},
        {24, "COMPRESSION=0"},
        {27, "COMPRESSION_PRIORITY=NORMAL"},
        {34, "[LOCATIONS]"},
        {42, "STOREROOT=1"},
        {45, "STOREFOLDER=SETTINGS\\VELA"},
        {51, "[ERRORMESSAGES]"},
        {57, "DISPLAY_FRAMEWORK_ERROR=0"},
        {64, "DISPLAY_PROFLWIZ_ERROR=0"},
    };
    for (const auto& [n, text] : exact) {
        SCOPED_TRACE("line " + std::to_string(n));
        EXPECT_EQ(line(n), text);
    }
    for (int n : {3, 6, 9, 13, 16, 20, 25, 28, 29, 30, 31, 32, 35, 43, 46, 47, 48, 49, 52, 58}) {
        SCOPED_TRACE("line " + std::to_string(n));
        EXPECT_EQ(line(n), "") << "blank";
    }
    // Comment lines, each with a word that ties it to what it explains.
    const std::pair<int, std::string> comments[] = {
        {4, "MAIN"}, {7, "REFRESH_WINDOWS_APPEARANCE"}, {10, "Keyboard"}, {14, "ENABLE_PASSWORDS"},
        {17, "ProfileList"}, {18, "Root certificates"}, {21, "7z"}, {22, "100 MB"},
        {23, "command prompt"}, {26, "COMPRESSION_PRIORITY"}, {33, "LOCATIONS"}, {36, "STOREROOT"},
        {37, "AppSetup"}, {38, "; 1 (AUTO):"}, {39, "; 2:"}, {40, "; 3:"}, {41, "UNC"}, {44, "STOREFOLDER"},
        {50, "ERRORMESSAGES"}, {53, "DISPLAY_FRAMEWORK_ERROR"}, {54, "; 0:"}, {55, "; 1:"}, {56, "; 2:"},
        {59, "DISPLAY_PROFLWIZ_ERROR"}, {60, "; 0:"}, {61, "; 1:"}, {62, "; 2:"}, {63, "; 3:"},
    };
    for (const auto& [n, word] : comments) {
        SCOPED_TRACE("line " + std::to_string(n) + ": " + line(n));
        EXPECT_EQ(line(n).rfind("; ", 0), 0u) << "a comment line";
        EXPECT_NE(line(n).find(word), std::string::npos) << "mentions " << word;
    }
    for (const std::string& l : lines)
        EXPECT_EQ(l.find("DISABLE_BACKUP"), std::string::npos) << "the template has no backup line";
}

TEST(ConfigTemplate, NewFileIsTheTemplateAndOneMoreCrLf) {
    const std::string text = NewConfigFileText();
    ASSERT_EQ(text.size(), ConfigTemplate.size() + 2);
    EXPECT_EQ(std::string_view(text).substr(0, ConfigTemplate.size()), ConfigTemplate);
    EXPECT_EQ(text.substr(text.size() - 5), "0\r\n\r\n");
}

}  // namespace
}  // namespace vela
