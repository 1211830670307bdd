# Sourced: run_folder BUILD prints the folder that is drive D: of the program's own prefix, a
# folder of the build folder that holds the program and what the program writes beside itself,
# and nothing else of the build (no prefix, no test files). The program is copied in when newer.
run_folder() {
  local folder="$1/program"
  mkdir -p "$folder"
  cp -u "$1/Zelvoran.exe" "$folder/Zelvoran.exe"
  echo "$folder"
}
