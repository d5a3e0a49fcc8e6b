#!/usr/bin/env bash
# Installs, only where missing, everything the build and the tests need on Debian 12:
# the mingw-w64 i686 cross compiler, 32-bit Wine, Xvfb, PulseAudio, GoogleTest's
# sources, NSIS, clang for the native builds, the peer libraries the benchmarks
# compare against, and Node.js for the test servers. Safe to run again: with
# everything present it does nothing and asks no package server.
set -eu

packages=(
  # cross build
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686 cmake ninja-build make
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
  # locale sources: the Russian locale (ANSI code page 1251) of the language tests, made with localedef
  locales
  # drawing the artwork at build time (fonts for the text in the bitmaps)
  fonts-dejavu-core
  # installers
  nsis
  # native builds: sanitizers, fuzzers, peer libraries of the benchmarks
  clang libclang-rt-14-dev libfftw3-dev libkissfft-dev libpugixml-dev
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

if [ "$need_i386" -eq 1 ]; then
  echo "setup: adding the i386 architecture"
  $SUDO dpkg --add-architecture i386
fi
if [ "${#missing[@]}" -gt 0 ] || [ "$need_i386" -eq 1 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
echo "setup: all packages present"
