#!/usr/bin/env python3
"""Probe figures of Tarvix --headless against hostile peers (run by hand, never in tests).

Usage: bench/hardening_probe.py path/to/Tarvix [--swaps N]

Prints one JSON object:
  never_reading_client: peak RSS (kB) while a client sends requests for 10 s and never reads
  connections_1100:     1 100 connections under `ulimit -n 1024`: CPU use, how many stayed open,
                        whether a new client is still served
  accept_emfile:        the same with `ulimit -n 200` (below the connection cap), so accept()
                        itself runs out of descriptors: CPU use and recovery
  swaps:                N requests while the requested file is swapped between a symlink inside,
                        a FIFO and a symlink leading out: served inside / outside / refused / hangs
  sigterm_blocked_line: seconds from SIGTERM to exit while the serial line takes nothing
  rom_turnaround_frame_dispatch: median ms per 2048-byte ROM block over a pty ("next" -> block)
"""
import json, os, pty, resource, signal, socket, subprocess, sys, tempfile, threading, time

def lrc(b):
    x = 0
    for v in b[1:]:
        x ^= v
    return x

def frame(*b):
    b = bytes(b)
    return b + bytes([lrc(b)])

BLL_REQ = frame(0x02, 0x31, *b"MCA001", 0x03)
BLL_MISSING = frame(0x02, 0x31, *b"MCA999", 0x03)
BLL_TERM_ERR = frame(0x02, 0x37, 0x03)
BLL_REJECT = bytes([0x02, 0x37, 0x31, 0x31, 0x31, 0x03, 0x05])
ROM_REQ = frame(0x0F, 0x31, ord("5"), 0x0E)
ROM_BEGIN = frame(0x0F, 0x33, 0x0E)
ROM_NAK = frame(0x0F, 0x37, 0, 0, 0x15, 0x0E)

def bll_start(size, block=256):
    n = (size + block - 1) // block
    return frame(0x02, 0x32, n >> 8, n & 255, block >> 8, block & 255, 0x03)

def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    p = s.getsockname()[1]
    s.close()
    return p

class Tarvix:
    def __init__(self, exe, nofile=None):
        self.dir = tempfile.mkdtemp(prefix="tarvix-probe-")
        os.makedirs(f"{self.dir}/rom"); os.makedirs(f"{self.dir}/bll")
        self.master, slave = pty.openpty()
        self.slave_path = os.ttyname(slave)
        self.slave = slave  # kept open so the line never hangs up
        self.port = free_port()
        with open(f"{self.dir}/Romvale.cfg", "w", newline="") as f:
            f.write(f"[Location]\r\nROMFILE={self.dir}/rom\r\nBLLFILE={self.dir}/bll\r\n"
                    f"[Communication]\r\nPORT=COM1\r\nTYPE=RS232\r\nBAUD=115200bps\r\nTCPPACE=0\r\n"
                    f"[Ports]\r\nCOM1={self.slave_path}\r\n")
        def limit():
            if nofile:
                resource.setrlimit(resource.RLIMIT_NOFILE, (nofile, nofile))
        self.proc = subprocess.Popen([exe, "--headless", "--tcp-port", str(self.port)], cwd=self.dir,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, preexec_fn=limit)
        self.lines = []
        threading.Thread(target=self._collect, daemon=True).start()
        deadline = time.time() + 10
        while not any(l.startswith("port:") for l in self.lines) and time.time() < deadline:
            time.sleep(0.01)

    def _collect(self):
        for raw in self.proc.stdout:
            self.lines.append(raw.decode("utf-8", "replace").rstrip("\n"))

    def rss_kb(self):
        with open(f"/proc/{self.proc.pid}/status") as f:
            for l in f:
                if l.startswith("VmRSS:"):
                    return int(l.split()[1])
        return 0

    def cpu_s(self):
        with open(f"/proc/{self.proc.pid}/stat") as f:
            parts = f.read().rsplit(")", 1)[1].split()
        return (int(parts[11]) + int(parts[12])) / os.sysconf("SC_CLK_TCK")

    def connect(self, timeout=5):
        s = socket.create_connection(("127.0.0.1", self.port), timeout=timeout)
        s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        return s

    def stop(self):
        t0 = time.time()
        self.proc.send_signal(signal.SIGTERM)
        try:
            code = self.proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.proc.kill(); self.proc.wait(); code = None
        took = time.time() - t0
        os.close(self.master); os.close(self.slave)
        subprocess.run(["rm", "-rf", self.dir])
        return code, took

