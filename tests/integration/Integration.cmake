# Tests against a real Dovecot on loopback. One server is started for the
# whole test run, in a folder under /tmp that the server's own unprivileged
# account can reach, and stopped at its end.
string(MD5 pw_pop3_tree "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${pw_pop3_tree}" 0 10 pw_pop3_tree)
set(PW_POP3_SERVER_DIR /tmp/postwatch-tests-${pw_pop3_tree})

add_executable(test_integration_pop3
  ${CMAKE_CURRENT_SOURCE_DIR}/integration/Pop3DovecotTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/TestMain.cpp)
target_link_libraries(test_integration_pop3 PRIVATE ${PW_TEST_LIBS} pw_testsupport)
# Built in rather than passed in the environment: test discovery splits a
# list of variables into separate test properties.
target_compile_definitions(test_integration_pop3 PRIVATE
  PW_POP3_SERVER_DIR="${PW_POP3_SERVER_DIR}"
  PW_MESSAGES_DIR="${CMAKE_CURRENT_SOURCE_DIR}/integration/messages")

add_executable(test_integration_retrieve
  ${CMAKE_CURRENT_SOURCE_DIR}/integration/RetrieveDovecotTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/TestMain.cpp)
target_link_libraries(test_integration_retrieve PRIVATE ${PW_TEST_LIBS} pw_testsupport)
target_compile_definitions(test_integration_retrieve PRIVATE
  PW_POP3_SERVER_DIR="${PW_POP3_SERVER_DIR}"
  PW_MESSAGES_DIR="${CMAKE_CURRENT_SOURCE_DIR}/integration/messages")

add_test(NAME pop3_server_start
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/integration/start-dovecot ${PW_POP3_SERVER_DIR})
add_test(NAME pop3_server_stop
  COMMAND ${CMAKE_SOURCE_DIR}/tools/pop3-server stop ${PW_POP3_SERVER_DIR})
set_tests_properties(pop3_server_start PROPERTIES FIXTURES_SETUP pop3_server)
set_tests_properties(pop3_server_stop PROPERTIES FIXTURES_CLEANUP pop3_server)

gtest_discover_tests(test_integration_pop3
  DISCOVERY_TIMEOUT 60
  PROPERTIES FIXTURES_REQUIRED pop3_server)
gtest_discover_tests(test_integration_retrieve
  DISCOVERY_TIMEOUT 60
  PROPERTIES FIXTURES_REQUIRED pop3_server)

# The check cycle end to end: the main window offscreen, its real client
# against Dovecot, and a scripted server for the silences Dovecot never has.
add_executable(test_integration_engine
  ${CMAKE_CURRENT_SOURCE_DIR}/integration/engine/CheckEndToEndTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/unit/pop3/ScriptServer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/TestMain.cpp)
target_link_libraries(test_integration_engine PRIVATE ${PW_TEST_LIBS} pw_testsupport)
target_compile_definitions(test_integration_engine PRIVATE PW_POP3_SERVER_DIR="${PW_POP3_SERVER_DIR}")
gtest_discover_tests(test_integration_engine
  DISCOVERY_TIMEOUT 60
  PROPERTIES FIXTURES_REQUIRED pop3_server ENVIRONMENT QT_QPA_PLATFORM=offscreen)

# `postwatch --check` run as a process against the same server.
add_executable(test_integration_check
  ${CMAKE_CURRENT_SOURCE_DIR}/integration/CheckCommandTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/TestMain.cpp)
target_link_libraries(test_integration_check PRIVATE ${PW_TEST_LIBS} pw_testsupport)
target_compile_definitions(test_integration_check PRIVATE
  PW_POP3_SERVER_DIR="${PW_POP3_SERVER_DIR}" POSTWATCH_BINARY_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(test_integration_check postwatch)
gtest_discover_tests(test_integration_check
  DISCOVERY_TIMEOUT 60
  PROPERTIES FIXTURES_REQUIRED pop3_server)
