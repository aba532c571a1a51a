// Found first on vela_admin_core's include path in the Windows tree, so a portable source that
// includes <windows.h> fails to build there, as it would in the native tree.  Win32 calls belong
// in the platform library (a *_win32.cpp file of vela_admin_win32) behind a portable interface.
#error "vela_admin_core is portable: <windows.h> belongs in vela_admin_win32"
