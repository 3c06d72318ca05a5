# The stage timer's frame loading and stages, with the host's picture files
# to feed them.
target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/bench/stage_frames.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/host/host_test_support.cpp)
target_link_libraries(${target} PRIVATE lumafex_host)
