// kelp: the show's software 3D engine. The one header that scenes, loaders and tools include.
//
// Conventions: 32-bit floats; row vectors (p' = p * M) with row-major storage and the
// translation in the fourth row; camera space is left-handed (x right, y up, z forward);
// angles are radians unless a field says degrees. Records are plain structures with a
// fixed field order; "reserved" and "working space" slots keep that layout stable.
//
// The parts, each self-contained: kelp_math.h (vectors, matrices), kelp_records.h (tracks,
// the scene model and its operations), view.h (views and drawing). This header adds the
// .3DS loader.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "engine/kelp_math.h"
#include "engine/kelp_records.h"
#include "engine/view.h"

// ---- 3DS loader ----

// Reads one .3DS file into an empty World. A missing or foreign file prints its
// "RARA: ..." line and ends the process with status 1 (platform::process_exit);
// a damaged file prints one line and ends with status 1 too. Returns 1, or 0 when an
// allocation fails.
int load_3ds(World* world, const char* path, float scale);
// The same over a file already in memory; `path` names it in messages.
int load_3ds_memory(World* world, const uint8_t* data, size_t size, const char* path, float scale);
// Where the loader's prescale lines go (stdout by default); null silences them.
void load_3ds_set_log(FILE* out);
