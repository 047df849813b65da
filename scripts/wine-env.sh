# Sourced by the scripts that run blankmender.exe under Wine: a private
# prefix, a locale, and no Mono or Gecko installers on first start.
#
# Wine takes a process's ANSI code page from its locale. The program must
# behave the same under every one, so the tests pick it with
# BLANKMENDER_CODEPAGE: 932 (Japanese, the default) or 1252 (Western). UTF-8
# as the ANSI code page comes from a manifest in a test copy of the exe, not
# from the locale.
repo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${BLANKMENDER_WINEPREFIX:-$repo_root/build/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
case "${BLANKMENDER_CODEPAGE:-932}" in
  1252) export LANG=en_US.UTF-8 LC_ALL=C.UTF-8 ;;
  *) export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 ;;
esac
WINE="${WINE:-/usr/lib/wine/wine64}"
WINESERVER="${WINESERVER:-/usr/lib/wine/wineserver}"

# Creates the prefix once and keeps a wineserver running, so that programs
# start quickly and no test inherits a lingering server's pipes.
wine_prepare() {
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$WINE" wineboot -i >/dev/null 2>&1 </dev/null || true
  fi
  if [ ! -f "$WINEPREFIX/.blankmender-fonts" ]; then
    # The dialog asks for "ＭＳ ゴシック"; IPAGothic is the Japanese Gothic
    # Debian has. At 96 dpi its hinted underbar falls outside the 12-pixel
    # cell and the preview's underbars vanish; at 104 dpi (13 pixels) they
    # show.
    # BLANKMENDER_LOGPIXELS gives a prefix of its own another dpi.
    "$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /t REG_SZ /d IPAGothic /f \
      >/dev/null 2>&1 </dev/null &&
    "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "${BLANKMENDER_LOGPIXELS:-104}" /f \
      >/dev/null 2>&1 </dev/null &&
    touch "$WINEPREFIX/.blankmender-fonts"
  fi
  # The caption's buttons are glyphs of Marlett. Debian's fonts-wine ships
  # it, but this Wine does not look there: without it the close box is drawn
  # as the letter "r". A font in the prefix's Fonts folder is always found.
  local marlett=/usr/share/wine/fonts/marlett.ttf fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -f "$marlett" ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp "$marlett" "$fonts/"
  fi
  "$WINESERVER" -p >/dev/null 2>&1 </dev/null || true
}
