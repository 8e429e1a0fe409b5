# Decodes PICTURE with zbarimg and compares the result with the web address in IDENTITY.
file(READ ${IDENTITY} identity)
string(REGEX MATCH "kMakerWebAddress = \"([^\"]+)\"" _ "${identity}")
set(expected "${CMAKE_MATCH_1}")
execute_process(COMMAND ${ZBARIMG} --quiet --raw ${PICTURE}
                OUTPUT_VARIABLE decoded OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "zbarimg found no code in ${PICTURE} (status ${status})")
endif()
if(NOT decoded STREQUAL expected)
  message(FATAL_ERROR "QR code reads '${decoded}', expected '${expected}'")
endif()
message(STATUS "QR code reads ${decoded}")
