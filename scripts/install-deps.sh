#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing; packages given
# as arguments are added to the list.
set -euo pipefail

packages=(
  g++ cmake make ninja-build pkg-config
  libicu-dev libsqlcipher-dev sqlcipher libcli11-dev nlohmann-json3-dev
  libpq-dev postgresql
  libgtest-dev libgmock-dev libbenchmark-dev
  faketime
  libboost-dev libssl-dev openssl libsodium-dev libqrencode-dev prometheus-cpp-dev
  libcpp-httplib-dev
  chromium chromium-driver python3-selenium fonts-noto-cjk poppler-utils
  "$@"
)

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
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
