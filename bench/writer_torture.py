#!/usr/bin/env python3
"""Torture run of the standard-output writer on the real program: many runs,
each cut by a signal or the run's own time-out while a reader takes the
output in its own way, every line of every run judged. Run by hand from the
project's root, never in CI:

  python3 bench/writer_torture.py [--kestrane PATH] [--runs N] [--seed S]
                                  [--jobs J] [--quick] [--run K]...
                                  [--family PREFIX]...

PATH (default build/kestrane) is copied into a private work folder first,
so a rebuild during the campaign changes nothing. The inputs are generated
there: an OPB file that prints 12,000 progress lines, WCNF files whose model
line lists 300,000 values (3,000,000 for a few runs, not with --quick); and,
when ../shared/bench exists, sentoy.opb (-a bin -e cn:w; its ending prints
a kept model of ~500 KB) and p0291.opb (-a bcd2strat -e cn).
A run's schedule, drawn from S and K only (--run K replays run K; give
--quick again when the campaign had it), combines:
  ending  SIGTERM, SIGINT, SIGHUP or SIGQUIT once a chosen line is read or
          after a delay, or none with -T N (its alarm at N-1 s);
  output  a pipe, a one-page pipe, a non-blocking pipe, a pseudo-terminal
          with output processing off (pty) or on as a terminal has it (tty:
          its "\r\n" is read back as "\n"), one end of a Unix stream socket
          pair (sock), a regular file, /dev/full;
  reader  fast; slow (B bytes every D s); pausing (64 KiB, then 1.0-1.9 s);
          stalled (stops at an offset for good); returning (stops, comes
          back after under 2 s or over 3 s); trickle (fast until the cut,
          then 4 KiB every 1.5-1.9 s; second signal only);
and families apart: SIGINT blocked from the start, then sent (it must cut
nothing); an outside SIGABRT during the run, or during the ending; a second
signal (INT, TERM, HUP or QUIT, the first's too) 0.3-3 s after a signal or
-T began a long ending (second/ending: sentoy's kept model) or after a
signal came during the result block (second/result: signal when "v " is
read), the reader trickling (4 KiB every 1.5-1.9 s, or pausing): the run
ends within 0.5 s (1.0 s allowed) with status 1, what came a start of U
and of the ending; and -T firing during an ending that a signal began,
read slowly but steadily (second/timeout): it changes nothing. Signals
sent together are one signal: a second one 0, 1 or 20 ms after the first
(the same kind, SIGTERM then SIGHUP as a service manager sends them, or
two kinds) during sentoy's search (together/ending: its ending keeps the
model) or when "v " of the big model is read (together/result: the held
result block); the run launched by timeout(1), which sends SIGTERM to it
and then to its process group, during sentoy's search or the big block
read slowly (together/timeout-ending, together/timeout-result: status 124,
or the run's own 1 with --preserve-status); a signal 20-150 ms after -T's
alarm began the ending or came during the block (together/alarm). The
reader takes all (fast, slow, or pausing under 2 s): the whole ending, one
handler's line (the first signal's, or the time-out's; either's of two
that wait together, held during the block or sent 0 ms apart), no line of
the other signal, status 1.
On a terminal or a socket, which may take part of a write, a reader that
stopped (or a second signal) may leave the last line inside an item: noted.
judge() checks every line against U, the output of the same arguments run
without a signal (for the benchmark files, which run for minutes, the lines
before the handler's line of a run cut at 8 s), and the time to the end. A
kept model lists as many values as U's model line, or as its "c clauses N
vars: M" line says (M) where U has no model line.
--family PREFIX (repeatable) keeps the families whose names start with a
PREFIX; run k then has the k-th of them (modulo their count): give the
same prefixes to replay a run.
A default campaign (500 runs) takes about 12 minutes with 4 jobs (J, default
the CPU count), --quick (120 runs) about 2. Prints a line per run (wall
time, the time from the cut to the end, bytes, verdict and reasons), then
per family the runs passed and failed, each failure with a replay command,
and the longest end after a stopped reader and after a second signal. The
outputs of failed runs stay in the work folder. Exit status: 0 all passed,
1 a run failed, 2 set-up.
"""
import argparse, collections, fcntl, hashlib, multiprocessing, os, pty, random, re, resource
import select, shutil, signal, socket, subprocess, sys, tempfile, termios, time
import concurrent.futures as futures

H_SIGNAL = "c Kestrane received external signal SIG{}. Terminating ..."
H_TIMEOUT = "c Kestrane received timeout signal. Terminating ..."
H_ABORT = "c Kestrane received abort signal. Terminating ..."
FULL_ERROR = "ERROR! Could not write standard output: No space left on device"
KEEPUP_IDLE = 2.0  # a reader idle less than this after the cut takes 4 KiB every 2 s: it gets all
STOPPED_IDLE = 3.0  # a reader idle longer than this after the cut may get a prefix only
END_WITHIN, END_SLACK = 3.0, 3.5  # a stopped reader's run ends this soon (slack: a loaded machine)
CUT_END = 1.0  # a cut run whose reader keeps up ends this soon after the cut or its last read, or pause
KILL_AFTER = 8.0  # a stopped reader's run still going this long after is killed
SECOND_WITHIN, SECOND_SLACK, SECOND_KILL = .5, 1.0, 5.0  # a second signal ends the run this soon; killed after
LINE_WAIT = 20.0  # a signal waiting for a line not read by then goes anyway (one line a read is slow)
CPU_RE = re.compile(r"c CPU Time: \d+(\.\d+)?(e[-+]?\d+)?")
COST_RE = re.compile(r"c o (-?\d+ LB|Top)")
VARS_RE = re.compile(r"c clauses \d+ vars: (\d+)")  # the variables a kept model lists
TWIN_GAPS = [0, .001, .02]  # a second signal this long after the first is the same signal
ENDING = ["c o 9 LB", "c o -9 LB", "c o Top", "s UNKNOWN", "c CPU Time: 9.9", "c CPU Time: 9e-9",
          "c CPU Time: 9.9e-9"]  # the ending's lines, every number as 9
