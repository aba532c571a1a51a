// Our profile engine against kernel32's GetPrivateProfileStringA / WritePrivateProfileStringA.
//
// Every case starts two copies of one file and applies the same reads and writes to both: one
// copy through kernel32, the other through the engine's file functions.  Reads must give the same
// text.  Writes must leave the same bytes, with one allowance: Wine's writer rewrites the whole
// file in its own layout (it drops blank lines and indentation, trims every line, turns LF into
// CR LF), where Windows keeps every line the write does not touch, as the engine does.  So when
// the bytes differ, both files are put through Wine's layout (a throwaway write to a scratch
// copy) and must then be equal; and the allowance only applies when the file was not in Wine's
// layout already before the write (otherwise Wine touched nothing else and the bytes must match).
//
// The cases: a corpus of awkward files, each with a fixed script and with random operation
// sequences, and seeded random files.  Wine's known departures from the documented behaviour are
// counted and printed, not hidden; inputs that would only measure Wine's own faults are left out
// of the generator, each with its reason where it is left out.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "admin/config/config_template.h"
#include "admin/config/profile_engine.h"
#include "admin/store/test_temp_folder.h"

namespace vela::profile {
namespace {

constexpr unsigned kSeed = 0x1A7E5EED;
constexpr int kRandomFiles = 2500;
constexpr int kRandomScriptsPerCorpusFile = 30;

std::string Visible(std::string_view s, std::size_t limit = 160) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s.substr(0, limit)) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c < 32 || c > 126) out += std::string("\\x") + hex[c >> 4] + hex[c & 15];
        else out += static_cast<char>(c);
    }
    if (s.size() > limit) out += "...(" + std::to_string(s.size()) + " bytes)";
    return out;
}

// Where two texts part, with some context on both sides.
std::string WhereTheyDiffer(const std::string& kernel32, const std::string& engine) {
    std::size_t at = 0;
    while (at < kernel32.size() && at < engine.size() && kernel32[at] == engine[at]) ++at;
    const std::size_t from = at < 60 ? 0 : at - 60;
    return "from byte " + std::to_string(at) + " of " + std::to_string(kernel32.size()) + "/" +
           std::to_string(engine.size()) + "\n  kernel32: ..." +
           Visible(std::string_view(kernel32).substr(std::min(from, kernel32.size())), 160) +
           "\n  engine:   ..." +
           Visible(std::string_view(engine).substr(std::min(from, engine.size())), 160);
}

struct Op {
    bool write = false;
    std::string section, key;
    std::string text;  // the value of a write, the default of a read
    DWORD buffer = 750;
};

struct Case {
    std::string name;
    std::string content;
    std::vector<Op> ops;
};

Op Read(std::string section, std::string key, DWORD buffer = 750, std::string def = "") {
    return Op{false, std::move(section), std::move(key), std::move(def), buffer};
}
Op Write(std::string section, std::string key, std::string value) {
    return Op{true, std::move(section), std::move(key), std::move(value), 0};
}

// ---- The corpus -------------------------------------------------------------------------------

// A file as the New command writes it, comments and blank lines around every entry.
const std::string& NewFile() {
    static const std::string text = NewConfigFileText();
    return text;
}

std::string Replace(std::string_view s, std::string_view from, std::string_view to) {
    std::string out;
    for (std::size_t at = 0;;) {
        const std::size_t hit = s.find(from, at);
        out.append(s.substr(at, hit == std::string_view::npos ? s.npos : hit - at));
        if (hit == std::string_view::npos) return out;
        out.append(to);
        at = hit + from.size();
    }
}

