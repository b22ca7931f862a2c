# The whole install sequence on a payload shaped like the shipped one (58
# entries, about 48 MiB unpacked, the largest file about 27 MiB), beside a bare
# decode-and-write loop over the same payload; the same program with every
# file twice as large, whose memory figure must match the first; payloads
# of 10,000 and 30,000 small files, whose times must grow with the count; and
# the realistic payload of real files. Each with either compressor (the
# programs of LZMA payloads end in _lzma). Each program carries its payload
# as the installer does: the digest among its resources, the payload
# attached after its image.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
foreach(variant 1 2 small10000 small30000 realistic 1_lzma 2_lzma small10000_lzma
                small30000_lzma realistic_lzma)
    set(codec zstd)
    set(suffix "")
    if(variant MATCHES "^(.*)_lzma$")
        set(codec lzma)
        set(suffix _lzma)
        set(variant "${CMAKE_MATCH_1}")
    endif()
    set(make "${CMAKE_CURRENT_SOURCE_DIR}/make_payload.py")
    if(variant STREQUAL "1")
        set(name install_bench${suffix})
        set(args 1)
    elseif(variant STREQUAL "realistic")
        set(name install_bench_realistic${suffix})
        set(make "${CMAKE_CURRENT_SOURCE_DIR}/make_realistic_payload.py")
        set(args)
    elseif(variant MATCHES "^small([0-9]+)$")
        set(name install_bench_${variant}${suffix})
        set(args --small ${CMAKE_MATCH_1})
    else()
        set(name install_bench_x${variant}${suffix})
        set(args ${variant})
    endif()
    set(dir "${CMAKE_CURRENT_BINARY_DIR}/${name}_payload")
    set(qmp "${CMAKE_CURRENT_BINARY_DIR}/${name}_payload.qmp")
    set(digest "${CMAKE_CURRENT_BINARY_DIR}/${name}_payload.digest")
    add_custom_command(OUTPUT "${qmp}" "${digest}"
        COMMAND Python3::Interpreter "${make}" "${dir}" ${args}
        COMMAND Python3::Interpreter "${QM_TOOLS_DIR}/pack_payload.py" "${qmp}" "${digest}" --dir "${dir}" --codec ${codec}
        COMMAND "${CMAKE_COMMAND}" -E rm -rf "${dir}"
        DEPENDS "${make}" "${QM_TOOLS_DIR}/pack_payload.py"
        COMMENT "Generating the payload of ${name}")
    add_custom_target(${name}_payload DEPENDS "${qmp}" "${digest}")
    set(rc "${CMAKE_CURRENT_BINARY_DIR}/${name}.rc")
    file(WRITE "${rc}" "#include <windows.h>\nLANGUAGE LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED\n101 QMPAYLOAD \"${digest}\"\n")
    set_property(SOURCE "${rc}" APPEND PROPERTY OBJECT_DEPENDS "${digest}")

    qm_add_bench(${name} SOURCES InstallBench.cpp "${rc}" LIBS installer_lib psapi)
    add_dependencies(${name} ${name}_payload)
    if(variant MATCHES "^(small|realistic)")
        # Many files: the update rounds would only repeat what the install shows.
        target_compile_definitions(${name} PRIVATE QM_BENCH_INSTALL_ONLY)
    endif()
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS "${qmp}")
    add_custom_command(TARGET ${name} POST_BUILD
        COMMAND Python3::Interpreter "${QM_TOOLS_DIR}/attach_payload.py" "$<TARGET_FILE:${name}>" "${qmp}"
        COMMENT "Attaching the payload of ${name}")
endforeach()
