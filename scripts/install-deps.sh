#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if any is missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev libbenchmark-dev
  sox espeak-ng
  clang libclang-rt-14-dev
  libaubio-dev aubio-tools
  libsndfile1-dev libsoxr-dev
  chromium strace
)
# Node and npm run the report's browser test. A machine may carry its own
# build of Node with npm inside, which Debian's npm package would conflict
# with, so they are asked for only when the commands are missing.
commands=(node npm)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

for command in "${commands[@]}"; do
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

# The report's browser test drives Chromium with playwright-core, installed
# here once, at the version package-lock.json pins, so that no test downloads
# anything while it runs.
report_test=$(cd "$(dirname "$0")/../tests/report" && pwd)
wanted=$(node -p "require('$report_test/package-lock.json').packages['node_modules/playwright-core'].version")
installed=$(node -p "try { require('$report_test/node_modules/playwright-core/package.json').version } catch { '' }")
if [[ $installed != "$wanted" ]]; then
  echo "installing playwright-core $wanted into tests/report/node_modules"
  npm ci --prefix "$report_test" --no-audit --no-fund --silent
fi
