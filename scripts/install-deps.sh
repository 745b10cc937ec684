#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if any is missing.
#   scripts/install-deps.sh          everything, the tests' browser driver included
#   scripts/install-deps.sh build    only what building kelditra takes (the demo)
set -euo pipefail
only_build=false
[[ ${1:-} == build ]] && only_build=true

packages=(
  cmake g++ make pkg-config
  libgtest-dev libbenchmark-dev
  sox espeak-ng
  clang libclang-rt-14-dev
  libsndfile1-dev libsoxr-dev
  chromium strace
)
# Node and npm run the report's browser test. A machine may carry its own
# build of Node with npm inside, which Debian's npm package would conflict
# with, so they are asked for only when the commands are missing.
commands=(node npm)
if $only_build; then
  packages=(cmake g++ make pkg-config libsndfile1-dev libsoxr-dev)
  commands=()
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

for command in "${commands[@]+"${commands[@]}"}"; do
  if ! command -v "$command" > /dev/null; then
    case $command in
      node) missing+=(nodejs) ;;
      *) missing+=("$command") ;;
    esac
  fi
done

if ((${#missing[@]} > 0)); then
  echo "installing: ${missing[*]}"
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

$only_build && exit 0

# The report's browser test drives Chromium with playwright-core, and eslint
# checks the report page's script: both are installed here once, at the
# versions package-lock.json pins, so that no test downloads anything while
# it runs.
report_test=$(cd "$(dirname "$0")/../tests/report" && pwd)
if ! node -e "
  const lock = require('$report_test/package-lock.json');
  for (const [path, wanted] of Object.entries(lock.packages)) {
    if (path === '') continue;
    let installed = '';
    try { installed = require('$report_test/' + path + '/package.json').version; } catch {}
    if (installed !== wanted.version) process.exit(1);
  }"; then
  echo "installing the report tests' packages into tests/report/node_modules"
  npm ci --prefix "$report_test" --no-audit --no-fund --silent
fi
