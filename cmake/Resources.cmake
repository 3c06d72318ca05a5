# lumafex_embed_resources(TARGET <target> NAME <name>
#                         [BITMAP <id> <file.bmp>]... [RCDATA <id-or-name> <file>]...
#                         [HTML <id-or-name> <file>]... [DATA <type> <id-or-name> <file>]...)
#
# Embeds binary files in the resource table of the module <target> ends up
# in, as a resource compiler would: at build time CMake itself turns the
# files into a generated C++ source whose static ResourceRegistration makes
# them visible to FindResource, LoadBitmap... under that module's handle.
# A bitmap loses its 14-byte file header, so its resource is a packed DIB.
# Numbers name resources by id, anything else by (case-insensitive) name.
#
# For a static library the compiled source becomes part of every module
# linking it (INTERFACE), since resources belong to the module that holds them.
function(lumafex_embed_resources)
  set(kind "")
  set(target "")
  set(name "")
  set(manifest "")
  set(inputs "")
  set(pending "")
  foreach(arg IN LISTS ARGN)
    if(arg STREQUAL "TARGET" OR arg STREQUAL "NAME")
      set(kind ${arg})
      continue()
    endif()
    if(arg STREQUAL "BITMAP" OR arg STREQUAL "RCDATA" OR arg STREQUAL "HTML" OR arg STREQUAL "DATA")
      if(pending)
        message(FATAL_ERROR "lumafex_embed_resources: incomplete entry ${pending}")
      endif()
      set(kind ${arg})
      set(pending ${arg})
      continue()
    endif()
    if(kind STREQUAL "TARGET")
      set(target ${arg})
      set(kind "")
    elseif(kind STREQUAL "NAME")
      set(name ${arg})
      set(kind "")
    elseif(pending)
      list(APPEND pending ${arg})
      list(LENGTH pending count)
      list(GET pending 0 entryKind)
      set(wanted 3)
      if(entryKind STREQUAL "DATA")
        set(wanted 4)
      endif()
      if(count EQUAL wanted)
        list(GET pending -1 file)
        get_filename_component(file "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        if(NOT EXISTS "${file}")
          message(FATAL_ERROR "lumafex_embed_resources: no file ${file}")
        endif()
        list(REMOVE_AT pending -1)
        list(JOIN pending "|" head)
        string(APPEND manifest "${head}|${file}\n")
        list(APPEND inputs "${file}")
        set(pending "")
      endif()
    else()
      message(FATAL_ERROR "lumafex_embed_resources: unexpected argument ${arg}")
    endif()
  endforeach()
  if(pending)
    message(FATAL_ERROR "lumafex_embed_resources: incomplete entry ${pending}")
  endif()
  if(NOT manifest)
    message(FATAL_ERROR "lumafex_embed_resources: no files to embed")
  endif()
  if(NOT target OR NOT name)
    message(FATAL_ERROR "lumafex_embed_resources: TARGET and NAME are required")
  endif()

  set(dir "${CMAKE_CURRENT_BINARY_DIR}/${name}_resources")
  set(manifestFile "${dir}/manifest.txt")
  set(output "${dir}/${name}_resources.cpp")
  file(MAKE_DIRECTORY "${dir}")
  file(CONFIGURE OUTPUT "${manifestFile}" CONTENT "${manifest}")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} -DMANIFEST=${manifestFile} -DOUTPUT=${output}
            -P "${LUMAFEX_EMBED_SCRIPT}"
    DEPENDS ${inputs} "${manifestFile}" "${LUMAFEX_EMBED_SCRIPT}"
    COMMENT "Embedding resources ${name}"
    VERBATIM)
  add_custom_target(${name}_resources DEPENDS "${output}")
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "STATIC_LIBRARY")
    # Compiled once; the object joins every module that links the library.
    add_library(${name}_resource_objects OBJECT "${output}")
    target_link_libraries(${name}_resource_objects PRIVATE lumaplatform)
    target_sources(${target} INTERFACE $<TARGET_OBJECTS:${name}_resource_objects>)
  else()
    target_sources(${target} PRIVATE "${output}")
  endif()
  add_dependencies(${target} ${name}_resources)
endfunction()

set(LUMAFEX_EMBED_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/EmbedResources.cmake")
