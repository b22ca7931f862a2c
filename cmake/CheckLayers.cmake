# cmake -DROOT=<skinui dir> -DLAYERS=<layers, lowest first> -DSTAMP=<file> -P CheckLayers.cmake
# Fails when a file under ROOT/<layer>/ includes "skinui/<higher layer>/...".
set(rank 0)
foreach(layer ${LAYERS})
    set(rank_${layer} ${rank})
    math(EXPR rank "${rank} + 1")
endforeach()

set(violations "")
foreach(layer ${LAYERS})
    file(GLOB files "${ROOT}/${layer}/*.h" "${ROOT}/${layer}/*.cpp")
    foreach(file ${files})
        file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]skinui/")
        foreach(line ${includes})
            string(REGEX MATCH "skinui/([A-Za-z0-9_]+)/" _ "${line}")
            set(target "${CMAKE_MATCH_1}")
            if(DEFINED rank_${target} AND rank_${target} GREATER rank_${layer})
                string(APPEND violations "  ${file}: ${line} (${layer} may not include ${target})\n")
            endif()
        endforeach()
    endforeach()
endforeach()

if(violations)
    message(FATAL_ERROR "skinui layers include upward:\n${violations}"
                        "Order, lowest first: ${LAYERS}. Reach a higher layer through an "
                        "interface it implements instead.")
endif()
file(WRITE "${STAMP}" "ok\n")
