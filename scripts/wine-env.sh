# Environment of every Windows program the project runs under Wine. Sourced after lib.sh.
VELSETUP_WIN_BUILD=${VELSETUP_WIN_BUILD:-$VELSETUP_BUILD/win64}
export WINEPREFIX=$VELSETUP_WIN_BUILD/wineprefix
export WINEARCH=win64
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer may wait for a person when the prefix is created or updated.
export WINEDLLOVERRIDES="mscoree,mshtml="
# ANSI code page 949, so that the Korean texts survive the A functions.
export LANG=ko_KR.UTF-8 LC_ALL=ko_KR.UTF-8
# WinINet takes its proxy from the prefix's settings alone.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy NO_PROXY
