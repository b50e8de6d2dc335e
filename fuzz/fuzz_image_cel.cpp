// libFuzzer harness for the CEL picture reader.
#include "fuzz_image.h"

TH_PICTURE_FUZZER("cel")
