#include "admin/config/profile_engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "admin/store/test_temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace vela::profile {
namespace {

using namespace std::string_literals;  // "...\0..."s keeps embedded NULs

// Shows control and high bytes, so a failing case says which byte went wrong.
std::string Visible(std::string_view s) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c < 32 || c > 126) out += std::string("\\x") + hex[c >> 4] + hex[c & 15];
        else out += static_cast<char>(c);
    }
    return out;
}

// ---- Reading ------------------------------------------------------------------------------------

struct ReadCase {
    const char* what;
    std::string content, section, key, def;
    std::size_t buffer;
    std::string expected;
};

void CheckReads(const std::vector<ReadCase>& cases) {
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(std::string(c.what) + ": " + Visible(c.content));
        EXPECT_EQ(Visible(GetString(c.content, c.section, c.key, c.def, c.buffer)),
                  Visible(c.expected));
    }
}

TEST(GetString, TrimsValuesAndRemovesOnePairOfQuotes) {
    CheckReads({
        {"blanks around name and value", "[S]\r\n  key = \t value one \v\f\x1a\r\n", "S", "key",
         "", 750, "value one"},
        {"no-break space is no blank", "[S]\r\nk=\xA0v\xA0\r\n", "S", "k", "", 750, "\xA0v\xA0"},
        {"other control bytes stay", "[S]\r\nk=\x1cv\x01\r\n", "S", "k", "", 750, "\x1cv\x01"},
        {"double quotes", "[S]\r\nk=  \" q \"  \r\n", "S", "k", "", 750, " q "},
        {"single quotes", "[S]\r\nk=' q '\r\n", "S", "k", "", 750, " q "},
        {"mismatched quotes stay", "[S]\r\nk='h\"\r\n", "S", "k", "", 750, "'h\""},
        {"a lone quote stays", "[S]\r\nk=\"\r\n", "S", "k", "", 750, "\""},
        {"empty quotes", "[S]\r\nk=\"\"\r\n", "S", "k", "d", 750, ""},
        {"only one pair goes", "[S]\r\nk=''w''\r\n", "S", "k", "", 750, "'w'"},
        {"quotes inside stay", "[S]\r\nk=a\"b\"\r\n", "S", "k", "", 750, "a\"b\""},
        {"'=' inside the value", "[S]\r\nk=a=b=c\r\n", "S", "k", "", 750, "a=b=c"},
        {"empty value is found", "[S]\r\nk=  \r\n", "S", "k", "dflt", 750, ""},
    });
}

TEST(GetString, MatchesNamesIgnoringAsciiCaseOnly) {
    CheckReads({
        {"section and key case", "[Main]\r\nKey=1\r\n", "MAIN", "kEY", "", 750, "1"},
        {"high bytes are not folded", "[S]\r\n\xC4=1\r\n", "S", "\xE4", "d", 750, "d"},
        {"high bytes match themselves", "[S\xE4]\r\n\xC4=1\r\n", "s\xE4", "\xC4", "d", 750, "1"},
        {"blank inside a key", "[S]\r\nk ey = 1\r\n", "S", "k ey", "", 750, "1"},
        {"asked names are trimmed", "[S]\r\nk ey=1\r\n", " S\t", " k ey ", "", 750, "1"},
        {"inner blanks must match", "[S]\r\nk ey=1\r\n", "S", "k  ey", "d", 750, "d"},
        {"padded header", "  [ T ]  \r\nt=1\r\n", "T", "t", "", 750, "1"},
        {"text after the header", "[V] ; note\r\nv=3\r\n", "V", "v", "", 750, "3"},
        {"the last ']' closes", "[W]x]\r\nw=4\r\n", "W]x", "w", "", 750, "4"},
        {"not the first ']'", "[W]x]\r\nw=4\r\n", "W", "w", "d", 750, "d"},
        {"comment lines are entries", "[S]\r\n;c=1\r\n", "S", ";c", "", 750, "1"},
        {"names cut at NUL", "[S]\r\nk=1\r\n", "S\0x"s, "k\0junk"s, "", 750, "1"},
    });
}

