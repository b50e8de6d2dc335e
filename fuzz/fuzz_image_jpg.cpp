// libFuzzer harness for the JPG picture reader.
#include "fuzz_image.h"

TH_PICTURE_FUZZER("jpg")
