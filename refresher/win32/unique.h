// Owning wrappers for the handles the refresher opens.  Wrap only what was opened here:
// HKEY_CURRENT_USER stays a plain HKEY.
#pragma once

#include <windows.h>

#include <utility>

namespace vela::refresher::win32 {

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

    T get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != Traits::invalid(); }
    [[nodiscard]] T release() noexcept { return std::exchange(h_, Traits::invalid()); }
    // For out-parameters: closes what is held first.
    T* put() noexcept {
        reset();
        return &h_;
    }
    // Keeps the caller's last-error code across the close.
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

struct KeyTraits {
    static HKEY invalid() noexcept { return nullptr; }
    static void close(HKEY k) noexcept { ::RegCloseKey(k); }
};
struct HandleTraits {
    static HANDLE invalid() noexcept { return nullptr; }
    static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};

using UniqueKey = Unique<HKEY, KeyTraits>;
using UniqueHandle = Unique<HANDLE, HandleTraits>;  // CreateThread, CreateProcess

}  // namespace vela::refresher::win32
