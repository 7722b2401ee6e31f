#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the app need,
# and does nothing when every one of them is already present.
set -euo pipefail

packages=(
  g++ cmake ninja-build make pkg-config ccache
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libpng-dev libsimpleini-dev libxxhash-dev
  qt6-base-dev libqt6printsupport6 libqt6svg6 qt6-translations-l10n
  qt6-tools-dev qt6-l10n-tools
  libdxflib-dev python3-ezdxf
  libxlsxwriter-dev python3-openpyxl
  libopencv-imgproc-dev libopencv-core-dev libopencv-calib3d-dev libopencv-imgcodecs-dev libjpeg62-turbo-dev
  libopencv-contrib-dev libapriltag-dev libexif-dev libheif-dev
  libsane-dev libsane1
  poppler-utils poppler-data qpdf libjpeg-turbo-progs
  xvfb xauth
  fonts-ipafont-gothic
  locales
)

# The tests run once more in a locale that writes decimals with a comma.
test_locale=de_DE.UTF-8

has_test_locale() {
  locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'
}

generate_test_locale() {
  has_test_locale && return 0
  echo "Generating the locale $test_locale for the tests"
  $sudo localedef -i de_DE -f UTF-8 "$test_locale"
}

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi

if [[ ${#missing[@]} -gt 0 ]]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
generate_test_locale
