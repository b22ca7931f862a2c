#!/bin/bash
# The shipped installer's stub (everything before its payload) stays within
# its ceiling, and carries the decoder of its own compressor only: one stray
# library call can bring tens of kilobytes of runtime with it (a shared
# pointer brings the exception machinery and the thread library), which no
# other test would notice.
# Usage: stub_size_test.sh SETUP PAYLOAD CEILING NM OTHER_DECODER_SYMBOL
set -uo pipefail
setup="$1" payload="$2" ceiling="$3" nm="$4" other="$5"
status=0
stub=$(( $(stat -L -c %s "$setup") - $(stat -L -c %s "$payload") ))
if (( stub > ceiling )); then
    echo "FAIL: the stub of $(basename "$setup") is $stub bytes, above $ceiling;" \
         "tools/size_report.py on its linker map says where the bytes go"
    status=1
fi
# The copy that kept its symbols (the program itself is stripped).
if "$nm" "$setup.syms" | grep -Eq "$other"; then
    echo "FAIL: $(basename "$setup") carries the other compressor's decoder ($other)"
    status=1
fi
echo "stub: $stub bytes (ceiling $ceiling)"
exit $status
