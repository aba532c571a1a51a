// The template is held as one constant so that New writes exactly these bytes; every line is
// plain ASCII, has no trailing blank (the framework's own reader is strict about that) and ends
// in CR LF.  Comment lines start with ';' and never put blanks around an '=': some profile writers
// (Wine's among them) rewrite every line that holds one as "name=value".
#include "admin/config/config_template.h"

namespace vela {
namespace {

constexpr char kTemplate[] =
    "; >>> VELA_FRAMEWORK CONFIGURATION FILE <<<\r\n"
    "; Like any other INI file, ensure there are no trailing spaces at the end of each setting!\r\n"
    "\r\n"
    "; Section MAIN: every feature below is switched on with 1 and off with 0.\r\n"
    "[MAIN]\r\n"
    "\r\n"
    "; REFRESH_WINDOWS_APPEARANCE=1 applies the user's restored Windows appearance settings at logon by starting VelaRefresh.\r\n"
    "REFRESH_WINDOWS_APPEARANCE=1\r\n"
    "\r\n"
    "; Keyboard and mouse settings are applied by the same refresh; these options make them user-specific instead of machine-specific.\r\n"
    "REFRESH_KEYBOARD=1\r\n"
    "REFRESH_MOUSE=1\r\n"
    "\r\n"
    "; ENABLE_PASSWORDS=1 creates the user's key (named by the SID) below HKCU\\Software\\Microsoft\\Protected Storage System Provider\\,"
    " so Windows does not give it System-only permissions.\r\n"
    "ENABLE_PASSWORDS=1\r\n"
    "\r\n"
    "; ENABLE_CERTIFICATES=1 allows limited use of (web) certificates; users need the \"set value\" permission on HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList.\r\n"
    "; The profile is then marked as roaming at logon and as mandatory again at logoff. Root certificates are not supported: distribute them by group policy instead.\r\n"
    "ENABLE_CERTIFICATES=0\r\n"
    "\r\n"
    "; COMPRESSION=1 compresses the OPS files with the 7z command-line tool (registry settings shrink 10 to 15 times, files 5 to 7 times).\r\n"
    "; It pays mainly when files and folders are stored too, or over slow links; below 5-10 MB of settings files per logged-on user on a 100 MB LAN it does not.\r\n"
    "; A policy that prevents access to the command prompt must not also disable script processing, or the compression tool cannot run.\r\n"
    "COMPRESSION=0\r\n"
    "\r\n"
    "; COMPRESSION_PRIORITY is the process priority of the compression tool: LOW, BELOWNORMAL, NORMAL, ABOVENORMAL or HIGH. Above NORMAL is not recommended.\r\n"
    "COMPRESSION_PRIORITY=NORMAL\r\n"
    "\r\n"
    "\r\n"
    "\r\n"
    "\r\n"
    "\r\n"
    "; Section LOCATIONS: where the OPS files are stored.\r\n"
    "[LOCATIONS]\r\n"
    "\r\n"
    "; STOREROOT is the root below which each user's settings files are stored.\r\n"
    "; Timing: a logon script assigned by group policy may run before the Terminal Server home drive is mapped; assign it as a user property or under the Winlogon AppSetup value instead.\r\n"
    "; 1 (AUTO): the user's mapped home drive, %HOMEDRIVE%%HOMEPATH%.\r\n"
    "; 2: the user's home drive as queried from the domain.\r\n"
    "; 3: the user's Terminal Server home drive taken from the directory (Windows Server 2003 with Active Directory only).\r\n"
    "; Otherwise a drive (T:) or a UNC path (\\\\server\\share), without environment variables and without a trailing backslash.\r\n"
    "STOREROOT=1\r\n"
    "\r\n"
    "; STOREFOLDER is appended to STOREROOT: at least one folder; nested folders are allowed (folder1\\folder2).\r\n"
    "STOREFOLDER=SETTINGS\\VELA\r\n"
    "\r\n"
    "\r\n"
    "\r\n"
    "\r\n"
    "; Section ERRORMESSAGES: these options help troubleshooting.\r\n"
    "[ERRORMESSAGES]\r\n"
    "\r\n"
    "; DISPLAY_FRAMEWORK_ERROR shows the framework's own error messages; the Profile Wizard's messages are set by DISPLAY_PROFLWIZ_ERROR below.\r\n"
    "; 0: no error messages.\r\n"
    "; 1: error messages during logon only.\r\n"
    "; 2: error messages during logon and logoff (troubleshooting only: an error at logoff waits for the user's OK).\r\n"
    "DISPLAY_FRAMEWORK_ERROR=0\r\n"
    "\r\n"
    "; DISPLAY_PROFLWIZ_ERROR enables the messages of the Office Profile Wizard (Proflwiz.exe):\r\n"
    "; 0: quiet mode, no progress indicators and no error messages (recommended).\r\n"
    "; 1: error messages; no progress indicators.\r\n"
    "; 2: error messages and progress indicators (slow; troubleshooting only).\r\n"
    "; 3: progress indicators; no error messages (slow).\r\n"
    "DISPLAY_PROFLWIZ_ERROR=0\r\n";

}  // namespace

extern const std::string_view ConfigTemplate{kTemplate, sizeof kTemplate - 1};

std::string NewConfigFileText() {
    std::string text(ConfigTemplate);
    text += "\r\n";
    return text;
}

}  // namespace vela
