#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need.
# Non-interactive and idempotent: packages already present are not touched.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libqt6sql6-ibase
  libgl-dev
  firebird3.0-server firebird3.0-utils firebird-dev
  xvfb xauth x11-utils xdotool imagemagick openbox fonts-dejavu-core
  procps iproute2 util-linux
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

echo "Installing: ${missing[*]}"
# The system server's SYSDBA password is asked by the package; answer it up front.
echo "firebird3.0-server shared/firebird/sysdba_password/first_install password masterkey" \
  | $SUDO debconf-set-selections
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
