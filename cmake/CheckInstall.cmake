# Installs the build into a folder of its own and runs the installed copy
# from there, with nothing pointing it back at the build: the command line
# builds a GIF, and the GUI (when built) saves a screenshot offscreen.
#   cmake -DBUILD_DIR=... -DSTAGE=... -DLIBDIR=lib -DDATADIR=share -DGUI=ON|OFF -P CheckInstall.cmake
file(REMOVE_RECURSE ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${STAGE}
  RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
if(result)
  message(FATAL_ERROR "cmake --install failed (${result}): ${errors}")
endif()

set(folder ${STAGE}/${LIBDIR}/lumafex)
set(expected ${STAGE}/bin/lumafex ${folder}/lumafex ${folder}/lumaplug_x64.so ${folder}/liblumaplatform.so
  ${folder}/LUMAPLUG.HTML)
if(GUI)
  list(APPEND expected ${STAGE}/bin/lumafex-gui ${folder}/lumafex-gui
    ${STAGE}/${DATADIR}/applications/lumafex-gui.desktop)
endif()
foreach(path IN LISTS expected)
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()

file(MAKE_DIRECTORY ${STAGE}/work)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env --unset=LUMAFEX_PLUGIN HOME=${STAGE}/work
    ${STAGE}/bin/lumafex --config-dir ${STAGE}/work -e Snow --set Frames=2 -o ${STAGE}/work/out.gif
  WORKING_DIRECTORY ${STAGE}/work RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(result OR NOT EXISTS ${STAGE}/work/out.gif)
  message(FATAL_ERROR "the installed lumafex did not build (${result}): ${errors}")
endif()
file(READ ${STAGE}/work/out.gif head LIMIT 6 HEX)
if(NOT head STREQUAL "474946383961")  # GIF89a
  message(FATAL_ERROR "the installed lumafex wrote no GIF")
endif()

if(GUI)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=LUMAFEX_PLUGIN --unset=DISPLAY --unset=WAYLAND_DISPLAY
      HOME=${STAGE}/work XDG_CONFIG_HOME=${STAGE}/work QT_QPA_PLATFORM=offscreen
      ${STAGE}/bin/lumafex-gui --screenshot ${STAGE}/work/dialog.png -e Snow
    WORKING_DIRECTORY ${STAGE}/work RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(result OR NOT EXISTS ${STAGE}/work/dialog.png)
    message(FATAL_ERROR "the installed lumafex-gui took no screenshot (${result}): ${errors}")
  endif()
endif()
file(REMOVE_RECURSE ${STAGE})
