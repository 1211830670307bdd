# Sourced: the environment every Wine run of the project uses. WINEPREFIX must be set first.
: "${WINEPREFIX:?WINEPREFIX must be set}"
# a 32-bit prefix unless the caller asks for a 64-bit one (ZELVORAN_WINEARCH=win64)
export WINEARCH="${ZELVORAN_WINEARCH:-win32}"
export WINEDEBUG="${WINEDEBUG:--all}"
# no Mono or Gecko installer dialogs, no menu entries or file associations on the host
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-winemenubuilder.exe=d;mscoree=d;mshtml=d}"
# Wine's recycle bin is the XDG trash: keep it inside the build folder
export XDG_DATA_HOME="$WINEPREFIX.xdg"
# Wine links the prefix's user folders to HOME and its XDG folders, the moment it creates a
# prefix and whenever it updates one: the prefix has a home of its own inside the build folder,
# so that no link ever leads into the host's home
# (the X server's key stays where the real home keeps it)
if [ -z "${XAUTHORITY:-}" ] && [ -f "${HOME:-}/.Xauthority" ]; then export XAUTHORITY="$HOME/.Xauthority"; fi
export HOME="$WINEPREFIX.home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache"
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
