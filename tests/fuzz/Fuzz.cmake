# libFuzzer targets for the message reader (with the readable texts made
# from what it read), the shown header texts, the two decoders and the IMAP
# response parser, built with
# clang under AddressSanitizer. tools/run-fuzz builds and runs them.
option(POSTWATCH_FUZZ "Build the fuzz targets (needs clang)" OFF)
if(NOT POSTWATCH_FUZZ)
  return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "POSTWATCH_FUZZ needs clang (libFuzzer): configure with -DCMAKE_CXX_COMPILER=clang++")
endif()

# The readers are compiled into each target, so they carry the fuzzer's
# instrumentation.
set(PW_FUZZ_SOURCES
  ${CMAKE_SOURCE_DIR}/pop3/MessageReader.cpp
  ${CMAKE_SOURCE_DIR}/pop3/BodyText.cpp
  ${CMAKE_SOURCE_DIR}/pop3/HeaderText.cpp
  ${CMAKE_SOURCE_DIR}/pop3/Charset.cpp
  ${CMAKE_SOURCE_DIR}/pop3/TextLimit.cpp
  ${CMAKE_SOURCE_DIR}/pop3/AttachFolder.cpp
  ${CMAKE_SOURCE_DIR}/pop3/Uudecoder.cpp
  ${CMAKE_SOURCE_DIR}/base/CleanText.cpp
  ${CMAKE_SOURCE_DIR}/base/Words.cpp)

foreach(target fuzz_message_reader fuzz_header_text fuzz_base64 fuzz_uudecode)
  add_executable(${target} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/${target}.cpp ${PW_FUZZ_SOURCES})
  target_compile_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE Qt6::Core)
endforeach()
# A header's fields are read in the engine; its header names the client's
# network types, which the target never uses.
target_sources(fuzz_header_text PRIVATE ${CMAKE_SOURCE_DIR}/engine/MessageFields.cpp
  ${CMAKE_SOURCE_DIR}/engine/RowFormat.cpp)
target_link_libraries(fuzz_header_text PRIVATE Qt6::Network)

add_executable(fuzz_imap_response ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/fuzz_imap_response.cpp
  ${CMAKE_SOURCE_DIR}/imap/ImapResponse.cpp ${CMAKE_SOURCE_DIR}/imap/ImapFetch.cpp)
target_compile_options(fuzz_imap_response PRIVATE -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer)
target_link_options(fuzz_imap_response PRIVATE -fsanitize=fuzzer,address,undefined)
target_include_directories(fuzz_imap_response PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(fuzz_imap_response PRIVATE Qt6::Core)
