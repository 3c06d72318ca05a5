# The Qt driver's tests run the plug-in's dialog with real widgets, offscreen,
# and read what the host window saves with the formats' own decoders.
target_sources(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/cli/cli_support.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/host/host_test_support.cpp)
target_link_libraries(${target} PRIVATE lumafex_gui Qt6::Test util)
target_compile_definitions(${target} PRIVATE LUMAFEX_PROGRAM="$<TARGET_FILE:lumafex>")
