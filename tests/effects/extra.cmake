# The ball sprite test writes its picture as a PNG and reads it back.
find_package(PkgConfig REQUIRED)
pkg_check_modules(EFFECTS_TEST_PNG REQUIRED IMPORTED_TARGET libpng)
target_link_libraries(${target} PRIVATE PkgConfig::EFFECTS_TEST_PNG)
