# The Windows build: the module's export list and descriptor resource, and
# the third-party code that Debian ships only for the build machine.

enable_language(RC)

# The module exports EntryPointFunc and nothing else, and carries the
# descriptor as the resource "PIPL" 16000. The resource's bytes come from the
# same generator (entry/Descriptor.h) as the ELF section of other builds.
function(quorvel_windows_module target)
  set(entry ${PROJECT_SOURCE_DIR}/entry)
  set(bytes ${CMAKE_CURRENT_BINARY_DIR}/descriptor/pipl.bin)
  if(CMAKE_CROSSCOMPILING)
    # The writer runs during the build, so it is a program of the build machine.
    find_program(QUORVEL_BUILD_MACHINE_CXX NAMES c++ g++ clang++ REQUIRED
                 DOC "C++ compiler of the build machine, for build-time tools")
    set(writer ${CMAKE_CURRENT_BINARY_DIR}/descriptor/write-descriptor-bytes)
    add_custom_command(
      OUTPUT ${writer}
      COMMAND ${QUORVEL_BUILD_MACHINE_CXX} -std=c++20 -O1 -I${PROJECT_SOURCE_DIR}
              -MD -MF ${writer}.d -o ${writer} ${entry}/WriteDescriptorBytes.cpp
      DEPFILE ${writer}.d
      DEPENDS ${entry}/WriteDescriptorBytes.cpp
      COMMENT "Building the descriptor writer for the build machine"
      VERBATIM)
  else()
    add_executable(write-descriptor-bytes ${entry}/WriteDescriptorBytes.cpp)
    target_link_libraries(write-descriptor-bytes PRIVATE quorvel_descriptor)
    set(writer write-descriptor-bytes)
  endif()
  add_custom_command(
    OUTPUT ${bytes}
    COMMAND ${writer} ${bytes}
    DEPENDS ${writer}
    COMMENT "Writing the descriptor resource's bytes"
    VERBATIM)

  # The version resource, from the numbers the module reports to the hosts.
  file(STRINGS ${PROJECT_SOURCE_DIR}/shell/Constants.h version_lines REGEX "k(Major|Minor|Fix|Build)Version = [0-9]+;")
  foreach(part Major Minor Fix Build)
    string(REGEX MATCH "k${part}Version = ([0-9]+)" found "${version_lines}")
    if(NOT found)
      message(FATAL_ERROR "shell/Constants.h gives no k${part}Version")
    endif()
    string(TOUPPER ${part} upper)
    set(QUORVEL_VERSION_${upper} ${CMAKE_MATCH_1})
  endforeach()
  set(reported ${QUORVEL_VERSION_MAJOR}.${QUORVEL_VERSION_MINOR}.${QUORVEL_VERSION_FIX})
  if(NOT reported VERSION_EQUAL PROJECT_VERSION)
    message(FATAL_ERROR "the module reports version ${reported} (shell/Constants.h), the project says ${PROJECT_VERSION}")
  endif()
  set(QUORVEL_VERSION_TEXT ${reported}.${QUORVEL_VERSION_BUILD})
  configure_file(${entry}/Version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/descriptor/Version.rc @ONLY)

  target_sources(${target} PRIVATE ${entry}/VT_Quorvel.rc ${CMAKE_CURRENT_BINARY_DIR}/descriptor/Version.rc
                                   ${entry}/exports.def)
  set_source_files_properties(${entry}/VT_Quorvel.rc PROPERTIES OBJECT_DEPENDS ${bytes})
  # windres looks for the files a script names in its include folders.
  target_include_directories(${target} PRIVATE $<$<COMPILE_LANGUAGE:RC>:${CMAKE_CURRENT_BINARY_DIR}/descriptor>)
  # Only the .def file's export, never an automatic one.
  target_link_options(${target} PRIVATE "LINKER:--exclude-all-symbols")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${entry}/exports.def)
endfunction()

# Debian ships GoogleTest for the build machine only, and its sources: the
# cross build compiles them.
if(QUORVEL_BUILD_TESTS AND QUORVEL_BUILD_TOOLS)
  find_package(GTest QUIET)
  if(NOT GTest_FOUND)
    set(QUORVEL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources (Debian package googletest)")
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    add_subdirectory(${QUORVEL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  # Listing a test program's tests runs it: under Wine, so at test time
  # rather than during the build.
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
endif()

# Header-only libraries (nlohmann-json, CLI11) are the same for every
# target, but their packages point at the build machine's /usr/include, whose
# C headers must not shadow the Windows ones: only each one's own folder is
# exposed, copied into the build tree, as the imported target its package would make.
function(quorvel_build_machine_headers target folder header package)
  find_path(QUORVEL_${folder}_INCLUDE ${folder}/${header} PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED
            DOC "Folder holding ${folder}/${header} (Debian package ${package})")
  set(headers ${CMAKE_BINARY_DIR}/build-machine-headers)
  file(REMOVE_RECURSE ${headers}/${folder})
  file(COPY ${QUORVEL_${folder}_INCLUDE}/${folder} DESTINATION ${headers})
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  target_include_directories(${target} INTERFACE ${headers})
endfunction()
if(QUORVEL_BUILD_TOOLS)
  find_package(nlohmann_json QUIET)
  if(NOT nlohmann_json_FOUND)
    quorvel_build_machine_headers(nlohmann_json::nlohmann_json nlohmann json.hpp nlohmann-json3-dev)
  endif()
  find_package(CLI11 QUIET CONFIG)
  if(NOT CLI11_FOUND)
    quorvel_build_machine_headers(CLI11::CLI11 CLI CLI.hpp libcli11-dev)
  endif()
endif()
