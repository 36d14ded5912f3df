#!/usr/bin/env bash
# Smoke tests of the Windows build under Wine against the demo host:
#  1. embed-example.exe receives the logon record and the line it types reaches the host;
#  2. quillon.exe shows its window titled "Quillon", runs a VT100 session whose
#     line-drawing box is drawn as lines (checked on a screenshot), shows a
#     blinking caret of one cell at the cursor in VT100 mode and on the 3270
#     logon panel (checked on screenshots over 3 seconds), and exits with code 0
#     on WM_CLOSE;
#  3. quillon.exe reaches the logon panel through "tls:" to stunnel in front of the
#     demo host, trusting the test CA through CAFile in the quillon.ini of its directory.
#  4. quillon-script.exe, the console program, driven through pipes from another
#     directory: the logon panel, a logon, the main menu through Ascii, Quit, exit code 0;
#  5. quillon.exe as a 3279-4-E shows the demo host's coloured logon panel on the
#     43 x 80 screen (colours checked at their cells on a screenshot).
# Usage: tools/wine-smoke.sh [WINDOWS_BUILD_DIR] [DEMO_HOST]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}
demo_host=${2:-build/tools/demo-host/quillon-demo-host}
source tools/wine-env.sh

out=$(mktemp -d)
host_pid=""
stunnel_pid=""
cleanup() {
  [[ -n "$host_pid" ]] && kill "$host_pid" 2>/dev/null || true
  [[ -n "$stunnel_pid" ]] && kill "$stunnel_pid" 2>/dev/null || true
  wine_env_stop
}
trap cleanup EXIT
wine_env_start "$build"
echo "Wine smoke tests on DISPLAY=$DISPLAY, screenshots in $out"

"$demo_host" --port 0 >"$out/demo-host.log" 2>&1 &
host_pid=$!
for _ in $(seq 50); do grep -q '^listening on' "$out/demo-host.log" && break; sleep 0.1; done
host=$(sed -n 's/^listening on //p' "$out/demo-host.log")
[[ -n "$host" ]] || { echo "the demo host did not start" >&2; exit 1; }

failed=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok:   $1"; else echo "FAIL: $1" >&2; failed=1; fi
}

# 1. The embed example as another program hosting quillon.dll.
(cd "$build" && timeout 60 wine quillon-embed-example.exe "$host" WINEUSER >"$out/embed.log" 2>&1) &
embed_pid=$!
for _ in $(seq 300); do grep -q '^record 2' "$out/embed.log" 2>/dev/null && break; sleep 0.1; done
kill "$embed_pid" 2>/dev/null || true
wineserver -k 2>/dev/null || true
wait "$embed_pid" 2>/dev/null || true
check "embed-example.exe receives the logon record" grep -q '^record 1 .*QUILLON DEMO HOST - LOGON' "$out/embed.log"
check "the line embed-example.exe types reaches the host" grep -q '^record 2 .*USER WINEUSER' "$out/embed.log"

# 2. quillon.exe itself, driven from outside.
drive() { (cd "$build" && wine quillon-driver.exe "$@"); }

# Waits (up to 20 s) until the program has put its caret on cell (COLUMN, ROW):
# caret_at COLUMN ROW.
caret_at() {
  local column=$1 row=$2 width height cx cy
  read -r _ _ width height < <(drive client | tr -d '\r')
  for _ in $(seq 100); do
    read -r cx cy _ _ < <(drive caret 2>/dev/null | tr -d '\r') || true
    [[ "$cx $cy" == "$((width / 81 * column)) $((height / 26 * row))" ]] && return 0
    sleep 0.2
  done
  return 1
}

