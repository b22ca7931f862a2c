// The one definition of the stb_image implementation in the program: the
// PNG decoder of the skin's images, and the inflate that also unpacks the
// skin archive's entries (ResourceZip.cpp), so that the program carries one
// inflate, not two.
//
// Images are always decoded from memory, and never to floating point. Skins
// carry PNG only: the other formats' decoders would be code to ship and
// surface to attack for nothing.
#define STBI_ONLY_PNG
// Nothing reads the decoder's failure texts; without them it also needs no
// thread-local variable, which would bring the thread library along.
#define STBI_NO_FAILURE_STRINGS
#define STBI_NO_THREAD_LOCALS
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
