# The Qt driver's tests run the plug-in's dialog with real widgets, offscreen.
target_link_libraries(${target} PRIVATE lumafex_gui Qt6::Test)
