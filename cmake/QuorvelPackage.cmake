# What a release installs, and the release file each build's `package`
# target makes: a Debian package from the Linux build, a zip and an
# installer from the Windows one.
#
# An installed tree keeps the tool's module and picture library in
# lib/quorvel beside bin/, where the tool looks for them relative to itself
# (frames/InstalledLayout.h), so an unpacked tree works as well as an installed one.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Veltrane")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Soft elliptical and rectangular mattes for a layer's alpha, and a headless host to render them")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS VT_Quorvel LIBRARY DESTINATION . RUNTIME DESTINATION .)
  install(TARGETS quorvel-host RUNTIME DESTINATION .)
  # The tool without its debugging data (tens of megabytes); the module is
  # shipped as built and tested.
  if(CMAKE_STRIP)
    install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/quorvel-host.exe\" COMMAND_ERROR_IS_FATAL ANY)")
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/packaging/INSTALL.txt DESTINATION .)
  # The notices of the code the Windows tool carries, from the build
  # machine's packages of it.
  foreach(package libcli11-dev nlohmann-json3-dev mingw-w64-x86-64-dev gcc-mingw-w64-base)
    if(EXISTS /usr/share/doc/${package}/copyright)
      install(FILES /usr/share/doc/${package}/copyright DESTINATION licenses RENAME ${package}.txt)
    endif()
  endforeach()
  # Signed where the release is, before the hashes are taken.
  find_program(QUORVEL_OSSLSIGNCODE osslsigncode)
  install(CODE "set(QUORVEL_OSSLSIGNCODE \"${QUORVEL_OSSLSIGNCODE}\")
set(QUORVEL_SIGN_SCRIPT \"${PROJECT_SOURCE_DIR}/packaging/SignFile.cmake\")")
  install(SCRIPT ${PROJECT_SOURCE_DIR}/packaging/SignRelease.cmake)
  # Last: the hashes of everything installed before it.
  install(SCRIPT ${PROJECT_SOURCE_DIR}/packaging/WriteChecksums.cmake)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "Quorvel-${PROJECT_VERSION}-win64")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_STRIP_FILES OFF)
  # The installer beside the zip, from the same files (packaging/Installer.nsi).
  find_program(QUORVEL_MAKENSIS makensis)
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/MakeInstaller.cmake)
  set(CPACK_QUORVEL_MAKENSIS "${QUORVEL_MAKENSIS}")
  set(CPACK_QUORVEL_OSSLSIGNCODE "${QUORVEL_OSSLSIGNCODE}")
  set(CPACK_QUORVEL_SIGN_SCRIPT ${PROJECT_SOURCE_DIR}/packaging/SignFile.cmake)
  set(CPACK_QUORVEL_INSTALLER_SCRIPT ${PROJECT_SOURCE_DIR}/packaging/Installer.nsi)
else()
  install(TARGETS quorvel-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS VT_Quorvel LIBRARY DESTINATION lib/quorvel)
  if(TARGET quorvel-pictures)
    install(TARGETS quorvel-pictures LIBRARY DESTINATION lib/quorvel)
  endif()
  # The guides as the repository lays them out, with the pictures and
  # examples they show, so that every link between them holds.
  set(doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/quorvel)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${doc})
  install(FILES ${PROJECT_SOURCE_DIR}/abi/README.md DESTINATION ${doc}/abi)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${doc}/docs)
  # A shot on a Slurm cluster, as a command beside the tool it runs.
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/slurm-shot.sh DESTINATION ${CMAKE_INSTALL_BINDIR}
          RENAME quorvel-slurm-shot)
  # quorvel-host(1), gzipped where the build found gzip; a build that cannot
  # run the tool has none (cli/CMakeLists.txt).
  if(QUORVEL_MANUAL_PAGE_INSTALLED)
    install(FILES ${QUORVEL_MANUAL_PAGE_INSTALLED} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  # Debian's name for the licence, where every package keeps it.
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quorvel RENAME copyright)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Veltrane <quorvel@veltrane.invalid>")
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  # Dependencies from the libraries the binaries link, as dpkg-shlibdeps finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
include(CPack)
