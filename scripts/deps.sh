# Shared by the run and test commands: makes sure the Debian packages the
# build needs are there. Sourced, not run.

# Qt Charts needs the OpenGL module's development files, which Debian 12 does
# not pull in with qt6-charts-dev; the archive needs Qt SQL's SQLite driver.
# The fleet database is reached through libpq; its tests start a PostgreSQL
# server of their own (Debian's postgresql package). Run folders are sealed
# with libsodium (libsodium-dev pulls in its library, libsodium23).
ZORVAN_PACKAGES="g++ make cmake pkg-config libgtest-dev qt6-base-dev qt6-serialport-dev libgl-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libqt6sql6-sqlite libpq-dev postgresql libqt6sql6-psql libsodium-dev"

zorvan_missing_packages() {
    local missing="" p
    for p in $ZORVAN_PACKAGES "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    echo "$missing"
}

# zorvan_ensure_packages [extra packages...]
zorvan_ensure_packages() {
    local missing
    missing=$(zorvan_missing_packages "$@")
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing:$missing"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq && apt-get install -y -qq --no-install-recommends $missing >/dev/null || {
            echo "apt-get install failed for:$missing" >&2
            return 1
        }
    else
        echo "Missing Debian packages. Install them with:" >&2
        echo "  sudo apt-get install -y$missing" >&2
        return 1
    fi
}

# zorvan_build BUILD_DIR [cmake args...]
zorvan_build() {
    local dir=$1 launcher=()
    shift
    # A compiler cache, where installed, makes rebuilds of unchanged sources
    # free; the tests' precompiled headers need it told to take them.
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
    fi
    cmake -S "$ZORVAN_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null &&
        cmake --build "$dir" -j"$(nproc)"
}
