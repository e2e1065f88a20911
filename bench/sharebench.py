#!/usr/bin/env python3
"""Shows from a network share, timed: the test share (every operation 2 ms late, reads at
100 Mbit/s) in front of a generated tree, the real program under the X server of $DISPLAY,
and feh on the same share in the same run. Prints a table; not a test.

  sharebench.py --program DIR --slowshare EXE [--stall-seconds S]

Figures: 9,999 pictures in 999 subfolders (OK -> first picture, the whole walk against a
listing of the same folders eight at a time and one at a time), twelve 24 MP photos at
2 s a picture (how late each is shown), and the share stopping for S seconds (memory and
threads of the program meanwhile, and key -> program ended)."""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor


def now_ns():
    return time.monotonic_ns()


class Share:
    def __init__(self, exe, src, work):
        self.exe, self.src = exe, src
        self.mnt = tempfile.mkdtemp(dir=work)
        self.stall = os.path.join(work, "stall")
        self.proc = None

    def __enter__(self):
        self.proc = subprocess.Popen([self.exe, self.src, self.mnt, "--delay-ms", "2",
                                      "--rate", "12500000", "--stall-file", self.stall],
                                     stderr=subprocess.DEVNULL)
        for _ in range(200):
            if any(line.split()[1] == self.mnt for line in open("/proc/mounts")):
                return self
            time.sleep(0.05)
        raise SystemExit("the test share did not mount")

    def __exit__(self, *exc):
        if os.path.exists(self.stall):
            os.remove(self.stall)
        subprocess.run(["fusermount3", "-u", "-z", self.mnt], stderr=subprocess.DEVNULL)
        self.proc.wait(timeout=10)
        os.rmdir(self.mnt)


def make_tree(root, subfolders, per_folder, in_root, picture):
    os.makedirs(root)
    for i in range(in_root):
        shutil.copyfile(picture, os.path.join(root, "r%04d.jpg" % i))
    for d in range(subfolders):
        folder = os.path.join(root, "d%04d" % d)
        os.mkdir(folder)
        for i in range(per_folder):
            shutil.copyfile(picture, os.path.join(folder, "p%02d.jpg" % i))


def listing_seconds(root, parallel):
    """Lists the folder and then each subfolder, `parallel` at a time, as a find would."""
    start = now_ns()
    subfolders = [e.path for e in os.scandir(root) if e.is_dir()]
    with ThreadPoolExecutor(parallel) as pool:
        list(pool.map(lambda f: [e.name for e in os.scandir(f)], [root] + subfolders))
    return (now_ns() - start) / 1e9


def settings(prog, folder, seconds):
    dos = "C:" + folder.replace("/", "\\") + "\\"
    with open(os.path.join(prog, "QUADRO.INI"), "w", newline="") as f:
        f.write("PATH=%s\r\nTempoAttesa=%d\r\nMusicaFM= 0 \r\nSuonoWAV= 0 \r\nEffetti= 0 \r\n"
                % (dos, seconds))


def window(name=None, pid=None, timeout=30):
    args = ["xdotool", "search", "--onlyvisible"] + (["--pid", str(pid)] if pid else ["--name", name])
    deadline = time.time() + timeout
    while time.time() < deadline:
        out = subprocess.run(args, capture_output=True, text=True).stdout.split()
        if out:
            return out[0]
        time.sleep(0.05)
    return None


def key(win, k):
    # --sync waits for good when the window manager ignores the request: bounded.
    try:
        subprocess.run(["xdotool", "windowactivate", "--sync", win], capture_output=True, timeout=5)
    except subprocess.TimeoutExpired:
        subprocess.run(["xdotool", "windowfocus", win], capture_output=True, timeout=5)
    subprocess.run(["xdotool", "key", "--clearmodifiers", k], capture_output=True)


class Quadrello:
    """The program from a copy of its folder, its show log in a file."""

    def __init__(self, program, work):
        self.prog = tempfile.mkdtemp(dir=work)
        shutil.copytree(program, self.prog, dirs_exist_ok=True)
        self.log = os.path.join(self.prog, "show.log")

    def start(self, folder, seconds):
        settings(self.prog, folder, seconds)
        env = dict(os.environ, QT_LOGGING_RULES="quadrello.show.debug=true")
        self.proc = subprocess.Popen([os.path.join(self.prog, "quadrello")], cwd=self.prog, env=env,
                                     stdout=subprocess.DEVNULL, stderr=open(self.log, "w"))
        dlg = window(name="^Informazioni su Quadrello$")
        if not dlg:
            raise SystemExit("no settings dialog")
        self.ok_ns = now_ns()
        key(dlg, "Return")

    def events(self):
        out = []
        for line in open(self.log, errors="replace"):
            parts = line.split()
            if parts and parts[0] == "quadrello.show:":
                parts = parts[1:]
            if len(parts) >= 2 and parts[0] in ("ok", "start", "tick", "shown", "walk") and parts[1].isdigit():
                out.append((parts[0], int(parts[1]), parts[2:]))
        return out

    def wait_for(self, kind, count=1, timeout=60):
        deadline = time.time() + timeout
        while time.time() < deadline:
            found = [e for e in self.events() if e[0] == kind]
            if len(found) >= count:
                return found
            time.sleep(0.05)
        return [e for e in self.events() if e[0] == kind]

    def status(self):
        fields = dict(l.split(":", 1) for l in open("/proc/%d/status" % self.proc.pid))
        return int(fields["VmRSS"].split()[0]) / 1024, int(fields["Threads"])

    def messages(self):
        """The program's message boxes on the screen ("Quadrello")."""
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid),
                              "--name", "^Quadrello$"], capture_output=True, text=True).stdout
        return out.split()

    def end(self, key_name="x"):
        # A message box on the screen takes the keys first: closed with Enter, as a user
        # would, before the key that ends the show.
        for box in self.messages():
            key(box, "Return")
            time.sleep(0.5)
        win = window(pid=self.proc.pid, timeout=15)
        if not win:
            self.proc.kill()
            self.proc.wait()
            return None
        start = now_ns()
        key(win, key_name)
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            return None
        return (now_ns() - start) / 1e6