OUTS = ["pipe", "page", "nonblock", "pty", "tty"]
READERS = ["fast", "slow", "pausing", "stalled", "returning"]
SIGNALS = ["TERM", "INT", "HUP", "QUIT"]
FAMILIES = [f"{o}/{r}" for o in OUTS + ["sock"] for r in READERS] + ["file", "devfull"] + \
    ["blocked", "abort-run", "abort-ending"] * 2 + ["second/ending", "second/result", "second/timeout"] + \
    ["together/ending", "together/result", "together/timeout-ending", "together/timeout-result", "together/alarm"]
# run k has family k modulo their count
QUICK_SECS = 20  # --quick draws again a schedule expected to take longer
SLOW = {"progress": [(10000, .06), (4096, .25), (4096, 1.5)], "p0291": [(10000, .06), (4096, .25), (4096, 1.5)],
        "sentoy": [(10000, .06), (4096, .1)], "big": [(10000, .06), (30000, .06)], "huge": [(100000, .06)]}


# ---- Inputs and schedules ---------------------------------------------------

def make_inputs(work, bench, quick):
    """Writes the generated inputs into work. Per input: its arguments, the
    line prefixes a signal may wait for, the delays it may wait instead, the
    output's rough size and whether the run without a signal finishes."""
    def put(name, text):
        with open(os.path.join(work, name), "w") as f:
            f.write(text)
        return os.path.join(work, name)
    terms = " ".join(f"+{i % 7 + 1} x{i}" for i in range(1, 12001))
    ins = {"progress": dict(argv=[put("progress.opb", "* #variable= 12000 #constraint= 1\n"
                                      f"min: {terms} ;\n+1 x1 +1 x2 >= 1 ;\n")],
                            lines=["c mf: 100-> ", "c mf: 5000-> ", "c mf: 11990-> ", "o ", "s ", "v "],
                            delay=(0, 1.5), size=260e3, full=True),
           "big": dict(argv=[put("big.wcnf", "p wcnf 300000 2 10\n10 1 2 0\n1 -1 0\n")],
                       lines=["o ", "s ", "v "], delay=(0, 1.5), size=2.4e6, full=True)}
    if not quick:
        ins["huge"] = dict(argv=[put("huge.wcnf", "p wcnf 3000000 2 10\n10 1 2 0\n1 -1 0\n")],
                           lines=["v "], delay=(0, 1.5), size=27e6, full=True)
    if bench:
        ins["sentoy"] = dict(argv=["-a", "bin", "-e", "cn:w", os.path.join(bench, "opb/sentoy.opb")],
                             lines=["c clauses ", "c lambda: "], delay=(.2, 2.5), size=600e3, full=False)
        ins["p0291"] = dict(argv=["-a", "bcd2strat", "-e", "cn", os.path.join(bench, "opb/p0291.opb")],
                            lines=["c niter:10 ", "c Cores: 13,", "c sums "], delay=(.1, 2.5), size=40e3, full=False)
    return ins


def sample(seed, k, ins, quick, fams):
    """The schedule of run k, a dict of plain values: its family by k (the
    k-th of fams, modulo their count), the rest drawn from (seed, k)."""
    rng = random.Random(f"{seed}/{k}")
    while True:
        s = draw(rng, k, seed, fams[k % len(fams)], ins)
        if not quick or expected_secs(s) <= QUICK_SECS:
            return s


