# Authenticode-signs one Windows file in place with osslsigncode, from the
# PEM certificate and key named by QUORVEL_SIGN_CERT and QUORVEL_SIGN_KEY,
# time-stamped (RFC 3161) by the server QUORVEL_SIGN_TIMESTAMP names, when set.
#
#   cmake -DOSSLSIGNCODE=/usr/bin/osslsigncode -P SignFile.cmake FILE
#
# The signed file is written beside the file and takes its place only once
# complete, so a failed signing leaves the file as it was.
math(EXPR last "${CMAKE_ARGC} - 1")
set(file "${CMAKE_ARGV${last}}")
if(NOT EXISTS "${file}" OR IS_DIRECTORY "${file}")
  message(FATAL_ERROR "sign: no file to sign: '${file}'")
endif()
foreach(var QUORVEL_SIGN_CERT QUORVEL_SIGN_KEY)
  if("$ENV{${var}}" STREQUAL "")
    message(FATAL_ERROR "sign: ${var} is not set: a release is signed with both QUORVEL_SIGN_CERT and QUORVEL_SIGN_KEY")
  endif()
  if(NOT EXISTS "$ENV{${var}}")
    message(FATAL_ERROR "sign: ${var} names $ENV{${var}}, which does not exist")
  endif()
endforeach()
if(NOT OSSLSIGNCODE)
  message(FATAL_ERROR "sign: osslsigncode was not found when the build was configured (scripts/install-deps.sh package)")
endif()
set(timestamp "")
if(NOT "$ENV{QUORVEL_SIGN_TIMESTAMP}" STREQUAL "")
  set(timestamp -ts "$ENV{QUORVEL_SIGN_TIMESTAMP}")
endif()
set(signed "${file}.signed")
file(REMOVE "${signed}")
execute_process(
  COMMAND "${OSSLSIGNCODE}" sign -certs "$ENV{QUORVEL_SIGN_CERT}" -key "$ENV{QUORVEL_SIGN_KEY}" -h sha256
          -n "Quorvel" ${timestamp} -in "${file}" -out "${signed}"
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  file(REMOVE "${signed}")
  string(STRIP "${output}" output)
  message(FATAL_ERROR "sign: osslsigncode could not sign ${file}:\n${output}")
endif()
file(RENAME "${signed}" "${file}")
