# Shared by scripts/test and scripts/run: the Debian packages the project needs.
VANTORIX_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qtbase5-dev qtbase5-dev-tools libqt5network5 libqt5test5 libssl-dev
    libboost-dev zlib1g-dev libminizip-dev
    openssl ca-certificates procps unzip zip curl locales
    xvfb xauth
)
# The Debian package and its checks (scripts/package, scripts/check-package),
# and the deployment playbook's checks (docs/deploy).
VANTORIX_PACKAGES+=(
    dpkg-dev file lintian desktop-file-utils appstream python3
    ansible-core
)

# Locales the tests switch to: numbers must read and write the same under a
# locale whose decimal point is a comma.
VANTORIX_LOCALES=(de_DE.UTF-8)

ensure_packages() {
    local missing=()
    local p
    for p in "${VANTORIX_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        if [ "$(id -u)" -eq 0 ]; then
            echo "Installing: ${missing[*]}"
            export DEBIAN_FRONTEND=noninteractive
            apt-get update -qq
            apt-get install -y -qq --no-install-recommends "${missing[@]}"
        else
            echo "Missing packages. Install them with:" >&2
            echo "  sudo apt-get install -y ${missing[*]}" >&2
            exit 1
        fi
    fi
    ensure_locales
}

# Generates the test locales that are missing (as root; otherwise prints the
# command, and the tests that need them are skipped with a message).
ensure_locales() {
    local name
    for name in "${VANTORIX_LOCALES[@]}"; do
        local language=${name%%.*}
        local charset=${name#*.}
        # "locale -a" lists de_DE.UTF-8 as de_DE.utf8.
        local listed="${language}.$(echo "$charset" | tr -d '-' | tr '[:upper:]' '[:lower:]')"
        locale -a 2>/dev/null | grep -qixF "$listed" && continue
        if [ "$(id -u)" -eq 0 ]; then
            echo "Generating the locale $name"
            localedef -i "$language" -f "$charset" "$name"
        else
            echo "The locale $name is missing (its tests will be skipped). Generate it with:" >&2
            echo "  sudo localedef -i $language -f $charset $name" >&2
        fi
    done
}
