# Sourced by the Wine scripts: quiet Wine without Mono or Gecko for the
# architecture HEAPWISE_WINE_ARCH names (win32, the default, or win64), its
# loader as wine_loader, its prefix as wine_prefix_name (the callers put it
# under their cache folder), and wine_make_prefix, which makes $WINEPREFIX
# on first use (the caller holds the prefix's lock). A 64-bit prefix is
# started with the 64-bit loader itself: where the 32-bit one is installed,
# Debian's "wine" command picks it even for a 64-bit prefix.
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=${HEAPWISE_WINE_ARCH:-win32}
case $WINEARCH in
win32) wine_loader=wine ;;
win64)
    wine_loader=$(command -v wine64 || echo /usr/lib/wine/wine64)
    export WINELOADER=$wine_loader
    ;;
*) echo "HEAPWISE_WINE_ARCH is win32 or win64, not '$WINEARCH'" >&2; exit 2 ;;
esac
wine_prefix_name=heapwise-wine-$WINEARCH

wine_make_prefix() {
    [[ -f $WINEPREFIX/system.reg ]] && return 0
    "$wine_loader" wineboot --init >/dev/null 2>&1
    wineserver -w
}
