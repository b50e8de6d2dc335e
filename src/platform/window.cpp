#include "platform/window.h"

#include <cstdio>

#include "platform/backend.h"

namespace platform {
namespace {

WindowProc class_proc = nullptr;
std::deque<Msg> queue;
bool quit_pending = false;
int quit_code = 0;
WindowHandle live_window = nullptr;

}  // namespace

void register_class(WindowProc proc) {
  class_proc = proc;
}

WindowHandle create_window(const char* title, int x, int y, int width, int height) {
  live_window = backend().open_window(title, x, y, width, height);
  return live_window;
}

void destroy_window(WindowHandle window) {
  if (!window || window != live_window) return;
  live_window = nullptr;
  if (class_proc) class_proc(window, WM_DESTROY, 0, 0);
  backend().close_window(window);
}

bool peek_message(Msg* msg) {
  backend().poll_events();
  if (!queue.empty()) {
    *msg = queue.front();
    queue.pop_front();
    return true;
  }
  if (quit_pending) {
    quit_pending = false;
    *msg = Msg{nullptr, WM_QUIT, static_cast<uintptr_t>(quit_code), 0};
    return true;
  }
  return false;
}

// Character messages are of no use to the show; nothing to translate.
void translate_message(const Msg*) {}

intptr_t dispatch_message(const Msg* msg) {
  if (!msg->window || msg->window != live_window || !class_proc) return 0;
  return class_proc(msg->window, msg->message, msg->wparam, msg->lparam);
}

intptr_t def_window_proc(WindowHandle window, uint32_t message, uintptr_t, intptr_t) {
  if (message == WM_CLOSE) destroy_window(window);
  return 0;
}

void post_quit_message(int exit_code) {
  quit_pending = true;
  quit_code = exit_code;
}

void hide_cursor() {
  backend().set_cursor_visible(false);
}

void message_box(WindowHandle window, const char* text, const char* caption) {
  backend().message_box(window, text, caption);
}

void post_message(const Msg& msg) {
  queue.push_back(msg);
}

void reset_windowing() {
  class_proc = nullptr;
  queue.clear();
  quit_pending = false;
  quit_code = 0;
  live_window = nullptr;
}

void Backend::message_box(WindowHandle, const char* text, const char* caption) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
}

namespace {
Backend* current = nullptr;
}

Backend& backend() {
  if (!current) current = headless_backend();
  return *current;
}

void set_backend(Backend* b) {
  current = b;
}

}  // namespace platform
