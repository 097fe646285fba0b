# The executables we ship are reproducible: the same sources and the same
# installation set give the same bytes, whatever folder they were built in
# and whenever. Only the Windows build ships; the native build is left alone
# so that its debug information keeps absolute paths for the debugger.
if(NOT WIN32)
  return()
endif()

# No link time in the PE file header.
add_link_options(LINKER:--no-insert-timestamp)

# No source or build folder in the objects (__FILE__, debug information). The
# build folder lies inside the source folder in the usual layout; the later
# map wins, so it comes second. windres takes none of these flags.
add_compile_options(
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>"
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>")

# Static libraries without member times, owners or modes (Debian's ar already
# defaults to this; say it so that another binutils build does the same).
foreach(lang C CXX)
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()