TEST(GetString, FindsOnlyTheFirstSectionAndKey) {
    CheckReads({
        {"first of two keys", "[S]\r\na=1\r\na=2\r\n", "S", "A", "", 750, "1"},
        {"repeated section is ignored", "[S]\r\na=1\r\n[T]\r\n[s]\r\nb=2\r\n", "S", "b", "d", 750,
         "d"},
        {"search ends at the next header", "[S]\r\n[T]\r\na=1\r\n", "S", "a", "d", 750, "d"},
        {"lines before any header", "a=1\r\n[S]\r\n", "S", "a", "d", 750, "d"},
        {"'[' without ']' is an entry", "[S]\r\n[U\r\nu=2\r\n", "S", "u", "", 750, "2"},
        {"... not a section", "[S]\r\n[U\r\nu=2\r\n", "U", "u", "d", 750, "d"},
        {"a line without '=' has no value", "[S]\r\nname3\r\n", "S", "name3", "dflt", 750,
         "dflt"},
        {"... and hides a later entry", "[S]\r\nname3\r\nname3=1\r\n", "S", "name3", "d", 750,
         "d"},
        {"missing key", "[S]\r\na=1\r\n", "S", "b", "d", 750, "d"},
        {"missing section", "[S]\r\na=1\r\n", "T", "a", "d", 750, "d"},
        {"empty file", "", "S", "a", "d", 750, "d"},
        {"empty key", "[S]\r\n=1\r\n", "S", "", "d", 750, "d"},
        {"empty section", "[]\r\na=1\r\n", "", "a", "d", 750, "d"},
        {"'[]' ends the section above", "[A]\r\na=1\r\n[]\r\nb=2\r\n", "A", "b", "d", 750, "d"},
    });
}

TEST(GetString, SplitsLinesAtCrLfLfAndCr) {
    CheckReads({
        {"LF only", "[S]\na=1\nb=2\n", "S", "b", "", 750, "2"},
        {"CR only", "[S]\ra=1\rb=2\r", "S", "b", "", 750, "2"},
        {"mixed, no final break", "[S]\r\na=1\rb=2\nc=3", "S", "c", "", 750, "3"},
        {"CR CR LF", "[S]\r\r\na=1\r\r\n", "S", "a", "", 750, "1"},
    });
}

TEST(GetString, CutsToTheBufferAndTrimsTheDefault) {
    const std::string x800(800, 'x');
    const std::string y749(749, 'y');
    CheckReads({
        {"800 characters", "[S]\r\nk=" + x800 + "\r\n", "S", "k", "", 750, x800.substr(0, 749)},
        {"fits exactly", "[S]\r\nk=abc\r\n", "S", "k", "", 4, "abc"},
        {"one too many", "[S]\r\nk=abcd\r\n", "S", "k", "", 4, "abc"},
        {"buffer of one", "[S]\r\nk=a\r\n", "S", "k", "", 1, ""},
        {"buffer of none", "[S]\r\nk=a\r\n", "S", "k", "", 0, ""},
        // The documented rule, where Wine gives 748 characters.
        {"quoted, unquoted fits exactly", "[S]\r\nk=\"" + y749 + "\"\r\n", "S", "k", "", 750,
         y749},
        {"quoted, too long", "[S]\r\nk=\"" + x800 + "\"\r\n", "S", "k", "", 750,
         x800.substr(0, 749)},
        {"default's trailing spaces go", "", "S", "k", "de f \t  ", 750, "de f \t"},
        {"default of spaces", "", "S", "k", "   ", 750, ""},
        {"default is cut too", "", "S", "k", "abcdef", 4, "abc"},
        {"default is not unquoted", "", "S", "k", "\"q\"", 750, "\"q\""},
    });
}