def draw(rng, k, seed, fam, ins):
    """One draw of run k's schedule, in family fam."""
    out, kind = fam.split("/") if fam.split("/")[0] in OUTS + ["sock"] else (rng.choice(OUTS), "fast")
    s = dict(k=k, seed=seed, fam=fam, out=out, blocked=False, T=None, timeout=None, events=[])

    def pick(names, big=2):  # the big input read slowly or in pauses takes up to a minute
        w = {"progress": 4, "big": big, "sentoy": 1.5, "p0291": 1.5}
        names = [n for n in names if n in ins]
        return rng.choices(names, [w[n] for n in names])[0]

    def ending(inp, lines=True, fast=False):
        if rng.random() < .2:
            s["T"] = rng.choice([2, 3])
            return
        delay = (.002, .015) if fast and inp in ("progress", "big") else ins[inp]["delay"]  # done in ms
        at = (("line", rng.choice(ins[inp]["lines"])) if lines and rng.random() < .6
              else ("time", round(rng.uniform(*delay), 3)))
        s["events"].append(dict(role="end", sig=rng.choice(SIGNALS), at=at))

    def after(role, sig, lo, hi, ev=0):
        s["events"].append(dict(role=role, sig=sig, at=("after", ev, round(rng.uniform(lo, hi), 3))))

    every = ["progress", "big", "sentoy", "p0291"]
    if fam in ("file", "devfull"):
        s["out"], s["input"] = "file" if fam == "file" else "full", pick(every)
        ending(s["input"], lines=False, fast=True)
    elif fam == "blocked":
        s["input"], s["blocked"] = pick(["progress", "big"]), True
        kind = rng.choice(["fast", "slow", "pausing", "returning", "returning"])
        at = ("line", rng.choice(ins[s["input"]]["lines"])) if rng.random() < .5 else ("time", round(rng.uniform(0, .5), 3))
        s["events"].append(dict(role="blocked", sig="INT", at=at))
    elif fam == "abort-run":  # the abort, then (mostly) the ending 0.3-1 s later
        s["input"] = pick(["progress", "sentoy", "p0291"])
        kind = rng.choice(["slow", "pausing", "stalled", "returning"])
        at = ("line", "c mf: 300-> ") if s["input"] == "progress" and kind == "slow" else ("time", round(rng.uniform(.05, .3), 3))
        s["events"].append(dict(role="abort", sig="ABRT", at=at))
        if s["input"] != "progress" or kind == "stalled" or rng.random() < .7:
            after("end", rng.choice(SIGNALS), .3, 1)
    elif fam == "abort-ending":  # the abort 0.3-0.6 s after the ending began, while the reader pauses
        s["input"] = pick(["progress", "big", "sentoy"], big=1)
        kind = rng.choice(["pausing", "returning"])
        ending(s["input"])
        if s["T"]:
            s["events"].append(dict(role="abort", sig="ABRT", at=("time", round(s["T"] - 1 + rng.uniform(.3, .6), 3))))
        else:
            after("abort", "ABRT", .3, .6)
    elif fam.startswith("second/"):  # a long ending (sentoy's kept model) or result block, read in a trickle
        s["out"] = rng.choice(["pipe", "page", "sock", "pty"])
        kind = rng.choice(["trickle", "trickle", "pausing"])
        s["input"] = "sentoy" if fam != "second/result" and "sentoy" in ins else \
            "progress" if fam == "second/timeout" else "big"
        sig = rng.choice(SIGNALS)
        if fam == "second/timeout":  # the alarm 0.3-1 s into the ending, read steadily: it changes nothing
            s["T"], kind = rng.choice([3, 4]), "pausing"
            s["events"].append(dict(role="end", sig=sig, at=("time", round(s["T"] - 1 - rng.uniform(.3, 1), 3))))
        elif s["input"] == "big" or rng.random() < .7:  # sentoy keeps a model from 1-1.4 s on
            at = ("line", "v ") if s["input"] == "big" else ("time", round(rng.uniform(1.4, 2.5), 3))
            s["events"].append(dict(role="end", sig=sig, at=at))
            after("second", rng.choice(SIGNALS), .3, 3)
        else:  # -T began the ending
            s["T"] = 3
            s["events"].append(dict(role="second", sig=sig, at=("time", round(s["T"] - 1 + rng.uniform(.3, 3), 3))))
    elif fam.startswith("together/"):  # two signals as one, during sentoy's search or big's held result block
        s["out"] = rng.choice(["pipe", "page", "sock", "pty"])
        held = fam.endswith("result") or "sentoy" not in ins or fam == "together/alarm" and rng.random() < .4
        s["input"] = "big" if held else "sentoy"
        # fast readers take big's block before a time-out; before a signal when "v " is read, now and then
        kind = "slow" if held and fam != "together/result" else rng.choice(["slow", "slow", "fast"] if held
                                                                          else ["fast", "slow", "pausing"])
        x = rng.random()  # the same kind, a service manager's SIGTERM then SIGHUP, or two kinds
        first, twin = (rng.choice(SIGNALS),) * 2 if x < .5 else ("TERM", "HUP") if x < .8 else rng.sample(SIGNALS, 2)
        if fam.startswith("together/timeout-"):  # timeout(1) sends SIGTERM to the run, then to its group
            s["timeout"] = (round(rng.uniform(.6, 1.2) if held else rng.uniform(1.6, 2.5), 2), rng.random() < .5)
        elif fam == "together/alarm":  # -T's ending begun, or its alarm held by the block: a signal 20-150 ms on
            s["T"] = 2 if held else rng.choice([3, 4])
            s["events"].append(dict(role="twin", sig=twin, at=("time", round(s["T"] - 1 + rng.uniform(.02, .15), 3))))
        else:  # sentoy keeps a model from 1-1.4 s on
            at = ("line", "v ") if held else ("time", round(rng.uniform(1.4, 2.5), 3))
            s["events"].append(dict(role="end", sig=first, at=at))
            gap = rng.choice(TWIN_GAPS)
            after("twin", twin, gap, gap)
    else:
        s["input"] = pick(every, big={"pausing": .6, "slow": 1}.get(kind, 2))
        if "huge" in ins and out == "pipe" and kind in ("fast", "slow", "stalled") and rng.random() < .1:
            s["input"] = "huge"
        ending(s["input"], fast=kind == "fast")
    inp = s["input"]
    r = s["reader"] = dict(kind=kind)
    if kind == "slow":  # a blocked signal cuts nothing: such a run reads all of its output
        r["bytes"], r["dt"] = rng.choice(SLOW[inp]) if fam != "blocked" else (10000, .06)
    if kind == "trickle":  # 4 KiB reads, fast until the cut
        r["bytes"], r["dt"] = 4096, round(rng.uniform(1.5, 1.9), 2)
    if kind in ("stalled", "returning"):
        r["stop"] = rng.choice([("abs", rng.randrange(int(ins[inp]["size"] * .8)))] * 2
                               + [("v", rng.choice([1111, 2222, 3333])), ("v", rng.randrange(100000))])
        r["pause"] = round(rng.choice([rng.uniform(.3, 1.8), rng.uniform(3.2, 5.0)]), 2) if kind == "returning" else None
    if fam == "abort-run" and kind in ("stalled", "returning"):
        r.update(stop=("abs", 0), pause=1.5 if kind == "returning" else None)
    if fam == "abort-ending" and kind == "returning":
        r.update(stop=("cut",), pause=round(rng.uniform(.8, 1.8), 2))
    s["size"] = ins[inp]["size"]
    return s


def describe(s):
    r = s["reader"]
    rd = r["kind"] + (f" {r['bytes']}B/{r['dt']}s" if r["kind"] in ("slow", "trickle") else "") \
        + (f" stop {':'.join(map(str, r['stop']))}" if "stop" in r else "") + (f" back after {r['pause']}s" if r.get("pause") else "")
    ev = ", ".join(f"{e['sig']}({e['role']})@{':'.join(map(str, e['at']))}" for e in s["events"])
    return (f"input={s['input']} out={s['out']} reader=[{rd}] signals=[{ev}]"
            + (f" -T {s['T']}" if s["T"] else "") + (" SIGINT-blocked-at-start" if s["blocked"] else "")
            + (" launched by " + " ".join(launcher(s)) if s["timeout"] else ""))


def launcher(s):
    """What starts the run before the program's own path: timeout(1), or nothing."""
    if not s["timeout"]:
        return []
    secs, preserve = s["timeout"]
    return ["timeout"] + (["--preserve-status"] if preserve else []) + [str(secs)]


def cut_status(s):
    """The status of a run that a signal or the time-out ended: the run's
    own 1, or timeout(1)'s 124 once it had to signal the run."""
    return 124 if s["timeout"] and not s["timeout"][1] else 1


