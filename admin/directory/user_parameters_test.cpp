#include "admin/directory/user_parameters.h"

#include <gtest/gtest.h>

namespace vela::directory {
namespace {

using State = TsProfilePath::State;
using Result = TsWrite::Result;

std::string Le16(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

std::string Header(std::uint16_t nameLen, std::uint16_t valueLen, std::uint16_t type) {
    return Le16(std::u16string{static_cast<char16_t>(nameLen), static_cast<char16_t>(valueLen),
                               static_cast<char16_t>(type)});
}

std::string Prop(std::string_view name, std::string_view hex, std::uint16_t type = 1) {
    const std::string n = PropertyName(name);
    return Header(static_cast<std::uint16_t>(n.size()), static_cast<std::uint16_t>(hex.size()), type) + n +
           std::string(hex);
}

// Dial-in data as RAS writes it: 'm', 21 spaces, 'd', U+0001, 24 spaces.
std::string DialInReserved() {
    std::u16string r = u"m" + std::u16string(21, u' ') + u"d\x0001" + std::u16string(24, u' ');
    return Le16(r);
}

std::string Blob(const std::string& reserved, std::uint16_t count, const std::string& props) {
    return reserved + Le16(u"P") + Le16(std::u16string(1, static_cast<char16_t>(count))) + props;
}

TEST(UserParametersWire, CarriesEachCodeUnitAsUtf8) {
    // Known values: the hex pair "55" is U+3535, "00" U+3030, a length of 0xF0 one byte pair.
    EXPECT_EQ(BlobToWire("55"), "\xE3\x94\xB5");
    EXPECT_EQ(BlobToWire("00"), "\xE3\x80\xB0");
    EXPECT_EQ(BlobToWire(std::string("\xF0\x00", 2)), "\xC3\xB0");
    EXPECT_EQ(BlobToWire(std::string(" \0", 2)), " ");
    EXPECT_EQ(WireToBlob("\xE3\x94\xB5"), "55");
    EXPECT_FALSE(WireToBlob("\xE3\x94"));
}

TEST(UserParametersCodec, NewValueCarriesTheDefaultSetInWindowsOrder) {
    const auto w = WriteTsProfilePath(std::nullopt, "\\\\srv\\p", u"\\\\srv\\p");
    ASSERT_EQ(w.result, Result::Written);
    std::u16string reserved = u"CtxCfgPresent" + std::u16string(35, u' ');
    ASSERT_EQ(w.blob.substr(0, 96), Le16(reserved));
    const std::string expectedStart = Le16(u"P") + Le16(u"\x0010") + Prop("CtxCfgPresent", "551e0bb0") +
                                      Prop("CtxWFProfilePath", "5c5c7372765c7000");
    EXPECT_EQ(w.blob.substr(96, expectedStart.size()), expectedStart);
    const auto p = ParseUserParameters(w.blob);
    ASSERT_TRUE(p);
    std::vector<std::string> names;
    for (const auto& prop : p->properties) names.push_back(prop.name);
    const char* order[] = {"CtxCfgPresent", "CtxWFProfilePath", "CtxWFProfilePathW", "CtxWFHomeDir",
                           "CtxWFHomeDirW", "CtxWFHomeDirDrive", "CtxWFHomeDirDriveW", "CtxShadow",
                           "CtxMaxDisconnectionTime", "CtxMaxConnectionTime", "CtxMaxIdleTime",
                           "CtxWorkDirectory", "CtxWorkDirectoryW", "CtxCfgFlags1", "CtxInitialProgram",
                           "CtxInitialProgramW"};
    ASSERT_EQ(names.size(), std::size(order));
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(names[i], PropertyName(order[i])) << order[i];
    EXPECT_EQ(p->properties[1].value, "5c5c7372765c7000");
    EXPECT_EQ(p->properties[2].value, "5c005c007300720076005c0070000000");
    EXPECT_EQ(p->properties[3].value, "00");
    EXPECT_EQ(p->properties[4].value, "0000");
    EXPECT_EQ(p->properties[7].value, "01000000");
    EXPECT_EQ(p->properties[13].value, "00f02090");
    EXPECT_TRUE(p->trailing.empty());
    EXPECT_EQ(ReadTsProfilePath(w.blob).ansi, "\\\\srv\\p");
}

TEST(UserParametersCodec, RewriteKeepsEveryForeignByte) {
    const std::string trailing("\x01\x02\x03\x00", 4);
    const std::string foreign = Prop("CtxCfgFlags1", "00F02090") + Prop("CtxShadow", "01000000") +
                                Prop("CtxFutureThing", "zz-not-hex", 7) + Prop("CtxMinEncryptionLevel", "02");
    const std::string before = Prop("CtxCfgPresent", "551e0bb0") + Prop("CtxWFProfilePath", "6f6c6400");
    const struct {
        const char* what;
        std::string blob;
        bool hasTwin, hadPath;
    } cases[] = {
        {"dial-in reserved, path in the middle, trailing bytes", Blob(DialInReserved(), 6, before + foreign) + trailing, false, true},
        {"twin present", Blob(DialInReserved(), 7, before + Prop("CtxWFProfilePathW", "6f006c0064000000") + foreign), true, true},
        {"no path yet", Blob(Le16(std::u16string(48, u' ')), 5, Prop("CtxCfgPresent", "551e0bb0") + foreign), false, false},
        // The blob's size stays even: no byte of padding joins the trailing 07 on the wire.
        {"odd-sized property, one trailing byte", Blob(DialInReserved(), 3, before + Prop("CtxOdd", "abc")) + "\x07", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto w = WriteTsProfilePath(c.blob, "\\\\fs\\M\xFC" "ller", u"\\\\fs\\M\u00FCller");
        ASSERT_EQ(w.result, Result::Written);
        const auto was = ParseUserParameters(c.blob);
        const auto now = ParseUserParameters(w.blob);
        ASSERT_TRUE(was && now);
        EXPECT_EQ(now->reserved, was->reserved);
        EXPECT_EQ(now->trailing, was->trailing);
        // The foreign properties stay, in their order, byte for byte.
        auto others = [](const UserParameters& p) {
            std::vector<std::string> out;
            for (const auto& prop : p.properties)
                if (prop.name != PropertyName("CtxWFProfilePath") && prop.name != PropertyName("CtxWFProfilePathW"))
                    out.push_back(prop.name + "|" + prop.value + "|" + std::to_string(prop.type));
            return out;
        };
        EXPECT_EQ(others(*now), others(*was));
        const auto read = ReadTsProfilePath(w.blob);
        EXPECT_EQ(read.state, State::Set);
        EXPECT_EQ(read.ansi, "\\\\fs\\M\xFC" "ller");
        EXPECT_EQ(read.wide, u"\\\\fs\\M\u00FCller");  // the twin is written where it was missing
        EXPECT_EQ(WireToBlob(BlobToWire(w.blob)), w.blob);
        // Setting the old path again restores the original bytes exactly.
        if (c.hadPath && c.hasTwin) {
            const auto back = WriteTsProfilePath(w.blob, "old", u"old");
            EXPECT_EQ(back.blob, c.blob);
        }
    }
}

TEST(UserParametersCodec, ReservedDataOnlyGetsATerminalServerPartAfterIt) {
    const auto w = WriteTsProfilePath(DialInReserved(), "x", u"x");
    ASSERT_EQ(w.result, Result::Written);
    EXPECT_EQ(w.blob.substr(0, 96), DialInReserved());
    EXPECT_EQ(ParseUserParameters(w.blob)->properties.size(), 16u);
    EXPECT_EQ(ReadTsProfilePath(DialInReserved()).state, State::NotSet);
    EXPECT_EQ(ReadTsProfilePath(std::nullopt).state, State::NotSet);
    EXPECT_EQ(ReadTsProfilePath(std::string_view{}).state, State::NotSet);
}

TEST(UserParametersCodec, DamagedValuesReadAsNotSetAndAreNeverRewritten) {
    const std::string r = DialInReserved();
    const struct {
        const char* what;
        std::string blob;
    } cases[] = {
        {"shorter than the reserved data", r.substr(0, 50)},
        {"signature cut off", r + Le16(u"P")},
        {"signature not P", r + Le16(u"Q\x0001") + Prop("CtxCfgPresent", "551e0bb0")},
        {"count beyond the properties", Blob(r, 3, Prop("CtxCfgPresent", "551e0bb0"))},
        {"value runs past the end", Blob(r, 1, Prop("CtxCfgPresent", "551e0bb0")).substr(0, 96 + 4 + 6 + 26 + 4)},
        {"path not hex", Blob(r, 1, Prop("CtxWFProfilePath", "5c5g00"))},
        {"path of odd length", Blob(r, 1, Prop("CtxWFProfilePath", "5c5"))},
        {"twin not hex", Blob(r, 2, Prop("CtxWFProfilePath", "6100") + Prop("CtxWFProfilePathW", "zz000000"))},
        {"twin of odd length before a trailing 07", Blob(r, 1, Prop("CtxWFProfilePathW", "610")) + "\x07"},
        {"twin of an odd number of bytes", Blob(r, 1, Prop("CtxWFProfilePathW", "610000"))},
        {"path twice", Blob(r, 2, Prop("CtxWFProfilePath", "6100") + Prop("CtxWFProfilePath", "6200"))},
        {"twin twice", Blob(r, 3, Prop("CtxWFProfilePath", "6100") + Prop("CtxWFProfilePathW", "61000000") +
                                      Prop("CtxWFProfilePathW", "62000000"))},
        {"odd number of bytes", Blob(r, 1, Prop("CtxWFProfilePath", "6100")) + "\x07"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ReadTsProfilePath(c.blob).state, State::Damaged);
        EXPECT_EQ(WriteTsProfilePath(c.blob, "x", u"x").result, Result::Damaged);
    }
}

// Windows writes the plain path and its twin side by side; a value that has one of them gets the
// other next to it, so that readers of either see the path written.
TEST(UserParametersCodec, BothPathPropertiesAreWrittenWhereverOneIsMissing) {
    const std::string present = Prop("CtxCfgPresent", "551e0bb0"), flags = Prop("CtxCfgFlags1", "00f02090");
    const struct {
        const char* what;
        std::string blob;
        std::vector<const char*> order;  // the property names after the write
    } cases[] = {
        {"plain only", Blob(DialInReserved(), 3, present + Prop("CtxWFProfilePath", "6100") + flags),
         {"CtxCfgPresent", "CtxWFProfilePath", "CtxWFProfilePathW", "CtxCfgFlags1"}},
        {"twin only", Blob(DialInReserved(), 3, present + flags + Prop("CtxWFProfilePathW", "61000000")),
         {"CtxCfgPresent", "CtxCfgFlags1", "CtxWFProfilePath", "CtxWFProfilePathW"}},
        {"neither, nor CtxCfgPresent", Blob(DialInReserved(), 1, flags),
         {"CtxCfgPresent", "CtxWFProfilePath", "CtxWFProfilePathW", "CtxCfgFlags1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto w = WriteTsProfilePath(c.blob, "\\\\srv\\\xE9t\xE9", u"\\\\srv\\\u00E9t\u00E9");
        ASSERT_EQ(w.result, Result::Written);
        const auto p = ParseUserParameters(w.blob);
        ASSERT_TRUE(p);
        std::vector<std::string> names, expected;
        for (const auto& prop : p->properties) names.push_back(prop.name);
        for (const char* n : c.order) expected.push_back(PropertyName(n));
        EXPECT_EQ(names, expected);
        const auto read = ReadTsProfilePath(w.blob);
        EXPECT_EQ(read.ansi, "\\\\srv\\\xE9t\xE9");
        EXPECT_EQ(read.wide, u"\\\\srv\\\u00E9t\u00E9");
    }
    // Read before the write: a twin alone is a path set.
    EXPECT_EQ(ReadTsProfilePath(cases[1].blob).wide, u"a");
    EXPECT_EQ(ReadTsProfilePath(cases[1].blob).state, State::Set);
}

// What would read back as another path is never written: no ANSI form (Utf16ToAnsi gave
// nullopt), or a NUL that ends the text early.  A new value is refused alike.
TEST(UserParametersCodec, PathsThatWouldReadBackOtherwiseAreRefused) {
    const std::string withTwin = Blob(DialInReserved(), 2, Prop("CtxWFProfilePath", "6100") + Prop("CtxWFProfilePathW", "61000000"));
    const std::string plainOnly = Blob(DialInReserved(), 1, Prop("CtxWFProfilePath", "6100"));
    const std::optional<std::string> values[] = {std::nullopt, DialInReserved(), plainOnly, withTwin};
    const struct {
        const char* what;
        std::optional<std::string_view> ansi;
        std::u16string_view wide;
    } paths[] = {
        {"no ANSI form", std::nullopt, u"\\\\srv\\\u5C71\u7530"},
        {"NUL in the ANSI form", std::string_view("\\\\srv\0x", 7), std::u16string_view(u"\\\\srv\0x", 7)},
        {"NUL in the path", "\\\\srvx", std::u16string_view(u"\\\\srv\0x", 7)},
    };
    for (const auto& value : values) {
        for (const auto& path : paths) {
            SCOPED_TRACE(std::string(path.what) + (value ? ", value of " + std::to_string(value->size()) : ", no value"));
            const auto w = WriteTsProfilePath(value, path.ansi, path.wide);
            EXPECT_EQ(w.result, Result::Lossy);
            EXPECT_TRUE(w.blob.empty());
        }
    }
}

TEST(UserParametersCodec, PathsOfManyLengthsSurviveTheWire) {
    // Long paths push property lengths past 0x7F and 0x7FF, where UTF-8 widths change.
    for (std::size_t len : {1u, 60u, 200u, 2000u}) {
        SCOPED_TRACE(len);
        std::string ansi(len, 'p');
        ansi[0] = '\xE9';
        std::u16string wide(len, u'p');
        wide[0] = u'\u00E9';
        const auto w = WriteTsProfilePath(std::nullopt, ansi, wide);
        ASSERT_EQ(w.result, Result::Written);
        const auto blob = WireToBlob(BlobToWire(w.blob));
        ASSERT_TRUE(blob);
        EXPECT_EQ(*blob, w.blob);
        const auto read = ReadTsProfilePath(*blob);
        EXPECT_EQ(read.ansi, ansi);
        EXPECT_EQ(read.wide, wide);
    }
    EXPECT_EQ(WriteTsProfilePath(std::nullopt, std::string(20000, 'p'), std::u16string(20000, u'p')).result,
              Result::TooLong);
}

}  // namespace
}  // namespace vela::directory