std::vector<std::pair<std::string, std::string>> CorpusFiles() {
    const std::string v749(749, 'a'), v750(750, 'b'), v751(751, 'c'), v800(800, 'd');
    std::string noFinalBreak = NewFile();
    noFinalBreak.resize(noFinalBreak.size() - 4);  // ends in "DISPLAY_PROFLWIZ_ERROR=0"
    std::string withUnknownLines = NewFile();
    withUnknownLines.insert(withUnknownLines.find("STOREROOT="),
                            "  ; indented note\r\nUNKNOWN_ENTRY = kept  \r\n\tSTRAY LINE\r\n");
    return {
        {"new file", NewFile()},
        {"new file, LF only", Replace(NewFile(), "\r\n", "\n")},
        {"new file, CR only", Replace(NewFile(), "\r\n", "\r")},
        {"new file, no final line break", noFinalBreak},
        {"new file with unknown lines", withUnknownLines},
        {"comments and blanks everywhere",
         "\r\n; head\r\n  ; indented comment\r\n\t\r\n[MAIN]\r\n; c1\r\n\r\n  KEY = 1  \r\n"
         "; c2\r\n\r\n\tkey2\t=\t2\t\r\n\r\n; trailing comment of MAIN\r\n\r\n\r\n[LOCATIONS]\r\n"
         "\r\n; only comments here\r\n\r\n"},
        {"mixed case and duplicates",
         "[Main]\r\nKey=1\r\nKEY=2\r\nkey=3\r\n[LOCATIONS]\r\nDisable_Backup=1\r\n[main]\r\n"
         "key=4\r\nOTHER=5\r\n[locations]\r\nDISABLE_BACKUP=0\r\nSTOREROOT=2\r\n"},
        {"blanks around '=' and inside names",
         "[MAIN]\r\n   KEY   =   spaced out   \r\nK EY = inner blank\r\nK  EY=two blanks\r\n"
         "KEY2 =\r\n KEY3= \r\n\tKEY4\t=\tx\t\r\n"},
        {"quoted values",
         "[MAIN]\r\nKEY=\"quoted value\"\r\nKEY2='single'\r\nKEY3=\"unbalanced\r\nKEY4=\"\"\r\n"
         "KEY5=\"\r\nKEY6='mixed\"\r\nKEY7=  \"  padded inside  \"  \r\nKEY8=''twice''\r\n"},
        {"lines without '=', '=' lines and '=' in values",
         "[MAIN]\r\nKEY\r\n  NAME3  \r\n=no name\r\nKEY2=a=b=c\r\nKEY3==\r\n;KEY=commented\r\n"
         "# hash comment\r\n[LOCATIONS]\r\nSTOREROOT\r\n"},
        {"odd headers",
         "  [ MAIN ]  \r\nKEY=1\r\n[LOCATIONS] ; note\r\nSTOREROOT=1\r\n[W]x]\r\nw=4\r\n"
         "[Loc\r\nKEY=inside W]x\r\n[ERRORMESSAGES]junk\r\nDISPLAY_FRAMEWORK_ERROR=2\r\n"},
        {"long lines",
         "[MAIN]\r\nV749=" + v749 + "\r\nV750=" + v750 + "\r\nV751=" + v751 + "\r\nV800=" + v800 +
             "\r\nQ749=\"" + v749 + "\"\r\nQ750=\"" + v750 + "\"\r\nQ748=\"" + v749.substr(1) +
             "\"\r\nBIG=" + std::string(5000, 'e') + "\r\n; " + std::string(3000, 'f') + "\r\n"},
        {"bytes above 127",
         "; \x80\x81\x8D\x8F\x90\x9D\xA0\xFF comment\r\n[MAIN]\r\nM\xFC" "LLER=\xE4\xF6\xFC\xDF\r\n"
         "\xC4KEY=upper umlaut\r\nKEY=\xA0nbsp\xA0\r\n[\xC4\xD6\xDC]\r\nKEY=in high section\r\n"},
        {"ends with ^Z", "[MAIN]\r\nKEY=1\x1a\r\n\x1a"},
        {"entries before the first section", "KEY=top\r\nSTOREROOT=0\r\n[MAIN]\r\nOTHER=1\r\n"},
        {"empty file", ""},
        {"only blank lines", "\r\n\r\n  \r\n\t\r\n"},
        {"only comments, no final break", "; one\r\n; two"},
        {"mixed line ends", "[MAIN]\nKEY=1\r\nKEY2=2\rKEY3=3\n\n[LOCATIONS]\r\r\nSTOREROOT=1"},
    };
}

