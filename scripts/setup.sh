#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the benchmarks and the fuzzers need, when missing,
# and generates the comma-decimal locale the locale-independence tests switch to.
# Safe to run repeatedly; does nothing when everything is present. Needs root (or sudo) only to install.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libpugixml-dev libsqlite3-dev zlib1g-dev libzstd-dev libfmt-dev libspdlog-dev libmuparser-dev
  nlohmann-json3-dev libcurl4-openssl-dev libcpp-httplib-dev libssl-dev libcli11-dev
  libhowardhinnant-date-dev tzdata liblua5.4-dev
  libcairo2-dev fonts-noto-cjk fontconfig
  locales python3
  jq sqlite3 e2fsprogs
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "setup: generating locale de_DE.UTF-8"
  as_root sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
fi
