# Sourced by the Wine tests: finds Wine and Xvfb, makes the Wine prefix in the
# build folder once, and starts a private X server for this test. A machine
# without them skips the test (exit 77) and says why.
# Needs: ICOFMT_WINE_PREFIX (the prefix folder).

wine_skip() {
  echo "SKIPPED: $*" >&2
  exit 77
}

WINE=""
for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
  if [ -n "$candidate" ] && [ -x "$candidate" ]; then
    WINE=$candidate
    break
  fi
done
[ -n "$WINE" ] || wine_skip "Wine is not installed (scripts/setup.sh installs wine64)"
command -v Xvfb >/dev/null || wine_skip "Xvfb is not installed (scripts/setup.sh installs xvfb)"
WINESERVER="$(dirname "$WINE")/wineserver"
[ -x "$WINESERVER" ] || WINESERVER="$(command -v wineserver || true)"

export WINEPREFIX=$ICOFMT_WINE_PREFIX WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$WINEPREFIX")"
# One set-up of the prefix, however many tests start at once. Window frames
# are drawn by Wine itself: Xvfb has no window manager to draw them. Debian's
# Wine does not find the fonts of its fonts-wine package by itself (the forms
# would be drawn in a Linux font); the prefix's font folder gets them.
(
  flock 9
  if [ ! -f "$WINEPREFIX/.icofmt-ready" ]; then
    "$WINE" wineboot -i >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    for font in /usr/share/wine/fonts/*.fon /usr/share/wine/fonts/*.ttf; do
      [ ! -f "$font" ] || cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
    done
    [ -z "$WINESERVER" ] || "$WINESERVER" -w
    touch "$WINEPREFIX/.icofmt-ready"
  fi
) 9>"$WINEPREFIX.lock"

display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  sleep 0.1
done
[ -s "$display_file" ] || wine_skip "Xvfb did not start"
export DISPLAY=":$(head -n1 "$display_file")"
rm -f "$display_file"
# Wine's processes leave before their X server does.
trap '[ -z "$WINESERVER" ] || "$WINESERVER" -w; kill "$xvfb_pid" 2>/dev/null || true' EXIT

# Runs a Windows program; a program that hangs is stopped.
wine_run() {
  timeout 300 "$WINE" "$@"
}