def expected_secs(s):
    """A rough wall time: for the run's limit, and to start the long ones first."""
    r = s["reader"]  # a terminal gives at most ~4 KiB a read
    if any(e["role"] == "second" for e in s["events"]):  # the second signal ends it, or it is killed
        return (s["T"] or 2) + 3 + SECOND_KILL
    reading = {"slow": lambda: s["size"] / min(r["bytes"], 4096 if s["out"] in ("pty", "tty") else 1e9) * r["dt"],
               "pausing": lambda: s["size"] / 65536 * 1.5,
               "returning": lambda: r["pause"] or 0}.get(r["kind"], lambda: 0)()
    return (s["T"] or (s["timeout"][0] + 1 if s["timeout"] else 2)) + reading


def limit_rules():
    resource.setrlimit(resource.RLIMIT_AS, (4 << 30, 4 << 30))


# ---- References ---------------------------------------------------------------

def norm(line):
    return "c CPU Time: #" if line.startswith("c CPU Time: ") else line


def make_ref(exe, args, full, path):
    """Writes U for args to path, a line per line, the CPU time as '#': the
    output of a plain run (full), or the lines before the handler's line of
    a run cut by SIGTERM at 8 s. Returns an error, or None."""
    with tempfile.TemporaryFile() as f:
        p = subprocess.Popen([exe] + args, stdout=f, stderr=subprocess.DEVNULL,
                             start_new_session=True, preexec_fn=limit_rules)
        try:
            p.wait(timeout=120 if full else 8)
        except subprocess.TimeoutExpired:
            os.killpg(p.pid, signal.SIGKILL if full else signal.SIGTERM)
            p.wait(timeout=60)
        f.seek(0)
        lines = f.read().decode("latin-1").split("\n")
    h = H_SIGNAL.format("TERM")
    if full and (p.returncode != 0 or lines[-1]):
        return f"the plain run of {' '.join(args)} ended with status {p.returncode}"
    if not full and h not in lines:
        return f"the run of {' '.join(args)} cut at 8 s shows no handler's line"
    with open(path, "w", encoding="latin-1") as f:
        f.write("\n".join(map(norm, lines[:-1] if full else lines[:lines.index(h)])))
    return None


_refs = {}


def load_ref(path, full):
    """U's lines, where its result lines start (R; None for a cut run) and
    how many values a model lists: its model line's, or the variables of
    its "c clauses N vars: M" line (a cut run's U has no model line)."""
    if path not in _refs:
        with open(path, encoding="latin-1") as f:
            u = f.read().split("\n")
        s = next((i for i, l in enumerate(u) if l.startswith("s ")), None) if full else None
        _refs[path] = dict(lines=u, full=full, count=collections.Counter(u),
                           R=s - 1 if s and u[s - 1].startswith("o ") else s,
                           vcount=next((len(l.split()) - 1 for l in u if l.startswith("v ")),
                                       next((int(m[1]) for m in map(VARS_RE.fullmatch, u) if m), None)))
    return _refs[path]


# ---- One run ------------------------------------------------------------------

def proc_state(pid):
    """Where the kernel holds pid, with its blocked and pending signals."""
    try:
        st = dict(l.split(":", 1) for l in open(f"/proc/{pid}/status") if ":" in l)
        return f"wchan={open(f'/proc/{pid}/wchan').read()} SigBlk={st['SigBlk'].strip()} ShdPnd={st['ShdPnd'].strip()}"
    except OSError as e:  # it ended meanwhile
        return str(e)


def find_line(data, prefix, start):
    """Offset of a line (not the first) at or after start that begins with
    prefix, or -1."""
    i = data.find(b"\n" + prefix, max(0, start - 1))
    return i + 1 if i >= 0 else -1


def open_output(out, work):
    """(write end for the run, read end for the reader or None, file or None)."""
    if out in ("pipe", "page", "nonblock"):
        rfd, wfd = os.pipe()
        if out == "page":
            fcntl.fcntl(wfd, fcntl.F_SETPIPE_SZ, 4096)
        os.set_blocking(wfd, out != "nonblock")
        return wfd, rfd, None
    if out in ("pty", "tty"):
        rfd, wfd = pty.openpty()
        if out == "pty":  # output processing off: the bytes come as written
            attr = termios.tcgetattr(wfd)
            attr[1] &= ~(termios.OPOST | termios.ONLCR)
            termios.tcsetattr(wfd, termios.TCSANOW, attr)
        return wfd, rfd, None
    if out == "sock":
        a, b = socket.socketpair(socket.AF_UNIX, socket.SOCK_STREAM)
        return b.detach(), a.detach(), None
    f = tempfile.TemporaryFile(dir=work) if out == "file" else None
    return (os.dup(f.fileno()) if f else os.open("/dev/full", os.O_WRONLY)), None, f