// Reads and writes that touch every kind of line in the corpus.
std::vector<Op> CorpusScript() {
    std::vector<Op> ops;
    const std::vector<std::string> sections = {"MAIN", "LOCATIONS", "W]x", "\xC4\xD6\xDC",
                                               "Missing"};
    const std::vector<std::string> keys = {
        "KEY",  "key",  "KEY2", "KEY3", "KEY4", "KEY5", "KEY6", "KEY7", "KEY8", "K EY", "NAME3",
        "V749", "V750", "V751", "V800", "Q748", "Q749", "Q750", "BIG",  "M\xFC" "LLER",
        "\xC4KEY", "\xE4KEY", "STOREROOT", "Disable_Backup", "REFRESH_MOUSE", "w", ";KEY",
        "DISPLAY_FRAMEWORK_ERROR", "OTHER"};
    for (const auto& s : sections)
        for (const auto& k : keys) ops.push_back(Read(s, k));
    for (const DWORD buffer : {0u, 1u, 2u, 5u, 749u, 751u}) ops.push_back(Read("MAIN", "V750", buffer));
    ops.push_back(Read("MAIN", "missing", 750, "two words  "));
    ops.push_back(Write("LOCATIONS", "DISABLE_BACKUP", "1"));
    ops.push_back(Write("MAIN", "KEY", "replaced"));
    ops.push_back(Write("MAIN", "KEY", "replaced"));  // the same value again
    ops.push_back(Write("MAIN", "NAME3", "now with value"));
    ops.push_back(Write("main", "NEWKEY", "added"));
    ops.push_back(Write("ERRORMESSAGES", "DISPLAY_PROFLWIZ_ERROR", "3"));
    ops.push_back(Write("NEWSECTION", "K", "v"));
    ops.push_back(Write("MAIN", "V800", "short now"));
    for (const auto& s : sections)
        for (const auto& k : {"KEY", "NAME3", "NEWKEY", "DISABLE_BACKUP", "V800", "K"})
            ops.push_back(Read(s, k));
    return ops;
}

