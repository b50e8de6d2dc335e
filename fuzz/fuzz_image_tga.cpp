// libFuzzer harness for the TGA picture reader.
#include "fuzz_image.h"

TH_PICTURE_FUZZER("tga")
