# The Debian 12 packages Tessera needs; the one list the run and test
# commands (and so CI) install from.

# To build and run the program.
BUILD_PACKAGES=(
  build-essential
  cmake
  ninja-build
  pkg-config
  zlib1g-dev
  libpng-dev
  libtiff-dev
  libsdl2-dev
  libx11-dev
  libjpeg62-turbo-dev
  libturbojpeg0-dev
  libraw-dev
  libfreetype-dev
  libfontconfig-dev
  fonts-dejavu-core
  # CJK fallback for characters DejaVu lacks (names and tags in Chinese,
  # Japanese, Korean): 1.6 MB, all Hangul syllables, unlike Droid Sans Fallback.
  fonts-wqy-microhei
)

# Only to build and run the tests.
TEST_PACKAGES=(
  googletest
  libgtest-dev
  libtiff-tools
  xvfb
  xauth
  xdotool
  # The edit test's keyboard layout with AltGr and dead keys (setxkbmap).
  x11-xkb-utils
  # The clipboard test's other program.
  xclip
  imagemagick
  libjpeg-turbo-progs
  libimage-exiftool-perl
  # scripts/check-format.sh
  clang-format
  # The fuzz targets (scripts/fuzz.sh): clang 14 and its libFuzzer runtime.
  clang
  libclang-rt-14-dev
)

# Only for the benchmarks and the peers they compare with (bench/, never
# built by CI): bench/install-peers.sh
BENCH_PACKAGES=(
  libbenchmark-dev
  libopencv-dev
  libjpeg-turbo-progs
  libvips-tools
  imagemagick
  exiv2
  libimage-exiftool-perl
)
