#!/usr/bin/env bash
# The project's Wine environment. Source it with the build folder:
#   . scripts/wine-env.sh BUILD_DIR
# It sets WINEPREFIX to a prefix of the project's own under the build folder
# (created on first use and reused after), WINEDEBUG=-all, WINELOADER and
# WINESERVER, and PELMIX_WINE_BITS: 32 when this host runs 32-bit Windows
# programs, 64 when it runs only 64-bit ones (a host kernel without 32-bit
# process support). Returns non-zero when Wine cannot run here.
# The prefix holds Wine's own fonts in C:\windows\Fonts (pelmix_wine_fonts).

# Wine's own fonts in the prefix's C:\windows\Fonts, as Windows keeps its
# fonts: Marlett draws the window buttons, the bitmap and TrueType faces
# (MS Sans Serif, Tahoma, System) the dialogs. Debian's Wine 8 looks for them
# at "<data dir>\../fonts", a path its file system does not resolve, and
# without them draws Marlett's letters ("0 2 r") in a substitute face.
pelmix_wine_fonts() {
    [ -f "$WINEPREFIX/.pelmix-fonts" ] && return 0
    local dir found=
    for dir in "$(dirname "$WINELOADER")/../../share/wine/fonts" /usr/share/wine/fonts /usr/local/share/wine/fonts; do
        [ -f "$dir/marlett.ttf" ] && { found=$dir; break; }
    done
    if [ -z "$found" ]; then
        echo "wine-env: Wine's fonts (marlett.ttf) are not installed: window buttons will show letters" >&2
        return 0
    fi
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts" &&
        cp -n "$found"/*.ttf "$found"/*.fon "$WINEPREFIX/drive_c/windows/Fonts/" &&
        touch "$WINEPREFIX/.pelmix-fonts"
}

pelmix_wine_setup() {
    local build=$1
    local wine_dir=/usr/lib/wine
    [ -d "$build" ] || { echo "wine-env: no build folder $build" >&2; return 1; }

    if [ -x "$wine_dir/wine" ] && "$wine_dir/wine" --version >/dev/null 2>&1; then
        PELMIX_WINE_BITS=32
        WINELOADER=$wine_dir/wine
    elif [ -x "$wine_dir/wine64" ] && "$wine_dir/wine64" --version >/dev/null 2>&1; then
        PELMIX_WINE_BITS=64
        WINELOADER=$wine_dir/wine64
    else
        echo "wine-env: Wine is not installed or cannot run here" >&2
        return 1
    fi
    if [ -x "$wine_dir/wineserver64" ] && [ "$PELMIX_WINE_BITS" = 64 ]; then
        WINESERVER=$wine_dir/wineserver64
    elif [ -x "$wine_dir/wineserver" ]; then
        WINESERVER=$wine_dir/wineserver
    else
        WINESERVER=$(command -v wineserver)
    fi

    WINEPREFIX=$(cd "$build" && pwd)/wine-prefix-$PELMIX_WINE_BITS
    WINEDEBUG=-all
    export WINELOADER WINESERVER WINEPREFIX WINEDEBUG PELMIX_WINE_BITS
    if [ "$PELMIX_WINE_BITS" = 64 ]; then
        export WINEARCH=win64
    else
        unset WINEARCH
    fi

    if [ ! -f "$WINEPREFIX/.pelmix-ready" ]; then
        echo "wine-env: creating the Wine prefix $WINEPREFIX (once)" >&2
        mkdir -p "$WINEPREFIX"
        if ! timeout 300 "$WINELOADER" wineboot --init >"$WINEPREFIX/wineboot.log" 2>&1; then
            echo "wine-env: wineboot failed, see $WINEPREFIX/wineboot.log" >&2
            "$WINESERVER" -k >/dev/null 2>&1
            return 1
        fi
        timeout 60 "$WINESERVER" -w >/dev/null 2>&1
        touch "$WINEPREFIX/.pelmix-ready"
    fi
    pelmix_wine_fonts
    return 0
}

pelmix_wine_setup "${1:-build}"
