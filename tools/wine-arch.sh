# Sourced by the Wine scripts. The products are 32-bit Windows programs and run
# in a 32-bit prefix; on a machine that cannot execute 32-bit programs at all
# (a kernel or virtual machine without 32-bit user mode: even Wine's own 32-bit
# loader fails with "Exec format error") the tests run on the 64-bit build of the
# same sources in a 64-bit prefix instead.
#
#   can_run_32bit              true where 32-bit programs (and so 32-bit Wine) run
#   can_run_native32           true where a 32-bit Linux program (clang -m32, the
#                              native32 preset's kind) runs; needs no Wine
#   build_wine_arch <build>    win32 or win64: what the build folder's programs need
#   WINE                       the loader for $WINEARCH (set when sourced)

can_run_32bit() {
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

can_run_native32() {
  local dir ok=1
  dir=$(mktemp -d /tmp/native32.XXXXXX) || return 1
  if printf 'int main(void) { return sizeof(void*) == 4 ? 0 : 1; }\n' |
     clang -m32 -x c - -o "$dir/probe" >/dev/null 2>&1 && "$dir/probe" >/dev/null 2>&1; then
    ok=0
  fi
  rm -rf "$dir"
  return $ok
}

build_wine_arch() {
  local arch
  arch=$(cat "$1/wine-arch" 2>/dev/null)
  echo "${arch:-win32}"
}

if [ "${WINEARCH:-win32}" = win64 ]; then
  WINE=/usr/lib/wine/wine64
  export WINELOADER=$WINE
else
  WINE=wine
fi
