#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the app need,
# and does nothing when every one of them is already present.
set -euo pipefail

packages=(
  g++ cmake ninja-build make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libsimpleini-dev
  qt6-base-dev libqt6printsupport6 libqt6svg6
  libopencv-imgproc-dev libopencv-core-dev libjpeg62-turbo-dev
  libsane-dev libsane1
  poppler-utils poppler-data qpdf libjpeg-turbo-progs
  xvfb xauth
  fonts-ipafont-gothic
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
