# Compiler settings, applied per target.

# Warnings for every target of the project.
function(quorvel_warnings target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(QUORVEL_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
  quorvel_sanitize(${target})
endfunction()

# Sanitizers for every target when QUORVEL_SANITIZE names them (for example
# "address,undefined" or "thread"); a report stops the program.
function(quorvel_sanitize target)
  if(QUORVEL_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=${QUORVEL_SANITIZE} -fno-sanitize-recover=all
                                             -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=${QUORVEL_SANITIZE})
    if(QUORVEL_SANITIZE MATCHES "undefined")
      # Out-of-range float-to-integer conversions are undefined; the
      # evaluator's divisions by zero are intended IEEE infinities.
      target_compile_options(${target} PRIVATE -fsanitize=float-cast-overflow)
      target_link_options(${target} PRIVATE -fsanitize=float-cast-overflow)
    endif()
  endif()
  if(QUORVEL_FUZZ)
    # Coverage for the fuzzer in everything it runs, the module included.
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

# The module: its render arithmetic is fixed to the last bit, so no
# contraction of a*b+c into fused multiply-adds, no fast maths and no
# machine-specific code generation. Only the entry point is visible.
function(quorvel_module_flags target)
  quorvel_warnings(${target})
  set_target_properties(${target} PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    # PUBLIC: tests that include the evaluator's inline arithmetic must
    # compute it the same way the module does.
    target_compile_options(${target} PUBLIC -ffp-contract=off -fno-fast-math)
  endif()
endfunction()

# A library of the module: the host's declarations, the module's flags, and
# never built on a record that differs from the hosts'.
function(quorvel_module_library target kind)
  add_library(${target} ${kind} ${ARGN})
  target_link_libraries(${target} PUBLIC quorvel_host_api)
  quorvel_module_flags(${target})
  add_dependencies(${target} quorvel_host_layout)
endfunction()
