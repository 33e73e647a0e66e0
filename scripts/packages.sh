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
)

# Only to build and run the tests.
TEST_PACKAGES=(
  googletest
  libgtest-dev
  libtiff-tools
  xvfb
  xauth
  xdotool
  imagemagick
  libjpeg-turbo-progs
  libimage-exiftool-perl
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
