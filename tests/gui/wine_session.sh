# Sourced by run_gui_tests.sh and scripts/screenshot.sh: builds the Windows
# program, and runs Wine on a private virtual X display with a Japanese
# locale, so the ANSI code page is 932 as on a Japanese Windows.

build_windows_program() {
  cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build-win -j2 --target kelditra_gui kelditra_gui_tests
  KELDITRA_EXE=$PWD/build-win/gui/Kelditra.exe
  GUI_DRIVER=$PWD/build-win/tests/gui/kelditra_gui_tests.exe
}

# wine_session_start FOLDER: the Wine prefix lives in FOLDER/wine-prefix and
# is kept between runs; its first creation takes a while.
wine_session_start() {
  local folder=$1
  export WINEPREFIX=$folder/wine-prefix WINEARCH=win64 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8

  local display
  for display in $(seq 91 140); do
    [[ -e /tmp/.X$display-lock || -e /tmp/.X11-unix/X$display ]] && continue
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    local tries
    for tries in $(seq 50); do
      [[ -e /tmp/.X11-unix/X$display ]] && break
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$XVFB_PID" 2>/dev/null && [[ -e /tmp/.X11-unix/X$display ]]; then
      export DISPLAY=:$display
      break
    fi
    XVFB_PID=
  done
  if [[ -z ${XVFB_PID:-} ]]; then
    echo "no free X display for Xvfb" >&2
    return 1
  fi

  if [[ ! -e $WINEPREFIX/.kelditra-ready ]]; then
    echo "creating the Wine prefix $WINEPREFIX"
    wineboot --init >/dev/null 2>&1 || true
    # No window manager runs on the virtual display: Wine draws the captions
    # and frames itself.
    local settings=$folder/wine-settings.reg
    printf '%s\r\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' \
      '"Decorated"="N"' '"Managed"="N"' >"$settings"
    wine regedit /S "$(winepath -w "$settings")" >/dev/null 2>&1
    # The caption buttons' glyphs come from Marlett, which Wine ships but does
    # not always find on its own.
    local marlett
    for marlett in /usr/share/wine/fonts/marlett.ttf /usr/lib/wine/fonts/marlett.ttf; do
      if [[ -e $marlett ]]; then
        cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
        break
      fi
    done
    wineserver -w
    touch "$WINEPREFIX/.kelditra-ready"
  fi
}

wine_session_end() {
  # Only this prefix's processes: the ones this script started.
  if [[ -n ${WINEPREFIX:-} ]]; then wineserver -k >/dev/null 2>&1 || true; fi
  if [[ -n ${XVFB_PID:-} ]]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
}

# The Windows form (Z:\...) of a Linux path.
windows_path() { winepath -w "$1" 2>/dev/null; }
