# Signs the installed module and tool in place when the release is signed
# (QUORVEL_SIGN_CERT or QUORVEL_SIGN_KEY set when the package is made):
# before their hashes are taken, so that the zip and the installer carry
# the signed files. QUORVEL_OSSLSIGNCODE and QUORVEL_SIGN_SCRIPT are set
# by the install code before it.
if("$ENV{QUORVEL_SIGN_CERT}" STREQUAL "" AND "$ENV{QUORVEL_SIGN_KEY}" STREQUAL "")
  return()
endif()
foreach(name VT_Quorvel.aex quorvel-host.exe)
  execute_process(COMMAND "${CMAKE_COMMAND}" "-DOSSLSIGNCODE=${QUORVEL_OSSLSIGNCODE}" -P "${QUORVEL_SIGN_SCRIPT}"
                          "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${name}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
