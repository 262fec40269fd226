# The module's layers, each a library of its own: shell/'s suites and
# parameters at the bottom, render/ and overlay/ above it, side by side, and
# the entry point on top, the one layer that sees both.
#
# A layer's headers are included by folder ("render/MaskEvaluator.h"), but
# not through the repository root, which would show every layer to every
# other: each layer has an include root of its own, holding links to the
# headers it publishes, and another, private to it, for the headers it keeps
# to itself. A file that includes a header of a layer its target does not
# link, or a header another layer keeps, does not compile.
set(QUORVEL_LAYER_ROOTS ${CMAKE_BINARY_DIR}/layers)

# quorvel_layer(<target> STATIC|OBJECT
#               [PUBLISHES <headers>...] [KEEPS <headers>...] [SOURCES <files>...]
#               [LINKS <target_link_libraries arguments>...])
# Headers and sources are named relative to the calling folder, the layer's.
# Published headers are found under ${QUORVEL_LAYER_ROOTS}/<target>.
function(quorvel_layer target kind)
  cmake_parse_arguments(ARG "" "" "PUBLISHES;KEEPS;SOURCES;LINKS" ${ARGN})
  add_library(${target} ${kind} ${ARG_SOURCES})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  foreach(set PUBLISHES KEEPS)
    if(set STREQUAL "PUBLISHES")
      set(root ${QUORVEL_LAYER_ROOTS}/${target})
      set(scope PUBLIC)
    else()
      set(root ${QUORVEL_LAYER_ROOTS}/${target}-own)
      set(scope PRIVATE)
    endif()
    # Made afresh: a header dropped from the lists must not stay visible.
    file(REMOVE_RECURSE ${root})
    if(ARG_${set})
      file(MAKE_DIRECTORY ${root}/${folder})
      foreach(header IN LISTS ARG_${set})
        file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${root}/${folder}/${header} SYMBOLIC)
      endforeach()
      target_include_directories(${target} ${scope} ${root})
      target_sources(${target} PRIVATE ${ARG_${set}})
    endif()
  endforeach()
  target_link_libraries(${target} PUBLIC quorvel_host_api)
  if(ARG_LINKS)
    target_link_libraries(${target} ${ARG_LINKS})
  endif()
  quorvel_module_flags(${target})
  # No module code on a record that differs from the hosts'.
  add_dependencies(${target} quorvel_host_layout)
endfunction()
