# The host's tests read the written files back with the libraries' own decoders.
target_link_libraries(${target} PRIVATE lumafex_host)
