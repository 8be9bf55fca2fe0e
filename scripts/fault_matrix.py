#!/usr/bin/env python3
"""Fault matrix: every fault of the simulator on both transports against
vq7ctl identify, pairs read, pairs write and measure.

Each cell starts its own vq7sim on loopback (TCP gateway on an ephemeral port,
or a pty), sets the fault through the simulator's console, runs one vq7ctl
command with a hard time limit and judges the outcome:
  ok     exit 0 and the result is true (checked against the simulator)
  fail   exit 1 with a result code on stderr
  LIE    exit 0 but the result is false (success reported on failure)
  HANG   the command did not end within its limit (killed)
  CRASH  killed by a signal, or an exit status other than 0, 1
LIE, HANG and CRASH fail the script. A cell whose outcome differs from the
expected one ("ok", "fail" or "any") is marked with '!' and listed.

  fault_matrix.py [--short] [--build DIR] [--jobs N] [--only TEXT]
--short is the form CI runs: every fault on both transports, against identify
and pairs write (one read and one write path), cells run side by side.
"""
import argparse
import atexit
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
from concurrent.futures import ThreadPoolExecutor

METER = 11000002                      # type "VQ  ", model 70, four pairs
FLOW = 10.0
INTEGRATION_MS = 300
COMMAND_LIMIT_S = 60.0                # a cell that takes longer is a hang
SIM_START_S = 10.0

# name, console commands (or a special action), expected outcome per operation.
# Expected: "ok", "fail" or "any" (either is correct as long as it is true).
FAULTS = [
    ("none", [], {"*": "ok"}),
    ("silence", ["fault {m} silence"], {"*": "fail"}),
    ("garbage", ["fault {m} garbage"], {"*": "any"}),
    ("badcheck", ["fault {m} badcheck"], {"*": "fail"}),
    ("wrongaddr", ["fault {m} wrongaddr"], {"*": "fail"}),
    ("truncate", ["fault {m} truncate"], {"*": "fail"}),
    ("busy-burst", ["fault {m} busy:n=4"], {"*": "ok"}),
    ("busy", ["fault {m} busy"], {"*": "fail"}),
    ("refuse", ["fault {m} refuse"], {"*": "fail"}),
    ("switchoff", ["switch {m} off"], {"pairs-write": "fail", "*": "ok"}),
    ("silence-burst", ["fault {m} silence:n=2"], {"*": "any"}),
    # Answers after the time-out: a late answer may arrive during the next attempt.
    ("late", ["delay {m} 1300"], {"*": "any"}),
    ("drop", ["drop 1 -1"], {"*": "fail"}),
    ("drop-once", ["drop 1 1"], {"*": "any"}),
    ("sim-killed", ["@kill"], {"*": "fail"}),
]
OPERATIONS = ["identify", "pairs-read", "pairs-write", "measure"]
SHORT_OPERATIONS = ["identify", "pairs-write"]

_children = []
_children_lock = threading.Lock()
_workdir = None


def cleanup(*_):
    with _children_lock:
        for p in _children:
            try:
                os.killpg(p.pid, signal.SIGKILL)
            except (ProcessLookupError, PermissionError):
                pass
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                pass
        _children.clear()
    if _workdir and os.path.isdir(_workdir):
        shutil.rmtree(_workdir, ignore_errors=True)


def on_signal(signum, _frame):
    cleanup()
    sys.exit(128 + signum)


def spawn(argv, **kw):
    p = subprocess.Popen(argv, start_new_session=True, **kw)
    with _children_lock:
        _children.append(p)
    return p


def forget(p):
    with _children_lock:
        if p in _children:
            _children.remove(p)


