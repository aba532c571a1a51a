// EllReg against the real registry of the test's Wine prefix, below HKLM\Software\VelaTests\EllReg
// (wiped before and after each test).  HKLM, because a remote connection offers no HKCU.
#include "admin/store/ell_reg_win32.h"

#include <gtest/gtest.h>

namespace vela::ellreg {
namespace {

using namespace std::string_literals;

constexpr char kKey[] = "Software\\VelaTests\\EllReg\\";

std::wstring OwnName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

// The handle a fresh key gets: the platform hands out the lowest free slot, so a key that any call
// left open moves it.
HKEY NextKeyHandle() {
    HKEY k = nullptr;
    ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_READ, &k);
    ::RegCloseKey(k);
    return k;
}

class EllReg : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
        ASSERT_EQ(::RegCreateKeyA(HKEY_LOCAL_MACHINE, kKey, &key_), ERROR_SUCCESS);
    }
    void TearDown() override {
        ::RegCloseKey(key_);
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
    }
    // Stored through the ANSI function, as another program would store it.
    void Store(const std::string& name, DWORD type, const std::string& data) {
        ASSERT_EQ(::RegSetValueExA(key_, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                   static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }
    HKEY key_ = nullptr;
};

TEST_F(EllReg, ReadsEveryTypeAsItsDisplayText) {
    std::string hex;
    for (int i = 0; i < 2048; ++i) hex += "10";
    const struct {
        DWORD type;
        std::string data, text;
    } cases[] = {
        {REG_DWORD, "\0\0\0\0"s, "000"},        {REG_DWORD, "\x05\0\0\0"s, "005"},
        {REG_DWORD, "\xE8\x03\0\0"s, "1000"},   {REG_DWORD, "\xFF\xFF\xFF\xFF"s, "4294967295"},
        {REG_BINARY, "\x01\xAB"s, "01AB"},      {REG_BINARY, std::string(2048, '\x10'), hex},
        {REG_BINARY, std::string(2049, '\x10'), "Not Found"},
        {REG_SZ, "abc\0"s, "abc"},              {REG_SZ, "abc", "abc"},  // no terminator: nothing is lost
        {REG_SZ, std::string(2047, 'x') + '\0', std::string(2047, 'x')},
        {REG_SZ, std::string(2048, 'x') + '\0', "Not Found"},
        {REG_MULTI_SZ, "a\0b\0\0"s, "a b "},    {REG_EXPAND_SZ, "%SystemRoot%\0"s, "%SystemRoot%"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        Store(std::to_string(i), cases[i].type, cases[i].data);
        EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, kKey, std::to_string(i), L""), cases[i].text);
    }
}

TEST_F(EllReg, WritesLocallyAndThroughTheOwnNameCreatingTheWholePath) {
    const std::wstring own = OwnName();
    const std::string deep = kKey + "a\\b\\"s;
    // Texts of the ANSI code page survive the wide calls (1252: u-umlaut, euro sign).
    const std::string text = ::GetACP() == 1252 ? "M\xFCller \x80" : "Web";
    for (const std::wstring& machine : {std::wstring(), own}) {
        const std::wstring other = machine.empty() ? own : std::wstring();
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (kKey + "a"s).c_str());
        EXPECT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, deep, "ServerType", REG_SZ, text, machine));
        EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, deep, "ServerType", other), text);

        EXPECT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, deep, "ServerType", REG_SZ, "", machine));
        DWORD type = 0, size = 8;
        char data[8];
        EXPECT_EQ(::RegGetValueA(HKEY_LOCAL_MACHINE, deep.c_str(), "ServerType", RRF_RT_ANY, &type, data, &size), 0);
        EXPECT_EQ(std::pair(type, size), std::pair(DWORD{REG_SZ}, DWORD{1}));  // a lone terminator
        EXPECT_EQ(QueryRegValue(HKEY_LOCAL_MACHINE, deep, "ServerType", other), "");

        EXPECT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, deep, "Count", REG_DWORD, "-1", machine));
        EXPECT_FALSE(WriteRegValue(HKEY_LOCAL_MACHINE, deep, "Count", REG_DWORD, "many", machine));
        EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, deep, "Count", other), "4294967295");
    }
}

TEST_F(EllReg, FailuresReadNotFoundWriteNothingAndCloseEveryKey) {
    Store("present", REG_SZ, "x\0"s);
    Store("long", REG_BINARY, std::string(4000, 'x'));
    const HKEY before = NextKeyHandle();
    // Wine connects only to the computer's own name: any other name stands for an unreachable one.
    for (const std::wstring& machine : {std::wstring(), OwnName(), std::wstring(L"VELA-NO-SUCH-HOST")}) {
        const bool reachable = machine != L"VELA-NO-SUCH-HOST";
        EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, kKey, "present", machine), reachable ? "x" : "Not Found");
        for (const char* value : {"long", "absent"})
            EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, kKey, value, machine), "Not Found");
        EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, kKey + "missing\\"s, "present", machine), "Not Found");
        // Behind the one text: no connection, no value (or key), and a value that cannot be read.
        const struct {
            std::string key;
            const char* value;
            LookUp outcome;
        } lookUps[] = {{kKey, "present", LookUp::Read}, {kKey, "absent", LookUp::NotThere},
                       {kKey + "missing\\"s, "present", LookUp::NotThere}, {kKey, "long", LookUp::Unreadable}};
        for (const auto& l : lookUps) {
            SCOPED_TRACE(l.key + l.value);
            const LookUpResult r = LookUpRegValue(HKEY_LOCAL_MACHINE, l.key, l.value, machine);
            EXPECT_EQ(static_cast<int>(r.outcome), static_cast<int>(reachable ? l.outcome : LookUp::NoConnection));
            EXPECT_EQ(r.text, r.outcome == LookUp::Read ? "x" : "");
        }
        EXPECT_EQ(WriteRegValue(HKEY_LOCAL_MACHINE, kKey + "new\\"s, "v", REG_SZ, "Web", machine), reachable);
        EXPECT_EQ(QueryRegValue(HKEY_LOCAL_MACHINE, kKey + "new\\"s, "v", L"").has_value(), reachable);
        ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kKey + "new"s).c_str());
    }
    EXPECT_EQ(NextKeyHandle(), before);
}

}  // namespace
}  // namespace vela::ellreg
