// bll_ring_floor_server: the floor server with its system calls batched through
// io_uring. Every connection keeps one receive queued; a turn takes every
// completion there is, queues each reply's send and the next receive, and hands
// them all to the kernel with the wait for the next completions in one call. It
// shows what the machine's TCP costs per block when a server makes next to no
// system calls of its own. Not a part of the product.
#include "FloorDownload.h"

#include <liburing.h>
#include <sys/socket.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace {
constexpr const char* kUsage =
    "Usage: bll_ring_floor_server PORT FOLDER\n"
    "Serves the files of FOLDER to BLL downloads over TCP on 127.0.0.1:PORT with\n"
    "io_uring: one receive and one send per block, submitted in batches (a\n"
    "yardstick for the side-by-side benchmark; it prints nothing and runs until\n"
    "it is stopped).\n";

constexpr unsigned kRingEntries = 4096;
constexpr std::uintptr_t kAcceptTag = 1;  // a FloorDownload* is never odd

class Ring {
 public:
  explicit Ring(unsigned entries) {
    io_uring_params params{};
    // One thread submits; completions' work runs when it waits, not in between.
    params.flags = IORING_SETUP_SINGLE_ISSUER | IORING_SETUP_DEFER_TASKRUN;
    m_ok = io_uring_queue_init_params(entries, &m_ring, &params) == 0;
    if (!m_ok) {
      params = {};
      m_ok = io_uring_queue_init_params(entries, &m_ring, &params) == 0;
    }
  }
  ~Ring() {
    if (m_ok) io_uring_queue_exit(&m_ring);
  }
  Ring(const Ring&) = delete;
  Ring& operator=(const Ring&) = delete;
  bool Ok() const { return m_ok; }
  io_uring* Get() { return &m_ring; }
  /// A free entry, handing the full queue to the kernel first when there is none.
  io_uring_sqe* Entry() {
    io_uring_sqe* sqe = io_uring_get_sqe(&m_ring);
    if (sqe == nullptr) {
      io_uring_submit(&m_ring);
      sqe = io_uring_get_sqe(&m_ring);
    }
    if (sqe == nullptr) {
      std::fputs("bll_ring_floor_server: the submission queue stays full\n", stderr);
      std::exit(1);
    }
    return sqe;
  }

 private:
  io_uring m_ring{};
  bool m_ok = false;
};

void Accept(Ring& ring, int listener) {
  io_uring_sqe* sqe = ring.Entry();
  io_uring_prep_multishot_accept(sqe, listener, nullptr, nullptr, SOCK_CLOEXEC);
  io_uring_sqe_set_data(sqe, reinterpret_cast<void*>(kAcceptTag));
}

void Receive(Ring& ring, FloorDownload& d) {
  io_uring_sqe* sqe = ring.Entry();
  io_uring_prep_recv(sqe, d.fd, d.in.data(), d.in.size(), 0);
  io_uring_sqe_set_data(sqe, &d);
}

void Send(Ring& ring, FloorDownload& d) {
  // The peer answers this frame before it is rebuilt, so d.out outlives the send;
  // only a failed send completes (its receive then sees the failure too).
  io_uring_sqe* sqe = ring.Entry();
  io_uring_prep_send(sqe, d.fd, d.out.data(), d.out.size(), MSG_NOSIGNAL);
  io_uring_sqe_set_data(sqe, nullptr);
  sqe->flags |= IOSQE_CQE_SKIP_SUCCESS;
}
}  // namespace

int main(int argc, char** argv) {
  unsigned port = 0;
  int folder = -1;
  if (!FloorArgs(argc, argv, kUsage, port, folder)) return 1;
  const int listener = FloorListen(port, 0);
  Ring ring(kRingEntries);
  if (listener < 0) return 1;
  if (!ring.Ok()) {
    std::fputs("bll_ring_floor_server: io_uring is not available here\n", stderr);
    return 1;
  }
  Accept(ring, listener);
  std::unordered_map<FloorDownload*, std::unique_ptr<FloorDownload>> downloads;
  for (;;) {
    if (io_uring_submit_and_wait(ring.Get(), 1) < 0) continue;  // EINTR
    io_uring_cqe* cqe = nullptr;
    unsigned head = 0;
    unsigned seen = 0;
    io_uring_for_each_cqe(ring.Get(), head, cqe) {
      ++seen;
      const auto tag = reinterpret_cast<std::uintptr_t>(io_uring_cqe_get_data(cqe));
      if (tag == 0) continue;  // a failed send
      if (tag == kAcceptTag) {
        if (cqe->res >= 0) {
          auto owned = std::make_unique<FloorDownload>();
          owned->fd = cqe->res;
          Receive(ring, *owned);
          downloads.emplace(owned.get(), std::move(owned));
        }
        if ((cqe->flags & IORING_CQE_F_MORE) == 0) Accept(ring, listener);
        continue;
      }
      auto* d = reinterpret_cast<FloorDownload*>(tag);
      if (cqe->res <= 0) {
        downloads.erase(d);  // closed by the peer, or failed
        continue;
      }
      if (FloorAnswer(folder, *d, static_cast<std::size_t>(cqe->res))) Send(ring, *d);
      Receive(ring, *d);
    }
    io_uring_cq_advance(ring.Get(), seen);
  }
}
