# Sourced by the install scripts: install_missing PACKAGE... installs, as root
# or through sudo, those of the named Debian packages not yet installed, and
# does nothing when all are. Packages named ARCH-qualified (wine32:i386) bring
# their architecture in first.
install_missing() {
  local missing=() p sudo=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [[ ${#missing[@]} -eq 0 ]] && return 0
  if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "need root or sudo to install: ${missing[*]}" >&2; return 1; }
    sudo="sudo"
  fi
  export DEBIAN_FRONTEND=noninteractive
  # Another apt run (an unattended upgrade, a second build) may hold the lock for a while.
  local apt_opts=(-o DPkg::Lock::Timeout=900)
  if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  echo "Installing: ${missing[*]}"
  $sudo apt-get "${apt_opts[@]}" update -qq
  $sudo apt-get "${apt_opts[@]}" install -y -qq --no-install-recommends "${missing[@]}"
}