// ---- Writing ------------------------------------------------------------------------------------

struct WriteCase {
    const char* what;
    std::string content, section, key, value;
    std::string expected;
};

void CheckWrites(const std::vector<WriteCase>& cases) {
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(std::string(c.what) + ": " + Visible(c.content));
        EXPECT_EQ(Visible(SetString(c.content, c.section, c.key, c.value)), Visible(c.expected));
    }
}

TEST(SetString, ReplacesOnlyTheValueOnItsOwnLine) {
    CheckWrites({
        {"indentation, spelling, blanks and LF stay", "[S]\n  Key1 = old  \n;c\n", "s", "KEY1",
         "new", "[S]\n  Key1 = new\n;c\n"},
        {"empty stored value", "[S]\r\nk=   \r\nz=1\r\n", "S", "K", "v", "[S]\r\nk=v\r\nz=1\r\n"},
        {"same value: no change at all", "[S]\n  a = 1  \n", "S", "A", "1", "[S]\n  a = 1  \n"},
        {"value differing in case is written", "[S]\r\na=x\r\n", "S", "A", "X",
         "[S]\r\na=X\r\n"},
        {"a line without '=' gains one", "[S]\r\n  name3  \r\n", "S", "NAME3", "v",
         "[S]\r\n  name3=v\r\n"},
        {"first of two keys", "[S]\r\na=1\r\na=2\r\n", "S", "A", "X", "[S]\r\na=X\r\na=2\r\n"},
        {"quoted value replaced whole", "[S]\r\nk=\"a b\"\r\n", "S", "k", "c",
         "[S]\r\nk=c\r\n"},
        {"last line without a break", "[S]\r\nk=1", "S", "k", "22", "[S]\r\nk=22"},
        {"CR-only file", "[S]\rk=1\rz=2\r", "S", "k", "3", "[S]\rk=3\rz=2\r"},
        {"backup key in lower case", "[LOCATIONS]\r\ndisable_backup=1\r\n", "LOCATIONS",
         "DISABLE_BACKUP", "0", "[LOCATIONS]\r\ndisable_backup=0\r\n"},
        {"high bytes pass through", "; \x81\x8D\xFF\r\n[S\xE4]\r\n\xC4=\x80\r\n", "S\xE4", "\xC4",
         "\x81\xFF", "; \x81\x8D\xFF\r\n[S\xE4]\r\n\xC4=\x81\xFF\r\n"},
    });
}

TEST(SetString, AddsAMissingKeyAfterTheSectionsLastLine) {
    CheckWrites({
        {"blank separators stay below", "[A]\r\na=1\r\n\r\n\r\n[B]\r\n", "A", "N", "v",
         "[A]\r\na=1\r\nN=v\r\n\r\n\r\n[B]\r\n"},
        {"after a trailing comment", "[A]\r\na=1\r\n; about B\r\n[B]\r\n", "a", "N", "v",
         "[A]\r\na=1\r\n; about B\r\nN=v\r\n[B]\r\n"},
        {"after the header of an empty section", "[A]\r\n\r\n[B]", "A", "N", "v",
         "[A]\r\nN=v\r\n\r\n[B]"},
        {"after a header with text after it", "[A] ; x\r\n[B]\r\n", "A", "N", "v",
         "[A] ; x\r\nN=v\r\n[B]\r\n"},
        {"the header is the unended last line", "[A]", "A", "N", "v", "[A]\r\nN=v\r\n"},
        {"the entry is the unended last line", "[A]\r\na=1", "A", "N", "v",
         "[A]\r\na=1\r\nN=v\r\n"},
        {"LF file: only the new line has CR LF", "[A]\na=1\n\n[B]\nb=2\n", "A", "N", "v",
         "[A]\na=1\nN=v\r\n\n[B]\nb=2\n"},
        {"CR-only file", "[A]\ra=1\r", "A", "N", "v", "[A]\ra=1\rN=v\r\n"},
        {"'[' line counts as the section's", "[A]\r\n[U\r\n\r\n", "A", "N", "v",
         "[A]\r\n[U\r\nN=v\r\n\r\n"},
        {"into the first of two sections", "[S]\r\na=1\r\n[S]\r\nb=4\r\n", "S", "b", "Y",
         "[S]\r\na=1\r\nb=Y\r\n[S]\r\nb=4\r\n"},
        {"'[]' keeps its entries below", "[A]\r\na=1\r\n[]\r\nb=2\r\n", "A", "c", "3",
         "[A]\r\na=1\r\nc=3\r\n[]\r\nb=2\r\n"},
        {"a key further down is not ours", "[S]\r\n[T]\r\nk=1\r\n", "S", "k", "2",
         "[S]\r\nk=2\r\n[T]\r\nk=1\r\n"},
    });
}

