# Helpers shared by every folder: deliverable flags, host tests, fuzzers and
# Wine tests.

set(KX_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs under ctest")
set(KX_SCRIPTS ${CMAKE_SOURCE_DIR}/scripts)

# The shipped files are reproducible: the PE time stamps (header and export
# directory) are SOURCE_DATE_EPOCH when it is set, else the last commit's
# time, else 0. Debian's ld takes them from SOURCE_DATE_EPOCH in its
# environment; the file below changes only with the stamp and relinks.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(KX_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    OUTPUT_VARIABLE KX_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT KX_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  set(KX_SOURCE_DATE_EPOCH 0)
endif()
set(KX_EPOCH_FILE ${CMAKE_BINARY_DIR}/source-date-epoch)
file(CONFIGURE OUTPUT ${KX_EPOCH_FILE} CONTENT "${KX_SOURCE_DATE_EPOCH}\n")

# The warnings that fail a build of the code that ships, in every tree that
# compiles it (never of the tests or stand-ins). Warnings change no code:
# dist/ stays byte for byte the same. The native build's clang lacks the last
# two, which only gcc has.
set(KX_STRICT_WARNINGS -Wall -Wextra -Wconversion -Wsign-conversion -Wshadow
  -Wformat=2 -Wcast-qual -Wnull-dereference -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND KX_STRICT_WARNINGS -Wduplicated-cond -Wlogical-op)
endif()

# Code that ships: small, no exceptions, no RTTI, no DLLs beyond the system's,
# no build folder in any file. It registers no SEH handler, so the 32-bit
# images say NO_SEH (GNU ld builds no SafeSEH table).
function(kx_ship_flags target)
  if(WIN32)
    target_compile_options(${target} PRIVATE -Os -fno-exceptions -fno-rtti
      -fno-asynchronous-unwind-tables ${KX_STRICT_WARNINGS}
      -ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "STATIC_LIBRARY")
      target_link_options(${target} PRIVATE -static -static-libgcc
        -static-libstdc++ -s -Wl,--enable-stdcall-fixup)
      if(KX_WIN_ARCH STREQUAL "i686")
        target_link_options(${target} PRIVATE -Wl,--no-seh)
      endif()
      set(stamp ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${KX_SOURCE_DATE_EPOCH})
      set_target_properties(${target} PROPERTIES C_LINKER_LAUNCHER "${stamp}"
        CXX_LINKER_LAUNCHER "${stamp}" LINK_DEPENDS ${KX_EPOCH_FILE})
    endif()
  else()
    target_compile_options(${target} PRIVATE ${KX_STRICT_WARNINGS})
    kx_host_flags(${target})
  endif()
endfunction()

function(kx_host_flags target)
  if(NOT WIN32 AND KX_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined
      -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# kx_deliverable(name KIND console|gui|dll SOURCES ... [DEF file] [LIBS ...])
# Only the Windows builds make deliverables; the host build skips them.
function(kx_deliverable name)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(A "" "KIND;DEF" "SOURCES;LIBS" ${ARGN})
  if(A_KIND STREQUAL "dll")
    add_library(${name} SHARED ${A_SOURCES} ${A_DEF})
  else()
    # Every program carries the one application manifest.
    set(manifest_rc ${CMAKE_SOURCE_DIR}/common/manifest.rc)
    set_source_files_properties(${manifest_rc} PROPERTIES
      OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/common/kestrix.manifest)
    add_executable(${name} ${A_SOURCES} ${manifest_rc})
    if(A_KIND STREQUAL "gui")
      set_target_properties(${name} PROPERTIES WIN32_EXECUTABLE ON)
    endif()
  endif()
  set_target_properties(${name} PROPERTIES PREFIX "")
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  kx_ship_flags(${name})
  set_property(GLOBAL APPEND PROPERTY KX_DELIVERABLES ${name})
endfunction()

if(KX_BUILD_TESTS)
  # GoogleTest from Debian's sources, built with whichever compiler this tree
  # uses (clang natively, mingw-w64 for the Wine tests).
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  if(NOT TARGET gtest)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
endif()

# kx_host_test(name SOURCES ... LIBS ...): a native GoogleTest program.
function(kx_host_test name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} gtest gtest_main)
  kx_host_flags(${name})
  add_test(NAME ${name} COMMAND ${name})
endfunction()

# kx_fuzzer(name SOURCES ... LIBS ...): a libFuzzer target (clang only) and a
# short ctest run of it.
function(kx_fuzzer name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined
    -fno-sanitize-recover=undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  file(MAKE_DIRECTORY ${corpus})
  add_test(NAME ${name} COMMAND ${name} -max_total_time=${KX_FUZZ_SECONDS}
    -timeout=10 -rss_limit_mb=2048 ${corpus})
  set_property(GLOBAL APPEND PROPERTY KX_FUZZERS ${name})
endfunction()

# Wine tests. Each runs in its own throwaway prefix copied from one template
# that the wine_template test boots once per build tree.
set(KX_WINE_TEMPLATE ${CMAKE_BINARY_DIR}/wine/template)
set(KX_WINE_WORK ${CMAKE_BINARY_DIR}/wine/runs)
# The 64-bit Windows road: a 64-bit template, and the stand-ins that are
# 64-bit programs on a 64-bit system.
set(KX_WINE_TEMPLATE64 ${CMAKE_BINARY_DIR}/wine/template64)
set(KX_BIN64_DIR ${CMAKE_BINARY_DIR}/bin64)

# kx_wine_test(name COMMAND exe args... [FAMILY win98|winxp|win31]
#              [DISPLAY] [FULLDRIVE] [LANG ja] [TIMEOUT s] [NET] [WIN64])
# FULLDRIVE: drive F: is a tmpfs with no room left (scripts/wine-run).
# NET: the recording net.exe stand-in is the system's. WIN64: the 32-bit
# programs run in a 64-bit prefix, with the 64-bit stand-ins of bin64/.
function(kx_wine_test name)
  cmake_parse_arguments(A "DISPLAY;FULLDRIVE;NET;WIN64" "FAMILY;LANG;TIMEOUT" "COMMAND" ${ARGN})
  set(opts --name ${name})
  if(A_NET)
    list(APPEND opts --net)
  endif()
  if(A_FAMILY)
    list(APPEND opts --family ${A_FAMILY})
  endif()
  if(A_DISPLAY)
    list(APPEND opts --display)
  endif()
  if(A_FULLDRIVE)
    list(APPEND opts --full-drive)
  endif()
  if(A_LANG)
    list(APPEND opts --lang ${A_LANG})
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 240)
  endif()
  add_test(NAME ${name} COMMAND ${KX_SCRIPTS}/wine-run ${opts} -- ${A_COMMAND})
  set(env "KX_WINE_WORK=${KX_WINE_WORK};KX_WIN_ARCH=${KX_WIN_ARCH};KX_BIN_DIR=${CMAKE_BINARY_DIR}/bin")
  if(A_WIN64)
    string(APPEND env ";KX_WINE_TEMPLATE=${KX_WINE_TEMPLATE64};KX_WINE_WIN64=1;KX_BIN64_DIR=${KX_BIN64_DIR}")
    set(fixtures wine_template64)
  else()
    string(APPEND env ";KX_WINE_TEMPLATE=${KX_WINE_TEMPLATE}")
    set(fixtures wine_template)
  endif()
  if(KX_TEST_SHIPPED)
    # wine-run refuses to run unless the deliverables in bin/ are, byte for
    # byte, the ones in the dist folder.
    string(APPEND env ";KX_DIST_DIR=${KX_DIST_DIR}")
    list(APPEND fixtures shipped_files)
  endif()
  # 77: the road can't run on this machine (scripts/wine-template).
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${fixtures}"
    TIMEOUT ${A_TIMEOUT} ENVIRONMENT "${env}" SKIP_RETURN_CODE 77)
