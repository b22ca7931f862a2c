# Laying out the installer's control tree and hit-testing it, beside the floor
# of one bare visit of every control.
qm_add_bench(tree_bench SOURCES TreeBench.cpp ${CMAKE_SOURCE_DIR}/tests/skinui/control/InstallerTree.cpp
    LIBS skinui)
