# cmake --install: the programs, the platform library, the plug-in and its
# help document go together in one folder (a host finds the plug-in beside
# itself and the help beside the plug-in), the programs are linked from bin,
# and the GUI gets a desktop entry.
include(GNUInstallDirs)
set(LUMAFEX_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/lumafex)

set(lumafex_programs)
foreach(program lumafex lumafex-gui)
  if(TARGET ${program})
    list(APPEND lumafex_programs ${program})
  endif()
endforeach()
foreach(target lumaplatform lumaplug_x64 ${lumafex_programs})
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
endforeach()
install(TARGETS lumaplatform LIBRARY DESTINATION ${LUMAFEX_INSTALL_DIR})
install(TARGETS lumaplug_x64 LIBRARY DESTINATION ${LUMAFEX_INSTALL_DIR})
if(lumafex_programs)
  install(TARGETS ${lumafex_programs} RUNTIME DESTINATION ${LUMAFEX_INSTALL_DIR})
endif()

install(FILES ${CMAKE_SOURCE_DIR}/resources/LUMAPLUG.HTML DESTINATION ${LUMAFEX_INSTALL_DIR})

foreach(program IN LISTS lumafex_programs)
  install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bin}\")
    file(RELATIVE_PATH target \"\${bin}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${LUMAFEX_INSTALL_DIR}/${program}\")
    file(CREATE_LINK \"\${target}\" \"\${bin}/${program}\" SYMBOLIC)
    message(STATUS \"Linking: \${bin}/${program} -> \${target}\")")
endforeach()

if(TARGET lumafex-gui)
  install(FILES ${CMAKE_SOURCE_DIR}/host/gui/lumafex-gui.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()

if(LUMAFEX_TESTS)
  # The installed copy works on its own.
  set(lumafex_check_gui OFF)
  if(TARGET lumafex-gui)
    set(lumafex_check_gui ON)
  endif()
  add_test(NAME InstalledCopy.BuildsAndShowsTheDialog
    COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DSTAGE=${CMAKE_BINARY_DIR}/install_check
      -DLIBDIR=${CMAKE_INSTALL_LIBDIR} -DDATADIR=${CMAKE_INSTALL_DATADIR} -DGUI=${lumafex_check_gui} -P ${CMAKE_SOURCE_DIR}/cmake/CheckInstall.cmake)
endif()
