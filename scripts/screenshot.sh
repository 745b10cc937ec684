#!/usr/bin/env bash
# Pictures of the Windows program under Wine for the docs: the main dialog
# (docs/kelditra-dialog.png) and a conversion with its progress window
# (docs/kelditra-progress.png).
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/gui/wine_session.sh

scripts/install-windows-deps.sh
build_windows_program

work=$PWD/build-win/screenshot
scratch=$work/scratch
rm -rf "$scratch"
mkdir -p "$scratch" docs

wine_session_start "$PWD/build-win/gui-test"
trap wine_session_end EXIT
scratch_windows=$(windows_path "$scratch")
wine "$GUI_DRIVER" --fixtures "$scratch_windows"

wine "$GUI_DRIVER" --pose "$(windows_path "$KELDITRA_EXE")" "$scratch_windows" 2>"$work/wine-stderr.log" &
driver=$!
for name in dialog progress; do
  for _ in $(seq 600); do
    [[ -e $scratch/$name.rect ]] && break
    kill -0 "$driver" 2>/dev/null || break
    sleep 0.1
  done
  if [[ ! -e $scratch/$name.rect ]]; then
    echo "the program never showed its $name" >&2
    exit 1
  fi
  import -window root -crop "$(cat "$scratch/$name.rect")" +repage "docs/kelditra-$name.png"
  touch "$scratch/$name.done"
  echo "docs/kelditra-$name.png"
done
wait "$driver"
