// Server types and settings files on a real temporary store: natively against the POSIX
// file-system service, under Wine against the Win32 one.  The prompts are scripted.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>

#include "admin/store/server_types.h"
#include "admin/store/settings_files.h"
#include "admin/store/test_temp_folder.h"

namespace vela {
namespace {

using testing::TempFolder;

class ScriptedPrompts : public Prompts {
public:
    std::deque<std::optional<std::string>> answers;  // InputBox: none left means Cancel
    std::deque<bool> yes;                            // YesNo: none left means No
    std::vector<std::string> asked;                  // "title|text"

    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override {
        asked.push_back(title + "|" + prompt + "|" + defaultText);
        if (answers.empty()) return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    bool YesNo(const std::string& question, const std::string& title, Default byDefault) override {
        asked.push_back(title + "|" + question + (byDefault == Default::No ? "|No" : "|Yes"));
        if (yes.empty()) return false;
        const bool a = yes.front();
        yes.pop_front();
        return a;
    }
};

class StoreTest : public ::testing::Test {
protected:
    TempFolder tmp;
    std::unique_ptr<FileSystem> fs = MakeFileSystem();
    ScriptedPrompts prompts;
    ServerTypes types{*fs, prompts};
    SettingsFiles files{*fs, prompts};
    const std::string cfg = tmp.Path();
    const std::string root = cfg + "\\ProfileSettings";

    void Write(const std::string& path, const std::string& bytes) { ASSERT_TRUE(fs->WriteFile(path, bytes)); }
    std::string Read(const std::string& path) { return testing::Bytes(*fs, path).value_or("<missing>"); }
    std::vector<std::string> Sorted(std::vector<std::string> v) {
        std::sort(v.begin(), v.end());
        return v;
    }
};

TEST(IsPlainName, RefusesWhatWouldNameAnotherEntryOrNone) {
    for (const char* ok : {"Web", "(DEFAULT)", "(default)", "  lead", "my.ini.txt", "a b", "CONSOLE", "COM0",
                           "x\xE9y"})
        EXPECT_TRUE(IsPlainName(ok)) << ok;
    for (const char* bad : {"", ".", "..", "a\\b", "a/b", "c:x", "a*", "a?", "a\"b", "<a", "a>", "a|b", "tail ",
                            "tail.", "x.ini ", "CON", "nul", "com1.ini", "LPT9", "a\tb"})
        EXPECT_FALSE(IsPlainName(bad)) << bad;
}

TEST(PlainNameRefusal, SaysWhyANameIsRefused) {
    const struct {
        const char *name, *why;
    } cases[] = {
        {"Web.INI", ""},
        {"", "it is empty"},
        {"..", "it stands for a folder (. or ..)"},
        {"a\tb", "it holds a control character"},
        {"a/b.INI", "it holds /, which no name may hold (\\ / : * ? \" < > |)"},
        {"x.ini ", "it ends in a blank or a dot, which Windows drops"},
        {"com1.ini", "it is the name of a device (COM1)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlainNameRefusal(c.name), c.why) << c.name;
        EXPECT_EQ(IsPlainName(c.name), *c.why == '\0') << c.name;
    }
}

// Device names Windows also finds behind blanks before the dot and in COM and LPT with a
// superscript digit (ANSI bytes B9, B2, B3 in Western code pages; C2 B9.. where ANSI is UTF-8).
TEST(IsPlainName, RefusesDeviceNamesInEveryFormWindowsReads) {
    const struct {
        const char* name;
        bool plain;
    } cases[] = {
        {"NUL .ini", false},         {"con  .ini", false},       {"COM1 .txt", false},
        {"aux .a.b", false},         {"COM\xB9", false},         {"lpt\xB2.ini", false},
        {"Com\xB3 .x", false},       {"LPT\xC2\xB9", false},     {"COM\xC2\xB3.ini", false},
        {"NUL x.ini", true},         {"NULL .ini", true},        {"COM10", true},
        {"COM\xB4", true},           {"COM\xBC", true},          {"COM\xB9\xB9", true},
        {"LPT\xC2\xB4", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::string(c.name)));
        EXPECT_EQ(IsPlainName(c.name), c.plain);
    }
}

TEST_F(StoreTest, TheBoxesListDefaultFirstThenTheTypeFolders) {
    EXPECT_EQ(types.List(cfg), std::vector<std::string>{"(DEFAULT)"});  // no store root
    ASSERT_TRUE(fs->CreateFolder(root));
    for (const char* t : {"Web", "(default)"}) ASSERT_TRUE(fs->CreateFolder(root + "\\" + t));
    Write(root + "\\a.ini", "x");
    const auto listed = types.List(cfg);
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0], "(DEFAULT)");
    EXPECT_EQ(Sorted({listed[1], listed[2]}), (std::vector<std::string>{"(default)", "Web"}));
}

TEST_F(StoreTest, NewServerTypeMakesOnlyPlainNewNames) {
    ASSERT_TRUE(fs->CreateFolder(root));
    ASSERT_TRUE(fs->CreateFolder(root + "\\Old"));
    Write(root + "\\Old\\keep.INI", "k");
    const struct {
        std::optional<std::string> answer;
        bool made;
    } cases[] = {
        {"Web", true},      {"(default)", true}, {std::nullopt, false}, {"   ", false},   {"a\\b", false},
        {"..", false},      {"x.", false},       {"Old", false},        {"CON", false},   {"..\\..\\out", false},
        {"(DEFAULT)", false},  // the store root's own name: a folder so named could be neither picked nor deleted
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.value_or("<Cancel>"));
        prompts.answers = {c.answer};
        EXPECT_EQ(types.New(cfg), c.made);
    }
    EXPECT_EQ(prompts.asked.front(), "New server type|Server type name:|");
    EXPECT_EQ(Sorted(fs->SubFolders(root)), (std::vector<std::string>{"(default)", "Old", "Web"}));
    EXPECT_EQ(Read(root + "\\Old\\keep.INI"), "k");
    EXPECT_TRUE(fs->SubFolders(cfg).size() == 1) << "something was made beside the store";
    // Without a store root nothing is made: only the last level is created.
    TempFolder bare;
    prompts.answers = {"Web"};
    EXPECT_FALSE(types.New(bare.Path()));
    EXPECT_FALSE(fs->FolderExists(bare.Path() + "\\ProfileSettings"));
}

