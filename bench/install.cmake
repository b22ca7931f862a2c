# The whole install sequence on a payload shaped like the shipped one (58
# entries, about 48 MiB unpacked, the largest file about 27 MiB), beside a bare
# minizip inflate-and-write loop over the same archive.
set(QM_BENCH_PAYLOAD_DIR "${CMAKE_CURRENT_BINARY_DIR}/install_payload")
set(QM_BENCH_PAYLOAD_ZIP "${CMAKE_CURRENT_BINARY_DIR}/install_payload.zip")
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(OUTPUT "${QM_BENCH_PAYLOAD_ZIP}"
    COMMAND Python3::Interpreter "${CMAKE_CURRENT_SOURCE_DIR}/make_payload.py" "${QM_BENCH_PAYLOAD_DIR}"
    COMMAND Python3::Interpreter "${QM_TOOLS_DIR}/pack_zip.py" "${QM_BENCH_PAYLOAD_ZIP}" --dir "${QM_BENCH_PAYLOAD_DIR}"
    DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/make_payload.py" "${QM_TOOLS_DIR}/pack_zip.py"
    COMMENT "Generating the install benchmark's payload")
add_custom_target(install_bench_payload DEPENDS "${QM_BENCH_PAYLOAD_ZIP}")

qm_add_bench(install_bench SOURCES InstallBench.cpp InstallBench.rc LIBS installer_lib psapi)
add_dependencies(install_bench install_bench_payload)
target_include_directories(install_bench PRIVATE "${CMAKE_CURRENT_BINARY_DIR}")
set_property(SOURCE InstallBench.rc APPEND PROPERTY OBJECT_DEPENDS "${QM_BENCH_PAYLOAD_ZIP}")