TEST(SetString, AddsAMissingSectionAtTheEnd) {
    CheckWrites({
        {"after the last line", "; top\r\n[A]\r\na=1\r\n", "New", "K", "v",
         "; top\r\n[A]\r\na=1\r\n[New]\r\nK=v\r\n"},
        {"after trailing blank lines", "[A]\r\n\r\n", "New", "K", "v",
         "[A]\r\n\r\n[New]\r\nK=v\r\n"},
        {"after an unended last line", "[A]\na=1", "New", "K", "v",
         "[A]\na=1\r\n[New]\r\nK=v\r\n"},
        {"a '[' line is no section", "[U\r\n", "U", "K", "v", "[U\r\n[U]\r\nK=v\r\n"},
        {"empty file", "", "S", "K", "v", "[S]\r\nK=v\r\n"},
        {"empty value", "", "S", "K", "", "[S]\r\nK=\r\n"},
        {"names are trimmed", "", " S ", "\tk ", "v", "[S]\r\nk=v\r\n"},
        {"NULs elsewhere are kept", "Data \0 before\r\n"s, "S", "K", "v",
         "Data \0 before\r\n[S]\r\nK=v\r\n"s},
    });
}

TEST(SetString, DropsLeadingBlanksOfTheValueAndRejectsEmptyNames) {
    CheckWrites({
        {"leading blanks, CR and LF go; trailing stay", "", "S", "K", " \r\n\t v  ",
         "[S]\r\nK=v  \r\n"},
        {"value cut at NUL", "", "S", "K", "v\0w"s, "[S]\r\nK=v\r\n"},
        {"empty section", "[S]\r\n", "", "K", "v", "[S]\r\n"},
        {"blank key", "[S]\r\n", "S", " \t", "v", "[S]\r\n"},
        {"section that is a NUL", "[S]\r\n", "\0x"s, "K", "v", "[S]\r\n"},
    });
}

// Splits into lines that keep their line ends.
std::vector<std::string> Lines(std::string_view s) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < s.size()) {
        std::size_t end = s.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            end = s.size();
        } else {
            end += (s[end] == '\r' && end + 1 < s.size() && s[end + 1] == '\n') ? 2 : 1;
        }
        lines.emplace_back(s.substr(pos, end - pos));
        pos = end;
    }
    return lines;
}

bool HasLineEnd(const std::string& line) {
    return !line.empty() && (line.back() == '\n' || line.back() == '\r');
}

