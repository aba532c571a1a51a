// EllReg against the real registry of the test's Wine prefix, below HKLM\Software\VelaTests\EllReg
// (wiped before and after each test).  HKLM, because a remote connection offers no HKCU.
#include "admin/store/ell_reg_win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "admin/store/test_temp_folder.h"

namespace vela::ellreg {
namespace {

using namespace std::string_literals;

constexpr char kKey[] = "Software\\VelaTests\\EllReg\\";
constexpr wchar_t kWideKey[] = L"Software\\VelaTests\\EllReg";

std::string Repeat(const std::string& s, int times) {
    std::string out;
    while (times-- > 0) out += s;
    return out;
}

std::wstring OwnName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

class EllReg : public ::testing::Test {
protected:
    void SetUp() override {
        Wipe();
        ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        ::RegCloseKey(key_);
        Wipe();
    }
    static void Wipe() {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kWideKey);
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kWideKey);
    }
    // Stored through the ANSI function, as another program would store it.
    void Store(const char* name, DWORD type, const std::string& data) {
        ASSERT_EQ(::RegSetValueExA(key_, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                   static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }
    HKEY key_ = nullptr;
};

TEST_F(EllReg, ReadsEveryTypeAsItsDisplayText) {
    const struct {
        DWORD type;
        std::string data, text;
    } cases[] = {
        {REG_DWORD, "\x00\x00\x00\x00"s, "000"},
        {REG_DWORD, "\x05\x00\x00\x00"s, "005"},
        {REG_DWORD, "\xE8\x03\x00\x00"s, "1000"},
        {REG_DWORD, "\xFF\xFF\xFF\xFF"s, "4294967295"},
        {REG_BINARY, "\x01\xAB"s, "01AB"},
        {REG_BINARY, std::string(2048, '\x10'), Repeat("10", 2048)},
        {REG_BINARY, std::string(2049, '\x10'), "Not Found"},
        {REG_SZ, "abc\0"s, "abc"},
        {REG_SZ, "abc", "abc"},  // without its terminator the text stays whole
        {REG_SZ, std::string(2047, 'x') + '\0', std::string(2047, 'x')},
        {REG_SZ, std::string(2048, 'x') + '\0', "Not Found"},
        {REG_MULTI_SZ, "a\0b\0\0"s, "a b "},
        {REG_EXPAND_SZ, "%SystemRoot%\\x\0"s, "%SystemRoot%\\x"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string name = std::to_string(n++);
        SCOPED_TRACE(name);
        Store(name.c_str(), c.type, c.data);
        EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, kKey, name, L""), c.text);
    }
}

TEST_F(EllReg, WritesAndReadsLocallyAndThroughTheOwnName) {
    const std::wstring own = OwnName();
    ASSERT_FALSE(own.empty());
    const std::string deep = kKey + "a\\b\\c\\"s;
    for (const std::wstring& machine : {std::wstring(), own}) {
        SCOPED_TRACE(machine.empty() ? "local" : "own name");
        const std::wstring other = machine.empty() ? own : std::wstring();
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (kKey + "a"s).c_str());
        ASSERT_EQ(QueryRegValue(HKEY_LOCAL_MACHINE, deep, "ServerType", L""), std::nullopt);

        EXPECT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, deep, "ServerType", REG_SZ, "Web", machine));  // makes a\b\c
        EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, deep, "ServerType", other), "Web");

        EXPECT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, deep, "ServerType", REG_SZ, "", machine));
        EXPECT_EQ(QueryRegValue(HKEY_LOCAL_MACHINE, deep, "ServerType", machine), "");
        char data[8];
        DWORD type = 0, size = sizeof data;
        EXPECT_EQ(::RegGetValueA(HKEY_LOCAL_MACHINE, deep.c_str(), "ServerType", RRF_RT_ANY, &type, data, &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(size, 1u);  // the lone terminator

        EXPECT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, deep, "Count", REG_DWORD, "-1", machine));
        EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, deep, "Count", other), "4294967295");
        EXPECT_FALSE(WriteRegValue(HKEY_LOCAL_MACHINE, deep, "Count", REG_DWORD, "many", machine));
        EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, deep, "Count", machine), "4294967295");
    }
}

TEST_F(EllReg, EveryFailureReadsNotFoundAndWritesNothing) {
    Store("present", REG_SZ, "x\0"s);
    // Wine connects only to the computer's own name: any other name stands for an unreachable one.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, kKey, "present", L"VELA-NO-SUCH-HOST"), "Not Found");
    const auto spent = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    RecordProperty("unreachable_read_us", static_cast<int>(spent.count()));
    EXPECT_FALSE(WriteRegValue(HKEY_LOCAL_MACHINE, kKey + "new\\"s, "present", REG_SZ, "Web", L"VELA-NO-SUCH-HOST"));
    EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, kKey + "new\\"s, "present", L""), "Not Found");  // missing key
    EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, kKey, "absent", L""), "Not Found");
    EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, kKey, "absent", OwnName()), "Not Found");
    EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, kKey, "present", L""), "x");
}

// The handle a fresh key gets: the platform hands out the lowest free slot, so a key left open by
// any call moves it.
HKEY NextKeyHandle() {
    HKEY k = nullptr;
    ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_READ, &k);
    ::RegCloseKey(k);
    return k;
}

TEST_F(EllReg, ClosesEveryKeyItOpensOnEveryPath) {
    Store("present", REG_SZ, "x\0"s);
    Store("long", REG_BINARY, std::string(4000, 'x'));
    const HKEY before = NextKeyHandle();
    for (const std::wstring& machine : {std::wstring(), OwnName(), std::wstring(L"VELA-NO-SUCH-HOST")}) {
        for (const char* value : {"present", "long", "absent"})
            (void)ReadRegValue(HKEY_LOCAL_MACHINE, kKey, value, machine);
        (void)ReadRegValue(HKEY_LOCAL_MACHINE, kKey + "missing\\"s, "present", machine);
        (void)WriteRegValue(HKEY_LOCAL_MACHINE, kKey, "written", REG_SZ, "Web", machine);
        (void)WriteRegValue(HKEY_LOCAL_MACHINE, kKey, "written", REG_DWORD, "not a number", machine);
    }
    EXPECT_EQ(NextKeyHandle(), before);
}

TEST_F(EllReg, TextsOfTheAnsiCodePageSurviveTheWideCalls) {
    if (::GetACP() != 1252) GTEST_SKIP() << "needs code page 1252, has " << ::GetACP();
    const std::string text = "M\xFC" "ller \x80";
    EXPECT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, kKey + "Typ\xE9\\"s, "Valu\xE9", REG_SZ, text, L""));
    char data[32];
    DWORD size = sizeof data;
    EXPECT_EQ(::RegGetValueA(HKEY_LOCAL_MACHINE, (kKey + "Typ\xE9"s).c_str(), "Valu\xE9", RRF_RT_REG_SZ, nullptr, data,
                             &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(data), text);
    EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, kKey + "Typ\xE9"s, "Valu\xE9", OwnName()), text);
}

}  // namespace
}  // namespace vela::ellreg
