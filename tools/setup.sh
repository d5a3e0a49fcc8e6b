#!/usr/bin/env bash
# Installs, only where missing, everything the build and the tests need on Debian 12:
# the mingw-w64 i686 cross compiler, 32-bit Wine, Xvfb, PulseAudio, GoogleTest's
# sources, NSIS, clang for the native builds (with 32-bit libraries for -m32), the
# peer libraries the benchmarks compare against, and Node.js for the test servers.
# Safe to run again: with everything present it does nothing and asks no package
# server.
set -eu

packages=(
  # cross build
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686 cmake ninja-build make
  # the 64-bit build of the same sources, for the tests on machines that cannot
  # execute 32-bit programs (see tools/test.sh)
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  # a compiler cache for repeated builds
  ccache
  # running and testing under Wine
  wine wine32:i386 wine64 fonts-wine xvfb x11-apps xdotool imagemagick
  # "Arial" with Arial's metrics under Wine (Liberation Sans), so that the windows
  # lay out and look under test as they do on Windows
  fonts-liberation
  pulseaudio pulseaudio-utils sox googletest python3 python3-pil
  # the encoders of the player module's test files (MP3 with ID3v2 tags, FLAC, Ogg Vorbis,
  # and Opus, AAC in MP4 and WMA through ffmpeg)
  lame flac vorbis-tools ffmpeg
  # Wine's Media Foundation decodes through GStreamer: base (Ogg Vorbis, Opus), good (WAV,
  # FLAC, MP3), libav (AAC), ugly (the ASF demuxer of WMA files)
  gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386 gstreamer1.0-libav:i386
  gstreamer1.0-plugins-ugly:i386
  # ... and the same for 64-bit Wine (the tests' 64-bit build, see tools/test.sh)
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav gstreamer1.0-plugins-ugly
  # locale sources: the Russian locale (ANSI code page 1251) of the language tests, made with localedef
  locales
  # drawing the artwork at build time (fonts for the text in the bitmaps)
  fonts-dejavu-core
  # installers
  nsis
  # native builds: sanitizers, fuzzers, peer libraries of the benchmarks
  clang libclang-rt-14-dev libfftw3-dev libkissfft-dev libpugixml-dev
  # the 32-bit native build (preset native32, clang -m32): 32-bit C and C++ libraries
  g++-multilib
)

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive

need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
# Node.js and npm for the test servers: any installed node will do.
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  missing+=(nodejs npm)
fi

# Package mirrors are sometimes in the middle of a sync: one list then fails to
# download ("File has unexpected size ... Mirror sync in progress?"), or the i386
# libraries of the update archive lag behind their amd64 twins so that an install
# cannot resolve. Updating is tried a few times; an install that cannot resolve is
# tried again from the release's own archive.
retry_delay=${SETUP_RETRY_DELAY:-10}

apt_update() {
  local try
  for try in 1 2 3; do
    if $SUDO apt-get update -qq; then
      return 0
    fi
    if [ "$try" -lt 3 ]; then
      echo "setup: apt-get update failed (try $try of 3), trying again in $((retry_delay * try)) s"
      sleep $((retry_delay * try))
    fi
  done
  echo "setup: apt-get update failed 3 times; going on with the package lists this machine has"
  return 1
}

# apt-get's own status lines (its status descriptor) become one line of
# progress for each tenth of the download and of the installation.
apt_progress() {
  awk -F: '
    /^dlstatus:/ { stage = "downloading"; pct = $3 }
    /^pmstatus:/ { stage = "installing"; pct = $3 }
    stage != "" {
      step = int(pct / 10) * 10
      if (stage != last_stage || step > last_step) {
        printf "setup: %s %d%%\n", stage, step
        fflush()
        last_stage = stage; last_step = step
      }
      stage = ""
    }'
}

apt_get_install() {
  local rc
  { $SUDO apt-get install -y -qq --no-install-recommends -o APT::Status-Fd=3 "$@" 3>&1 1>/dev/null | apt_progress; } 2>&1
  rc=${PIPESTATUS[0]}
  return "$rc"
}

apt_install() {
  if apt_get_install "$@"; then
    return 0
  fi
  local codename
  codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
  if [ -n "$codename" ]; then
    echo "setup: the install could not resolve (a mirror may be in the middle of a sync); installing from the release's own archive ($codename) instead"
    if apt_get_install -t "$codename" "$@"; then
      return 0
    fi
  fi
  return 1
}

if [ "$need_i386" -eq 1 ]; then
  echo "setup: adding the i386 architecture"
  $SUDO dpkg --add-architecture i386
fi
if [ "${#missing[@]}" -gt 0 ] || [ "$need_i386" -eq 1 ]; then
  echo "setup: installing ${missing[*]}"
  apt_update || true
  if ! apt_install "${missing[@]}"; then
    echo "setup: FAILED: these packages could not be installed: ${missing[*]}" >&2
    echo "setup: the set-up is not complete; when the package servers answer again, run: tools/setup.sh" >&2
    exit 1
  fi
fi
echo "setup: all packages present"

# The npm packages of the test servers (a real SOAP server for Klarwin's log
# service), installed from the lock file into their folder; tried three times.
soap=$(cd "$(dirname "$0")/.." && pwd)/klarwin/online/tests/soap-server
if [ ! -d "$soap/node_modules/soap" ]; then
  echo "setup: installing the test servers' npm packages"
  ok=0
  for try in 1 2 3; do
    if (cd "$soap" && npm ci --no-audit --no-fund --loglevel=error >/dev/null); then
      ok=1
      break
    fi
    if [ "$try" -lt 3 ]; then
      echo "setup: npm ci failed (try $try of 3), trying again in $((retry_delay * try)) s"
      sleep $((retry_delay * try))
    fi
  done
  if [ "$ok" -ne 1 ]; then
    echo "setup: FAILED: the test servers' npm packages could not be installed; when the registry answers again, run: tools/setup.sh" >&2
    exit 1
  fi
fi
echo "setup: test servers' packages present"
