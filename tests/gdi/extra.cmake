# The reference images' own generator, a plain Win32 C program, renders the
# fixture cases through our GDI; its main is renamed so the runner can call it.
set(GDIREF_SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/gdi/fixtures/gdiref.c)
set_source_files_properties(${GDIREF_SOURCE} PROPERTIES COMPILE_DEFINITIONS "main=gdiref_main")
target_sources(${target} PRIVATE ${GDIREF_SOURCE})
target_compile_definitions(${target} PRIVATE
  GDI_FIXTURES_DIR="${CMAKE_CURRENT_SOURCE_DIR}/gdi/fixtures")