TEST_F(StoreTest, DeleteServerTypeAsksAndRemovesOnlyThePickedFolderOnYes) {
    ASSERT_TRUE(fs->CreateFolder(root));
    ASSERT_TRUE(fs->CreateFolder(root + "\\Web"));
    ASSERT_TRUE(fs->CreateFolder(root + "\\Web\\sub"));
    Write(root + "\\Web\\a.INI", "a");
    Write(root + "\\top.INI", "t");

    for (const char* quiet : {"(DEFAULT)", "", "..", "a\\..\\.."}) {
        prompts.yes = {true};
        EXPECT_FALSE(types.Delete(cfg, quiet)) << quiet;
    }
    EXPECT_TRUE(prompts.asked.empty()) << prompts.asked.front();

    prompts.yes = {false};
    EXPECT_FALSE(types.Delete(cfg, "Web"));
    EXPECT_EQ(prompts.asked, std::vector<std::string>{"Confirm deletion|Are you sure you want to delete Web?|Yes"});
    EXPECT_EQ(Read(root + "\\Web\\a.INI"), "a");

    prompts.yes = {true};
    EXPECT_TRUE(types.Delete(cfg, "Web"));
    EXPECT_FALSE(fs->FolderExists(root + "\\Web"));
    EXPECT_EQ(Read(root + "\\top.INI"), "t");

    // Listed, then deleted outside the program: the question is asked, nothing breaks.
    prompts.yes = {true};
    EXPECT_FALSE(types.Delete(cfg, "Gone"));
    EXPECT_TRUE(fs->FolderExists(root));
}

#ifndef _WIN32
TEST_F(StoreTest, DeletingALinkedTypeRemovesTheLinkNotItsTarget) {
    TempFolder outside;
    Write(outside.Path() + "/precious.INI", "p");
    ASSERT_TRUE(fs->CreateFolder(root));
    std::filesystem::create_directory_symlink(outside.Path(), tmp.Path() + "/ProfileSettings/Link");
    prompts.yes = {true};
    EXPECT_TRUE(types.Delete(cfg, "Link"));
    EXPECT_EQ(Read(outside.Path() + "/precious.INI"), "p");
}
#endif

