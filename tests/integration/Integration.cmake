# Tests against a real Dovecot on loopback. One server is started for the
# whole test run, in a folder under /tmp that the server's own unprivileged
# account can reach, and stopped at its end.
string(MD5 pw_pop3_tree "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${pw_pop3_tree}" 0 10 pw_pop3_tree)
set(PW_POP3_SERVER_DIR /tmp/postwatch-tests-${pw_pop3_tree})

add_test(NAME pop3_server_start
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/integration/start-dovecot ${PW_POP3_SERVER_DIR})
add_test(NAME pop3_server_stop
  COMMAND ${CMAKE_SOURCE_DIR}/tools/pop3-server stop ${PW_POP3_SERVER_DIR})
set_tests_properties(pop3_server_start PROPERTIES FIXTURES_SETUP pop3_server)
set_tests_properties(pop3_server_stop PROPERTIES FIXTURES_CLEANUP pop3_server)
add_test(NAME pop3_server_parallel_add_user
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/integration/parallel-add-user ${CMAKE_SOURCE_DIR}/tools/pop3-server)

# A test program that needs the run's server. The folders are built in rather
# than passed in the environment: test discovery splits a list of variables
# into separate test properties.
function(pw_dovecot_test name)
  pw_test_program(${name} ${ARGN})
  target_compile_definitions(${name} PRIVATE
    PW_POP3_SERVER_DIR="${PW_POP3_SERVER_DIR}"
    PW_MESSAGES_DIR="${CMAKE_CURRENT_SOURCE_DIR}/integration/messages")
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES FIXTURES_REQUIRED pop3_server ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 300)
endfunction()

pw_dovecot_test(test_integration_pop3 ${CMAKE_CURRENT_SOURCE_DIR}/integration/Pop3DovecotTest.cpp)
pw_dovecot_test(test_integration_tls ${CMAKE_CURRENT_SOURCE_DIR}/integration/TlsDovecotTest.cpp)
pw_dovecot_test(test_integration_retrieve ${CMAKE_CURRENT_SOURCE_DIR}/integration/RetrieveDovecotTest.cpp)
pw_dovecot_test(test_integration_imap ${CMAKE_CURRENT_SOURCE_DIR}/integration/ImapDovecotTest.cpp ${PW_SCRIPT_SERVER})
target_link_libraries(test_integration_imap PRIVATE pw_imap)

# The check cycle end to end: the main window offscreen, its real client
# against Dovecot, and a scripted server for the silences Dovecot never has.
pw_dovecot_test(test_integration_engine
  ${CMAKE_CURRENT_SOURCE_DIR}/integration/engine/CheckEndToEndTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/integration/engine/FirstAccountTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/integration/engine/ImapEndToEndTest.cpp
  ${PW_SCRIPT_SERVER})

# `postwatch --check` and `--list` run as processes against the same server.
pw_dovecot_test(test_integration_check ${CMAKE_CURRENT_SOURCE_DIR}/integration/CheckCommandTest.cpp ${PW_SCRIPT_SERVER})
add_dependencies(test_integration_check postwatch)

# OAuth 2.0 logins against a Dovecot that each test starts for itself, with
# the token check going to the test's own introspection stand-in.
pw_test_program(test_integration_token ${CMAKE_CURRENT_SOURCE_DIR}/integration/TokenDovecotTest.cpp)
gtest_discover_tests(test_integration_token
  DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 300)