// What a writer may do to a file: change one line's text (keeping its end), or add lines at one
// place, giving the line before them an end if it was the last line and had none.
::testing::AssertionResult TouchesOneSpot(const std::string& before, const std::string& after) {
    const std::vector<std::string> b = Lines(before), a = Lines(after);
    std::size_t head = 0;
    while (head < b.size() && head < a.size() && b[head] == a[head]) ++head;
    std::size_t tail = 0;
    while (tail < b.size() - head && tail < a.size() - head &&
           b[b.size() - 1 - tail] == a[a.size() - 1 - tail])
        ++tail;
    const std::size_t removed = b.size() - head - tail, added = a.size() - head - tail;
    if (removed == 0 && added <= 2) return ::testing::AssertionSuccess();
    if (removed == 1 && added == 1) {
        const std::string& was = b[head];
        const std::string& now = a[head];
        const std::size_t wasEnd = was.find_first_of("\r\n"), nowEnd = now.find_first_of("\r\n");
        if ((wasEnd == std::string::npos ? "" : was.substr(wasEnd)) ==
            (nowEnd == std::string::npos ? "" : now.substr(nowEnd)))
            return ::testing::AssertionSuccess();
    }
    if (removed == 1 && added >= 2 && added <= 3 && head + 1 == b.size() && !HasLineEnd(b[head]) &&
        a[head] == b[head] + "\r\n")
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "lines " << head << ".." << (b.size() - tail)
                                         << " of " << b.size() << " replaced by " << added
                                         << " lines";
}

// Random files built from awkward lines, random writes: each write touches one spot only, and a
// later read finds what was written.
TEST(SetString, RandomWritesTouchOneSpotAndReadBack) {
    const std::vector<std::string> pieces = {
        "[MAIN]", "[main]", " [ Main ] ; c", "[LOCATIONS]", "[Other]", "[Loc", "; comment",
        ";KEY=1", "", "  ", "\t", "KEY=1", "  key = two words  ", "Key=\"quoted\"", "key='x'",
        "key=", "key", "k ey = 1", "a=b=c", "Disable_Backup=1", "M\xFC" "ller=\xE4\xF6", "\x1a",
        "=orphan", "x=" + std::string(800, 'v')};
    const std::vector<std::string> ends = {"\r\n", "\r\n", "\n", "\r"};
    const std::vector<std::string> sections = {"MAIN", "main", "LOCATIONS", "Other", "New"};
    const std::vector<std::string> keys = {"KEY", "key", "k ey", "a", "Disable_Backup", "NEW",
                                           "M\xFC" "ller"};
    const std::vector<std::string> values = {"1", "", "two words  ", "\"q\"", "'single'", "=",
                                             std::string(760, 'w'), "\xA0\xFF"};
    std::mt19937 rng(20240611);
    const auto pick = [&](const auto& v) { return v[rng() % v.size()]; };
    for (int round = 0; round < 400; ++round) {
        std::string content;
        for (int n = static_cast<int>(rng() % 12); n > 0; --n) content += pick(pieces) + pick(ends);
        if (rng() % 4 == 0 && !content.empty()) content.pop_back();  // the last line's end goes
        for (int step = 0; step < 4; ++step) {
            const std::string section = pick(sections), key = pick(keys), value = pick(values);
            SCOPED_TRACE(Visible(content) + " <- [" + section + "] " + key + "=" + Visible(value));
            const std::string after = SetString(content, section, key, value);
            EXPECT_TRUE(TouchesOneSpot(content, after));
            const auto stored = FindValue(after, section, key);
            ASSERT_TRUE(stored.has_value());
            EXPECT_EQ(Visible(*stored), Visible(value.substr(0, value.find_last_not_of(' ') + 1)));
            content = after;
        }
    }
}

// ---- Files --------------------------------------------------------------------------------------

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

bool Exists(const std::string& path) { return std::ifstream(path, std::ios::binary).good(); }

