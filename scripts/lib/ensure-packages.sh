# ensure_packages PACKAGE...: installs the Debian packages that are missing.
# Sourced by scripts/serve, scripts/test and the CI entry point. Runs apt-get
# only when something is missing, so a prepared machine starts at once.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}" >&2
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The packages that building and testing the project needs.
PROJECT_PACKAGES=(cmake ninja-build g++ make libgtest-dev libgmock-dev libdcmtk-dev zlib1g-dev dcmtk openssl python3-pydicom)
