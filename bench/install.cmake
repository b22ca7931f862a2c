# The whole install sequence on a payload shaped like the shipped one (58
# entries, about 48 MiB unpacked, the largest file about 27 MiB), beside a bare
# minizip inflate-and-write loop over the same archive; and the same program
# with every file twice as large, whose memory figure must match the first.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
foreach(scale 1 2)
    if(scale EQUAL 1)
        set(name install_bench)
    else()
        set(name install_bench_x${scale})
    endif()
    set(dir "${CMAKE_CURRENT_BINARY_DIR}/${name}_payload")
    set(zip "${CMAKE_CURRENT_BINARY_DIR}/${name}_payload.zip")
    add_custom_command(OUTPUT "${zip}"
        COMMAND Python3::Interpreter "${CMAKE_CURRENT_SOURCE_DIR}/make_payload.py" "${dir}" ${scale}
        COMMAND Python3::Interpreter "${QM_TOOLS_DIR}/pack_zip.py" "${zip}" --dir "${dir}"
        COMMAND "${CMAKE_COMMAND}" -E rm -rf "${dir}"
        DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/make_payload.py" "${QM_TOOLS_DIR}/pack_zip.py"
        COMMENT "Generating the payload of ${name}")
    add_custom_target(${name}_payload DEPENDS "${zip}")
    # The payload where the installer keeps its own: ZIP / 101.
    set(rc "${CMAKE_CURRENT_BINARY_DIR}/${name}.rc")
    file(WRITE "${rc}" "#include <windows.h>\nLANGUAGE LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED\n101 ZIP \"${zip}\"\n")
    set_property(SOURCE "${rc}" APPEND PROPERTY OBJECT_DEPENDS "${zip}")

    qm_add_bench(${name} SOURCES InstallBench.cpp "${rc}" LIBS installer_lib psapi)
    add_dependencies(${name} ${name}_payload)
endforeach()
