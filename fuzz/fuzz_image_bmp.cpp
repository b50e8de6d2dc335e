// libFuzzer harness for the BMP picture reader.
#include "fuzz_image.h"

TH_PICTURE_FUZZER("bmp")
