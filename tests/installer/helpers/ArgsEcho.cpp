// Prints the installer's view of its command line: one word per line, each in
// hexadecimal, so that the test sees the exact bytes of the narrow text.
#include "installer/app/Guard.h"

#include <cstdio>

int main() {
    for (const std::string& word : GetCommandLineArgs()) {
        for (unsigned char c : word)
            printf("%02x", c);
        printf("\n");
    }
    return 0;
}
