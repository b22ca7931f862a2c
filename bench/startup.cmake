# Start-up of the installer: from the process start to its welcome page on the
# screen, beside a bare program that shows one window with one bitmap. The
# floor program lives in a folder of its own, since `make bench` runs every
# program directly in this one.
add_executable(startup_floor WIN32 StartupFloor.cpp)
qm_target_defaults(startup_floor)
target_link_options(startup_floor PRIVATE -municode)
set_target_properties(startup_floor PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/startup")

qm_add_bench(startup_bench SOURCES StartupBench.cpp LIBS qm_testsupport user32 gdi32)
add_dependencies(startup_bench startup_floor QuillmossdexSetup)
