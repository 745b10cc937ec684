# bash completion for kelditra: the subcommands, each one's options, and the
# files each option or argument takes.
_kelditra() {
  local cur prev command
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD-1]}
  command=convert
  case ${COMP_WORDS[1]} in
    convert | prepare | pitch | preview | report | table | help) command=${COMP_WORDS[1]} ;;
  esac

  case $prev in
    --table) _filedir dat 2>/dev/null || COMPREPLY=($(compgen -f -- "$cur")); return ;;
    -o | --output-dir) _filedir -d 2>/dev/null || COMPREPLY=($(compgen -d -- "$cur")); return ;;
    --simd) COMPREPLY=($(compgen -W "avx512 avx2 sse2 portable" -- "$cur")); return ;;
    --threads | --min-hz | --max-hz | --threshold) return ;;
  esac

  if [[ $command == help ]]; then
    [[ $COMP_CWORD -eq 2 ]] && COMPREPLY=($(compgen -W "convert prepare pitch preview report table" -- "$cur"))
    return
  fi

  local options="--output-dir --json --help"
  case $command in
    convert | report) options+=" --table --reference --threads --simd --quiet" ;;
    preview) options+=" --table" ;;
    pitch) options+=" --min-hz --max-hz --threshold --force --quiet" ;;
    table) options="--force --json --help" ;;
  esac
  if [[ $cur == -* ]]; then
    [[ $COMP_CWORD -eq 1 ]] && options+=" --version"
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi
  if [[ $COMP_CWORD -eq 1 ]]; then
    COMPREPLY=($(compgen -W "convert prepare pitch preview report table help" -- "$cur"))
  fi
  local IFS=$'\n'
  if [[ $command == table ]]; then
    _filedir dat 2>/dev/null || COMPREPLY=($(compgen -f -- "$cur"))
    return
  fi
  if [[ $command == prepare ]]; then
    # Any recording: every file.
    COMPREPLY+=($(compgen -f -- "$cur"))
    compopt -o filenames 2>/dev/null
    return
  fi
  # WAV files (not the previews) and folders to reach them.
  COMPREPLY+=($(compgen -f -X '!*.[wW][aA][vV]' -- "$cur" | grep -v -i '\.preview\.wav$'))
  COMPREPLY+=($(compgen -d -- "$cur"))
  compopt -o filenames 2>/dev/null
}
complete -F _kelditra kelditra