def feh_first_seconds(folder, timeout=120):
    """feh, recursive, full screen: seconds from its start to its window."""
    start = now_ns()
    proc = subprocess.Popen(["feh", "-r", "-F", "-D", "1", folder],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    win = window(pid=proc.pid, timeout=timeout)
    took = (now_ns() - start) / 1e9 if win else None
    proc.kill()
    proc.wait()
    return took


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--program", required=True)
    ap.add_argument("--slowshare", required=True)
    ap.add_argument("--stall-seconds", type=int, default=300)
    ap.add_argument("--out")
    args = ap.parse_args()
    work = tempfile.mkdtemp(prefix="quadrello-share-")
    rows = {}
    try:
        small = os.path.join(work, "small.jpg")
        subprocess.run(["convert", "-size", "320x200", "xc:rgb(0,0,255)", small], check=True)
        tree = os.path.join(work, "tree")
        make_tree(tree, 999, 10, 9, small)

        # The walk: OK -> first picture, locally and over the share.
        for where in ("local", "share"):
            if where == "local":
                folder, share = tree, None
            else:
                share = Share(args.slowshare, tree, work).__enter__()
                folder = share.mnt
            q = Quadrello(args.program, work)
            q.start(folder, 1)
            shown = q.wait_for("shown", timeout=120)
            walk = q.wait_for("walk", timeout=300)
            ev = q.events()
            start = [e for e in ev if e[0] == "start"][0][1]
            rows[where + " OK -> first picture (ms)"] = (shown[0][1] - q.ok_ns) / 1e6 if shown else None
            rows[where + " start -> first picture (ms)"] = (shown[0][1] - start) / 1e6 if shown else None
            # The dialog's own moment of OK, without the key's way through the X server.
            ok = [e for e in ev if e[0] == "ok"]
            rows[where + " OK (its log) -> first picture (ms)"] = (
                (shown[0][1] - ok[0][1]) / 1e6 if shown and ok else None)
            rows[where + " whole walk (s)"] = (walk[0][1] - start) / 1e9 if walk else None
            rows[where + " pictures found"] = int(walk[0][2][0]) if walk else None
            rows[where + " key -> ended (ms)"] = q.end()
            if share:
                share.__exit__()
        # The same folders listed eight at a time and one at a time, each on a fresh mount.
        for parallel in (8, 1):
            with Share(args.slowshare, tree, work) as share:
                rows["share listing, %d at a time (s)" % parallel] = listing_seconds(share.mnt, parallel)
        if shutil.which("feh"):
            with Share(args.slowshare, tree, work) as share:
                rows["feh share start -> first picture (s)"] = feh_first_seconds(share.mnt)
            rows["feh local start -> first picture (s)"] = feh_first_seconds(tree)

        # Twelve 24 MP photos, 2 s a picture: how late each tick's picture is shown.
        photos = os.path.join(work, "photos")
        os.makedirs(photos)
        for i in range(12):
            subprocess.run(["convert", "-size", "6000x4000", "plasma:fractal", "-seed", str(i),
                            "-quality", "90", os.path.join(photos, "f%02d.jpg" % i)], check=True)
        with Share(args.slowshare, photos, work) as share:
            q = Quadrello(args.program, work)
            q.start(share.mnt, 2)
            shown = q.wait_for("shown", 13, timeout=90)
            ev = q.events()
            late, last_tick = [], None
            for kind, ns, _ in ev:
                if kind == "tick":
                    last_tick = ns
                elif kind == "shown" and last_tick is not None:
                    late.append((ns - last_tick) / 1e6)
                    last_tick = None
            late.sort()
            rows["photos: pictures shown"] = len(late)
            rows["photos: tick -> shown median (ms)"] = late[len(late) // 2] if late else None
            rows["photos: tick -> shown worst (ms)"] = late[-1] if late else None
            # The share stops answering: memory and threads while it stays away.
            open(share.stall, "w").close()
            first = q.status()
            samples = [first]
            deadline = time.time() + args.stall_seconds
            while time.time() < deadline:
                time.sleep(min(10, args.stall_seconds))
                samples.append(q.status())
            rows["stall: seconds away"] = args.stall_seconds
            rows["stall: messages on the screen at the end"] = len(q.messages())
            rows["stall: RSS first / last / peak (MiB)"] = "%.0f / %.0f / %.0f" % (
                first[0], samples[-1][0], max(s[0] for s in samples))
            rows["stall: threads first / last / peak"] = "%d / %d / %d" % (
                first[1], samples[-1][1], max(s[1] for s in samples))
            rows["stall: key -> ended (ms)"] = q.end()
    finally:
        subprocess.run(["bash", "-c", "for m in $(awk '$1==\"slowshare\"{print $2}' /proc/mounts); do fusermount3 -u -z $m; done"])
        shutil.rmtree(work, ignore_errors=True)
    width = max(len(k) for k in rows)
    for k, v in rows.items():
        print("%-*s  %s" % (width, k, "%.1f" % v if isinstance(v, float) else v))
    if args.out:
        json.dump(rows, open(args.out, "w"), indent=1)


if __name__ == "__main__":
    sys.exit(main())