// ---- Random cases -----------------------------------------------------------------------------

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    // A random file; `inWineLayout` keeps to lines Wine writes back unchanged (CR LF, trimmed, no
    // blank lines), so that writes to it must give the same bytes on both sides.
    std::string File(bool inWineLayout) {
        static const std::vector<std::string> wineLayoutLines = {
            // Not "[]": Wine drops an empty header when it rewrites a file, so the entries below
            // it move into the section above (Windows keeps the header).
            "[MAIN]", "[main]", "[Main]", "[LOCATIONS]", "[locations]", "[ERRORMESSAGES]",
            "[Other Sec]", "[\xC4\xD6\xDC]", "[MAIN", "KEY=1", "key=2", "KEY=\"quoted value\"",
            "KEY='single'", "KEY=\"unbalanced", "KEY=\"\"", "KEY=", "KEY", "K EY=inner blank",
            "KEY=a=b=c", "DISABLE_BACKUP=1", "disable_backup=0", "STOREROOT=1",
            "STOREFOLDER=SETTINGS\\VELA", "M\xFC" "LLER=\xE4\xF6\xFC", "\xC4KEY=high",
            "=no name", "UNKNOWN_ENTRY=x", "LONG=" + std::string(800, 'x'),
            "LONG=\"" + std::string(749, 'q') + "\"", "LONG=" + std::string(750, 'y'),
            ";KEY=commented", "; plain comment", "# hash comment", "; \x81\x8D\x8F\x90\x9D\xFF"};
        static const std::vector<std::string> otherLines = {
            " [ MAIN ] ", "[MAIN] ; note", "Key = 3", "  key  =  spaced value  ", "  KEY  ",
            "Disable_Backup = 1", "KEY=1\x1a", "", "", " ", "\t", "  \t "};
        std::string content;
        const int count = static_cast<int>(rng_() % 16);
        for (int i = 0; i < count; ++i) {
            if (inWineLayout || rng_() % 3 != 0) content += Pick(wineLayoutLines);
            else content += Pick(otherLines);
            content += inWineLayout ? std::string("\r\n") : LineEnd();
        }
        if (!inWineLayout && !content.empty() && rng_() % 5 == 0)
            while (!content.empty() && (content.back() == '\n' || content.back() == '\r'))
                content.pop_back();
        return content;
    }

    std::vector<Op> Script() {
        // Names a write creates are never padded with blanks: Wine trims them inconsistently
        // (a new section " T " is written "[T ]", a new key " y " as "y "), which only measures
        // Wine.  Reads get padded names, which both sides trim.
        static const std::vector<std::string> sections = {
            "MAIN", "main", "Main", "LOCATIONS", "locations", "ERRORMESSAGES", "Other Sec",
            "other sec", "NEW", "\xC4\xD6\xDC", "\xE4\xF6\xFC"};
        static const std::vector<std::string> keys = {
            "KEY", "key", "Key", "K EY", "DISABLE_BACKUP", "Disable_Backup", "STOREROOT",
            "M\xFC" "LLER", "m\xFC" "ller", "\xC4KEY", "\xE4KEY", "LONG", "NEWKEY",
            "UNKNOWN_ENTRY", ";KEY"};
        static const std::vector<std::string> values = {
            "1", "0", "2", "", "NORMAL", "SETTINGS\\VELA", "\\\\server\\share\\x",
            "value with  inner  blanks", "  leading", "trailing  ", "\"quoted\"", "'q'", "\"",
            "a=b", "\xE4\xF6\xFC\xDF\xA0", "first\r\nsecond", std::string(749, 'v'),
            std::string(800, 'w'), "\"" + std::string(749, 'z') + "\""};
        static const std::vector<std::string> defaults = {"", "", "", "dflt", "two words  "};
        // Not 1: for a quoted value Wine then writes one character before the start of its
        // own buffer.
        static const std::vector<DWORD> buffers = {750, 750, 750, 750, 750, 750, 750,
                                                   0,   2,   3,   5,   16,  749, 751};
        std::vector<Op> ops;
        const int count = 1 + static_cast<int>(rng_() % 6);
        for (int i = 0; i < count; ++i) {
            if (rng_() % 5 < 2) {
                ops.push_back(Write(Pick(sections), Pick(keys), Pick(values)));
            } else {
                std::string section = Pick(sections), key = Pick(keys);
                if (rng_() % 8 == 0) section = " " + section + "\t";
                if (rng_() % 8 == 0) key = "\t" + key + " ";
                ops.push_back(Read(section, key, Pick(buffers), Pick(defaults)));
            }
        }
        return ops;
    }

private:
    template <typename T>
    const T& Pick(const std::vector<T>& v) {
        return v[rng_() % v.size()];
    }
    std::string LineEnd() {
        const unsigned r = rng_() % 10;
        return r < 7 ? "\r\n" : r < 9 ? "\n" : "\r";
    }
    std::mt19937 rng_;
};

// ---- Running ----------------------------------------------------------------------------------

// The engine's file system, which also reads both copies back.
FileSystem& Files() {
    static const std::unique_ptr<FileSystem> fs = MakeFileSystem();
    return *fs;
}

std::string Bytes(const std::string& path) {
    const std::optional<FileContent> f = Files().ReadFile(path);
    return f ? f->bytes : std::string("<unreadable>");
}

void PutBytes(const std::string& path, const std::string& bytes) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    DWORD n = 0;
    const BOOL ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    ::CloseHandle(h);
    ASSERT_TRUE(ok && n == bytes.size()) << path;
}

