# The suite of the Windows build, run by ctest through Wine: the logic tests
# that have nothing of Linux in them, the Windows services (one program of
# every tests/windows/*Test.cpp), and the program itself against the tests'
# Dovecot. Every Wine test runs in one fresh Wine prefix under the build
# folder, made by the first test and ended by the last.

# GoogleTest has no Windows build in Debian: built here from its source.
set(PW_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source, built with the tests")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${PW_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(PW_TEST_LIBS pw_app pw_viewer pw_dialogs pw_engine pw_desktop pw_widgets pw_config pw_pop3 pw_platform pw_resources pw_base
  Qt6::Widgets Qt6::Network Qt6::Test GTest::gtest GTest::gmock)
set(PW_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(PW_WINE_ENVIRONMENT WINEPREFIX=${PW_WINE_PREFIX} WINEDEBUG=-all WINEPATH=${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS})

add_test(NAME wine_prefix_start COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/wine-prefix start ${PW_WINE_PREFIX})
add_test(NAME wine_prefix_stop COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/wine-prefix stop ${PW_WINE_PREFIX})
set_tests_properties(wine_prefix_start PROPERTIES FIXTURES_SETUP wine_prefix)
set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine_prefix)

# One ctest entry per program: each start of a Windows program under Wine
# costs about a second, too much for one entry per test case.
function(pw_wine_test name)
  add_executable(${name} ${ARGN} ${PROJECT_SOURCE_DIR}/tests/support/TestMain.cpp)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${PW_TEST_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE
    POSTWATCH_SOURCE_DIR="${PROJECT_SOURCE_DIR}" POSTWATCH_BINARY_DIR="${PROJECT_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_prefix ENVIRONMENT "${PW_WINE_ENVIRONMENT}" TIMEOUT 600)
  if(DEFINED PW_WINE_LEFT_OUT_${name})
    list(JOIN PW_WINE_LEFT_OUT_${name} ":" cases)
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "GTEST_FILTER=-${cases}")
  endif()
endfunction()

# Test cases a program leaves out under Wine (PW_WINE_LEFT_OUT_<program>),
# with the reason for each.
set(PW_WINE_LEFT_OUT_test_unit_config
  # Unix file modes; the Windows private files have their own test in FilesAndStartTest.cpp.
  StoreFileTest.TheFileIsForItsOwnerAloneAndSoIsTheFolderCreatedForIt
  StoreFileTest.AFolderThatAlreadyExistsKeepsItsMode)
set(PW_WINE_LEFT_OUT_test_unit_pop3
  # Wine posts no FD_CLOSE for a close that came while Qt had the socket's
  # notices switched off (Windows posts it when they are switched on again):
  # the test's server never hears that the client went.
  pop3LineSocket.EndlessLineIsCutOffAndClosed)
set(PW_WINE_LEFT_OUT_test_unit_retrieval
  # Unix modes and XDG_CACHE_HOME; the Windows folder has its own tests in FilesAndStartTest.cpp.
  attachFolderFiles.FolderIsMadeOnDemandForItsOwnerAlone
  attachFolderFiles.OnlyOldRegularFilesOfTheFolderItselfAreRemoved
  attachFolderDefault.LivesInTheUsersCache)
set(PW_WINE_LEFT_OUT_test_unit_engine
  # Wine starts the Unix stand-in provider as a process without id or output, that kill cannot end: it kept ctest waiting
  AccessTokens.*
  # QFile::link makes a .lnk, a plain file to Windows; real links: WindowsFiles.ALinkAtAPrivateFilesNameIsNeverFollowed
  SummaryCacheFile.ALinkAtItsNameIsNeitherReadNorWrittenThrough
  # Qt's permission bits ignore access lists (Wine: 7777); WindowsFiles.PrivateFilesAreTheUsersAlone checks the list
  NotifyNewOnly.WhatItRemembersIsClosedToOtherUsers)

# The logic tests, as their folders list them.
set(PW_SCRIPT_SERVER ${CMAKE_CURRENT_SOURCE_DIR}/unit/pop3/ScriptServer.h ${CMAKE_CURRENT_SOURCE_DIR}/unit/pop3/ScriptServer.cpp)
# Sources left out: they stop and kill copies of the test with POSIX signals.
set(PW_POSIX_ONLY_TESTS StoreSharingTest.cpp)
function(pw_test name)
  set(sources ${ARGN})
  list(REMOVE_ITEM sources ${PW_POSIX_ONLY_TESTS})
  pw_wine_test(${name} ${sources})
endfunction()
foreach(folder unit/config unit/settings unit/pop3 unit/imap unit/retrieval unit/app unit/engine)
  add_subdirectory(${folder})
endforeach()

file(GLOB PW_WINDOWS_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/windows/*Test.cpp)
pw_wine_test(test_windows ${PW_WINDOWS_TESTS})

# The program as a user starts it: --version, the first start's settings in
# the registry, and --check against a Dovecot of its own. The mailbox's
# profile is written by the Linux build's profile tool (PW_HOST_BUILD_DIR).
set(PW_HOST_BUILD_DIR ${PROJECT_SOURCE_DIR}/build CACHE PATH "A Linux build of Postwatch, for its profile tool")
add_test(NAME windows_program
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/program-under-wine $<TARGET_FILE:postwatch> ${PW_HOST_BUILD_DIR})
set_tests_properties(windows_program PROPERTIES FIXTURES_REQUIRED wine_prefix ENVIRONMENT "${PW_WINE_ENVIRONMENT}" TIMEOUT 600)

# The installer, silently installed and removed for this user.
add_test(NAME windows_installer
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/installer-under-wine ${PROJECT_BINARY_DIR}/Postwatch-${PROJECT_VERSION}-setup.exe)
set_tests_properties(windows_installer PROPERTIES FIXTURES_REQUIRED wine_prefix ENVIRONMENT "${PW_WINE_ENVIRONMENT}"
  TIMEOUT 300 SKIP_RETURN_CODE 77)
# These make windows titled "Postwatch", which the uninstaller takes for a
# running copy, and use the user's own settings key: one at a time.
set_tests_properties(windows_installer windows_program test_windows PROPERTIES RESOURCE_LOCK postwatch_under_wine)
