# Each folder's sources are taken as they stand: a new file joins its target
# without an edit here, and CONFIGURE_DEPENDS re-runs the glob when files come or go.
function(lumafex_glob out)
  set(files)
  foreach(dir IN LISTS ARGN)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS
      ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.c)
    list(APPEND files ${found})
  endforeach()
  # The module's own entry file belongs to lumaplug_x64 alone.
  list(FILTER files EXCLUDE REGEX "/plugin/module/")
  set(${out} ${files} PARENT_SCOPE)
endfunction()
