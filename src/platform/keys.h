// Windows virtual-key codes for SDL key codes.
#pragma once

namespace platform {

// Letters and digits as their upper-case ASCII codes, Escape 27, F1..F12 112..123, the
// usual editing and arrow keys; 0 for keys Windows has no code for.
int virtual_key(int sdl_keycode);

}  // namespace platform