def execute(s, exe, args, work):
    """Runs s. Returns what the reader got, the status, and the times (in
    seconds from the start) of the signals, the reader's pauses, its last
    read, the cut (the ending's signal or alarm) and the end."""
    rd = s["reader"]
    rng = random.Random(f"{s['seed']}/{s['k']}/reader")
    err = tempfile.TemporaryFile(dir=work)
    wfd, rfd, outfile = open_output(s["out"], work)

    def pre():
        limit_rules()
        if s["blocked"]:
            signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGINT})
    t0 = time.monotonic()
    p = subprocess.Popen(launcher(s) + [exe] + args, stdin=subprocess.DEVNULL, stdout=wfd, stderr=err,
                         start_new_session=True, preexec_fn=pre)
    os.close(wfd)
    pidfd = os.pidfd_open(p.pid)
    r = dict(sent={}, end=None, status=None, killed=None, last_read=None, pauses=[], after_stop=None,
             after_second=None)
    data, eof, seen, vpos, stop, paused = bytearray(), rfd is None, set(), None, None, False
    pause_until, chunk_left = 0.0, 65536  # the reader takes nothing before pause_until
    alarm = s["T"] - 1 if s["T"] else s["timeout"][0] if s["timeout"] else None
    end_ev = next((i for i, e in enumerate(s["events"]) if e["role"] == "end"), None)
    second = next((i for i, e in enumerate(s["events"]) if e["role"] == "second"), None)
    hard = 30 + 1.5 * expected_secs(s)

    def due(i, e, now):
        kind, *a = e["at"]
        if kind == "time":  # once the run has printed (its handlers are set), or at 0.1 s
            return now >= a[0] and (data or outfile and os.fstat(outfile.fileno()).st_size or now >= .1)
        if kind == "after":
            return a[0] in r["sent"] and now >= r["sent"][a[0]] + a[1]
        # the awaited line, half a second after the reader stopped before it, or LINE_WAIT
        return i in seen or now >= LINE_WAIT or (stop is not None and now < pause_until and now >= stop + .5)

    def pause(now, secs):
        nonlocal pause_until, paused
        pause_until, paused = now + secs, True
        r["pauses"].append([now, pause_until])

    def allowance(now):
        """Bytes the reader takes now; 0: none (paused, or stopped)."""
        nonlocal stop, paused
        if eof or now < pause_until:
            return 0
        if paused:  # back from a pause: it lasted until now
            r["pauses"][-1][1], paused = now, False
        if rd["kind"] in ("stalled", "returning") and stop is None:
            how, *a = rd["stop"]
            cut = end_ev in r["sent"] or alarm is not None and now >= alarm
            at = (a[0] if how == "abs" else vpos + a[0] if how == "v" and vpos is not None
                  else len(data) if how == "cut" and cut else None)
            if at is None:  # before "v " is read, small reads, so as not to pass the offset
                return 1024 if how == "v" else 1 << 20
            if len(data) < at:
                return at - len(data)
            stop = now
            pause(now, rd["pause"] or float("inf"))
            return 0
        return {"slow": rd.get("bytes"), "trickle": rd.get("bytes"), "pausing": chunk_left}.get(rd["kind"], 1 << 20)

    try:
        while True:
            now = time.monotonic() - t0
            if p.poll() is not None:
                r["end"], r["status"] = now, p.returncode
                break
            for i, e in enumerate(s["events"]):  # each on its own clock: a signal "after" 0 s goes in this pass
                sent = time.monotonic() - t0
                if i not in r["sent"] and due(i, e, sent):
                    os.kill(p.pid, getattr(signal, "SIG" + e["sig"]))
                    r["sent"][i] = sent
            cut = r["sent"].get(end_ev, alarm)
            if now > hard or (cut is not None and pause_until == float("inf") and now > max(cut, stop) + KILL_AFTER) \
                    or (second in r["sent"] and now > r["sent"][second] + SECOND_KILL):
                r["killed"], r["end"] = proc_state(p.pid), now
                break
            n = allowance(now)
            # A signal due a few ms from now (after another, or at a time) goes to the ms, not at the next tick.
            due_at = [e["at"][1] if e["at"][0] == "time" else r["sent"][e["at"][1]] + e["at"][2]
                      for i, e in enumerate(s["events"]) if i not in r["sent"] and
                      (e["at"][0] == "time" or e["at"][0] == "after" and e["at"][1] in r["sent"])]
            t = time.monotonic() - t0
            ready = select.select([pidfd] + ([rfd] if n else []), [], [], min([.01] + [x - t for x in due_at if x > t]))[0]
            if not n or rfd not in ready:
                continue
            try:
                chunk = os.read(rfd, n)
            except BlockingIOError:
                continue
            except OSError:  # EIO: the terminal's other side is closed
                chunk = b""
            if not chunk:
                eof = True
                continue
            start, tr = max(0, len(data) - 16), time.monotonic() - t0
            data += chunk
            r["last_read"] = tr
            if rd["kind"] == "slow" or rd["kind"] == "trickle" and (end_ev in r["sent"] or alarm is not None and tr >= alarm):
                pause(tr, rd["dt"])
            elif rd["kind"] == "pausing":
                chunk_left -= len(chunk)
                if chunk_left <= 0:
                    pause(tr, rng.uniform(1.0, 1.9))
                    chunk_left = 65536
            if vpos is None and find_line(data, b"v ", start) >= 0:
                vpos = find_line(data, b"v ", start)
            seen |= {i for i, e in enumerate(s["events"]) if e["at"][0] == "line" and find_line(data, e["at"][1].encode(), start) >= 0}
    finally:
        if p.returncode is None:  # killed, or an exception: leave nothing running
            os.killpg(p.pid, signal.SIGKILL)
            p.wait()
        os.close(pidfd)
        if rfd is not None:  # what the pipe or terminal still holds
            os.set_blocking(rfd, False)
            try:
                while chunk := os.read(rfd, 1 << 20):
                    data += chunk
            except OSError:
                pass
            os.close(rfd)
        if outfile:
            outfile.seek(0)
            data += outfile.read()
            outfile.close()
        err.seek(0)
        r["err"] = err.read().decode("latin-1")
        err.close()
    r["cut"] = r["sent"].get(end_ev, alarm if alarm is not None and r["end"] >= alarm else None)
    # The reader's longest idle from the cut on (the ending's clock), and its start.
    c = r["cut"] or 0.0
    r["idle"], r["idle_from"] = max(((b - max(a, c), max(a, c)) for a, b in r["pauses"] if b > c), default=(0.0, None))
    r["data"], r["end_ev"], r["alarm"], r["second"] = bytes(data), end_ev, alarm, r["sent"].get(second)
    return r


# ---- Judging ------------------------------------------------------------------

def v_fault(line, ended):
    """Why line is not a model line "v 1 -2 3 ...", each value's absolute
    value its position (an unended line may stop after any whole value)."""
    items = line[2:].split(" ")
    if items[-1] == "" and len(items) > 1:  # a separator after the last value
        items.pop()
    for k, t in enumerate(items, 1):
        if t != str(k) and t != f"-{k}":
            return f"value {k} of the model line is {t[:20]!r}" + ("" if ended else " (unended line)")
    return None


