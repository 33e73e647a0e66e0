# Build conventions shared by every folder: warnings, sanitizers, one static
# library per folder made of all the sources below it.

add_compile_options(-Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
if(TESSERA_WERROR)
  add_compile_options(-Werror)
endif()

if(TESSERA_SANITIZE)
  set(_tessera_sanitizers ${TESSERA_SANITIZE})
  # GCC's undefined set leaves out float-to-integer conversions of values out
  # of range (NaN among them); they are undefined behaviour all the same.
  if("undefined" IN_LIST _tessera_sanitizers)
    list(APPEND _tessera_sanitizers float-cast-overflow)
  endif()
  string(REPLACE ";" "," _tessera_san "${_tessera_sanitizers}")
  add_compile_options(-fsanitize=${_tessera_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_tessera_san})
endif()

# A fuzz build instruments every library for libFuzzer's coverage feedback
# and checks it with ASan and UBSan; only the fuzz targets link libFuzzer
# itself (tests/fuzz/CMakeLists.txt).
if(TESSERA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TESSERA_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  if(TESSERA_SANITIZE)
    message(FATAL_ERROR "TESSERA_FUZZ brings its own sanitizers; leave TESSERA_SANITIZE empty")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# tessera_library(<name> [DEPENDS <targets...>])
# Collects every .cpp below the calling folder; headers are included as
# "<folder>/<file>.h" from the source root.
function(tessera_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB_RECURSE _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER _sources EXCLUDE REGEX "/main\\.cpp$")
  add_library(${name} STATIC ${_sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  tessera_fuzz_precompile(${name})
endfunction()

# In a fuzz build most of the compile time goes to parsing the standard
# headers; a precompiled set of them per library saves much of it (CI builds
# the fuzz targets on two cores). Other builds keep every file compiling on
# its own includes.
function(tessera_fuzz_precompile target)
  if(TESSERA_FUZZ)
    target_precompile_headers(${target} PRIVATE <algorithm> <array> <atomic> <cmath> <cstdint> <cstring>
                              <filesystem> <functional> <limits> <memory> <mutex> <span> <string>
                              <string_view> <vector>)
  endif()
endfunction()

# tessera_test(<name> LIBS <targets...> [THREADS])
# One GoogleTest binary per folder under tests/, each test case run by CTest.
# THREADS marks a binary that exercises threading code: it is also built and
# run under ThreadSanitizer (the list goes to tsan-targets.txt).
function(tessera_test name)
  cmake_parse_arguments(ARG "THREADS" "" "LIBS" ${ARGN})
  set(_labels "")
  if(ARG_THREADS)
    set(_labels threads)
    set_property(GLOBAL APPEND PROPERTY TESSERA_TSAN_TARGETS ${name})
    get_property(_all GLOBAL PROPERTY TESSERA_TSAN_TARGETS)
    string(REPLACE ";" " " _all "${_all}")
    file(WRITE ${CMAKE_BINARY_DIR}/tsan-targets.txt "${_all}\n")
  endif()
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${_sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} tessera_testsupport GTest::gtest_main)
  # An empty LABELS value would swallow the next property name, so the label
  # is added only when there is one.
  set(_properties ENVIRONMENT "TESSERA_TESTDATA=${TESSERA_TESTDATA_DIR}" TIMEOUT 300)
  if(_labels)
    list(APPEND _properties LABELS ${_labels})
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${_properties})
endfunction()

# tessera_link_data(<target>)
# The program finds its data folder ("data" beside the executable) at run
# time; the build links the source tree's data folder there, so edits to it
# need no rebuild.
function(tessera_link_data target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E create_symlink ${PROJECT_SOURCE_DIR}/data $<TARGET_FILE_DIR:${target}>/data
    VERBATIM)
endfunction()

# tessera_wrap_pixel_blocks(<target>)
# Routes the libraries' AllocPixelBlock calls through __wrap_ of the mangled
# name, which the target defines (tests/common/PixelBlockFailure, the fuzz
# targets' pixel limit).
function(tessera_wrap_pixel_blocks target)
  target_link_options(${target} PRIVATE "LINKER:--wrap=_Z15AllocPixelBlockm")
endfunction()
