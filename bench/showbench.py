#!/usr/bin/python3
"""End-to-end show benchmark: Quadrello, feh and geeqie on the same picture corpus.

Each corpus picture carries a broad band of its own colour across its middle. A pixel
probe reads a 16 x 16 area at the centre of the screen every millisecond (python3-xlib
GetImage) and notes, on the monotonic clock, when each picture's colour appears there.

  run quadrello  the program's own timer advances the show; its timing log (category
                 quadrello.show, same monotonic clock) gives each tick's time, so
                 tick -> picture visible is the probe's time minus the logged tick.
  run feh|geeqie the viewer is advanced with a key press (xdotool) two seconds after the
                 previous picture became visible; key press -> picture visible.

Also: launch -> first window (Quadrello's settings dialog, the peers' first picture),
peak memory (VmHWM read just before the viewer is ended) and CPU seconds per picture
(utime + stime over the show, divided by the pictures shown).

  table          prints the comparison table from the runs' results and the micro
                 benchmarks' JSON.

Needs DISPLAY set to a running X server (the bench script starts Xvfb with jwm).
"""

import argparse
import json
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

PROBE_SIZE = 16
PROBE_PERIOD_NS = 1_000_000
TOLERANCE = 40  # per channel; band colours differ by at least 80 in some channel
ADVANCE_WAIT_NS = 2_000_000_000  # the peers' wait before each key press
SETTLE_NS = 1_500_000_000  # after the last picture, before memory and CPU are read
CLK_TCK = os.sysconf("SC_CLK_TCK")


def now():
    return time.monotonic_ns()


def read_corpus(folder):
    pictures = []
    with open(os.path.join(folder, "corpus.txt")) as f:
        for line in f:
            name, w, h, r, g, b, kind = line.split()
            pictures.append({"name": name, "mp": round(int(w) * int(h) / 1e6), "kind": kind,
                             "rgb": (int(r), int(g), int(b))})
    return pictures


# --- The probe ---------------------------------------------------------------------------

