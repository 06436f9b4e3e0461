// The serial reader's "send and wait" to the main thread, made cancellable so
// that Close can join a reader that is waiting for the main thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

/// What the reader hands to the main thread.
enum class ReaderEvent {
  Burst,    // a burst is queued in m_readQueue
  Message,  // a message box to show while the reader waits
  Failure,  // the port failed or vanished; the reader has stopped reading
};

/// One pending hand-off, as the main thread takes it.
struct ReaderPost {
  ReaderEvent event = ReaderEvent::Burst;
  std::string text;         // the message text for ReaderEvent::Message
  std::uint64_t token = 0;  // identifies the post for Done
};

/// One slot shared by one reader thread and the main thread. The reader posts
/// and blocks until the main thread has handled the post or Cancel releases it.
class ReaderHandOff {
 public:
  /// Called on the reader thread after each post; must only queue a wake-up of
  /// the main thread (e.g. a queued call), never handle the post itself.
  using Notify = std::function<void()>;

  /// Main thread, while no reader runs.
  void SetNotify(Notify notify);
  /// Main thread, before a reader starts: accept posts again.
  void Arm();
  /// Main thread: refuse further posts and release a waiting reader.
  void Cancel();

  /// Reader thread: posts and waits. False when cancelled (the reader must stop).
  bool PostAndWait(ReaderEvent event, std::string text = {});

  /// Main thread: takes the pending post, if any (a stale wake-up finds none).
  std::optional<ReaderPost> Take();
  /// Main thread: the post is handled; its reader goes on. Stale tokens are ignored.
  void Done(std::uint64_t token);

 private:
  std::mutex m_mutex;
  std::condition_variable m_cond;
  Notify m_notify;
  bool m_cancelled = true;
  bool m_pending = false;  // posted, not yet taken
  bool m_waiting = false;  // the reader waits for Done
  ReaderPost m_post;
  std::uint64_t m_nextToken = 1;
};
