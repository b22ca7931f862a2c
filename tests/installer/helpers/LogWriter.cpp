// Writes log lines so that a test acting as debugger can read them from the
// debugger output: argv[1] is the source name, argv[2] the line number.
#include "installer/services/Log.h"

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    CLog::Instance().Write(1, argv[1], atoi(argv[2]), "ret=%d\n", 0);
    return 0;
}