class Differential {
public:
    void Run(const Case& c) {
        ++cases_;
        // Fresh names for every file: Wine caches profile files by name and time stamp.
        Copy viaKernel32{NewPath(), c.content}, viaEngine{NewPath(), c.content};
        PutBytes(viaKernel32.path, c.content);
        PutBytes(viaEngine.path, c.content);
        for (std::size_t i = 0; i < c.ops.size(); ++i) {
            const Op& op = c.ops[i];
            if (op.write) RunWrite(c, i, op, viaKernel32, viaEngine);
            else RunRead(c, i, op, viaKernel32, viaEngine);
        }
        ::DeleteFileA(viaKernel32.path.c_str());
        ::DeleteFileA(viaEngine.path.c_str());
    }

    void Report(int corpusCases, int randomCases) const {
        std::printf("differential: %d cases (%d corpus, %d random, seed %#x), %d reads, %d writes "
                    "(%d byte for byte, %d after Wine's whole-file rewrite), %d reads where Wine "
                    "cut a quoted value one short, %d differences\n",
                    cases_, corpusCases, randomCases, kSeed, reads_, writes_, writesIdentical_,
                    writesNormalised_, wineQuotedCut_, differences_);
        std::fflush(stdout);
    }
    [[nodiscard]] int Differences() const { return differences_; }

private:
    // One copy of the case's file and its bytes as last loaded; only writes change them.
    struct Copy {
        std::string path;
        std::string bytes;
    };

    std::string NewPath() {
        std::string name = std::to_string(counter_++);
        name.append(".ini");
        return folder_ / name;
    }

    void Fail(const Case& c, std::size_t i, const Op& op, const std::string& what) {
        if (++differences_ > 25) return;  // enough to go on
        ADD_FAILURE() << c.name << ", op " << i << (op.write ? " write [" : " read [")
                      << Visible(op.section) << "] " << Visible(op.key) << " text \""
                      << Visible(op.text) << "\" buffer " << op.buffer << "\n  file was: "
                      << Visible(c.content, 400) << "\n  " << what;
    }

    // The engine reads the bytes its own writes left in its file (loaded back after every
    // write): loading them again for each read would only measure the file system.
    void RunRead(const Case& c, std::size_t i, const Op& op, const Copy& viaKernel32,
                 const Copy& viaEngine) {
        ++reads_;
        std::string buffer(op.buffer + 1, '#');
        const DWORD n = ::GetPrivateProfileStringA(op.section.c_str(), op.key.c_str(),
                                                   op.text.c_str(), buffer.data(), op.buffer,
                                                   viaKernel32.path.c_str());
        const std::string kernel32 = buffer.substr(0, n);
        const std::string engine = GetString(viaEngine.bytes, op.section, op.key, op.text, op.buffer);
        if (kernel32 == engine) return;
        // Wine cuts a quoted value to bufferChars - 1 first and then drops the last character
        // for the closing quote, losing a real character when the unquoted value has exactly
        // bufferChars - 1 characters.  The documented rule (quotes discarded, text cut only
        // when it does not fit) is what the engine does.
        const auto raw = FindValue(viaEngine.bytes, op.section, op.key);
        if (raw && raw->size() >= 2 && (raw->front() == '"' || raw->front() == '\'') &&
            raw->back() == raw->front() && raw->size() - 2 == op.buffer - 1 &&
            kernel32 == engine.substr(0, engine.size() - 1)) {
            ++wineQuotedCut_;
            return;
        }
        Fail(c, i, op, "kernel32 read \"" + Visible(kernel32) + "\", engine \"" + Visible(engine) +
                           "\"");
    }

