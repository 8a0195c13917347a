# Sourced by the build scripts. Prints the CMake generator option for a build
# folder: Ninja for a new folder (it starts a target's compiles without
# waiting for the libraries the target links, so both cores stay busy to the
# end), nothing for a folder that exists, since CMake keeps a folder's
# generator for good.
cmake_generator() {  # build folder
  if [ ! -f "$1/CMakeCache.txt" ] && command -v ninja >/dev/null 2>&1; then
    echo "-GNinja"
  fi
}