# The caret as a person sees it: caret_blinks NAME COLUMN ROW. Waits (up to 20 s)
# until the program has put its caret on cell (COLUMN, ROW), then takes the
# client area 12 times, a quarter of a second apart. The pictures must be two,
# alternating at least twice (caret shown, caret hidden), and differ in one solid
# block of one cell, every pixel of it, at that cell. A cell is an 81st of the
# client width and a 26th of its height, as the layout sizes the font.
caret_blinks() {
  local name=$1 column=$2 row=$3 x y width height cw ch i signature previous="" changes=0
  local -A first=()  # each picture seen: its signature -> its first file
  read -r x y width height < <(drive client | tr -d '\r')
  cw=$((width / 81)) ch=$((height / 26))
  caret_at "$column" "$row" || true
  for i in $(seq 12); do
    import -window root -crop "${width}x${height}+${x}+${y}" +repage "$out/caret-$name-$i.png"
    signature=$(identify -format '%#' "$out/caret-$name-$i.png")
    [[ -n "$previous" && "$signature" != "$previous" ]] && changes=$((changes + 1))
    previous=$signature
    [[ -n "${first[$signature]:-}" ]] || first[$signature]=$out/caret-$name-$i.png
    sleep 0.15  # the screenshot itself takes about 0.1 s
  done
  local pictures=("${first[@]}") block="none" pixels=0 expected="${cw}x${ch}+$((column * cw))+$((row * ch))"
  if ((${#pictures[@]} == 2)); then
    block=$(convert "${pictures[@]}" -compose difference -composite -threshold 0 -format '%@' info:)
    pixels=$(compare -metric AE "${pictures[@]}" null: 2>&1 || true)
  fi
  echo "$name: ${#pictures[@]} different pictures, $changes changes; they differ in $block ($pixels pixels)," \
    "the cursor cell is $expected ($((cw * ch)) pixels)"
  ((${#pictures[@]} == 2 && changes >= 2)) && [[ "$block" == "$expected" && "$pixels" == "$((cw * ch))" ]]
}

(cd "$build" && timeout 120 wine quillon.exe >"$out/quillon.log" 2>&1; echo $? >"$out/quillon.exit") &
quillon_pid=$!
title=$(drive wait 60 | tr -d '\r')
check "quillon.exe shows its window titled \"Quillon\"" test "$title" = "Quillon"
check "the X window list has a window named \"Quillon\"" bash -c "xdotool search --name '^Quillon\$' >/dev/null"
check "the host dialog connects to the demo host as a VT100" drive connect "$host" vt100
drive type 'box\r'
read -r x y width height < <(drive client | tr -d '\r')
# Runs of lit pixels in the client area: a line-drawing row such as "lqqqqk"
# joins into one horizontal line many cells long, and the sides "x" on
# consecutive rows into one vertical line; letters never do. The screen is
# taken again until the box is there or 20 seconds have passed.
longest_row=0 longest_column=0
for _ in $(seq 20); do
  sleep 1
  import -window root "$out/vt100-box.png"
  read -r longest_row longest_column < <(convert "$out/vt100-box.png" -crop "${width}x${height}+${x}+${y}" +repage \
    -colorspace Gray -threshold 40% -negate -compress none pbm:- | tools/pbm-runs.awk)
  ((longest_row >= width / 81 * 8 && longest_column >= height / 25 * 2)) && break
done
echo "client ${width}x${height} at ${x},${y}; longest horizontal run $longest_row px, vertical $longest_column px"
check "the VT100 line-drawing box is drawn with horizontal lines" test "$longest_row" -ge $((width / 81 * 8))
check "the VT100 line-drawing box is drawn with vertical lines" test "$longest_column" -ge $((height / 25 * 2))
# The cursor follows the prompt "demo> " below the box: the banner, the command,
# the box and the grid take rows 0 to 16.
check "a blinking caret of one cell stands at the VT100 cursor" caret_blinks vt100 6 17
check "the host dialog connects to the demo host as a 3270" drive connect "$host" 3270
# The logon panel puts the cursor into the user id field, row 7, column 18.
check "a blinking caret of one cell stands at the 3270 cursor" caret_blinks 3270 18 7
drive close
wait "$quillon_pid" || true
check "quillon.exe exits with code 0 on WM_CLOSE" test "$(cat "$out/quillon.exit" 2>/dev/null)" = 0

# 3. TLS: certificates made for the run, stunnel on a free port in front of the
# demo host, quillon.exe run in a directory of its own whose quillon.ini trusts
# the test CA. The caption says the session is encrypted and verified, and the
# caret stands in the logon panel's user id field.
tests/make-test-certs.sh "$out/certs"
stunnel=$(command -v stunnel4 || command -v stunnel)
tls_port=""
for port in $(shuf -i 20000-60999 -n 20); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && continue  # taken
  printf '%s\n' "foreground = yes" "pid =" "output = $out/stunnel.log" "[demo]" "accept = 127.0.0.1:$port" \
    "connect = 127.0.0.1:${host##*:}" "cert = $out/certs/good.pem" "key = $out/certs/good.key" >"$out/stunnel.conf"
  "$stunnel" "$out/stunnel.conf" </dev/null >/dev/null 2>&1 &
  stunnel_pid=$!
  for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && { tls_port=$port; break; }
    kill -0 "$stunnel_pid" 2>/dev/null || break
    sleep 0.1
  done
  [[ -n "$tls_port" ]] && break
  kill "$stunnel_pid" 2>/dev/null || true
  stunnel_pid=""
done
[[ -n "$tls_port" ]] || { echo "stunnel did not start" >&2; exit 1; }
mkdir "$out/tls"
cp "$build/quillon100.fon" "$out/tls/"
printf '[TLS]\r\nCAFile=%s\r\n' "$(winepath -w "$out/certs/ca.pem" | tr -d '\r')" >"$out/tls/quillon.ini"
exe=$(cd "$build" && pwd)/quillon.exe
(cd "$out/tls" && timeout 120 wine "$exe" >"$out/quillon-tls.log" 2>&1; echo $? >"$out/quillon-tls.exit") &
quillon_pid=$!
drive wait 60 >/dev/null || true
tls_host=localhost:$tls_port
check "the host dialog connects to stunnel through tls:" drive connect "tls:$tls_host" 3270
for _ in $(seq 100); do
  title=$(drive wait 1 | tr -d '\r') || true
  [[ "$title" == *"[TLS"* ]] && break
  sleep 0.2
done
check "the caption of the TLS session says it is encrypted and verified" \
  test "$title" = "Quillon  Host:  $tls_host  [TLS]"
check "quillon.exe shows the 3270 logon panel through TLS (caret in the user id field)" caret_at 18 7
drive close || true
wait "$quillon_pid" || true

# 4. quillon-script.exe through pipes, started in a directory of its own: every
# action answered ok, the logon panel and, after a logon, the main menu as data
# lines, and exit code 0 after Quit.
script_smoke() {
  mkdir -p "$out/script"
  printf '%s\n' "Connect($host)" "Wait(InputField)" "Ascii" 'String("wineuser")' "Tab" 'String("secret")' "Enter" \
    "Wait(20, InputField)" "Ascii" "Quit" >"$out/script.in"
  local exe status=0
  exe=$(cd "$build" && pwd)/quillon-script.exe
  (cd "$out/script" && timeout 60 wine "$exe" <"$out/script.in" >"$out/script.raw" 2>"$out/script.err") || status=$?
  tr -d '\r' <"$out/script.raw" >"$out/script.out"
  check "quillon-script.exe exits with code 0 after Quit" test "$status" = 0
  check "quillon-script.exe answers all 10 actions ok" \
    test "$(grep -cx ok "$out/script.out")/$(grep -cx error "$out/script.out")" = "10/0"
  check "quillon-script.exe is connected in 3270 mode on a formatted screen" \
    grep -qE "^U F U C\(127\.0\.0\.1\) I 2 24 80 7 18 0x0 [0-9]+\.[0-9]{3}$" "$out/script.out"
  check "quillon-script.exe's Ascii shows the logon panel" grep -q '^data:  QUILLON DEMO HOST - LOGON' "$out/script.out"
  check "quillon-script.exe's Ascii shows the main menu after the logon" \
    grep -q '^data:  QUILLON DEMO HOST - MAIN MENU .*USER WINEUSER' "$out/script.out"
}
script_smoke

# 5. A 3279-4-E, the model named in the quillon.ini of its own directory: the
# demo host writes its logon panel on the 43 x 80 alternate screen in colour,
# the window divides its client area into 81 x 45 cells, and the screenshot
# shows the default colours at their cells: the title (row 0) yellow, the
# welcome line (row 12) green, the user id label (row 16, columns 3 to 15)
# turquoise, the keys line (row 42) white. The cell is the caret's size, the
# caret one cell at row 16, column 18 (the user id field).
# has_colour R,G,B COLUMN ROW CELLS: the cells hold pixels of exactly that colour.
has_colour() {
  local colour=$1 column=$2 row=$3 cells=$4 x y cx cy cw ch
  read -r x y _ _ < <(drive client | tr -d '\r')
  read -r cx cy cw ch < <(drive caret 2>/dev/null | tr -d '\r') || return 1
  ((cw > 0 && ch > 0 && cx == 18 * cw && cy == 16 * ch)) || return 1
  import -window root -crop "$((cells * cw))x${ch}+$((x + column * cw))+$((y + row * ch))" +repage \
    "$out/model-$row-$column.png"
  convert "$out/model-$row-$column.png" -format %c histogram:info: | grep -q "($colour)"
}
model_smoke() {
  mkdir "$out/model"
  cp "$build/quillon100.fon" "$out/model/"
  printf '[3270]\r\nModel=3279-4-E\r\n' >"$out/model/quillon.ini"
  (cd "$out/model" && timeout 120 wine "$exe" >"$out/quillon-model.log" 2>&1) &
  quillon_pid=$!
  drive wait 60 >/dev/null || true
  check "the host dialog connects to the demo host as a 3279-4-E" drive connect "$host" 3270
  local shown=1
  for _ in $(seq 40); do
    has_colour 64,224,224 3 16 13 && { shown=0; break; }
    sleep 0.5
  done
  echo "3279-4-E logon panel: client $(drive client | tr -d '\r'), caret $(drive caret | tr -d '\r')"
  import -window root "$out/model-screen.png"
  check "the 3279-4-E user id label is turquoise" test "$shown" = 0
  check "the 3279-4-E title is yellow" has_colour 255,255,64 0 0 26
  check "the 3279-4-E welcome line is green" has_colour 64,224,64 1 12 40
  check "the 3279-4-E keys line is white" has_colour 255,255,255 0 42 20
  drive close || true
  wait "$quillon_pid" || true
}
model_smoke

if [[ $failed != 0 ]]; then
  echo "Wine smoke tests failed; screenshots and logs are in $out" >&2
  exit 1
fi
echo "Wine smoke tests passed"