TEST_F(StoreTest, NewSettingsFileWritesTheTemplateUnderTheCompletedName) {
    ASSERT_EQ(kSettingsFileTemplate.size(), 174u);
    ASSERT_EQ(std::count(kSettingsFileTemplate.begin(), kSettingsFileTemplate.end(), '\n'), 11);
    const std::string folder = tmp.Path();
    const std::string written = std::string(kSettingsFileTemplate) + "\r\n";
    Write(folder + "\\taken.INI", "old content");
    const std::string badName = "No settings file was made: ";
    const struct {
        std::optional<std::string> answer;
        std::optional<std::string> name;
        std::string refusal;  // LastRefusal
    } cases[] = {
        {"web", "web.INI", ""},
        {"Office.ini", "Office.ini", ""},
        {"my.ini.txt", "my.ini.txt", ""},
        {"taken", "taken.INI", ""},
        {"  ", std::nullopt, ""},  // as good as Cancel
        {std::nullopt, std::nullopt, ""},
        {"..\\up", std::nullopt, badName + "\"..\\up.INI\" cannot be a file name: it holds \\, which no name may hold "
                                           "(\\ / : * ? \" < > |)."},
        {"x.ini ", std::nullopt, badName + "\"x.ini \" cannot be a file name: it ends in a blank or a dot, which "
                                           "Windows drops."},
        {"a/b", std::nullopt, badName + "\"a/b.INI\" cannot be a file name: it holds /, which no name may hold "
                                        "(\\ / : * ? \" < > |)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.value_or("<Cancel>"));
        prompts.answers = {c.answer};
        EXPECT_EQ(files.New(folder), c.name);
        EXPECT_EQ(files.LastRefusal(), c.refusal);
        if (c.name) {
            EXPECT_EQ(Read(folder + "\\" + *c.name), written);
        }
    }
    EXPECT_EQ(prompts.asked.front(), "New settings file|File name:|");
    EXPECT_EQ(Sorted(fs->Files(folder, "*")), (std::vector<std::string>{"Office.ini", "my.ini.txt", "taken.INI", "web.INI"}));
}

TEST_F(StoreTest, LoadShowsTheBytesAndAnUnchangedSaveWritesThemBack) {
    const std::string folder = tmp.Path();
    const struct {
        const char* name;
        std::string bytes, shown;
    } cases[] = {
        {"empty.INI", "", ""},
        {"nofinal.INI", "[a]\r\nx=1", "[a]\r\nx=1"},
        {"lf.INI", "[a]\nx=1\n\n", "[a]\r\nx=1\r\n\r\n"},
        {"mixed.INI", "a\rb\r\nc\n", "a\r\nb\r\nc\r\n"},
        {"quoted.INI", "  x = \"a, b\" ,c\r\n\t;\"q\"\r\n", "  x = \"a, b\" ,c\r\n\t;\"q\"\r\n"},
        {"ansi.INI", "M\xFC" "ller\r\n", "M\xFC" "ller\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Write(folder + "\\" + c.name, c.bytes);
        auto loaded = files.Load(folder, c.name);
        ASSERT_TRUE(loaded);
        EXPECT_FALSE(loaded->ReadOnly());
        EXPECT_EQ(loaded->text, c.shown);
        ASSERT_TRUE(files.Save(*loaded, loaded->text));
        EXPECT_EQ(Read(folder + "\\" + c.name), c.bytes) << "an unchanged save changed the file";
        // An edit is written as it stands, CR LF line ends, nothing added.
        ASSERT_TRUE(files.Save(*loaded, c.shown + "new\nline"));
        EXPECT_EQ(Read(folder + "\\" + c.name), c.shown + "new\r\nline");
        EXPECT_TRUE(files.Save(*loaded, loaded->text));
        EXPECT_EQ(Read(folder + "\\" + c.name), c.shown + "new\r\nline");
    }
    EXPECT_FALSE(files.Load(folder, "missing.INI"));
    EXPECT_FALSE(files.Load(folder, "..\\x.INI"));
}

TEST_F(StoreTest, FilesInAnotherEncodingAreShownReadOnlyAndNeverWritten) {
    const std::string folder = tmp.Path();
    const struct {
        const char* name;
        std::string bytes;
        TextEncoding encoding;
        std::u16string shown;  // in the editor, read-only
    } cases[] = {
        {"u16.INI", std::string("\xFF\xFE[\0a\0]\0\r\0\n\0", 12), TextEncoding::Utf16LeBom, u"[a]\r\n"},
        {"u16be.INI", std::string("\xFE\xFF\0[\0a\0]", 8), TextEncoding::Utf16BeBom, u"[a]"},
        {"u16lf.INI", std::string("\xFF\xFE" "a\0\n\0b\0\r\0\0\0\x01", 13),
         TextEncoding::Utf16LeBom, u"a\r\nb\r\n "},
        {"u8.INI", "\xEF\xBB\xBF[a]\r\nx=\xC3\xA9\r\n", TextEncoding::Utf8Bom, u"[a]\r\nx=\u00E9\r\n"},
        {"u8bad.INI", "\xEF\xBB\xBFx\xC3\n", TextEncoding::Utf8Bom, u"x\u00C3\r\n"},
        {"zero.INI", std::string("a\0b\n", 4), TextEncoding::Binary, u"a b\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Write(folder + "\\" + c.name, c.bytes);
        auto loaded = files.Load(folder, c.name);
        ASSERT_TRUE(loaded);
        EXPECT_EQ(loaded->encoding, c.encoding);
        EXPECT_TRUE(loaded->ReadOnly());
        EXPECT_EQ(loaded->bytes, c.bytes);
        EXPECT_EQ(ShownText(*loaded), c.shown);
        EXPECT_FALSE(files.Save(*loaded, "typed over"));
        EXPECT_EQ(Read(folder + "\\" + c.name), c.bytes);
        std::string refusal = "\"";
        refusal += c.name;
        refusal += c.encoding == TextEncoding::Binary ? "\" holds NUL bytes" : "\" is not ANSI text";
        EXPECT_EQ(files.LastRefusal(), refusal + ": it is shown read-only and not saved.");
    }
}

// The platform's read-only mark, set the platform's way ('\\' and '/' both separate there).
void MarkReadOnly(const std::string& path, bool readOnly) {
    std::string native = path;
#ifndef _WIN32
    std::replace(native.begin(), native.end(), '\\', '/');
#endif
    std::filesystem::permissions(native, std::filesystem::perms::owner_write,
                                 readOnly ? std::filesystem::perm_options::remove : std::filesystem::perm_options::add);
}

TEST_F(StoreTest, AFileMarkedReadOnlyIsShownReadOnlyAndASaveSaysWhyItWroteNothing) {
    const std::string folder = tmp.Path(), ro = folder + "\\ro.INI", later = folder + "\\later.INI";
    Write(ro, "[a]\n");
    Write(later, "x");
    MarkReadOnly(ro, true);
    auto loaded = files.Load(folder, "ro.INI");
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(loaded->AnsiText() && loaded->ReadOnly());
    EXPECT_EQ(loaded->text, "[a]\r\n");  // shown as any ANSI file
    EXPECT_FALSE(files.Save(*loaded, "typed"));
    EXPECT_EQ(files.LastRefusal(), "\"ro.INI\" is marked read-only: it is not saved.");
    // Marked after it was loaded: refused all the same, and read-only from then on; unmarked, the
    // first one saves.
    auto second = files.Load(folder, "later.INI");
    ASSERT_TRUE(second);
    EXPECT_FALSE(second->ReadOnly());
    MarkReadOnly(later, true);
    EXPECT_FALSE(files.Save(*second, "typed"));
    EXPECT_TRUE(second->ReadOnly());
    EXPECT_EQ(files.LastRefusal(), "\"later.INI\" is marked read-only: it is not saved.");
    MarkReadOnly(ro, false);
    MarkReadOnly(later, false);
    EXPECT_EQ(Read(ro) + Read(later), "[a]\nx");
    // A save that works leaves no refusal behind.
    EXPECT_TRUE(files.Save(*loaded, "typed"));
    EXPECT_EQ(files.LastRefusal(), "");
}

TEST_F(StoreTest, DeleteSettingsFileAsksFirstAndDeletesOnlyOnYes) {
    const std::string folder = tmp.Path();
    Write(folder + "\\a.INI", "a");
    prompts.yes = {false, true, true};
    EXPECT_FALSE(files.Delete(folder, "a.INI"));
    EXPECT_EQ(Read(folder + "\\a.INI"), "a");
    EXPECT_TRUE(files.Delete(folder, "a.INI"));
    EXPECT_FALSE(fs->FileExists(folder + "\\a.INI"));
    EXPECT_FALSE(files.Delete(folder, ""));  // nothing picked: asked, nothing deleted
    EXPECT_EQ(prompts.asked, std::vector<std::string>(3, "Confirm deletion|Are you sure?|Yes"));
    EXPECT_TRUE(fs->FolderExists(folder));
    EXPECT_EQ(SettingsFiles::PropertiesPath("C:\\s", "a.INI"), "C:\\s\\a.INI");
    EXPECT_EQ(SettingsFiles::PropertiesPath("C:\\s", ""), "C:\\s\\");
}

}  // namespace
}  // namespace vela
