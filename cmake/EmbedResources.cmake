# Run by lumafex_embed_resources at build time: cmake -DMANIFEST=... -DOUTPUT=... -P EmbedResources.cmake
# Each manifest line is kind|id-or-name|file, or DATA|type|id-or-name|file.
file(STRINGS "${MANIFEST}" lines)

function(resource_key value out)
  if(value MATCHES "^[0-9]+$")
    set(${out} "MAKEINTRESOURCEA(${value})" PARENT_SCOPE)
  else()
    string(REPLACE "\\" "\\\\" value "${value}")
    string(REPLACE "\"" "\\\"" value "${value}")
    set(${out} "\"${value}\"" PARENT_SCOPE)
  endif()
endfunction()

set(arrays "")
set(entries "")
set(index 0)
foreach(line IN LISTS lines)
  string(REPLACE "|" ";" fields "${line}")
  list(GET fields 0 kind)
  list(GET fields -1 file)
  if(kind STREQUAL "DATA")
    list(GET fields 1 type)
    list(GET fields 2 id)
    resource_key("${type}" typeKey)
  else()
    list(GET fields 1 id)
    if(kind STREQUAL "BITMAP")
      set(typeKey "RT_BITMAP")
    elseif(kind STREQUAL "RCDATA")
      set(typeKey "RT_RCDATA")
    else()
      set(typeKey "RT_HTML")
    endif()
  endif()
  resource_key("${id}" nameKey)
  set(offset 0)
  if(kind STREQUAL "BITMAP")
    file(READ "${file}" signature LIMIT 2 HEX)
    if(NOT signature STREQUAL "424d")
      message(FATAL_ERROR "${file} is no bitmap file")
    endif()
    set(offset 14)
  endif()
  file(READ "${file}" hex OFFSET ${offset} HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  if(size EQUAL 0)
    string(APPEND arrays "const unsigned char data${index}[1] = {0};\n")
  else()
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
    string(APPEND arrays "alignas(8) const unsigned char data${index}[${size}] = {\n${bytes}\n};\n")
  endif()
  string(APPEND entries "    {${typeKey}, ${nameKey}, data${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()

set(content "// Generated at build time from the files listed in ${MANIFEST}; do not edit.
#include \"luma/resources.h\"

namespace {

${arrays}
const luma::Resource resources[] = {
${entries}};

// Registered under the module this file is linked into for as long as it is loaded.
const luma::ResourceRegistration registration(resources);

}  // namespace
")
file(WRITE "${OUTPUT}.tmp" "${content}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