    void RunWrite(const Case& c, std::size_t i, const Op& op, Copy& viaKernel32, Copy& viaEngine) {
        ++writes_;
        const std::string beforeKernel32 = viaKernel32.bytes, beforeEngine = viaEngine.bytes;
        const BOOL kernel32Ok = ::WritePrivateProfileStringA(
            op.section.c_str(), op.key.c_str(), op.text.c_str(), viaKernel32.path.c_str());
        const bool engineOk = WriteString(Files(), viaEngine.path, op.section, op.key, op.text);
        if ((kernel32Ok != FALSE) != engineOk)
            Fail(c, i, op, std::string("kernel32 returned ") + (kernel32Ok ? "TRUE" : "FALSE") +
                               ", engine " + (engineOk ? "true" : "false"));
        const std::string& kernel32 = viaKernel32.bytes = Bytes(viaKernel32.path);
        const std::string& engine = viaEngine.bytes = Bytes(viaEngine.path);
        if (kernel32 == engine) {
            ++writesIdentical_;
            return;
        }
        const std::string wineKernel32 = InWineLayout(kernel32);
        const std::string wineEngine = InWineLayout(engine);
        if (wineKernel32 != wineEngine) {
            Fail(c, i, op, "different even in Wine's layout, " +
                               WhereTheyDiffer(wineKernel32, wineEngine));
            return;
        }
        if (beforeKernel32 == beforeEngine && InWineLayout(beforeEngine) == WithSentinel(beforeEngine)) {
            Fail(c, i, op, "the file was in Wine's layout, so the bytes must match; they differ " +
                               WhereTheyDiffer(kernel32, engine));
            return;
        }
        ++writesNormalised_;
    }

    // What Wine makes of `bytes` when it rewrites them: a copy gets one throwaway entry.  The
    // answers are kept, since a write's "before" is the previous write's "after".
    const std::string& InWineLayout(const std::string& bytes) {
        if (const auto known = wineLayout_.find(bytes); known != wineLayout_.end())
            return known->second;
        if (wineLayout_.size() > 4096) wineLayout_.clear();
        const std::string scratch = NewPath();
        PutBytes(scratch, bytes);
        ::WritePrivateProfileStringA(kSentinelSection, "k", "v", scratch.c_str());
        std::string out = Bytes(scratch);
        ::DeleteFileA(scratch.c_str());
        return wineLayout_.emplace(bytes, std::move(out)).first->second;
    }
    // A file already in Wine's layout gains only the throwaway section at its end.
    static std::string WithSentinel(const std::string& bytes) {
        if (!bytes.empty() && (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0))
            return "<not in Wine's layout: no final CR LF>";
        return bytes + "[" + kSentinelSection + "]\r\nk=v\r\n";
    }

    static constexpr const char* kSentinelSection = "~differential~";
    testing::TempFolder folder_;
    unsigned counter_ = 0;
    std::unordered_map<std::string, std::string> wineLayout_;
    int cases_ = 0, reads_ = 0, writes_ = 0, writesIdentical_ = 0, writesNormalised_ = 0;
    int wineQuotedCut_ = 0, differences_ = 0;
};

TEST(IniDifferential, EngineMatchesKernel32) {
    // The engine works on bytes; kernel32 converts them through the ANSI code page, which keeps
    // every byte only when it is a single-byte one (the test runs pin LANG, giving 1252).
    CPINFO codePage{};
    if (!::GetCPInfo(CP_ACP, &codePage) || codePage.MaxCharSize != 1)
        GTEST_SKIP() << "ANSI code page " << ::GetACP() << " is not single-byte";
    Differential diff;
    Generator generator(kSeed);
    int corpusCases = 0, randomCases = 0;
    for (const auto& [name, content] : CorpusFiles()) {
        diff.Run(Case{"corpus \"" + name + "\", fixed script", content, CorpusScript()});
        ++corpusCases;
        for (int s = 0; s < kRandomScriptsPerCorpusFile; ++s, ++corpusCases)
            diff.Run(Case{"corpus \"" + name + "\", random script " + std::to_string(s), content,
                          generator.Script()});
    }
    for (int i = 0; i < kRandomFiles; ++i, ++randomCases) {
        std::string content = generator.File(i % 2 == 0);
        diff.Run(Case{"random file " + std::to_string(i), content, generator.Script()});
    }
    diff.Report(corpusCases, randomCases);
    EXPECT_EQ(diff.Differences(), 0);
    EXPECT_GE(corpusCases + randomCases, 3000);
}

}  // namespace
}  // namespace vela::profile
