# Binary resources of the plug-in, embedded in whatever module holds its code
# (the plug-in module, or a test program linking the core).
lumafex_embed_resources(TARGET lumafex_core NAME plugin
  BITMAP 7150 ${CMAKE_SOURCE_DIR}/resources/bitmaps/sample_picture.bmp
  BITMAP 7012 ${CMAKE_SOURCE_DIR}/resources/bitmaps/dialog_texture.bmp
  BITMAP 7151 ${CMAKE_SOURCE_DIR}/resources/bitmaps/matrix_texture.bmp
  RCDATA 7105 ${CMAKE_SOURCE_DIR}/resources/bitmaps/pad_glyphs_four_way.bmp
  RCDATA 7106 ${CMAKE_SOURCE_DIR}/resources/bitmaps/pad_glyphs_two_way.bmp
  RCDATA 9001 ${CMAKE_SOURCE_DIR}/resources/bitmaps/emblem.bmp)

