# Laying out the installer's control tree and hit-testing it, beside the floor
# of one bare visit of every control.
qm_add_bench(tree_bench SOURCES TreeBench.cpp ${CMAKE_SOURCE_DIR}/tests/skinui/control/InstallerTree.cpp
    LIBS skinui)
target_compile_definitions(tree_bench PRIVATE QM_INSTALLER_SKIN_DIR="${CMAKE_SOURCE_DIR}/installer/skin")
