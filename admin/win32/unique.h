// Owners for the Win32 handles the administration program opens itself.  Each kind of handle gets
// its own type, because "no handle" differs between them: a process or thread handle is null when
// absent, a file handle INVALID_HANDLE_VALUE.  Wrap only what you opened; predefined keys such as
// HKEY_CURRENT_USER stay plain.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace vela::win32 {

template <typename T, typename Traits>
class Unique {
public:
    Unique() noexcept = default;
    explicit Unique(T h) noexcept : h_(h) {}
    Unique(Unique&& o) noexcept : h_(o.release()) {}
    Unique& operator=(Unique&& o) noexcept {
        reset(o.release());
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    ~Unique() { reset(); }

    [[nodiscard]] T get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != Traits::invalid(); }
    [[nodiscard]] T release() noexcept { return std::exchange(h_, Traits::invalid()); }
    // For out-parameters: closes what is held first.
    T* put() noexcept {
        reset();
        return &h_;
    }
    // Closing keeps GetLastError, so a failure code read after a reset is still the caller's.
    void reset(T h = Traits::invalid()) noexcept {
        if (*this) {
            const DWORD e = ::GetLastError();
            Traits::close(h_);
            ::SetLastError(e);
        }
        h_ = h;
    }

private:
    T h_ = Traits::invalid();
};

struct HandleTraits {  // processes, threads, events: OpenProcess, CreateProcessA, CreateThread
    static HANDLE invalid() noexcept { return nullptr; }
    static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct FileTraits {  // CreateFileA; not FindFirstFileA, whose handle closes with FindClose
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct KeyTraits {
    static HKEY invalid() noexcept { return nullptr; }
    static void close(HKEY k) noexcept { ::RegCloseKey(k); }
};
struct ModuleTraits {
    static HMODULE invalid() noexcept { return nullptr; }
    static void close(HMODULE m) noexcept { ::FreeLibrary(m); }
};
struct FindTraits {  // FindFirstFileA
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { ::FindClose(h); }
};
struct MenuTraits {  // menus the program loads itself (LoadMenuA), not a window's own
    static HMENU invalid() noexcept { return nullptr; }
    static void close(HMENU m) noexcept { ::DestroyMenu(m); }
};
struct ImageListTraits {
    static HIMAGELIST invalid() noexcept { return nullptr; }
    static void close(HIMAGELIST l) noexcept { ::ImageList_Destroy(l); }
};
struct FontTraits {
    static HFONT invalid() noexcept { return nullptr; }
    static void close(HFONT f) noexcept { ::DeleteObject(f); }
};

using UniqueHandle = Unique<HANDLE, HandleTraits>;
using UniqueFile = Unique<HANDLE, FileTraits>;
using UniqueKey = Unique<HKEY, KeyTraits>;
using UniqueModule = Unique<HMODULE, ModuleTraits>;
using UniqueFind = Unique<HANDLE, FindTraits>;
using UniqueMenu = Unique<HMENU, MenuTraits>;
using UniqueImageList = Unique<HIMAGELIST, ImageListTraits>;
using UniqueFont = Unique<HFONT, FontTraits>;

}  // namespace vela::win32
