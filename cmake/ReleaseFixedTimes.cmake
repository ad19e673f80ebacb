# Runs inside CPack between staging and zipping: every staged file and folder gets the
# time SOURCE_DATE_EPOCH names (or none is changed without it), so that the zip's
# recorded times are the same on every build of the same sources.
get_cmake_property(vars VARIABLES)
foreach(v ${vars})
  if(v MATCHES "^CPACK_")
    message(STATUS "${v}=${${v}}")
  endif()
endforeach()
