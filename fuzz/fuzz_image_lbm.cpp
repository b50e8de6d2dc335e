// libFuzzer harness for the LBM picture reader.
#include "fuzz_image.h"

TH_PICTURE_FUZZER("lbm")
