# The user tests carry resources of their own, embedded as any module's are,
# and a plain C program that must build against the headers unchanged.
lumafex_embed_resources(TARGET ${target} NAME user_tests
  BITMAP 501 ${CMAKE_CURRENT_SOURCE_DIR}/user/data/swatch.bmp
  RCDATA 502 ${CMAKE_CURRENT_SOURCE_DIR}/user/data/blob.bin
  RCDATA Empty ${CMAKE_CURRENT_SOURCE_DIR}/user/data/empty.bin
  HTML "GUIDE.HTML" ${CMAKE_CURRENT_SOURCE_DIR}/user/data/guide.html
  DATA "Custom" 300 ${CMAKE_CURRENT_SOURCE_DIR}/user/data/blob.bin)
target_sources(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/user/c/win32_program.c)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/user/c/win32_program.c PROPERTIES
  COMPILE_OPTIONS "-std=c11;-pedantic;-Wall;-Wextra")