def judge(s, r, u):
    """The faults of run r of schedule s against reference u, and notes."""
    f, notes, st, U = [], [], r["status"], u["lines"]
    if r["killed"]:
        f.append(f"still running at {r['end']:.1f}s" + (f", {r['end'] - r['second']:.1f}s after the second signal"
                 if r["second"] is not None else "") + f"; killed ({r['killed']})")
    if s["out"] == "full":
        if st != 3 or FULL_ERROR not in r["err"]:
            f.append(f"standard output /dev/full: status {st}, standard error {r['err'][-120:]!r}")
        return f, notes
    text = r["data"].decode("latin-1")
    lines = (text.replace("\r\n", "\n") if s["out"] == "tty" else text).split("\n")
    tail = lines.pop()  # the unended last line, or ""
    ends = [e for e in s["events"] if e["role"] == "end"]
    hline = H_SIGNAL.format(ends[0]["sig"]) if ends else H_SIGNAL.format("TERM") if s["timeout"] \
        else H_TIMEOUT if s["T"] else None
    keptup = r["idle"] < KEEPUP_IDLE and r["second"] is None  # a second signal leaves out what is not yet out
    term = s["out"] in ("pty", "tty", "sock") and not keptup  # a terminal or socket may take part of a write
    what = "socket" if s["out"] == "sock" else "terminal"
    if tail and term and not tail.startswith("v "):
        nxt = U[len([l for l in lines if l != H_ABORT])] if len(lines) < len(U) else ""
        if any(x.startswith(tail) for x in (nxt, hline or "", H_ABORT)) or \
                any(x.startswith(re.sub(r"\d+", "9", tail)) for x in ENDING):
            notes.append(f"the {what}'s last line stops inside a line ({tail[-30:]!r}), as the README allows")
            tail = ""
    if tail.startswith("v ") and term:  # cut inside value k: noted, and judged without it
        items = tail[2:].split(" ")
        k, v = str(len(items)), items[-1].lstrip("-")
        if items[-1] and v != k and k.startswith(v):
            notes.append(f"the {what}'s last line stops inside a value ({tail[-12:]!r}), as the README allows")
            tail = tail[:len(tail) - len(items[-1])]

    # Abort lines: every abort sent has its line (unless it came within 0.1 s
    # of the end, or the reader stopped); a run's before the handler's line,
    # an ending's after every other line.
    sent = [i for i, e in enumerate(s["events"]) if e["role"] == "abort" and i in r["sent"]]
    at = [i for i, l in enumerate(lines) if l == H_ABORT]
    sure = sum(1 for i in sent if r["killed"] or r["end"] - r["sent"][i] >= .1) if keptup else 0
    # Once the result lines have begun an abort prints nothing (they stay
    # the last lines): with result lines, an abort may have no line, and an
    # abort line comes before them.
    block = next((i for i, l in enumerate(lines) if l.startswith("s ") and l != "s UNKNOWN"), None)
    if block is not None:
        block -= block > 0 and lines[block - 1].startswith("o ")
        sure = 0
        if at and at[-1] > block:
            f.append("an abort line after the result lines began")
    if not sure <= len(at) <= len(sent):
        f.append(f"{len(at)} abort lines for {len(sent)} aborts sent")
    in_ending = any(r["cut"] is not None and r["sent"][i] > r["cut"] for i in sent)
    if at and in_ending and (at[0] != len(lines) - len(at) or tail):
        f.append("an abort during the ending printed before the ending's last line")
    if at and not in_ending and hline in lines and at[-1] > lines.index(hline):
        f.append("an abort during the run printed after the handler's line")
    lines = [l for l in lines if l != H_ABORT]

    # A signal sent together with the first is the same signal: no line of its own. The run tells which
    # came first by when their handlers ran; two that wait together, held while the result block is
    # written or sent in one pass (both pending before either is taken), come in the kernel's order,
    # the lowest number first: there the line may be either's.
    twins = {H_SIGNAL.format(e["sig"]) for e in s["events"] if e["role"] == "twin"} - {hline}
    either = {H_SIGNAL.format(e["sig"]) for e in s["events"]
              if e["role"] == "twin" and (s["input"] == "big" or e["at"][0] == "after" and e["at"][2] == 0)}
    twins -= either
    for i, e in enumerate(s["events"]):
        ref = r["sent"].get(e["at"][1]) if e["at"][0] == "after" else r["alarm"]
        if e["role"] == "twin" and i in r["sent"] and ref is not None and r["sent"][i] - ref > .15:
            f.append(f"set-up: the second signal went {r['sent'][i] - ref:.3f}s after the first, not together")
    for l in lines + [tail]:
        if l in twins:
            f.append(f"a line of the signal sent together with the first: {l!r}")
        elif "Kestrane received" in l and l != hline and l not in either:
            f.append(f"stray or glued handler text in {l[:120]!r}")
        if l.startswith("c CPU Time:") and not CPU_RE.fullmatch(l):
            f.append(f"malformed CPU time line {l[:60]!r}")
    hs = [i for i, l in enumerate(lines) if l == hline or l in either]
    if len(hs) > 1:
        f.append(f"the handler's line {len(hs)} times" + (" (a signal sent together with it printed its own)"
                                                          if s["fam"].startswith("together/") else ""))
    h = hs[0] if hs else None
    cut_st = cut_status(s)
    if st is not None and (st != cut_st if h is not None else st not in (0, cut_st)):
        f.append(f"status {st}" + (" with the handler's line" if h is not None else ""))
    elif r["second"] is not None and st is not None and st != 1:
        f.append(f"status {st} after a second signal")
    nl = [norm(l) for l in lines]

    def prefix_faults(pre, tail):
        """pre starts U; an unended tail starts U's next line, a model line,
        and stops after a whole value."""
        for i, (a, b) in enumerate(zip(pre, U)):
            if a != b:
                return [f"line {i + 1} is {a[:80]!r}, the run without a signal has {b[:80]!r}"]
        if len(pre) > len(U):
            return [f"{len(pre) - len(U)} lines more than the run without a signal"] if u["full"] else []
        nxt = U[len(pre)] if len(pre) < len(U) else None
        if not tail:
            return []
        if not tail.startswith("v "):
            return [f"unended last line {tail[:80]!r}"]
        if nxt is None:
            return [x for x in [v_fault(tail, False)] if x]
        if not nxt.startswith(tail):
            return [f"unended model line {tail[:30]!r}..., the run without a signal has {nxt[:30]!r}..."]
        if not (len(tail) == len(nxt) or nxt[len(tail)] == " " or tail.endswith(" ")):
            return [f"unended model line, {len(tail)} bytes, stops inside a value ({tail[-12:]!r})"]
        return []

    if h is None:
        if st == 0 or (keptup and not r["killed"]):
            if u["full"] and (nl != U or tail):
                f.append("the output is not that of the run without a signal: " + ("; ".join(prefix_faults(nl, tail))
                         or f"{len(nl)} of {len(U)} lines" + (f", unended {tail[:40]!r}" if tail else "")))
            if st == cut_st:
                f.append(f"status {st} without the handler's line, though the reader kept up")
        else:
            f += prefix_faults(nl, tail)
    else:
        pre, post = nl[:h], nl[h + 1:]
        f += prefix_faults(pre, "")
        if u["R"] is not None and len(pre) > u["R"]:  # the result lines had begun: all out, then H
            if pre != U:
                f.append("the result lines had begun, but the handler's line cut them")
            if post or tail:
                f.append(f"{len(post) + bool(tail)} lines after the handler's line that follows the result lines")
        else:
            f += ending_faults(post, tail, keptup, u)
    if u["full"]:
        rep = [l for l, c in collections.Counter(nl).items() if c > 1 and c > u["count"][l]]
        if rep:
            f.append(f"line repeated: {rep[0][:80]!r}")
    return f + timing_faults(s, r, h is not None, keptup), notes


