# cmake -DROOT=<dir> -DPREFIX=<include prefix of ROOT> -DLAYERS=<layers, lowest first>
#       [-DFORBIDDEN=<layer>=<regex>;...] -DSTAMP=<file> -P CheckLayers.cmake
# Fails when a file under ROOT/<layer>/ includes a file of a higher layer, by
# its name from the top ("<PREFIX>/<higher layer>/...") or by a relative one
# ("../<higher layer>/...", which the compiler finds beside the file), or
# includes anything its FORBIDDEN pattern matches (a library of another tree
# that the layer must not depend on).
set(rank 0)
foreach(layer ${LAYERS})
    set(rank_${layer} ${rank})
    math(EXPR rank "${rank} + 1")
endforeach()
foreach(rule ${FORBIDDEN})
    if(rule MATCHES "^([A-Za-z0-9_]+)=(.*)$")
        list(APPEND forbidden_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
    endif()
endforeach()

set(violations "")
foreach(layer ${LAYERS})
    file(GLOB files "${ROOT}/${layer}/*.h" "${ROOT}/${layer}/*.cpp")
    foreach(file ${files})
        get_filename_component(dir "${file}" DIRECTORY)
        file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
        foreach(line ${includes})
            set(target "")
            if(line MATCHES "[\"<]${PREFIX}/([A-Za-z0-9_]+)/")
                set(target "${CMAKE_MATCH_1}")
            elseif(line MATCHES "\"([^\"]*/[^\"]*)\"")
                # A relative name: where it lands decides its layer.
                get_filename_component(landed "${dir}/${CMAKE_MATCH_1}" ABSOLUTE)
                file(RELATIVE_PATH below "${ROOT}" "${landed}")
                if(below MATCHES "^([A-Za-z0-9_]+)/")
                    set(target "${CMAKE_MATCH_1}")
                endif()
            endif()
            if(DEFINED rank_${target} AND rank_${target} GREATER rank_${layer})
                string(APPEND violations "  ${file}: ${line} (${layer} may not include ${target})\n")
            endif()
            foreach(pattern ${forbidden_${layer}})
                if(line MATCHES "${pattern}")
                    string(APPEND violations "  ${file}: ${line} (${layer} may not include this)\n")
                endif()
            endforeach()
        endforeach()
    endforeach()
endforeach()

if(violations)
    message(FATAL_ERROR "${PREFIX} layers include upward:\n${violations}"
                        "Order, lowest first: ${LAYERS}. Reach a higher layer through an "
                        "interface it implements instead.")
endif()
file(WRITE "${STAMP}" "ok\n")
