# Sourced by the setup scripts: apt_install PACKAGE... installs Debian packages without
# recommends, through sudo when not root. Safe to run again: apt-get skips what is there.
apt_install() {
    export DEBIAN_FRONTEND=noninteractive
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "$@"
}
