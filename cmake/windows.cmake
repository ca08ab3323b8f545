# The Windows build (`make windows`, MinGW-w64 cross-compile, TQ_CORE_ONLY): the
# command-line tool and the core's test programs, statically linked so that each .exe
# runs on a bare Windows (and under Wine in CI) with no MinGW DLL beside it. No Qt here:
# Debian has no MinGW build of it, so the desktop program and `settings` (QSettings; on
# Linux the companion terraquill-settings) are left out.
add_link_options(-static)
# GCC 12 warns falsely about std::string concatenation when optimising (its bug 105329).
target_compile_options(tqcore PRIVATE -Wno-restrict)
add_compile_options(-Wno-restrict)

# --- terraquill-cli.exe -------------------------------------------------------
file(GLOB TQWIN_CLI_SOURCES CONFIGURE_DEPENDS src/cli/*.cpp)
list(FILTER TQWIN_CLI_SOURCES EXCLUDE REGEX "src/cli/cmd_settings\\.cpp$")
add_executable(terraquill-cli ${TQWIN_CLI_SOURCES})
target_include_directories(terraquill-cli PRIVATE src/cli ${TQ_STB_INCLUDE_DIR})
target_link_libraries(terraquill-cli PRIVATE tqcore)
# Its version comes with tqcore (TQ_VERSION, from project(... VERSION)).
# Without its symbols the .exe in the zip is a third of the size.
target_link_options(terraquill-cli PRIVATE -s)
# Where the synthetic world (mkworld) has a library of its own.
if(TARGET tqtools)
  target_link_libraries(terraquill-cli PRIVATE tqtools)
endif()

# --- the core's tests, with GoogleTest built from Debian's sources -----------------
set(TQ_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian's googletest package)")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# On Windows GoogleTest uses the system's own threads and locks; no pthreads to look for.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${TQ_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB TQWIN_TEST_SUPPORT CONFIGURE_DEPENDS tests/support/*.cpp)
add_library(tqtestsupport STATIC ${TQWIN_TEST_SUPPORT})
target_include_directories(tqtestsupport PUBLIC tests src ${TQ_STB_INCLUDE_DIR})
target_link_libraries(tqtestsupport PUBLIC tqcore gtest)
# Packed fixtures (tests/fixtures) are read from the source tree.
target_compile_definitions(tqtestsupport PUBLIC TQ_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
if(TARGET tqtools)
  target_link_libraries(tqtestsupport PUBLIC tqtools)
endif()

# Every test folder's non-window tests, one program per folder as on Linux. The CLI is
# found beside the test program (tests/support/run_cli_windows.cpp).
set(TQWIN_TEST_FOLDERS core uop tools cli worldsave diff fillclear mapedit hardening)
set(TQWIN_TEST_PROGRAMS "")
foreach(name ${TQWIN_TEST_FOLDERS})
  file(GLOB tests CONFIGURE_DEPENDS tests/${name}/*_test.cpp)
  list(FILTER tests EXCLUDE REGEX "_(form|view|ui)_test\\.cpp$")
  # Tests of POSIX behaviour (modes and groups, another user, SIGKILLed lock holders).
  list(FILTER tests EXCLUDE REGEX "/(links_permissions|world_lock)_test\\.cpp$")
  if(NOT tests)
    continue()
  endif()
  add_executable(tq_${name}_tests ${tests})
  target_link_libraries(tq_${name}_tests PRIVATE tqtestsupport gtest_main)
  # Linux's 8 MiB main stack rather than Windows' 1 MiB: some tests copy a whole static
  # index (4.7 MB) onto it. The CLI keeps the default, as it will have on Windows.
  target_link_options(tq_${name}_tests PRIVATE -Wl,--stack,8388608)
  add_dependencies(tq_${name}_tests terraquill-cli)
  list(APPEND TQWIN_TEST_PROGRAMS tq_${name}_tests)
endforeach()
# The list scripts/check-windows.sh runs.
string(REPLACE ";" "\n" TQWIN_TEST_LIST "${TQWIN_TEST_PROGRAMS}")
file(WRITE ${CMAKE_BINARY_DIR}/windows-tests.txt "${TQWIN_TEST_LIST}\n")