def ending_faults(post, tail, keptup, u):
    """After the handler's line: "c o X LB" (or "c o Top"), "s UNKNOWN", a
    model line (after a cost only), "c CPU Time"; all of it when the reader
    kept up, a start of it otherwise."""
    items = post + ([tail] if tail else [])
    shape = "".join("C" if COST_RE.fullmatch(l) else "S" if l == "s UNKNOWN" else "V" if l.startswith("v ")
                    else "T" if l.startswith("c CPU Time: ") else "?" for l in items)
    # A kept model's cost comes with the model (the cost of none is "Top").
    whole = "CSVT" if "V" in shape or items and COST_RE.fullmatch(items[0]) and items[0] != "c o Top" else "CST"
    f = []
    if not whole.startswith(shape) or (keptup and (shape != whole or tail)) or (items[:1] == ["c o Top"] and "V" in shape):
        f.append(f"the ending's lines are {shape or 'none'} ({' | '.join(l[:40] for l in items)}), "
                 f"expected {whole}" + ("" if keptup else " or a start of it"))
    if tail and not tail.startswith("v "):
        f.append(f"unended last line {tail[:80]!r}")
    for i, l in enumerate(items):
        if l.startswith("v "):
            f += [x for x in [v_fault(l, i < len(post))] if x]
            if keptup and u["vcount"] is not None and i < len(post) and len(l.split()) - 1 != u["vcount"]:
                f.append(f"the kept model lists {len(l.split()) - 1} of {u['vcount']} values")
    return f


def timing_faults(s, r, handled, keptup):
    """A stopped reader's run ends within END_WITHIN s of the later of the
    cut and the reader's stop; a keeping-up reader's cut run ends within
    CUT_END s plus the reader's longest pause after the cut or its last read
    (each read frees room: a longer gap is a wait of the writer's own); a
    time-out's handler's line comes no earlier than its alarm."""
    f, c = [], r["cut"]
    r["after_stop"] = r["after_second"] = None
    if r["killed"] or c is None or r["status"] == 0:
        return f
    if r["second"] is not None:  # ends within SECOND_WITHIN s, whatever the reader does
        r["after_second"] = r["end"] - r["second"]
        if r["after_second"] > SECOND_SLACK:
            f.append(f"ended {r['after_second']:.2f}s after the second signal "
                     f"(within {SECOND_WITHIN}s, {SECOND_SLACK}s on a loaded machine)")
        return f
    if r["idle"] > STOPPED_IDLE:
        r["after_stop"] = r["end"] - r["idle_from"]
        if r["after_stop"] > END_SLACK:
            f.append(f"ended {r['after_stop']:.2f}s after the later of the cut and the reader's stop "
                     f"(within {END_WITHIN}s, {END_SLACK}s on a loaded machine)")
    elif keptup and r["end"] - max(c, r["last_read"] or 0) > CUT_END + r["idle"]:
        f.append(f"ended {r['end'] - max(c, r['last_read'] or 0):.2f}s after the later of the cut and the last "
                 f"read that brought data, though the reader kept up (within {CUT_END + r['idle']:.2f}s)")
    if s["T"] and handled and r["end_ev"] not in r["sent"] and r["end"] < r["alarm"] - .05:
        f.append(f"the time-out ended the run at {r['end']:.2f}s, before its alarm at {r['alarm']}s")
    return f


def run_one(s, exe, args, ref_path, full, work):
    """Runs and judges s: a record for the summary (a failed run's output
    is kept in work)."""
    r = execute(s, exe, args, work)
    f, notes = judge(s, r, load_ref(ref_path, full))
    if f:
        with open(os.path.join(work, f"run-{s['k']}.out"), "wb") as o:
            o.write(r["data"])
    return dict(k=s["k"], fam=s["fam"], params=describe(s), status=r["status"], bytes=len(r["data"]),
                wall=r["end"], secs=r["end"] - (r["cut"] or 0), cut=r["cut"] is not None,
                after_stop=r["after_stop"], after_second=r["after_second"], faults=f, notes=notes)


# ---- The campaign ---------------------------------------------------------------