endfunction()

# The Windows versions a test written for one platform family runs on: the
# 95/98 family as win95 and win98, the NT family as nt40, winxp and win10,
# and, for the 32-bit programs, as 64-bit Windows 10 too (win64).
# KX_FAMILY_VERSIONS=one keeps to the version the test names.
set(KX_FAMILY_VERSIONS all CACHE STRING "Windows versions per family: all or one")
function(kx_family_versions family out)
  set(versions ${family})
  if(KX_FAMILY_VERSIONS STREQUAL "all")
    if(family STREQUAL "win98")
      set(versions win95 win98)
    elseif(family STREQUAL "winxp")
      set(versions nt40 winxp win10)
      if(KX_WIN_ARCH STREQUAL "i686")
        list(APPEND versions win64)
      endif()
    endif()
  endif()
  set(${out} ${versions} PARENT_SCOPE)
endfunction()

# kx_wine_gtest(name SOURCES ... LIBS ... [FAMILY f] [DISPLAY] [FULLDRIVE]
#               [NET] [LANG l] [ARGS ...] [TIMEOUT s]): a GoogleTest program
# built for Windows and run under Wine.
function(kx_wine_gtest name)
  cmake_parse_arguments(A "DISPLAY;FULLDRIVE;NET" "FAMILY;LANG;TIMEOUT" "SOURCES;LIBS;ARGS" ${ARGN})
  if(NOT TARGET ${name})
    add_executable(${name} ${A_SOURCES})
    target_link_libraries(${name} PRIVATE ${A_LIBS} kx_wine_common gtest gtest_main)
    target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
  set(fwd)
  foreach(k LANG TIMEOUT)
    if(A_${k})
      list(APPEND fwd ${k} ${A_${k}})
    endif()
  endforeach()
  foreach(k DISPLAY FULLDRIVE NET)
    if(A_${k})
      list(APPEND fwd ${k})
    endif()
  endforeach()
  # One test per Windows version of the family; "any" is Wine's default.
  set(versions any)
  if(A_FAMILY)
    kx_family_versions(${A_FAMILY} versions)
  endif()
  foreach(version IN LISTS versions)
    set(tname ${name})
    set(vfwd ${fwd})
    if(version STREQUAL "win64")
      string(APPEND tname _win64)
      list(APPEND vfwd FAMILY win10 WIN64)
    elseif(NOT version STREQUAL "any")
      string(APPEND tname _${version})
      list(APPEND vfwd FAMILY ${version})
    endif()
    if(A_LANG)
      string(APPEND tname _${A_LANG})
    endif()
    kx_wine_test(${tname} COMMAND $<TARGET_FILE:${name}> ${A_ARGS} ${vfwd})
  endforeach()
