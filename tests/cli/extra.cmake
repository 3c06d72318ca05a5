# The command line's tests run the lumafex program and read what it writes
# with the formats' own libraries.
target_sources(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/host/host_test_support.cpp)
target_link_libraries(${target} PRIVATE lumafex_host util)
add_dependencies(${target} lumafex)
target_compile_definitions(${target} PRIVATE LUMAFEX_PROGRAM="$<TARGET_FILE:lumafex>")
