#include "XPing.h"

#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <xcb/xcb.h>

namespace qvtest {

XPinger::~XPinger() {
  if (conn_) xcb_disconnect(conn_);
}

uint32_t XPinger::Atom(const char* name) {
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(conn_, xcb_intern_atom(conn_, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const uint32_t atom = r ? r->atom : 0;
  std::free(r);
  return atom;
}

bool XPinger::Connect(uint32_t window) {
  int screenNumber = 0;
  conn_ = xcb_connect(nullptr, &screenNumber);
  if (!conn_ || xcb_connection_has_error(conn_)) return false;
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn_));
  for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
  root_ = it.data->root;
  // The answer goes to the root window, to whoever watches its children.
  const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(conn_, root_, XCB_CW_EVENT_MASK, &mask);
  protocols_ = Atom("WM_PROTOCOLS");
  ping_ = Atom("_NET_WM_PING");
  window_ = window;
  return protocols_ && ping_;
}

std::optional<double> XPinger::Ping(std::chrono::milliseconds timeout, const std::atomic<bool>* cancel) {
  using Clock = std::chrono::steady_clock;
  xcb_client_message_event_t ev{};
  ev.response_type = XCB_CLIENT_MESSAGE;
  ev.format = 32;
  ev.window = window_;
  ev.type = protocols_;
  ev.data.data32[0] = ping_;
  ev.data.data32[1] = ++serial_;
  ev.data.data32[2] = window_;
  const Clock::time_point sent = Clock::now();
  xcb_send_event(conn_, 0, window_, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
  xcb_flush(conn_);
  while (Clock::now() - sent < timeout && !(cancel && *cancel)) {
    bool answered = false;
    while (xcb_generic_event_t* e = xcb_poll_for_event(conn_)) {
      if ((e->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
        const auto* m = reinterpret_cast<const xcb_client_message_event_t*>(e);
        answered |= m->data.data32[0] == ping_ && m->data.data32[1] == serial_;
      }
      std::free(e);
    }
    if (answered) return std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
    if (xcb_connection_has_error(conn_)) return std::nullopt;
    pollfd p{xcb_get_file_descriptor(conn_), POLLIN, 0};
    ::poll(&p, 1, 10);
  }
  return std::nullopt;
}

bool XPinger::SendKey(uint32_t keysym) {
  const xcb_setup_t* setup = xcb_get_setup(conn_);
  const xcb_keycode_t first = setup->min_keycode;
  const int count = setup->max_keycode - first + 1;
  xcb_get_keyboard_mapping_reply_t* map =
      xcb_get_keyboard_mapping_reply(conn_, xcb_get_keyboard_mapping(conn_, first, static_cast<uint8_t>(count)), nullptr);
  if (!map) return false;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
  xcb_keycode_t code = 0;
  for (int k = 0; k < count && !code; ++k)
    if (syms[k * map->keysyms_per_keycode] == keysym) code = static_cast<xcb_keycode_t>(first + k);
  std::free(map);
  if (!code) return false;
  for (uint8_t type : {uint8_t(XCB_KEY_PRESS), uint8_t(XCB_KEY_RELEASE)}) {
    xcb_key_press_event_t key{};
    key.response_type = type;
    key.detail = code;
    key.time = XCB_CURRENT_TIME;
    key.root = root_;
    key.event = window_;
    key.child = XCB_NONE;
    key.same_screen = 1;
    xcb_send_event(conn_, 0, window_, type == XCB_KEY_PRESS ? XCB_EVENT_MASK_KEY_PRESS : XCB_EVENT_MASK_KEY_RELEASE,
                   reinterpret_cast<const char*>(&key));
  }
  xcb_flush(conn_);
  return true;
}

bool PingRecorder::Start(uint32_t window) {
  if (!pinger_.Connect(window)) return false;
  thread_ = std::thread([this] {
    while (!stop_) {
      const Clock::time_point sent = Clock::now();
      constexpr auto kTimeOut = std::chrono::seconds(10);
      const std::optional<double> ms = pinger_.Ping(kTimeOut, &stop_);
      if (stop_) return;  // the last ping was not waited for
      {
        std::lock_guard lock(mutex_);
        samples_.push_back({sent, ms ? *ms : std::chrono::duration<double, std::milli>(kTimeOut).count()});
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  return true;
}

void PingRecorder::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::vector<PingRecorder::Sample> PingRecorder::Samples() {
  std::lock_guard lock(mutex_);
  return samples_;
}

}  // namespace qvtest
