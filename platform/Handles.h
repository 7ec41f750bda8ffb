#pragma once
// Window and icon handles that cross module edges as 32-bit ids. The tables
// live in this shared library so that every module of the process sees the
// same ids; an unknown id is ignored.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace qv {

using HWND32 = uint32_t;
constexpr uint32_t WM_USER = 0x0400;

// Delivers a posted message to its window. The GUI side turns it into an event
// for the GUI thread; the sink itself must be safe to call from any thread.
using MessageSink = std::function<void(uint32_t msg, uintptr_t wParam, intptr_t lParam)>;

// Registers a window and returns its id (never 0).
HWND32 RegisterWindow(MessageSink sink);
// After this returns, no message reaches the window's sink any more.
void UnregisterWindow(HWND32 id);
bool IsWindowHandle(HWND32 id);
// Thread-safe; false (and nothing happens) for an unknown id.
bool PostMessage(HWND32 id, uint32_t msg, uintptr_t wParam, intptr_t lParam);

// Waiting for posted messages, as MsgWaitForMultipleObjects does: a poll
// that sleeps between two rounds of message processing notes the count
// before it processes messages, then sleeps until the count passes it.
// How many messages have reached a window of this process so far.
uint64_t PostedMessageCount();
// Waits until more than seen messages have been posted, at most timeout;
// true when one was.
bool WaitPostedMessage(uint64_t seen, std::chrono::milliseconds timeout);

// Icons handed out by id; the table keeps the object alive until released.
using HICON32 = uint32_t;
HICON32 RegisterIcon(std::shared_ptr<void> icon);
void ReleaseIcon(HICON32 id);
std::shared_ptr<void> LookupIcon(HICON32 id);

}  // namespace qv
