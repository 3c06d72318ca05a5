# Binary resources of the plug-in, embedded in whatever module holds its code
# (the plug-in module, or a test program linking the core).
lumafex_embed_resources(TARGET lumafex_core NAME plugin
  BITMAP 7150 ${CMAKE_SOURCE_DIR}/resources/bitmaps/sample_picture.bmp
  BITMAP 7012 ${CMAKE_SOURCE_DIR}/resources/bitmaps/dialog_texture.bmp
  RCDATA 9001 ${CMAKE_SOURCE_DIR}/resources/bitmaps/emblem.bmp)