def recv_exact(s, n, timeout=5):
    s.settimeout(timeout)
    out = b""
    while len(out) < n:
        chunk = s.recv(n - len(out))
        if not chunk:
            break
        out += chunk
    return out

def bll_download_ok(t, size):
    """A short BLL exchange on a new connection: request -> start reply."""
    try:
        s = t.connect()
        s.sendall(BLL_REQ)
        ok = recv_exact(s, 8) == bll_start(size)
        s.sendall(BLL_TERM_ERR)
        s.close()
        return ok
    except OSError:
        return False

def never_reading_client(exe):
    t = Tarvix(exe)
    start = t.rss_kb()
    s = t.connect()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 2048)
    s.setblocking(False)
    peak, sent, t0 = start, 0, time.time()
    while time.time() - t0 < 10:
        try:
            sent += s.send(BLL_MISSING * 64)
        except BlockingIOError:
            time.sleep(0.01)
        peak = max(peak, t.rss_kb())
    with open(f"{t.dir}/bll/MCA001.bll", "wb") as f:
        f.write(b"\x11" * 700)
    other_served = bll_download_ok(t, 700)
    s.close()
    t.stop()
    return {"rss_start_kb": start, "rss_peak_kb": peak, "request_bytes_sent": sent,
            "other_client_served": other_served}

def many_connections(exe, nofile, count):
    t = Tarvix(exe, nofile=nofile)
    with open(f"{t.dir}/bll/MCA001.bll", "wb") as f:
        f.write(b"\x22" * 300)
    socks = []
    for _ in range(count):
        try:
            s = socket.socket(); s.setblocking(False)
            s.connect_ex(("127.0.0.1", t.port)); socks.append(s)
        except OSError:
            break
    time.sleep(1.0)
    cpu0, w0 = t.cpu_s(), time.time()
    time.sleep(5.0)
    cpu = (t.cpu_s() - cpu0) / (time.time() - w0)
    open_count, closed_count = 0, 0
    for s in socks:
        try:
            s.setblocking(False)
            if s.recv(1):
                open_count += 1
            else:
                closed_count += 1  # accepted over the cap and closed at once
        except BlockingIOError:
            open_count += 1  # still open (held by the server, or still waiting in the backlog)
        except OSError:
            closed_count += 1
    # Free some descriptors of the server (close held ones), then a new client must be served.
    for s in socks[:50]:
        s.close()
    served = False
    deadline = time.time() + 15
    while not served and time.time() < deadline:
        served = bll_download_ok(t, 300)
        if not served:
            time.sleep(0.2)
    for s in socks[50:]:
        s.close()
    code, _ = t.stop()
    return {"connections": len(socks), "nofile": nofile, "cpu_fraction_over_5s": round(cpu, 3),
            "still_open": open_count, "closed_by_server": closed_count, "new_client_served_after": served, "exit_code": code}