def kill(p):
    try:
        os.killpg(p.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    p.wait()
    forget(p)


class Sim:
    """One vq7sim with its console on a pipe; stdout is read by a thread."""

    def __init__(self, binary, pty, folder, baud=0):
        args = [binary, "--integration-ms", str(INTEGRATION_MS), "--flow", str(FLOW),
                "--noise", "0,0", "--reference-file", os.path.join(folder, "ge.txt")]
        args += ["--pty"] if pty else ["--tcp", "127.0.0.1:0"]
        if baud:
            args += ["--baud", str(baud)]
        self.proc = spawn(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True, bufsize=1)
        self.lines = []
        self.cond = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()
        line = self.wait_for(r"vq7sim: (TCP gateway on|serial port) (\S+)", SIM_START_S)
        if not line:
            kill(self.proc)
            raise RuntimeError("vq7sim did not start: " + " | ".join(self.lines[-5:]))
        where = re.search(r"vq7sim: (TCP gateway on|serial port) (\S+)", line).group(2)
        if pty:
            self.connection = ["--port", where, "--speed", "115200"]
        else:
            self.connection = ["--ip", "127.0.0.1", "--tcp-port", where.rsplit(":", 1)[1]]

    def _read(self):
        for line in self.proc.stdout:
            with self.cond:
                self.lines.append(line.rstrip("\n"))
                self.cond.notify_all()
        with self.cond:
            self.lines.append("<eof>")
            self.cond.notify_all()

    def wait_for(self, pattern, seconds, start=0):
        end = time.monotonic() + seconds
        with self.cond:
            while True:
                for line in self.lines[start:]:
                    if re.search(pattern, line):
                        return line
                left = end - time.monotonic()
                if left <= 0 or (self.lines and self.lines[-1] == "<eof>"):
                    return None
                self.cond.wait(left)

    def console(self, command, reply_pattern=r".", seconds=5):
        with self.cond:
            start = len(self.lines)
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()
        line = self.wait_for(reply_pattern, seconds, start)
        if line is None:
            raise RuntimeError("no console reply to '%s'" % command)
        return line

    def pairs(self, number):
        """The pairs the meter holds, from the console."""
        with self.cond:
            start = len(self.lines)
        self.console("pairs %d" % number, r"^meter %d: count byte" % number)
        time.sleep(0.1)
        with self.cond:
            lines = self.lines[start:]
        out = []
        for line in lines:
            m = re.match(r"\s+\d+\s+Gi (\S+)\s+Ge (\S+)", line)
            if m:
                out.append((float(m.group(1)), float(m.group(2))))
        return out

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write("quit\n")
                self.proc.stdin.flush()
                self.proc.wait(timeout=3)
            except (BrokenPipeError, subprocess.TimeoutExpired, OSError):
                pass
        kill(self.proc)


def close_pairs(a, b, rel=1e-4):
    if len(a) != len(b):
        return False
    return all(abs(x[0] - y[0]) <= rel * max(1.0, abs(y[0])) and
               abs(x[1] - y[1]) <= rel * max(1.0, abs(y[1])) for x, y in zip(a, b))


def new_pairs(seed):
    """Five increasing pairs, different for every cell."""
    k = 1.0 + (seed % 97) / 1000.0
    return [(round(g * k, 4), round(g, 4)) for g in (0.5, 2.0, 8.0, 20.0, 45.0)]


def write_pair_file(path, pairs):
    text = "градуировочные пары прошитые в прибор\n N       Gi            Ge"
    for i, (gi, ge) in enumerate(pairs):
        text += "\n %2d %14.6e %14.6e" % (i, gi, ge)
    with open(path, "wb") as f:
        f.write(text.replace("\n", "\r\n").encode("cp1251"))


def command_for(op, folder, seed):
    if op == "identify":
        return ["--json", "identify", str(METER)], None
    if op == "pairs-read":
        return ["--json", "pairs", "read", str(METER)], None
    if op == "pairs-write":
        pairs = new_pairs(seed)
        path = os.path.join(folder, "pairs.dat")
        write_pair_file(path, pairs)
        return ["--json", "pairs", "write", str(METER), path], pairs
    if op == "measure":
        return ["--json", "measure", str(METER), "--ge", "10", "--timeout", "8"], None
    raise ValueError(op)


def judge_success(op, doc, sim, written):
    """True when what vq7ctl reported as done is true; a reason when not."""
    if op == "identify":
        info = doc["meters"][0]["info"]
        if info["m_sType"].rstrip() != "VQ" or info["m_sFullVersion"] != "03.10.05" or info["m_nParam0"] != 70:
            return "identify reported %s %s model %s" % (info["m_sType"], info["m_sFullVersion"],
                                                        info["m_nParam0"])
        return True
    if op == "pairs-read":
        got = [(p["Gi"], p["Ge"]) for p in doc.get("pairs", [])]
        sim.console("clear all", r"faults cleared")
        held = sim.pairs(METER)
        if len(held) < 2 or not close_pairs(got, held):
            return "pairs read gave %s, the meter holds %s" % (got, held)
        return True
    if op == "pairs-write":
        if sim.proc.poll() is not None:
            return "the write was reported done, the simulator is gone"
        sim.console("clear all", r"faults cleared")
        held = sim.pairs(METER)
        return True if close_pairs(held, written) else "the meter holds %s" % held
    if op == "measure":
        m = doc["meters"][0]
        if abs(m["GiMean"] - FLOW) > 0.05 * FLOW or abs(m["GvMean"] - FLOW) > 0.05 * FLOW:
            return "measure gave Gi %s Gv %s" % (m["GiMean"], m["GvMean"])
        return True
    return "unknown operation"


def run_cell(build, fault, transport, op, seed):
    name, actions, expect = fault
    expected = expect.get(op, expect.get("*"))
    folder = tempfile.mkdtemp(dir=_workdir)
    pty = transport == "pty"
    if pty and any(a.startswith("drop") for a in actions):
        return dict(fault=name, transport=transport, op=op, verdict="n/a", expected=expected,
                    code="", seconds=0.0, detail="no gateway on a serial line")
    killing = "@kill" in actions
    # Slow wire for the kill so it lands inside the command.
    sim = Sim(os.path.join(build, "sim", "vq7sim"), pty, folder, baud=9600 if killing else 0)
    try:
        for a in actions:
            if not a.startswith("@"):
                sim.console(a.format(m=METER), r"fault|switch|drop|gateway|delay")
        args, written = command_for(op, folder, seed)
        ctl = [os.path.join(build, "tools", "vq7ctl", "vq7ctl")] + sim.connection + args
        start = time.monotonic()
        p = spawn(ctl, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, cwd=folder)
        killed_at = None
        if killing:
            try:
                p.wait(timeout=0.15)
            except subprocess.TimeoutExpired:
                pass
            killed_at = time.monotonic() - start
            kill(sim.proc)
        try:
            out, err = p.communicate(timeout=COMMAND_LIMIT_S)
            hung = False
        except subprocess.TimeoutExpired:
            kill(p)
            out, err = p.communicate()
            hung = True
        forget(p)
        seconds = time.monotonic() - start
        m = re.search(r"result (-?\d+)", err)
        code = m.group(1) if m else ""
        detail = err.strip().splitlines()[-1] if err.strip() else ""
        if hung:
            verdict, detail = "HANG", "still running after %.0f s" % COMMAND_LIMIT_S
        elif p.returncode == 0:
            if killing and killed_at is not None and seconds <= killed_at:
                verdict, detail = "ok", "finished before the kill"
            else:
                try:
                    ok = judge_success(op, json.loads(out), sim, written)
                except (ValueError, KeyError, IndexError, RuntimeError) as e:
                    ok = "unreadable result: %s" % e
                verdict = "ok" if ok is True else "LIE"
                if ok is not True:
                    detail = ok
        elif p.returncode == 1:
            verdict = "fail"
            if not code:
                detail = "no result code: " + detail
        else:
            verdict = "CRASH"
            detail = "exit status %d %s" % (p.returncode, detail)
        return dict(fault=name, transport=transport, op=op, verdict=verdict, expected=expected,
                    code=code, seconds=seconds, detail=detail)
    finally:
        sim.stop()
        shutil.rmtree(folder, ignore_errors=True)


def main():
    global _workdir
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--short", action="store_true", help="the CI form")
    ap.add_argument("--build", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build"))
    ap.add_argument("--jobs", type=int, default=0, help="cells side by side (default 6, short 8)")
    ap.add_argument("--only", default="", help="run only the faults whose name contains this text")
    a = ap.parse_args()
    build = os.path.abspath(a.build)
    for prog in ("sim/vq7sim", "tools/vq7ctl/vq7ctl"):
        if not os.access(os.path.join(build, prog), os.X_OK):
            sys.exit("fault_matrix: %s not built in %s" % (prog, build))

    _workdir = tempfile.mkdtemp(prefix="vq7faults-")
    os.environ["VQ7_DATA_DIR"] = _workdir   # vq7ctl's journal and defaults stay in here
    atexit.register(cleanup)
    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)
    signal.signal(signal.SIGHUP, on_signal)

    ops = SHORT_OPERATIONS if a.short else OPERATIONS
    cells = [(f, t, op) for f in FAULTS if a.only in f[0] for t in ("tcp", "pty") for op in ops]
    jobs = a.jobs or (8 if a.short else 6)
    started = time.monotonic()
    with ThreadPoolExecutor(max_workers=jobs) as pool:
        futures = [pool.submit(run_cell, build, f, t, op, i) for i, (f, t, op) in enumerate(cells)]
        results = []
        for fu in futures:
            try:
                results.append(fu.result())
            except Exception as e:   # a cell that could not be set up is a failure of the script
                results.append(dict(fault="?", transport="?", op="?", verdict="ERROR", expected="",
                                    code="", seconds=0.0, detail=str(e)))

    # The table: one row per fault and transport, one column per operation.
    by = {(r["fault"], r["transport"], r["op"]): r for r in results}
    width = 18
    print("%-14s %-4s " % ("fault", "link") + "".join("%-*s" % (width, op) for op in ops))
    for f in FAULTS:
        if a.only not in f[0]:
            continue
        for t in ("tcp", "pty"):
            cells_text = ""
            for op in ops:
                r = by.get((f[0], t, op))
                if not r:
                    text = "?"
                elif r["verdict"] == "n/a":
                    text = "n/a"
                else:
                    text = r["verdict"] + ("(%s)" % r["code"] if r["code"] and r["verdict"] == "fail" else "")
                    text += " %.1fs" % r["seconds"]
                    if r["expected"] != "any" and r["verdict"] in ("ok", "fail") and r["verdict"] != r["expected"]:
                        text += "!"
                cells_text += "%-*s" % (width, text)
            print("%-14s %-4s %s" % (f[0], t, cells_text))

    bad = [r for r in results if r["verdict"] in ("LIE", "HANG", "CRASH", "ERROR")]
    odd = [r for r in results if r["verdict"] in ("ok", "fail") and r["expected"] != "any"
           and r["verdict"] != r["expected"]]
    for title, rows in (("unexpected outcomes (marked !)", odd), ("FAILURES", bad)):
        if rows:
            print("\n%s:" % title)
            for r in rows:
                print("  %s %s %s: %s (expected %s) %s" % (r["fault"], r["transport"], r["op"], r["verdict"],
                                                         r["expected"], r["detail"]))
    print("\n%d cells in %.1f s; %d failures" % (len(results), time.monotonic() - started, len(bad)))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
