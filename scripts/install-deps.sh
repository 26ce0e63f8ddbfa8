#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
#
#   install-deps.sh [--demo | --server] [PACKAGE ...]
#
# --demo: what building keyin-scorer and keyin-tool and running scripts/demo.sh need;
# --server: that and what keyin-server needs (scripts/exam-room.sh);
# neither: everything, the tests' tools included (scripts/test.sh).
# Packages given as arguments are added to the list.
set -euo pipefail

demo=(
  g++ cmake ninja-build pkg-config
  libicu-dev libsqlcipher-dev sqlcipher libcli11-dev nlohmann-json3-dev
  libpq-dev libssl-dev libsodium-dev
)
server=(libboost-dev openssl libqrencode-dev prometheus-cpp-dev)
# The open input-method tables the reports read codes from (how to type a missed character). They
# depend on IBus, whose recommended packages (a desktop's) nothing here needs: always installed
# without them.
codes=(
  ibus-table-cangjie3 ibus-table-cangjie5 ibus-table-quick-classic ibus-table-array30
  ibus-table-easy-big libchewing3-data
)
tests=(
  make postgresql
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  faketime
  chromium chromium-driver python3-selenium fonts-noto-cjk poppler-utils
  lintian systemd
)

# The demos take no recommended packages: nothing they run needs one, and they would double the
# download of a first run.
options=()
case "${1:-}" in
  --demo) shift; packages=("${demo[@]}"); options=(--no-install-recommends) ;;
  --server) shift; packages=("${demo[@]}" "${server[@]}"); options=(--no-install-recommends) ;;
  *) packages=("${demo[@]}" "${server[@]}" "${tests[@]}") ;;
esac
packages+=("$@")

# The packages of the list that are not installed yet.
missing_of() {
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      echo "$package"
    fi
  done
}
mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing_codes < <(missing_of "${codes[@]}")

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
if ((${#missing[@]} + ${#missing_codes[@]} > 0)); then
  $sudo apt-get update -qq
fi
if ((${#missing[@]} > 0)); then
  echo "installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${options[@]}" "${missing[@]}"
fi
if ((${#missing_codes[@]} > 0)); then
  echo "installing: ${missing_codes[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing_codes[@]}"
fi
