# Small helpers shared by the project's CMake files.

# qm_target_defaults(target): warnings and include roots of the project.
function(qm_target_defaults target)
    target_compile_options(${target} PRIVATE ${QM_WARNINGS})
    target_include_directories(${target} PUBLIC "${CMAKE_SOURCE_DIR}")
endfunction()

# qm_add_test_program(name SOURCES ... LIBS ... [TIMEOUT s] [LOCK resource...])
# One GoogleTest program run under Wine. Tests that touch process-wide names
# (mutexes, registry keys, the temporary directory) take a resource lock so that
# a parallel ctest run never interleaves them. Programs that show windows take
# "desktop": a window of one program shown over another's takes the clicks and
# keys that a test sends to screen positions.
function(qm_add_test_program name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LOCK" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    qm_target_defaults(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
    if(ARG_LOCK)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${ARG_LOCK}")
    endif()
    add_dependencies(qm_tests ${name})
endfunction()

# qm_add_helper_program(name SOURCES ... LIBS ... [GUI] [OUTPUT_NAME n])
# A small Windows program that tests start as a child process.
function(qm_add_helper_program name)
    cmake_parse_arguments(ARG "GUI" "OUTPUT_NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    qm_target_defaults(${name})
    if(ARG_GUI)
        target_link_options(${name} PRIVATE -mwindows)
    endif()
    if(ARG_OUTPUT_NAME)
        set_target_properties(${name} PROPERTIES OUTPUT_NAME "${ARG_OUTPUT_NAME}")
    endif()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    add_dependencies(qm_tests ${name})
endfunction()

# qm_version_resource(target DESCRIPTION text): a version resource with the
# product's name and version and the program's own description.
function(qm_version_resource target)
    cmake_parse_arguments(ARG "" "DESCRIPTION" "" ${ARGN})
    get_target_property(out ${target} OUTPUT_NAME)
    if(NOT out)
        set(out ${target})
    endif()
    set(QM_VR_ORIGINAL "${out}.exe")
    set(QM_VR_INTERNAL "${out}")
    set(QM_VR_DESCRIPTION "${ARG_DESCRIPTION}")
    string(REPLACE "." "," QM_VERSION_COMMAS "${QM_VERSION}.0")
    set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
    configure_file("${CMAKE_SOURCE_DIR}/cmake/version.rc.in" "${rc}" @ONLY)
    target_sources(${target} PRIVATE "${rc}")
endfunction()

# qm_sign_program(target): when the build was configured for signing
# (make sign CERT=... KEY=...), signs the program right after it is linked, so
# the payload packs signed programs and the installer is signed last.
function(qm_sign_program target)
    if(QM_SIGN_CERT AND QM_SIGN_KEY)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND "${QM_TOOLS_DIR}/sign.sh" "${QM_SIGN_CERT}" "${QM_SIGN_KEY}" "$<TARGET_FILE:${target}>"
            COMMENT "Signing $<TARGET_FILE_NAME:${target}>")
    endif()
endfunction()

# qm_shipped_program(target): what a program that ships gets.
# - The linker's map beside it (<name>.map), and a copy with its symbols
#   (<name>.syms), which tools/size_report.py reads to show where its bytes go;
#   the program itself is stripped.
# - The whole-program optimisation at link time. One partition: with several,
#   this compiler stops with an internal error in the C++ library's string
#   code.
# - The project's lean replacements for the C++ runtime's allocation and
#   failure paths (runtime/Runtime.cpp). Test programs keep the library's own.
function(qm_shipped_program target)
    target_link_options(${target} PRIVATE "-Wl,-Map=$<TARGET_FILE:${target}>.map")
    target_link_options(${target} PRIVATE -flto -flto-partition=one)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:${target}>" "$<TARGET_FILE:${target}>.syms"
        COMMAND "${CMAKE_STRIP}" --strip-all "$<TARGET_FILE:${target}>")
    target_sources(${target} PRIVATE "${CMAKE_SOURCE_DIR}/runtime/Runtime.cpp")
endfunction()

# qm_manifest(target SOURCE file.manifest.in): the program's manifest in the
# build tree, naming the architecture of this build (x86 for the shipped
# 32-bit programs, amd64 for the 64-bit build): Windows refuses to start an
# image whose manifest names another architecture. The program's resource
# script finds it through the include path.
function(qm_manifest target)
    cmake_parse_arguments(ARG "" "SOURCE" "" ${ARGN})
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
        set(QM_MANIFEST_ARCH amd64)
    else()
        set(QM_MANIFEST_ARCH x86)
    endif()
    get_filename_component(name "${ARG_SOURCE}" NAME_WE)
    set(out "${CMAKE_CURRENT_BINARY_DIR}/${name}.manifest")
    configure_file("${ARG_SOURCE}" "${out}" @ONLY)
    target_include_directories(${target} PRIVATE "${CMAKE_CURRENT_BINARY_DIR}")
    get_target_property(sources ${target} SOURCES)
    foreach(source ${sources})
        if(source MATCHES "\\.rc$")
            set_property(SOURCE "${source}" APPEND PROPERTY OBJECT_DEPENDS "${out}")
        endif()
    endforeach()
endfunction()
