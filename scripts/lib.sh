# Shared settings of the project's scripts. Sourced, not run.
VELSETUP_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VELSETUP_BUILD=${VELSETUP_BUILD:-$VELSETUP_ROOT/build}
VELSETUP_DEPS=$VELSETUP_BUILD/deps
JOBS=${JOBS:-$(nproc)}

PUGIXML_SOURCE_VERSION=1.13-0.2
ZLIB_SOURCE_VERSION=1:1.2.13.dfsg-1

log() { printf '== %s\n' "$*" >&2; }
die() { printf 'error: %s\n' "$*" >&2; exit 1; }
