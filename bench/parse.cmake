# Parsing a large generated skin document, beside the bare UTF-8 to UTF-16
# conversion of the same bytes.
qm_add_bench(parse_bench SOURCES ParseBench.cpp LIBS skinui)
