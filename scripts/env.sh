# Sourced by the project's scripts: where the project keeps its Wine prefix and
# the environment every Wine process of the project runs with.
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${ZUVUVA_WINEPREFIX:-$repo_root/.cache/wineprefix}"
export WINELOADER=/usr/lib/wine/wine64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
# Wine's shell folders (Desktop, Documents, ...) are created as links into
# $HOME; a scratch home keeps them inside the project.
export ZUVUVA_WINEHOME="$(dirname "$WINEPREFIX")/winehome"
