// libFuzzer harness for the RIX picture reader.
#include "fuzz_image.h"

TH_PICTURE_FUZZER("rix")
