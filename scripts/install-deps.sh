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

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} > 0)); then
  echo "installing: ${missing[*]}"
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${options[@]}" "${missing[@]}"
fi