class Probe:
    """Samples the centre of the screen and tells which band colour, if any, fills it."""

    def __init__(self, palette):
        from Xlib import X, display
        self._zpixmap = X.ZPixmap
        self.display = display.Display()
        screen = self.display.screen()
        self.root = screen.root
        # The centre of the screen, or of the monitor QUADRELLO_PROBE_AT ("X,Y") names.
        at = os.environ.get("QUADRELLO_PROBE_AT")
        cx, cy = (int(v) for v in at.split(",")) if at else (
            screen.width_in_pixels // 2, screen.height_in_pixels // 2)
        self.x = cx - PROBE_SIZE // 2
        self.y = cy - PROBE_SIZE // 2
        self.palette = palette
        # Four corners and the middle of the area must all show the same colour.
        s = PROBE_SIZE
        self.points = [0, s - 1, (s - 1) * s, s * s - 1, (s // 2) * s + s // 2]
        self.timeline = []  # (time, colour index or None), one entry per change
        self.raw = []  # (time, raw bytes) while recording raw samples
        self.record_raw = False

    def _classify(self, data):
        found = None
        for p in self.points:
            b, g, r = data[4 * p], data[4 * p + 1], data[4 * p + 2]
            hit = None
            for i, (pr, pg, pb) in enumerate(self.palette):
                if abs(r - pr) <= TOLERANCE and abs(g - pg) <= TOLERANCE and abs(b - pb) <= TOLERANCE:
                    hit = i
                    break
            if hit is None or (found is not None and hit != found):
                return None
            found = hit
        return found

    def sample(self):
        image = self.root.get_image(self.x, self.y, PROBE_SIZE, PROBE_SIZE, self._zpixmap, 0xFFFFFFFF)
        t = now()
        data = image.data
        colour = self._classify(data)
        if not self.timeline or self.timeline[-1][1] != colour:
            self.timeline.append((t, colour))
        if self.record_raw:
            self.raw.append((t, bytes(data)))
        return t, colour

    def watch(self, until, timeout_ns, what):
        """Samples every millisecond until until(t, colour) holds; returns that time."""
        deadline = now() + timeout_ns
        next_at = now()
        while True:
            t, colour = self.sample()
            if until(t, colour):
                return t
            if t > deadline:
                raise TimeoutError(what)
            next_at += PROBE_PERIOD_NS
            delay = next_at - now()
            if delay > 0:
                time.sleep(delay / 1e9)
            else:
                next_at = now()

    def idle(self, until_ns):
        """Keeps sampling until the given time."""
        self.watch(lambda t, c: t >= until_ns, until_ns - now() + 10**9, "idle")

    def first_seen(self, colour, after):
        for t, c in self.timeline:
            if t >= after and c == colour:
                return t
        return None


# --- Processes -------------------------------------------------------------------------

def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLK_TCK  # utime, stime


def peak_memory_mib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return None


def xdotool(*args):
    return subprocess.run(["xdotool", *args], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          text=True).stdout.strip()


def press(key):
    """A key press through xdotool; returns when xdotool has sent it."""
    subprocess.run(["xdotool", "key", "--delay", "0", key], stderr=subprocess.DEVNULL)
    return now()


def end_process(proc, key=None):
    if proc.poll() is None and key:
        press(key)
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            pass
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def window_of(pid, timeout_s=10):
    deadline = time.monotonic() + timeout_s
    while time.monotonic() < deadline:
        ids = xdotool("search", "--onlyvisible", "--pid", str(pid)).split()
        if ids:
            return ids[-1]
        time.sleep(0.05)
    return None


def median(values):
    return statistics.median(values) if values else None


# --- Quadrello ---------------------------------------------------------------------------

LOG_TICK = re.compile(r"quadrello\.show: tick (\d+) index (\d+)")
# A transition's line: when it ended, its length (from its start to its last frame on the
# screen), its frames, the frames that came 1.5 display intervals or more after the
# previous one (late), 2.5 or more (very late), the longest time between two frames, and
# the time from its first frame to its last.
FRAMES = (r" took ([\d.]+) ms in (\d+) frames"
          r"(?:, (\d+) late, (\d+) very late, longest ([\d.]+) ms, first to last ([\d.]+) ms)?")
LOG_WIPE = re.compile(r"quadrello\.show: wipe (\d+) pattern (\d+)" + FRAMES)
LOG_SLIDE = re.compile(r"quadrello\.show: slide (\d+)" + FRAMES)
LOG_SHOWN = re.compile(r"quadrello\.show: shown (\d+) (.*)")


def frames_of(m, first):
    """The frames part of a transition's log line, from group `first` on."""
    late = m[first + 2]
    return {"ms": float(m[first]), "frames": int(m[first + 1]),
            "late": int(late) if late is not None else None,
            "very_late": int(m[first + 3]) if late is not None else None,
            "longest_ms": float(m[first + 4]) if late is not None else None,
            "span_ms": float(m[first + 5]) if late is not None else None}


def parse_log(path):
    """The show's timing log: tick times, wipes, slide-ins and shown times, by picture index."""
    ticks, wipes, slides, shown = {}, {}, {}, {}
    index = None
    with open(path) as f:
        for line in f:
            if m := LOG_TICK.search(line):
                index = int(m[2])
                ticks.setdefault(index, int(m[1]))
            elif (m := LOG_WIPE.search(line)) and index is not None:
                wipes.setdefault(index, {"end": int(m[1]), **frames_of(m, 3)})
            elif (m := LOG_SLIDE.search(line)) and index is not None:
                slides.setdefault(index, {"end": int(m[1]), **frames_of(m, 2)})
            elif (m := LOG_SHOWN.search(line)) and index is not None:
                shown.setdefault(index, int(m[1]))
    return ticks, wipes, slides, shown


def dos_path(host):
    return "C:" + host.replace("/", "\\")


def run_quadrello(args, corpus, probe):
    pictures = len(corpus)
    work = tempfile.mkdtemp(prefix="quadrello-bench-")
    try:
        prog = os.path.join(work, "program")
        shutil.copytree(args.program, prog, symlinks=True)
        ini = os.path.join(prog, "QUADRO.INI")
        if os.path.exists(ini):
            os.remove(ini)
        with open(ini, "w", newline="") as f:
            f.write(f"PATH={dos_path(os.path.abspath(args.corpus))}\r\nTempoAttesa=2\r\n"
                    f"MusicaFM= 0 \r\nSuonoWAV= 0 \r\nEffetti= {args.effects} \r\n")
        log_path = os.path.join(work, "show.log")
        env = dict(os.environ, QT_LOGGING_RULES="quadrello.show.debug=true")

        # Launch -> the settings dialog painted: the centre of the screen first shows
        # what it shows once the dialog has settled.
        probe.record_raw = True
        probe.raw.clear()
        probe.sample()
        before = probe.raw[-1][1]
        with open(log_path, "w") as log:
            launched = now()
            proc = subprocess.Popen(["./quadrello"], cwd=prog, env=env, stdout=log, stderr=log)
        try:
            changed = probe.watch(lambda t, c: probe.raw[-1][1] != before, 30 * 10**9,
                                  "the settings dialog did not appear")
            probe.idle(changed + 400_000_000)
            settled = probe.raw[-1][1]
            dialog_painted = next(t for t, d in probe.raw if d == settled)
            probe.record_raw = False
            probe.raw.clear()
            dialog = xdotool("search", "--onlyvisible", "--name", "^Informazioni su Quadrello$")
            if not dialog:
                raise RuntimeError("the centre of the screen changed, but no settings dialog is shown")
            dialog = dialog.split()[0]

            # Return on the dialog starts the show; the timer ticks every two seconds.
            subprocess.run(["xdotool", "windowactivate", "--sync", dialog], stderr=subprocess.DEVNULL)
            cpu_start = cpu_seconds(proc.pid)
            show_start = press("Return")
            last = pictures - 1
            probe.watch(lambda t, c: c == last and t > show_start, (pictures * 2 + 30) * 10**9,
                        "the show did not reach its last picture")
            last_seen = probe.first_seen(last, show_start)
            # Memory and CPU are read before the next tick (the end of the pass) comes.
            last_tick = parse_log(log_path)[0].get(pictures, last_seen)
            probe.idle(min(last_seen + SETTLE_NS, last_tick + 1_900_000_000))
            cpu_end = cpu_seconds(proc.pid)
            memory = peak_memory_mib(proc.pid)
        finally:
            end_process(proc, "Escape")

        if args.log:
            shutil.copyfile(log_path, args.log)
        ticks, wipes, slides, shown = parse_log(log_path)
        per_picture = []
        for k, pic in enumerate(corpus, start=1):
            tick = ticks.get(k)
            visible = probe.first_seen(k - 1, tick) if tick else None
            wipe_end = wipes.get(k, {}).get("end")
            per_picture.append({
                "name": pic["name"], "mp": pic["mp"], "kind": pic["kind"],
                "latency_ms": (visible - tick) / 1e6 if tick and visible else None,
                # The program's own part: from the tick until the picture is set up.
                "tick_to_shown_ms": (shown[k] - tick) / 1e6 if tick and k in shown else None,
                "wipe_end_to_visible_ms": (visible - wipe_end) / 1e6 if wipe_end and visible else None,
            })
        return {
            "viewer": "quadrello",
            "effects": args.effects,
            "launch_ms": (dialog_painted - launched) / 1e6,
            "pictures": per_picture,
            "shown": len(shown),
            "peak_mib": memory,
            "cpu_per_picture_s": (cpu_end - cpu_start) / max(1, len(shown)),
            "wipes": [w for _, w in sorted(wipes.items())],
            "slides": [w for _, w in sorted(slides.items())],
        }
    finally:
        shutil.rmtree(work, ignore_errors=True)


# --- The peers ---------------------------------------------------------------------------

def run_peer(args, corpus, probe):
    files = [os.path.join(os.path.abspath(args.corpus), p["name"]) for p in corpus]
    home = tempfile.mkdtemp(prefix=f"{args.viewer}-bench-")
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=f"{home}/.config",
               XDG_CACHE_HOME=f"{home}/.cache", XDG_DATA_HOME=f"{home}/.local/share")
    if args.viewer == "feh":
        argv = ["feh", "--fullscreen", "--hide-pointer", *files]
    else:
        argv = ["geeqie", "--new-instance", "--fullscreen", files[0]]
    try:
        launched = now()
        proc = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            first = probe.watch(lambda t, c: c == 0, 60 * 10**9,
                                f"{args.viewer} did not show the first picture")
            window = window_of(proc.pid)
            if window:
                subprocess.run(["xdotool", "windowactivate", "--sync", window],
                               stderr=subprocess.DEVNULL)
            latencies = [None]
            visible = first
            for k in range(1, len(corpus)):
                probe.idle(visible + ADVANCE_WAIT_NS)
                pressed = press("space")
                visible = probe.watch(lambda t, c, k=k: c == k, 30 * 10**9,
                                      f"{args.viewer} did not show picture {k + 1}")
                latencies.append((visible - pressed) / 1e6)
            probe.idle(visible + SETTLE_NS)
            cpu = cpu_seconds(proc.pid)
            memory = peak_memory_mib(proc.pid)
        finally:
            end_process(proc)
        return {
            "viewer": args.viewer,
            "launch_ms": (first - launched) / 1e6,
            "pictures": [{"name": p["name"], "mp": p["mp"], "kind": p["kind"], "latency_ms": lat}
                         for p, lat in zip(corpus, latencies)],
            "shown": len(corpus),
            "peak_mib": memory,
            "cpu_per_picture_s": cpu / len(corpus),
        }
    finally:
        shutil.rmtree(home, ignore_errors=True)


def run(args):
    corpus = read_corpus(args.corpus)
    probe = Probe([p["rgb"] for p in corpus])
    result = run_quadrello(args, corpus, probe) if args.viewer == "quadrello" else run_peer(args, corpus, probe)
    result["probe_period_ms"] = PROBE_PERIOD_NS / 1e6
    if args.tag:
        result["tag"] = args.tag
    with open(args.out, "w") as f:
        json.dump(result, f, indent=1)
    lat = [p["latency_ms"] for p in result["pictures"] if p["latency_ms"] is not None]
    print(f"  {args.viewer}{' (transitions on)' if result.get('effects') else ''}: "
          f"{len(lat)} pictures timed, median {median(lat):.1f} ms, max {max(lat):.1f} ms, "
          f"peak {result['peak_mib']:.0f} MiB, launch {result['launch_ms']:.0f} ms")


# --- The table ---------------------------------------------------------------------------

def latency(result, kind):
    if not result:
        return None
    return median([p["latency_ms"] for p in result["pictures"]
                   if p["kind"] == kind and p["latency_ms"] is not None])


def micro_times(path):
    """Real time in ms of each micro benchmark, by name."""
    if not path or not os.path.exists(path):
        return {}
    with open(path) as f:
        data = json.load(f)
    times = {}
    benchmarks = data.get("benchmarks", [])
    # With repetitions, the median of each; else the single run.
    medians = [b for b in benchmarks if b.get("aggregate_name") == "median"]
    for b in medians or [b for b in benchmarks if b.get("run_type", "iteration") == "iteration"]:
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
        name = b.get("run_name", b["name"]).removesuffix("/real_time")
        times[name] = b["real_time"] * scale
        if "width" in b:
            times[name + "/size"] = f"{b['width']:.0f} x {b['height']:.0f}"
    return times


def fmt(value, unit="", digits=1):
    if value is None:
        return "-"
    return f"{value:.{digits}f}{unit}"


def ratio(a, b):
    if a is None or b is None or b == 0:
        return "-"
    return f"{a / b:.2f}x"


def verdict(ok):
    return "" if ok is None else ("met" if ok else "MISSED")


def table(args):
    runs = {}
    for path in args.results:
        with open(path) as f:
            r = json.load(f)
        key = r["viewer"] + ("+fx" if r.get("effects") else "") + (
            "@" + r["tag"] if r.get("tag") else "")
        runs[key] = r
    ours, fx = runs.get("quadrello"), runs.get("quadrello+fx")
    feh, geeqie = runs.get("feh"), runs.get("geeqie")
    micro = micro_times(args.micro)
    get = lambda r, k: r.get(k) if r else None

    rows = []  # label, ours, ours with transitions, feh, geeqie, ours/feh, ours/geeqie, target, verdict
    for kind, label in (("baseline", "24 MP"), ("progressive", "24 MP progressive"),
                        ("panorama", "100 MP panorama"), ("2mp", "2 MP")):
        lat = [latency(r, kind) for r in (ours, fx, feh, geeqie)]
        first = ours and next((p["latency_ms"] for p in ours["pictures"][:1]
                               if p["kind"] == kind and p["latency_ms"] is not None), None)
        worst = ours and max([p["latency_ms"] for p in ours["pictures"]
                              if p["kind"] == kind and p["latency_ms"] is not None], default=None)
        rows.append([f"tick/key -> visible, {label}, median", *[fmt(v, " ms") for v in lat],
                     ratio(lat[0], lat[2]), ratio(lat[0], lat[3]), "<= 17 ms",
                     verdict(worst <= 17 if worst is not None else None) +
                     (f" (max {worst:.1f})" if worst is not None else "") +
                     (f" (1st tick {first:.1f})" if first is not None else "")])
    setup = [median([p["tick_to_shown_ms"] for p in r["pictures"]
                     if p["kind"] == "baseline" and p.get("tick_to_shown_ms") is not None]) if r else None
             for r in (ours,)]
    rows.append(["  24 MP: tick -> picture set up (log)", fmt(setup[0], " ms"),
                 "", "", "", "", "", "", ""])
    slide = median([p["wipe_end_to_visible_ms"] for p in (fx or {}).get("pictures", [])
                    if p.get("wipe_end_to_visible_ms") is not None])
    rows.append(["  wipe end -> visible (slide-in)", "", fmt(slide, " ms"), "", "", "", "", "", ""])
    launch = [get(r, "launch_ms") for r in (ours, fx, feh, geeqie)]
    rows.append(["launch -> dialog (peers: 1st picture)", *[fmt(v, " ms", 0) for v in launch],
                 ratio(launch[0], launch[2]), ratio(launch[0], launch[3]), "<= 0.5 x feh",
                 verdict(launch[0] <= 0.5 * launch[2] if None not in (launch[0], launch[2]) else None)])
    mem = [get(r, "peak_mib") for r in (ours, fx, feh, geeqie)]
    rows.append(["peak memory (VmHWM), 20 pictures", *[fmt(v, " MiB", 0) for v in mem],
                 ratio(mem[0], mem[2]), ratio(mem[0], mem[3]), "<= 0.8 x feh",
                 verdict(mem[0] <= 0.8 * mem[2] if None not in (mem[0], mem[2]) else None)])
    photos = get(runs.get("quadrello@photos"), "peak_mib")
    if photos is not None:
        rows.append(["  the same, 24 MP photos only (baseline, 2 MP)", fmt(photos, " MiB", 0),
                     "", "", "", "", "", "<= 87 MiB", verdict(photos <= 87)])
    cpu = [get(r, "cpu_per_picture_s") for r in (ours, fx, feh, geeqie)]
    rows.append(["CPU per picture", *[fmt(v, " s", 3) for v in cpu],
                 ratio(cpu[0], cpu[2]), ratio(cpu[0], cpu[3]), "<= feh",
                 verdict(cpu[0] <= cpu[2] if None not in (cpu[0], cpu[2]) else None) +
                 (" (on: MISSED)" if None not in (cpu[1], cpu[2]) and cpu[1] > cpu[2] else "")])
    for what, label in (("wipes", "wipe"), ("slides", "slide-in")):
        runs_of = (fx or {}).get(what, [])
        length = median([w["ms"] for w in runs_of])
        span = median([w["span_ms"] for w in runs_of if w.get("span_ms") is not None])
        frames = median([w["frames"] for w in runs_of])
        target = "0.45-0.55 s" if what == "wipes" else ""
        rows.append([f"{label}, median (first to last frame)", "-",
                     fmt(length / 1000 if length else None, " s", 3) +
                     (f" ({span / 1000:.3f} s)" if span else "") +
                     (f" ({frames:.0f} fr)" if frames else ""), "-", "-", "", "", target,
                     verdict(0.45 <= length / 1000 <= 0.55 if length and target else None)])
        timed = [w for w in runs_of if w.get("late") is not None]
        gaps = sum(w["frames"] - 1 for w in timed)
        late = sum(w["late"] for w in timed)
        very = sum(w["very_late"] for w in timed)
        longest = max((w["longest_ms"] for w in timed), default=None)
        on_time = 100 * (gaps - late) / gaps if gaps else None
        rows.append([f"  {label} frames on time (late, very late)", "-",
                     (f"{on_time:.1f} % ({late}, {very})" if on_time is not None else "-"), "-", "-",
                     "", "", ">= 95 %, none very late",
                     verdict(on_time >= 95 and very == 0 if on_time is not None else None) +
                     (f" (longest {longest:.1f} ms)" if longest is not None else "")])
    header = ["", "Quadrello", "transitions on", "feh", "geeqie", "ours/feh", "ours/geeqie",
              "target", ""]
    print_rows(header, rows)
    print()
    print("tick/key -> visible: Quadrello from its logged timer tick, feh and geeqie from the")
    print("key press (sent two seconds after the previous picture appeared), to the picture's")
    print(f"colour at the centre of the screen (probe every {PROBE_PERIOD_NS / 1e6:.0f} ms). "
          "With transitions on, the")
    print("time includes the wipe and the slide-in. CPU: Quadrello over the show, the peers from")
    print("their launch. Ratios: Quadrello with transitions off against each peer.")
    print()
    if not micro:
        return

    walk, find = micro.get("Walk/BuildImageList"), micro.get("Walk/find -maxdepth 2")
    print_rows(["walk, 10 000 pictures in 1 000 folders", "BuildImageList", "find -maxdepth 2",
                "ratio", "target", ""],
               [["wall clock, warm cache", fmt(walk, " ms"), fmt(find, " ms"), ratio(walk, find),
                 "<= 1.5x", verdict(walk <= 1.5 * find if None not in (walk, find) else None)]])
    print()
    rows = [[f"{mp} MP JPEG", fmt(micro.get(f"Decode/full/MP/{mp}"), " ms"),
             fmt(micro.get(f"DecodeFit/full/MP/{mp}"), " ms"),
             fmt(micro.get(f"DecodeFit/scaled/MP/{mp}"), " ms"),
             micro.get(f"DecodeFit/scaled/MP/{mp}/size", "-")] for mp in (24, 2)]
    print_rows(["decode, fit to 1920 x 1080", "natural size", "full, then scaled",
                "scaled decode (the show)", "fitted size"], rows)
    print()
    print("find: a process started and waited for each time. Decode: wall clock; the show's way")
    print("reads the header, fits, and decodes at the fitted size.")


def print_rows(header, rows):
    widths = [max(len(str(row[i])) for row in rows + [header]) for i in range(len(header))]
    line = lambda row: "  ".join(str(c).ljust(w) if i == 0 else str(c).rjust(w)
                                 for i, (c, w) in enumerate(zip(row, widths))).rstrip()
    print(line(header))
    print("  ".join("-" * w for w in widths))
    for row in rows:
        print(line(row))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    r = sub.add_parser("run", help="time one viewer on the corpus")
    r.add_argument("viewer", choices=["quadrello", "feh", "geeqie"])
    r.add_argument("--corpus", required=True, help="folder written by quadrello_corpus")
    r.add_argument("--program", help="Quadrello's program folder (for quadrello)")
    r.add_argument("--effects", type=int, default=0, choices=[0, 1], help="transitions off or on")
    r.add_argument("--out", required=True, help="where the result (JSON) goes")
    r.add_argument("--log", help="where to keep Quadrello's timing log (for quadrello)")
    r.add_argument("--tag", help="a name for a run on another corpus, kept in its result")
    t = sub.add_parser("table", help="print the comparison table")
    t.add_argument("--micro", help="the micro benchmarks' JSON output")
    t.add_argument("results", nargs="*")
    args = parser.parse_args()
    if args.command == "run":
        if args.viewer == "quadrello" and not args.program:
            parser.error("quadrello needs --program")
        try:
            run(args)
        except (TimeoutError, RuntimeError) as e:
            print(f"  {args.viewer}: not measured: {e}", file=sys.stderr)
            return 1
    else:
        table(args)
    return 0


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    sys.exit(main())
