# Sourced: the environment every Wine run of the project uses. WINEPREFIX must be set first.
: "${WINEPREFIX:?WINEPREFIX must be set}"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
# no Mono or Gecko installer dialogs, no menu entries or file associations on the host
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-winemenubuilder.exe=d;mscoree=d;mshtml=d}"
# Wine's recycle bin is the XDG trash: keep it inside the build folder
export XDG_DATA_HOME="$WINEPREFIX.xdg"
mkdir -p "$XDG_DATA_HOME"
