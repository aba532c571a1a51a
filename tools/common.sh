# Shared by tools/test and tools/run: package installation, the two build trees, Wine and Xvfb.
# Source it; it defines functions only (and VELA_ROOT / VELA_BUILD).
#
# What the tools may touch: only what they make themselves, under build/ or in temporary folders
# they created (test directories, package stages).  The environment chooses none of it: a
# WINEPREFIX or VELA_BUILD the caller has set is ignored, so a run never resets the caller's own
# Wine prefix or deletes a folder of theirs.
#
# Failure policy, the same in every script: `set -u` and checked steps.  Each step whose failure
# matters is tested where it runs and ends the script with a message and a non-zero status;
# functions here return non-zero instead of exiting.  Cleanup (stopping Wine, Xvfb, test
# directories) is best effort and never changes the status.  No `set -e`: the test scripts go on
# after a failed test to report the others, and `set -e` would end them at the first.

VELA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VELA_BUILD=$VELA_ROOT/build
VELA_NATIVE=$VELA_BUILD/native
VELA_WINDOWS=$VELA_BUILD/windows

# Every Wine run: no Mono/Gecko prompts on a first boot, no debug chatter, a fixed code page.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=$VELA_WINDOWS/wineprefix

vela_log() { printf '== %s\n' "$*"; }

# The Debian packages both trees, the tests, the run and the installer package need.
# slapd and ldap-utils serve the test directory (tools/test-directory runs its own slapd on a
# loopback port; a system slapd that the package may start on port 389 is neither used nor touched).
# The samba ones serve its second kind, a domain controller of its own (samba-tool and testparm
# come with samba-common-bin, ldbadd with ldb-tools; openssl makes its certificate, iproute2's ss
# names what holds one of its ports); a system Samba is neither used nor touched.  winbind brings
# ntlm_auth, through which Wine's Negotiate bind signs and seals.
VELA_PACKAGES=(cmake make g++ g++-mingw-w64-x86-64 wine wine64 xvfb xauth x11-utils xdotool
               imagemagick googletest fonts-wine wixl msitools slapd ldap-utils libldap-dev perl
               samba samba-ad-dc samba-ad-provision samba-common-bin winbind ldb-tools openssl
               iproute2)

vela_install() {
    local missing=()
    for p in "${VELA_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages: ${missing[*]} (run as root to install them)" >&2
        return 1
    fi
    vela_log "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null
    # With recommends: Wine needs its fonts (fonts-wine) and the X extension libraries it only
    # recommends to lay out and draw dialogs as the tests expect.
    apt-get install -y -qq "${missing[@]}" >/dev/null
}

vela_jobs() { nproc 2>/dev/null || echo 2; }

# Configures and builds one tree; the compiler's output goes to build/<tree>.log and is shown
# only when the build fails.
vela_build_tree() {
    local dir=$1 log=$VELA_BUILD/$(basename "$1")-build.log
    shift
    vela_log "building $dir"
    mkdir -p "$VELA_BUILD"
    if cmake -S "$VELA_ROOT" -B "$dir" "$@" >"$log" 2>&1 &&
       cmake --build "$dir" -j "$(vela_jobs)" >>"$log" 2>&1; then
        return 0
    fi
    tail -n 60 "$log"
    return 1
}

vela_build_native() { vela_build_tree "$VELA_NATIVE" -DCMAKE_BUILD_TYPE=Debug; }

vela_build_windows() {
    vela_build_tree "$VELA_WINDOWS" -DCMAKE_BUILD_TYPE=Release \
        --toolchain "$VELA_ROOT/cmake/mingw-w64-x86_64.cmake"
}

# A new prefix for a test run: nothing an earlier run changed in it (appearance settings,
# registry values, files) can change this run's outcome.
vela_wine_fresh() {
    case $WINEPREFIX in
        "$VELA_BUILD"/*) ;;
        *) echo "refusing to reset $WINEPREFIX: not a prefix of this tree" >&2; return 1 ;;
    esac
    vela_wine_stop
    rm -rf "$WINEPREFIX" || return 1
    vela_wine_boot
}

# Boots the tree's private Wine prefix once, so no test waits on (or races) a first boot.
vela_wine_boot() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        vela_log "booting Wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX" || return 1
        wineboot -i >/dev/null 2>&1
        wineserver -w
        [ -f "$WINEPREFIX/system.reg" ] || { echo "Wine could not boot $WINEPREFIX" >&2; return 1; }
    fi
    wineserver -w
}

vela_wine_stop() { wineserver -k >/dev/null 2>&1 || true; }

# Tells Wine whether a window manager looks after its windows; tools/run and tools/test both
# call it and set nothing else of the kind.  Our private Xvfb runs none, and with windows left
# "managed" Wine waits two seconds for the absent manager each time a captioned window is hidden
# (the program seems to hang); unmanaged windows get the captions Wine draws itself.  On a
# desktop the manager is kept (the setting removed).
# Call after vela_wine_boot and after the display is chosen.
vela_wine_desktop() {
    local key='HKCU\Software\Wine\X11 Driver'
    if [ -n "$VELA_XVFB_PID" ]; then
        # The caption buttons are glyphs of Wine's Marlett font, which the prefix only finds in
        # its own font folder.
        local fonts=$WINEPREFIX/drive_c/windows/Fonts
        [ -f "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null
        wine reg add "$key" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 ||
            { echo "could not set $key Managed=N" >&2; return 1; }
    else
        wine reg delete "$key" /v Managed /f >/dev/null 2>&1
    fi
    wineserver -w
}

# Starts a private Xvfb on a free display and exports DISPLAY; vela_xvfb_stop ends it.
VELA_XVFB_PID=
vela_xvfb_start() {
    local n
    for n in $(seq 91 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        VELA_XVFB_PID=$!
        for _ in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.1
        done
        if kill -0 "$VELA_XVFB_PID" 2>/dev/null; then
            export DISPLAY=":$n"
            return 0
        fi
    done
    echo "could not start Xvfb" >&2
    return 1
}

vela_xvfb_stop() {
    [ -n "$VELA_XVFB_PID" ] && kill "$VELA_XVFB_PID" 2>/dev/null && wait "$VELA_XVFB_PID" 2>/dev/null
    VELA_XVFB_PID=
}
