# Sourced by the Wine scripts: one Wine prefix that belongs to the build tree,
# prepared once, with a Chinese locale (ANSI and OEM code page 936) and the
# product's UI face mapped to the installed CJK font.
#
# QM_WINE_LOCALE names another Unix locale (en_US.UTF-8: code page 1252,
# ja_JP.UTF-8: code page 932) for tests that must see another system language;
# each such locale has a prefix of its own beside the default one, made on its
# first use, as Wine fixes a prefix's system locale when it creates it.
ROOT="${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
QM_DEFAULT_LOCALE=zh_CN.UTF-8
QM_LOCALE="${QM_WINE_LOCALE:-$QM_DEFAULT_LOCALE}"
if [ "$QM_LOCALE" = "$QM_DEFAULT_LOCALE" ]; then
    export WINEPREFIX="${WINEPREFIX_OVERRIDE:-$BUILD_DIR/wineprefix}"
else
    export WINEPREFIX="$BUILD_DIR/wineprefix-${QM_LOCALE%%.*}"
fi
# QM_WINE_WOW64=1 runs the 32-bit programs of a win32 build tree in a 64-bit
# prefix of their own, as nearly every user runs them: a 32-bit program on
# 64-bit Windows (WOW64: Program Files (x86), the WOW6432Node registry branch).
QM_WOW64=""
if [ -n "${QM_WINE_WOW64:-}" ] && [ "$(cat "$BUILD_DIR/wine-arch" 2>/dev/null || echo win32)" = win32 ]; then
    QM_WOW64=1
    export WINEPREFIX="$BUILD_DIR/wineprefix-wow64"
fi
# The build tree says which Windows it holds (CMake writes wine-arch): 32-bit
# programs run in a win32 prefix, a 64-bit build of the same sources (made where
# the kernel runs no 32-bit programs, see host-arch.sh) in a win64 prefix with
# Wine's 64-bit loader and server. The wine, wineserver and wineboot commands
# of the scripts and tests then resolve to small shims in the build tree.
QM_WINE_ARCH="$(cat "$BUILD_DIR/wine-arch" 2>/dev/null || echo win32)"
[ -n "$QM_WOW64" ] && QM_WINE_ARCH=win64
export WINEARCH="$QM_WINE_ARCH"
if [ "$QM_WINE_ARCH" = win64 ]; then
    export WINELOADER=/usr/lib/wine/wine64
    export WINESERVER=/usr/lib/wine/wineserver64
    shims="$BUILD_DIR/wine-shims${QM_WOW64:+-wow64}"
    if [ ! -x "$shims/wineboot" ]; then
        mkdir -p "$shims"
        printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$shims/wine"
        printf '#!/bin/sh\nexec /usr/lib/wine/wineserver64 "$@"\n' >"$shims/wineserver"
        printf '#!/bin/sh\nexec /usr/lib/wine/wine64 wineboot "$@"\n' >"$shims/wineboot"
        chmod +x "$shims/wine" "$shims/wineserver" "$shims/wineboot"
    fi
    case ":$PATH:" in *":$shims:"*) ;; *) export PATH="$shims:$PATH" ;; esac
fi
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs in a headless prefix. No menu builder:
# Wine starts one for every shell link a program saves, it outlives that
# program and holds the output pipes it inherited, so a test run waits for it
# until its timeout.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
export LANG="$QM_LOCALE"
export LC_ALL="$QM_LOCALE"

# The marker's name changes whenever the preparation below does, so a prefix
# made by an older version is made again.
QM_PREFIX_MARKER=".quillmoss-ready-2"
wine_prefix_ready() { [ -f "$WINEPREFIX/$QM_PREFIX_MARKER" ]; }

# Wine links the profile's Desktop, Documents, Downloads and the like to the
# Unix user's home folder; links and files the programs put there would land
# outside the build tree. Each becomes a folder of its own inside the prefix.
wine_own_shell_folders() {
    local link
    for link in "$WINEPREFIX"/drive_c/users/*/* "$WINEPREFIX"/drive_c/users/*/AppData/*/*; do
        [ -L "$link" ] || continue
        rm -f "$link" && mkdir -p "$link"
    done
}

wine_prefix_init() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if wine_prefix_ready; then exit 0; fi
        rm -rf "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1
        # Text measures and draws like on a Chinese Windows only when the face
        # the skin asks for resolves to a real CJK font.
        for key in 'HKCU\Software\Wine\Fonts\Replacements' \
                   'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'; do
            wine reg add "$key" /v "微软雅黑" /t REG_SZ /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
            wine reg add "$key" /v "Microsoft YaHei" /t REG_SZ /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
        done
        # Crash dialogs of Wine's own debugger would wait for a person.
        wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /t REG_SZ /d 1 /f >/dev/null 2>&1
        wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        wineserver -w
        wine_own_shell_folders
        touch "$WINEPREFIX/$QM_PREFIX_MARKER"
    ) 9>"$WINEPREFIX.lock"
}
