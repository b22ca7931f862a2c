# Painting a full installer-sized composition into the off-screen bitmap, and
# decoding the skin's images, each beside its floor.
qm_add_bench(render_bench SOURCES RenderBench.cpp LIBS skinui)
target_compile_definitions(render_bench PRIVATE QM_SKIN_DIR="${CMAKE_SOURCE_DIR}/installer/skin")
