# CPack's pre-build script for the Windows release: the installer, made by
# makensis from the files the zip is about to hold (signed already, when the
# release is), beside the zip. Says in one line when the release is unsigned.
if(NOT CPACK_QUORVEL_MAKENSIS)
  message(FATAL_ERROR "makensis was not found when the build was configured: install nsis "
                      "(scripts/install-deps.sh package) and configure the Windows build again")
endif()
set(installer "${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.exe")
set(sign "")
if(NOT "$ENV{QUORVEL_SIGN_CERT}" STREQUAL "" OR NOT "$ENV{QUORVEL_SIGN_KEY}" STREQUAL "")
  # makensis runs it on the uninstaller it builds in and on the installer.
  set(sign "-DSIGN=\"${CMAKE_COMMAND}\" -DOSSLSIGNCODE=\"${CPACK_QUORVEL_OSSLSIGNCODE}\" -P \"${CPACK_QUORVEL_SIGN_SCRIPT}\"")
else()
  message("quorvel: this release is unsigned (set QUORVEL_SIGN_CERT and QUORVEL_SIGN_KEY to sign it)")
endif()
file(REMOVE "${installer}")
execute_process(
  COMMAND "${CPACK_QUORVEL_MAKENSIS}" -WX -V2 -NOCD "-DVERSION=${CPACK_PACKAGE_VERSION}"
          "-DPUBLISHER=${CPACK_PACKAGE_VENDOR}" "-DSOURCE=${CPACK_TEMPORARY_INSTALL_DIRECTORY}" "-DOUTFILE=${installer}" ${sign}
          "${CPACK_QUORVEL_INSTALLER_SCRIPT}"
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR NOT EXISTS "${installer}")
  file(REMOVE "${installer}")
  message(FATAL_ERROR "makensis could not make ${installer}:\n${output}")
endif()
message(STATUS "CPack: - installer: ${installer} generated.")