void SetReadOnly(const std::string& path, bool readOnly) {
#ifdef _WIN32
    ::SetFileAttributesA(path.c_str(), readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
#else
    ::chmod(path.c_str(), readOnly ? 0444 : 0644);
#endif
}

std::size_t EntriesIn(const testing::TempFolder& folder) {
    std::error_code error;
    std::size_t n = 0;
    for (std::filesystem::directory_iterator it(folder.Path(), error), end; !error && it != end;
         it.increment(error))
        ++n;
    return n;
}

// The engine reads and writes through the file-system service it is given (whose missing and
// unreadable files, and replace, are tested with the service).
FileSystem& Files() {
    static const std::unique_ptr<FileSystem> fs = MakeFileSystem();
    return *fs;
}

TEST(ProfileFile, ReadsTheBytesAMissingOrUnreadableFileAsEmpty) {
    testing::TempFolder folder;
    const std::string path = folder / "a.ini";
    Put(path, "[S]\r\nk=1\n\0\r\xFF"s);
    EXPECT_EQ(ReadString(Files(), path, "s", "K", "d", 750), "1");
    EXPECT_EQ(ReadString(Files(), folder / "none.ini", "S", "k", "d", 750), "d");
    EXPECT_EQ(ReadString(Files(), folder.Path(), "S", "k", "d", 750), "d") << "a folder is no file";
}

TEST(ProfileFile, StoresThroughATemporaryFileAndLeavesNothingBehind) {
    testing::TempFolder folder;
    const std::string path = folder / "a.ini";
    ASSERT_TRUE(Files().WriteFile(path, "first"));
    ASSERT_TRUE(Files().WriteFile(path, "[S]\r\nk=second\r\n"));
    EXPECT_EQ(Slurp(path), "[S]\r\nk=second\r\n");
    EXPECT_EQ(EntriesIn(folder), 1u) << "the temporary file must be gone";

    EXPECT_FALSE(Files().WriteFile(folder / "no folder/a.ini", "x"));
    EXPECT_FALSE(Exists(folder / "no folder/a.ini"));
    EXPECT_FALSE(Files().WriteFile(folder.Path(), "x")) << "a folder is not replaced";
}

TEST(ProfileFile, FailedWritesKeepTheFileWhole) {
    testing::TempFolder folder;
    const std::string path = folder / "ro.ini";
    const std::string original = "; keep me\r\n[S]\r\nk=1\r\n";
    Put(path, original);
    SetReadOnly(path, true);
    EXPECT_FALSE(Files().WriteFile(path, "lost"));
    EXPECT_FALSE(WriteString(Files(), path, "S", "k", "2"));
    EXPECT_TRUE(WriteString(Files(), path, "S", "k", "1")) << "an unchanged value needs no write";
    SetReadOnly(path, false);
    EXPECT_EQ(Slurp(path), original);
    EXPECT_EQ(EntriesIn(folder), 1u);

    EXPECT_FALSE(WriteString(Files(), folder.Path(), "S", "k", "1")) << "a folder reads as unreadable";
    EXPECT_FALSE(WriteString(Files(), path, "", "k", "1"));
    EXPECT_EQ(Slurp(path), original);
}

TEST(ProfileFile, WritesCreateAndEditFiles) {
    testing::TempFolder folder;
    const std::string path = folder / "new.ini";
    ASSERT_TRUE(WriteString(Files(), path, "S", "K", "1"));
    ASSERT_TRUE(WriteString(Files(), path, "S", "k", "2"));
    ASSERT_TRUE(WriteString(Files(), path, "T", "X", ""));
    EXPECT_EQ(Slurp(path), "[S]\r\nK=2\r\n[T]\r\nX=\r\n");
}

#ifndef _WIN32
TEST(ProfileFile, MapsBackslashesToSlashes) {
    testing::TempFolder folder;
    ASSERT_TRUE(WriteString(Files(), folder.Path() + "\\b.ini", "S", "K", "v"));
    EXPECT_EQ(Slurp(folder.Path() + "/b.ini"), "[S]\r\nK=v\r\n");
    EXPECT_EQ(ReadString(Files(), folder.Path() + "\\b.ini", "S", "K", "", 750), "v");
}

TEST(ProfileFile, KeepsTheModeOfAReplacedFile) {
    testing::TempFolder folder;
    const std::string path = folder / "m.ini";
    Put(path, "[S]\r\n");
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(WriteString(Files(), path, "S", "K", "v"));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}
#endif

}  // namespace
}  // namespace vela::profile
