// Stand-ins for the pieces of the Windows user interface the show uses: one window, a
// message queue with peek/translate/dispatch, a quit request that is only queued, the
// cursor and message boxes. The backend (SDL2, headless or a test fake) supplies the
// real window, its input and the surface device.
#pragma once
#include <cstdint>
#include <deque>

namespace platform {

using WindowHandle = void*;

constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_SETCURSOR = 0x0020;
constexpr uint32_t WM_KEYDOWN = 0x0100;

constexpr int VK_ESCAPE = 27;
constexpr int VK_F12 = 123;

struct Msg {
  WindowHandle window = nullptr;
  uint32_t message = 0;
  uintptr_t wparam = 0;
  intptr_t lparam = 0;
};

using WindowProc = intptr_t (*)(WindowHandle, uint32_t, uintptr_t, intptr_t);

// RegisterClass: the one window class; its procedure receives every dispatched message.
void register_class(WindowProc proc);

// CreateWindowEx: null when the backend could not make the window.
WindowHandle create_window(const char* title, int x, int y, int width, int height);
// DestroyWindow: sends WM_DESTROY to the procedure, then closes the backend's window.
void destroy_window(WindowHandle window);

// PeekMessage with PM_REMOVE: true when a message was taken. WM_QUIT comes out only once
// nothing else is waiting, as on Windows.
bool peek_message(Msg* msg);
void translate_message(const Msg* msg);
intptr_t dispatch_message(const Msg* msg);
intptr_t def_window_proc(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// PostQuitMessage: only queues the request.
void post_quit_message(int exit_code);

// SetCursor(NULL): hides the cursor over the window.
void hide_cursor();

// MessageBox with an OK button.
void message_box(WindowHandle window, const char* text, const char* caption);

// Puts a message at the end of the queue (backends deliver input this way).
void post_message(const Msg& msg);

// Forgets the queue, the pending quit and the window class (tests run several shows).
void reset_windowing();

}  // namespace platform