endfunction()

# kx_def(target file.def.in): the export list of a DLL. In the template,
# ${SC0}, ${SC4}, ${SC8}, ${SC12}, ${SC16} stand for the stdcall decoration
# of an internal name with that many argument bytes: "@N" on i686, nothing
# on x86_64 (the 64-bit test build has no stdcall decoration). Only these
# are replaced: decorated export names are full of '@'.
function(kx_def target in)
  if(NOT WIN32)
    return()
  endif()
  if(NOT IS_ABSOLUTE ${in})
    set(in ${CMAKE_CURRENT_SOURCE_DIR}/${in})
  endif()
  file(READ ${in} text)
  foreach(n 0 4 8 12 16)
    if(KX_WIN_ARCH STREQUAL "x86_64")
      string(REPLACE "\${SC${n}}" "" text "${text}")
    else()
      string(REPLACE "\${SC${n}}" "@${n}" text "${text}")
    endif()
  endforeach()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
  file(GENERATE OUTPUT ${out} CONTENT "${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${in})
  target_sources(${target} PRIVATE ${out})
endfunction()

# kx_standin64(name SOURCES ... [GUI] [LIBS ...]): a stand-in for a program
# outside the system (the web server, the service manager) built as the
# 64-bit program it is on a 64-bit system, into bin64/ under the name of
# its 32-bit twin, for the 64-bit Windows road. Built with the rest: a
# failure fails the build.
function(kx_standin64 name)
  if(NOT WIN32 OR NOT KX_WIN_ARCH STREQUAL "i686")
    return()
  endif()
  cmake_parse_arguments(A "GUI" "" "SOURCES;LIBS" ${ARGN})
  find_program(KX_CXX64 x86_64-w64-mingw32-g++-posix)
  if(NOT KX_CXX64)
    message(FATAL_ERROR "x86_64-w64-mingw32-g++-posix is missing (scripts/bootstrap installs it): "
      "the 64-bit stand-ins can't be built")
  endif()
  set(sources)
  foreach(src IN LISTS A_SOURCES)
    list(APPEND sources ${CMAKE_CURRENT_SOURCE_DIR}/${src})
  endforeach()
  set(flags -Os -Wall -static -static-libgcc -static-libstdc++ -s)
  if(A_GUI)
    list(APPEND flags -mwindows)
  endif()
  foreach(lib IN LISTS A_LIBS)
    list(APPEND flags -l${lib})
  endforeach()
  set(out ${KX_BIN64_DIR}/${name}.exe)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KX_BIN64_DIR}
    COMMAND ${KX_CXX64} -I${CMAKE_CURRENT_SOURCE_DIR} -o ${out} ${sources} ${flags}
    DEPENDS ${sources} VERBATIM COMMENT "64-bit stand-in ${name}.exe")
  add_custom_target(${name}_x64 ALL DEPENDS ${out})
endfunction()
