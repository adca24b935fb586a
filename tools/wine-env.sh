# Sourced by the Wine scripts: quiet 32-bit Wine without Mono or Gecko, and
# wine_make_prefix, which makes $WINEPREFIX on first use (the caller holds
# the prefix's lock).
export WINEDEBUG=${WINEDEBUG:--all} WINEARCH=win32 WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

wine_make_prefix() {
    [[ -f $WINEPREFIX/system.reg ]] && return 0
    wineboot --init >/dev/null 2>&1
    wineserver -w
}
