// libFuzzer harness for the PCX picture reader.
#include "fuzz_image.h"

TH_PICTURE_FUZZER("pcx")