def swaps(exe, n):
    t = Tarvix(exe)
    bll = f"{t.dir}/bll"
    inside, outside = 300, 256 * 20
    with open(f"{bll}/real.bll", "wb") as f: f.write(b"\x33" * inside)
    with open(f"{t.dir}/secret.bin", "wb") as f: f.write(b"\x44" * outside)
    stop = [False]
    def swapper():
        i = 0
        while not stop[0]:
            tmp = f"{bll}/swap.tmp"
            try: os.unlink(tmp)
            except FileNotFoundError: pass
            k = i % 3
            if k == 0: os.symlink("real.bll", tmp)
            elif k == 1: os.mkfifo(tmp)
            else: os.symlink("../secret.bin", tmp)
            os.rename(tmp, f"{bll}/MCA001.bll")
            i += 1
    th = threading.Thread(target=swapper); th.start()
    s = t.connect()
    counts = {"served_inside": 0, "served_outside": 0, "refused": 0, "hangs": 0, "other": 0}
    for _ in range(n):
        s.sendall(BLL_REQ)
        try:
            got = recv_exact(s, 7, timeout=5)
            if got == BLL_REJECT:
                counts["refused"] += 1; continue
            got += recv_exact(s, 1, timeout=5)
        except socket.timeout:
            counts["hangs"] += 1; break
        if got in (bll_start(inside), bll_start(outside)):
            counts["served_inside" if got == bll_start(inside) else "served_outside"] += 1
            s.sendall(BLL_TERM_ERR)
            # Wait until the session has ended, so the next request is not taken as one of its frames.
            ended = counts["served_inside"] + counts["served_outside"]
            deadline = time.time() + 5
            while sum(l == "status: Terminal error occurs!!" for l in t.lines) < ended and time.time() < deadline:
                time.sleep(0.001)
        else:
            counts["other"] += 1
    stop[0] = True; th.join()
    s.close()
    code, _ = t.stop()
    counts["requests"] = n; counts["exit_code"] = code
    return counts

def sigterm_blocked_line(exe):
    t = Tarvix(exe)
    with open(f"{t.dir}/rom/TRM-5.jd0", "wb") as f: f.write(b"\x55" * 2048 * 40)
    s = t.connect()
    s.sendall(ROM_REQ); time.sleep(0.1); s.sendall(ROM_BEGIN)
    dropped = False
    for _ in range(3000):
        s.sendall(ROM_NAK); time.sleep(0.002)
        if any("not taking data" in l for l in t.lines):
            dropped = True; break
    code, took = t.stop()
    s.close()
    return {"drop_status_seen": dropped, "exit_code": code, "seconds_to_exit": round(took, 3)}

def rom_turnaround(exe):
    """Median ms from a "next" written on the pty to the last byte of its block, 200 blocks."""
    t = Tarvix(exe)
    with open(f"{t.dir}/rom/TRM-5.jd0", "wb") as f: f.write(b"\x66" * 2048 * 200)
    m = t.master
    import select
    def read_n(n):
        out = b""
        while len(out) < n:
            r, _, _ = select.select([m], [], [], 5)
            if not r: break
            out += os.read(m, n - len(out))
        return out
    os.write(m, ROM_REQ); read_n(8)
    os.write(m, ROM_BEGIN); read_n(2060)
    times = []
    for i in range(199):
        t0 = time.perf_counter()
        os.write(m, frame(0x0F, 0x37, 0, i & 255, 0x06, 0x0E))
        read_n(2060)
        times.append((time.perf_counter() - t0) * 1000)
    t.stop()
    times.sort()
    return {"blocks": len(times), "median_ms": round(times[len(times) // 2], 3)}

def main():
    if len(sys.argv) < 2:
        print(__doc__); return 2
    exe = os.path.abspath(sys.argv[1])
    n = int(sys.argv[sys.argv.index("--swaps") + 1]) if "--swaps" in sys.argv else 10000
    result = {
        "never_reading_client": never_reading_client(exe),
        "connections_1100": many_connections(exe, 1024, 1100),
        "accept_emfile": many_connections(exe, 200, 400),
        "swaps": swaps(exe, n),
        "sigterm_blocked_line": sigterm_blocked_line(exe),
        "rom_turnaround_frame_dispatch": rom_turnaround(exe),
    }
    print(json.dumps(result, indent=2))
    return 0

if __name__ == "__main__":
    sys.exit(main())
