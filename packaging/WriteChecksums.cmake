# Writes SHA256SUMS beside the installed files: one line a file, in the
# format `sha256sum -c` checks, paths relative to the archive's root.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
file(GLOB_RECURSE files RELATIVE "${root}" "${root}/*")
list(REMOVE_ITEM files SHA256SUMS)
list(SORT files)
set(lines "")
foreach(f IN LISTS files)
  file(SHA256 "${root}/${f}" hash)
  string(APPEND lines "${hash}  ${f}\n")
endforeach()
file(WRITE "${root}/SHA256SUMS" "${lines}")