def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    ap = argparse.ArgumentParser(description="Torture run of Kestrane's standard-output writer.")
    ap.add_argument("--kestrane", default=os.path.join(root, "build", "kestrane"))
    ap.add_argument("--runs", type=int, help="runs (default 500, --quick 120)")
    ap.add_argument("--seed", type=int, default=int(time.time()) % 100000)
    ap.add_argument("--jobs", type=int, default=os.cpu_count())
    ap.add_argument("--quick", action="store_true", help="120 runs, no 3,000,000-value model")
    ap.add_argument("--run", type=int, action="append", metavar="K", help="replay run K only (repeatable)")
    ap.add_argument("--family", action="append", metavar="PREFIX",
                    help="only the families whose names start with PREFIX (repeatable), e.g. together or second/")
    a = ap.parse_args()
    chosen = [x for x in FAMILIES if not a.family or any(x.startswith(y) for y in a.family)]
    if not chosen:
        print(f"no family starts with {' or '.join(a.family)}; the families: {' '.join(dict.fromkeys(FAMILIES))}",
              file=sys.stderr)
        sys.exit(2)
    if not os.access(a.kestrane, os.X_OK):
        print(f"{a.kestrane}: not an executable (scripts/build.sh release builds it)", file=sys.stderr)
        sys.exit(2)
    work = tempfile.mkdtemp(prefix="writer-torture-")
    exe = os.path.join(work, "kestrane")
    shutil.copy2(a.kestrane, exe)
    bench = os.path.normpath(os.path.join(root, "..", "shared", "bench"))
    bench = bench if os.path.isdir(bench) else None
    ins = make_inputs(work, bench, a.quick)
    scheds = [sample(a.seed, k, ins, a.quick, chosen) for k in (a.run or range(a.runs or (120 if a.quick else 500)))]
    with open(exe, "rb") as f:  # which build was judged: the binary may be rebuilt meanwhile
        digest = hashlib.sha256(f.read()).hexdigest()[:12]
    built = time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(os.stat(a.kestrane).st_mtime))
    print(f"seed {a.seed}, {len(scheds)} runs, {a.jobs} jobs; {a.kestrane} (sha256 {digest}..., "
          f"modified {built}) copied to {exe}" + (f"; the families {', '.join(a.family)}..." if a.family else "")
          + ("" if bench else "; ../shared/bench not found: sentoy and p0291 left out"), flush=True)

    # U per command: the exact arguments for the generated inputs, the
    # arguments without -T for the benchmark files (a run cut at 8 s).
    refs = {}
    for s in scheds:
        full = ins[s["input"]]["full"]
        key = tuple((["-T", str(s["T"])] if s["T"] and full else []) + ins[s["input"]]["argv"])
        s["ref"] = refs.setdefault(key, (os.path.join(work, f"ref-{len(refs)}.txt"), full))
    records, t0 = [], time.time()
    with futures.ProcessPoolExecutor(a.jobs, mp_context=multiprocessing.get_context("forkserver")) as ex:
        for err in [ex.submit(make_ref, exe, list(key), full, path) for key, (path, full) in refs.items()]:
            if err.result():
                print(f"set-up: {err.result()}", file=sys.stderr)
                shutil.rmtree(work, ignore_errors=True)
                sys.exit(2)
        jobs = [ex.submit(run_one, s, exe, (["-T", str(s["T"])] if s["T"] else []) + ins[s["input"]]["argv"],
                          *s["ref"], work) for s in sorted(scheds, key=expected_secs, reverse=True)]
        try:
            for j in futures.as_completed(jobs):
                x = j.result()
                records.append(x)
                print(f"{x['k']:5} {x['fam']:<23} {'FAIL' if x['faults'] else 'pass'} status {x['status']} "
                      f"{x['secs']:6.2f}s {'after the cut' if x['cut'] else 'in all      '} {x['bytes']:9} B "
                      f"(wall {x['wall']:5.1f}s)  {x['params']}" + "".join(f"\n        - {y}" for y in x["faults"])
                      + "".join(f"\n        note: {y}" for y in x["notes"]), flush=True)
        except KeyboardInterrupt:  # the workers kill their runs (each in its own session)
            ex.shutdown(wait=True, cancel_futures=True)
            shutil.rmtree(work, ignore_errors=True)
            sys.exit(130)

    fams = collections.defaultdict(lambda: [0, 0])
    for x in records:
        fams[x["fam"]][bool(x["faults"])] += 1
    bad = sorted((x for x in records if x["faults"]), key=lambda x: x["k"])
    print(f"\n{'family':<25}{'runs':>6}{'passed':>8}{'failed':>8}")
    for fam, (ok, no) in sorted(fams.items()):
        print(f"{fam:<25}{ok + no:>6}{ok:>8}{no:>8}")
    print(f"{'total':<25}{len(records):>6}{len(records) - len(bad):>8}{len(bad):>8}"
          f"   ({(time.time() - t0) / 60:.1f} minutes)")
    stops = [x["after_stop"] for x in records if x["after_stop"] is not None]
    if stops:
        print(f"stopped readers: {len(stops)} runs; the longest end after the later of the cut and the reader's "
              f"stop: {max(stops):.2f}s (within {END_WITHIN}s, {END_SLACK}s allowed)")
    seconds = [x["after_second"] for x in records if x["after_second"] is not None]
    if seconds:
        print(f"second signals: {len(seconds)} runs; the longest end after it: {max(seconds):.2f}s "
              f"(within {SECOND_WITHIN}s, {SECOND_SLACK}s allowed)")
    print(f"runs that ended uncut (status 0: their signal blocked, aborts only, or done first): "
          f"{sum(1 for x in records if x['status'] == 0)}; notes: {sum(len(x['notes']) for x in records)}")
    if bad:
        print(f"\nfailures (their outputs in {work}):")
        for x in bad:
            print(f"  run {x['k']} [{x['fam']}] status {x['status']}: {x['params']}\n"
                  + "".join(f"      - {y}\n" for y in x["faults"])
                  + f"      replay: python3 bench/writer_torture.py --kestrane {a.kestrane} --seed {a.seed}"
                    f" --run {x['k']}{' --quick' if a.quick else ''}"
                    + "".join(f" --family {y}" for y in a.family or []))
    else:
        shutil.rmtree(work, ignore_errors=True)
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
