#!/usr/bin/env python3
"""Runs the real program once per damaged edition and judges each run.

  run_corpus.py --build BUILD --driver hostile_driver.exe --program Vellumark.exe
                --slice SLICE --work DIR [--jobs N] [--only SUBSTRING ...]

Every case must end with: the window appeared and got a title, every message
was answered within 10 s (a limit only a hang passes, as the cases share the
machine), the program never ended by itself, and ended with exit code 0
within 2 s of Alt+F4; its peak memory stayed under 400 MB; its start-up (to
the titled window) took at most 1 s longer than the demo edition's, which
reference runs spread among the cases measure under the same load (a case
over it is run once more, and judged by its quicker start); the edition
folder is unchanged, in the Windows directory nothing but "velmark.ini"
changed and in the user's profile nothing but the per-user "velmark.ini".
Cases whose outcome is fixed (the missing-book text, the purchase dialog for
a track that cannot be opened, no picture for one that cannot, no browser
without a handler, a settings file of another kind neither read nor
written) are held to it; for the others the outcome is printed. Start-up,
peak memory and close time of every run are printed as a table at the end.

A pipe that a case wants held gets a writer of its own for the run (a
process that holds it open and never writes). Any Wine process of the
workers whose resident memory passes 1 GB is stopped, so that the machine
survives a program that reads an endless device.

Cases run in parallel, each worker with a Wine prefix of its own (a
hard-linked copy of the build's prepared prefix, so that the settings file
and the registry are private to it) and a screen of its own (the driver reads
the window's pixels, which another window must not cover).
"""

import argparse
import collections
import concurrent.futures
import glob
import os
import platform
import queue
import shutil
import signal
import stat
import subprocess
import sys
import threading
import time

# The source tree stays clean of compiled files.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import corpus  # noqa: E402

WINE = shutil.which("wine64") or "/usr/lib/wine/wine64"
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
CASE_SECONDS = 120
EXIT_MS = 2000
PEAK_MB = 400
STARTUP_MARGIN_MS = 1000
STOP_RESIDENT_MB = 1024
REFERENCES = 8
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

NULL_SOUND = 'pcm.!default { type file slave.pcm "null" file "/dev/null" format "raw" }\n'
# A default device that names a card no machine has: ALSA cannot open it, so
# Wine finds no wave-out device at all.
NO_SOUND = 'pcm.!default { type hw card 97 }\nctl.!default { type hw card 97 }\n'


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def identity(st):
    """What a write would change; a folder's own times change with its
    entries, which are compared themselves."""
    kind = stat.S_IFMT(st.st_mode)
    if kind == stat.S_IFDIR:
        return kind, stat.S_IMODE(st.st_mode)
    return kind, st.st_size, st.st_mtime_ns, stat.S_IMODE(st.st_mode), st.st_blocks


def snapshot(folder):
    """Every file and folder under folder: relative path -> identity."""
    seen = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(root, name)
            try:
                seen[os.path.relpath(path, folder)] = identity(os.lstat(path))
            except OSError:
                continue
    return seen


def changes(before, after):
    return sorted(p for p in set(before) | set(after) if before.get(p) != after.get(p))


class Worker:
    """A prefix, wineserver and screen for one case at a time."""

    def __init__(self, index, build, work):
        self.root = os.path.join(work, "worker-%d" % index)
        self.prefix = os.path.join(self.root, "prefix")
        self.xvfb = None
        self.display = ""
        self.homes = {}
        self.keeper = os.path.join(build, "tools", "desktopkeeper", "desktop_keeper.exe")
        os.makedirs(self.root)
        try:
            self.prepare(build)
        except BaseException:
            self.close()
            raise

    def prepare(self, build):
        # The harness's copy of the prefix at rest: the live prefix changes
        # under the copy while other tests run in it.
        base = os.path.join(build, "wine", "pristine")
        if not os.path.isfile(os.path.join(base, "system.reg")):
            raise RuntimeError("no prepared prefix in %s: run tools/wine-harness.sh setup first" % base)
        subprocess.run(["cp", "-al", base, self.prefix], check=True)
        # Files that Wine or the program rewrite in place get a copy of their
        # own, so that the shared copy never changes through a link.
        windows = self.windows_dir()
        for folder, names in ((self.prefix, os.listdir(self.prefix)), (windows, os.listdir(windows))):
            for name in names:
                path = os.path.join(folder, name)
                if os.path.isfile(path) and not os.path.islink(path):
                    data_copy = path + ".copy"
                    shutil.copy2(path, data_copy)
                    os.replace(data_copy, path)
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1920x1080x24", "-nolisten", "tcp"],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        with open(os.path.join(self.root, "xvfb.pid"), "w") as f:
            f.write("%d\n" % self.xvfb.pid)
        self.display = ":" + self.xvfb.stdout.readline().decode().strip()
        for kind, asound in (("sound", NULL_SOUND), ("silent", NO_SOUND)):
            home = os.path.join(self.root, "home-" + kind)
            os.makedirs(home)
            with open(os.path.join(home, ".asoundrc"), "w") as f:
                f.write(asound)
            self.homes[kind] = home
        self.restart_server()

    def restart_server(self):
        """One persistent server for the cases of this worker, and Wine's own
        helper processes started once, with no descriptors of ours."""
        stop_server(self.prefix)
        subprocess.run([WINESERVER, "-p"], env=self.env("sound"), **QUIET)
        # The copied registry may predate the shared server's last save, so
        # the sound driver and the unmanaged (maximisable) windows are set
        # again here rather than trusted.
        for key, name, value in (("Drivers", "Audio", "alsa"), ("X11 Driver", "Managed", "N")):
            subprocess.run([WINE, "reg", "add", "HKCU\\Software\\Wine\\" + key, "/v", name, "/d", value, "/f"],
                           env=self.env("sound"), timeout=120, **QUIET)
        # Wine ends its desktop a moment after the last program on it and
        # starts it again for the next; a case's programs starting during
        # that change died in their start-up now and then. The keeper holds
        # the desktop until the server ends (it has no window of its own).
        subprocess.Popen([WINE, self.keeper], env=self.env("sound"), cwd=self.root, close_fds=True, **QUIET)
        subprocess.run([WINE, "rundll32", "user32.dll,GetDesktopWindow"], env=self.env("sound"), timeout=120, **QUIET)

    def windows_dir(self):
        return os.path.join(self.prefix, "drive_c", "windows")

    def settings_path(self):
        return os.path.join(self.windows_dir(), corpus.SETTINGS)

    def profiles_dir(self):
        return os.path.join(self.prefix, "drive_c", "users")

    def user_settings(self):
        """The per-user settings files, which the program writes where the
        Windows directory's cannot be."""
        return glob.glob(os.path.join(self.profiles_dir(), "*", "AppData", "Roaming", "Vellumark", corpus.SETTINGS))

    def env(self, kind):
        env = dict(os.environ)
        env.update(WINEPREFIX=self.prefix, DISPLAY=self.display, HOME=self.homes.get(kind, self.root),
                   WINEDEBUG="-all,err+all", WINEDLLOVERRIDES="mscoree,mshtml=")
        return env

    def close(self):
        """Stops everything the worker started; safe on a half-made worker."""
        if os.path.isfile(os.path.join(self.prefix, "system.reg")):
            stop_server(self.prefix)
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait()
        shutil.rmtree(self.root, ignore_errors=True)


def stop_server(prefix):
    """Ends the prefix's wineserver and every Wine process of it, and waits."""
    env = dict(os.environ, WINEPREFIX=prefix)
    subprocess.run([WINESERVER, "-k"], env=env, **QUIET)
    subprocess.run([WINESERVER, "-w"], env=env, **QUIET)


def stop_leftovers(root):
    """A run killed before its clean-up (a ctest time-out kills without
    warning) leaves its worker's screen and wineserver behind: stop them
    before the folder is used again."""
    prefix = os.path.join(root, "prefix")
    if os.path.isfile(os.path.join(prefix, "system.reg")):
        stop_server(prefix)
    try:
        with open(os.path.join(root, "xvfb.pid")) as f:
            pid = int(f.read())
        with open("/proc/%d/comm" % pid) as f:
            if f.read().strip() == "Xvfb":
                os.kill(pid, signal.SIGTERM)
    except (OSError, ValueError):
        pass


class MemoryWatch:
    """Stops every Wine process of the workers' prefixes whose resident
    memory passes the limit, and remembers it for the case's verdict."""

    def __init__(self, work, limit_mb):
        self.prefix_root = os.path.join(work, "worker-").encode()
        self.limit_pages = limit_mb * 1024 * 1024 // os.sysconf("SC_PAGE_SIZE")
        self.stopped = {}
        self.lock = threading.Lock()
        self.done = threading.Event()
        self.thread = threading.Thread(target=self.watch, daemon=True)
        self.thread.start()

    def watch(self):
        while not self.done.wait(0.25):
            for pid in filter(str.isdigit, os.listdir("/proc")):
                try:
                    with open("/proc/%s/statm" % pid) as f:
                        if int(f.read().split()[1]) < self.limit_pages:
                            continue
                    with open("/proc/%s/environ" % pid, "rb") as f:
                        prefix = [v[11:] for v in f.read().split(b"\0") if v.startswith(b"WINEPREFIX=")]
                    with open("/proc/%s/comm" % pid) as f:
                        name = f.read().strip()
                    if prefix and prefix[0].startswith(self.prefix_root):
                        os.kill(int(pid), signal.SIGKILL)
                        with self.lock:
                            self.stopped[prefix[0].decode()] = name
                except (OSError, ValueError, IndexError):
                    continue

    def take(self, prefix):
        with self.lock:
            return self.stopped.pop(prefix, None)

    def close(self):
        self.done.set()
        self.thread.join()


def hold_pipes(paths):
    """A process that holds every pipe open for writing and never writes,
    or None when there is none."""
    fds = [os.open(p, os.O_RDWR | os.O_NONBLOCK) for p in paths]
    try:
        return subprocess.Popen(["sleep", "infinity"], pass_fds=fds, **QUIET) if fds else None
    finally:
        for fd in fds:
            os.close(fd)


def pipes_of(case, folder, worker):
    if not case.held:
        return []
    paths = [os.path.join(folder, n) for n in os.listdir(folder)] + [worker.settings_path()]
    return [p for p in paths if os.path.lexists(p) and stat.S_ISFIFO(os.lstat(p).st_mode)]


def make_writable(path):
    if os.path.lexists(path):
        subprocess.run(["chattr", "-i", path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.chmod(path, 0o644)


def write_settings(worker, case):
    """Puts the case's velmark.ini in place; False when it should be
    read-only but cannot be made so: the superuser writes read-only files,
    so there the file is made immutable, which needs a capability that not
    every machine grants."""
    path = worker.settings_path()
    for earlier in worker.user_settings():
        os.unlink(earlier)
    make_writable(path)
    if os.path.lexists(path):
        os.unlink(path)
    if case.settings is None:
        return True
    if case.planted:
        case.settings(path)
        return True
    with open(path, "wb") as f:
        f.write(case.settings)
    if not case.settings_read_only:
        return True
    os.chmod(path, 0o444)
    if os.geteuid() != 0:
        return True
    return subprocess.run(["chattr", "+i", path], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0


def check_settings(worker, case, read_only_enforced, planted, problems):
    path = worker.settings_path()
    if case.planted:
        if identity(os.lstat(path)) != planted:
            problems.append("velmark.ini of another kind or size was changed")
        os.unlink(path)
        return
    if case.settings_read_only:
        with open(path, "rb") as f:
            if read_only_enforced and f.read() != case.settings:
                problems.append("the read-only velmark.ini was changed")
        make_writable(path)
        return
    if not os.path.exists(path):
        problems.append("velmark.ini was not written")
        return
    with open(path, "rb") as f:
        text = f.read().decode("latin-1")
    line = [l for l in text.splitlines() if l.startswith(corpus.SHIFT_KEY + "=")]
    value = line[-1].split("=", 1)[1] if line else ""
    if not value.isdigit() or int(value) >= 2 ** 31:
        problems.append("velmark.ini holds the shift %r, not a position in the book" % value)


def parse(output):
    report, failures = {}, []
    for line in output.splitlines():
        name, _, value = line.partition("=")
        if name == "fail":
            failures.append(value)
        elif name == "window" and value not in ("0", "1"):
            report.setdefault("windows", []).append(value)
        elif name:
            report[name] = value
    return report, failures


Run = collections.namedtuple("Run", "case report problems seconds output")


def run_case(worker, args, watch, case):
    folder = os.path.join(args.work, "cases", case.name)
    corpus.make_case_folder(args.slice, case, folder)
    read_only_enforced = write_settings(worker, case)
    planted = identity(os.lstat(worker.settings_path())) if case.planted else None
    edition_before = snapshot(folder)
    windows_before = snapshot(worker.windows_dir())
    profiles_before = snapshot(worker.profiles_dir())

    program = args.program
    if case.beside_program is not None:
        program_dir = os.path.join(args.work, "programs", case.name)
        shutil.rmtree(program_dir, ignore_errors=True)
        os.makedirs(program_dir)
        program = os.path.join(program_dir, os.path.basename(args.program))
        shutil.copy2(args.program, program)
        case.beside_program(program_dir)
    command = [WINE, args.driver, "case", windows_path(program), windows_path(folder)]
    command += ["--web"] if case.web else []
    command += ["--no-http"] if case.no_http else []
    command += ["--expect-spoken"] if case.spoken or case.heard else []
    command += ["--pictures"] if case.picture is not None else []
    command += ["--scroll", str(case.scroll)] if case.scroll else []
    holder = hold_pipes(pipes_of(case, folder, worker))
    began = time.monotonic()
    problems = []
    # The report goes to a file: Wine's helper processes may inherit the
    # driver's descriptors and outlive it, so a pipe would not see its end.
    report_path = os.path.join(worker.root, "report.txt")
    errors_path = os.path.join(worker.root, "errors.txt")
    with open(report_path, "wb") as out, open(errors_path, "wb") as errors:
        driver = subprocess.Popen(command, env=worker.env("silent" if case.no_sound else "sound"), cwd=worker.root,
                                  stdin=subprocess.DEVNULL, stdout=out, stderr=errors)
        try:
            driver.wait(timeout=CASE_SECONDS)
        except subprocess.TimeoutExpired:
            problems.append("the driver did not finish within %d s" % CASE_SECONDS)
            worker.restart_server()
            driver.kill()
            driver.wait()
    if holder is not None:
        holder.kill()
        holder.wait()
    stopped = watch.take(worker.prefix)
    if stopped:
        problems.append("%s passed %d MB of resident memory and was stopped" % (stopped, STOP_RESIDENT_MB))
    with open(report_path, "rb") as f:
        output = f.read().decode("utf-8", "replace")
    seconds = time.monotonic() - began
    report, failures = parse(output)
    problems += failures
    with open(errors_path, "rb") as f:
        said = f.read().decode("utf-8", "replace").strip()
    if not output.strip():
        problems.append("the driver reported nothing and ended with code %s" % driver.returncode)

    if report.get("window") != "1":
        problems.append("no window")
    elif report.get("exit") != "0" and not failures:
        problems.append("no clean exit reported")
    if report.get("window") == "1" and not report.get("title") and not case.untitled_ok:
        problems.append("the window got no title")
    if int(report.get("exit_ms", 0)) > EXIT_MS:
        problems.append("ended %s ms after Alt+F4, over %d ms" % (report["exit_ms"], EXIT_MS))
    peak = peak_mb(report)
    if peak is not None and peak >= PEAK_MB:
        problems.append("peak memory %d MB, %d MB or more" % (peak, PEAK_MB))
    if case.heard and report.get("purchase_dialog") != "1" and report.get("spoken_on_words") != "1":
        problems.append("neither the purchase dialog appeared nor did the clicked words turn green")
    shown = report.get("picture") == "1"
    if case.picture is not None and shown != case.picture:
        problems.append("the second chapter's picture %s" % ("did not show" if case.picture else "showed"))
    if case.purchase == "yes" and report.get("purchase_dialog") != "1":
        problems.append("the purchase dialog did not appear")
    if case.purchase == "no" and report.get("purchase_dialog") == "1":
        problems.append("the purchase dialog appeared")
    if case.spoken and report.get("spoken") != "1":
        problems.append("the first words did not turn to the spoken colour")
    if case.title and not report.get("title", "").startswith(case.title):
        problems.append("title %r, not the missing-book text" % report.get("title"))
    if case.no_sound and report.get("wave_devices") != "0":
        problems.append("set-up: Wine still sees %s wave-out device(s)" % report.get("wave_devices"))
    if case.no_http:
        if report.get("http_handler") != "none":
            problems.append("set-up: an http handler is still registered")
        if report.get("started_processes") != "none":
            problems.append("started %s without an http handler" % report.get("started_processes"))

    edition_changed = changes(edition_before, snapshot(folder))
    if edition_changed:
        problems.append("the edition folder changed: " + ", ".join(edition_changed[:5]))
    windows_changed = [p for p in changes(windows_before, snapshot(worker.windows_dir())) if p != corpus.SETTINGS]
    if windows_changed:
        problems.append("the Windows directory changed: " + ", ".join(windows_changed[:5]))
    own = {os.path.relpath(p, worker.profiles_dir()) for p in worker.user_settings()}
    own |= {os.path.dirname(p) for p in own}
    profiles_changed = [p for p in changes(profiles_before, snapshot(worker.profiles_dir())) if p not in own]
    if profiles_changed:
        problems.append("the user's profile changed: " + ", ".join(profiles_changed[:5]))
    check_settings(worker, case, read_only_enforced, planted, problems)
    if not read_only_enforced:
        report.setdefault("windows", []).append("(read-only not enforceable here)")

    if not problems:
        shutil.rmtree(folder, ignore_errors=True)
    elif said:
        # Wine's own error lines of the driver and the program.
        problems.append("Wine said: " + said[-600:])
    return Run(case, report, problems, seconds, output)


def peak_mb(report):
    """The larger of the peak working set and the peak commit charge."""
    figures = [int(report[k]) // 1024 for k in ("peak_working_set_kb", "peak_commit_kb") if k in report]
    return max(figures) if figures else None


def with_references(cases):
    """The cases with runs of the intact slice spread among them, whose
    start-up the others are measured against."""
    n = min(REFERENCES, max(2, len(cases) // 8))
    runs = list(cases)
    for i in reversed(range(n)):
        runs.insert(i * len(cases) // n, corpus.Case("reference-%d" % (i + 1), purchase="no", spoken=True,
                                                     picture=True))
    return runs


def is_reference(case):
    return case.name == "intact" or case.name.startswith("reference-")


class Reference:
    """The demo edition's start-up and first words, from its runs."""

    def __init__(self, runs):
        starts = sorted(int(r.report["startup_ms"]) for r in runs if "startup_ms" in r.report and not r.problems)
        words = collections.Counter(r.report.get("first_words") for r in runs if not r.problems)
        self.starts = starts
        self.startup_ms = starts[len(starts) // 2] if starts else None
        self.first_words = words.most_common(1)[0][0] if words else None

    def slow(self, run):
        started = run.report.get("startup_ms")
        return (self.startup_ms is not None and started is not None and bool(run.report.get("title")) and
                int(started) > self.startup_ms + STARTUP_MARGIN_MS)

    def problems(self, run):
        """What the run lacks measured against the demo edition's."""
        out = []
        if self.startup_ms is None:
            return ["no reference run of the demo edition succeeded"]
        if self.slow(run):
            out.append("start-up %s ms, over the demo edition's %d ms + %d ms" % (run.report["startup_ms"],
                                                                                 self.startup_ms, STARTUP_MARGIN_MS))
        if run.case.planted and run.report.get("first_words") != self.first_words:
            out.append("the view did not open at the top (first words at %s, the demo's at %s)" %
                       (run.report.get("first_words"), self.first_words))
        return out


def outcome(report):
    words = []
    words.append("purchase dialog" if report.get("purchase_dialog") == "1" else "no dialog")
    words.append("spoken" if report.get("spoken") == "1" else "silent")
    if report.get("text") == "0":
        words.append("blank page")
    for w in report.get("windows", []):
        words.append("window " + w)
    if report.get("started_processes", "none") != "none":
        words.append("started " + report["started_processes"])
    return ", ".join(words)


def without_random_layout():
    """Runs this script again without address randomisation, for every Wine
    process it starts (tools/headless.sh says why)."""
    try:
        with open("/proc/self/personality") as f:
            if int(f.read(), 16) & 0x0040000:  # ADDR_NO_RANDOMIZE
                return
        fixed = ["setarch", platform.machine(), "-R"]
        if subprocess.run(fixed + ["true"], **QUIET).returncode != 0:
            return
    except (OSError, ValueError):
        return
    os.execvp(fixed[0], fixed + [sys.executable] + sys.argv)


def main():
    without_random_layout()
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--build", required=True)
    p.add_argument("--driver", required=True)
    p.add_argument("--program", required=True)
    p.add_argument("--slice", required=True)
    p.add_argument("--work", required=True)
    p.add_argument("--jobs", type=int, default=min(4, max(1, (os.cpu_count() or 2) // 2)))
    p.add_argument("--only", nargs="*", help="run the cases whose names contain one of these")
    args = p.parse_args()
    for name in ("build", "driver", "program", "slice", "work"):
        setattr(args, name, os.path.abspath(getattr(args, name)))

    if not os.path.isfile(os.path.join(args.slice, corpus.BOOK)):
        print("no demo slice in %s" % args.slice, file=sys.stderr)
        return 2
    cases = corpus.all_cases(args.slice)
    if args.only:
        cases = [c for c in cases if any(s in c.name for s in args.only)]
    os.makedirs(os.path.join(args.work, "cases"), exist_ok=True)
    for name in os.listdir(args.work):
        if name.startswith("worker-"):
            stop_leftovers(os.path.join(args.work, name))
            shutil.rmtree(os.path.join(args.work, name), ignore_errors=True)

    began = time.monotonic()
    workers = queue.Queue()
    made = []
    lock = threading.Lock()
    watch = MemoryWatch(args.work, STOP_RESIDENT_MB)

    def worker_for(index):
        w = Worker(index, args.build, args.work)
        with lock:
            made.append(w)
        return w

    runs = with_references(cases)
    jobs = max(1, min(args.jobs, len(runs)))
    pool = concurrent.futures.ThreadPoolExecutor(jobs)
    try:
        for w in pool.map(worker_for, range(jobs)):
            workers.put(w)

        def one(case):
            w = workers.get()
            try:
                return run_case(w, args, watch, case)
            except Exception as e:  # a fault of the corpus itself fails its case only
                return Run(case, {}, ["the case could not be run: %r" % e], 0.0, "")
            finally:
                workers.put(w)

        done = [show(r) for r in pool.map(one, runs)]
        reference = Reference([r for r in done if is_reference(r.case)])
        # Load from other work slows a start now and then: a case whose only
        # lapse is its start-up runs again, and its quicker start counts.
        again = {r.case.name: r for r in pool.map(one, [r.case for r in done
                                                          if not r.problems and reference.slow(r)])}
        done = [quicker(r, again.get(r.case.name)) for r in done]
    finally:
        # Whatever failed (a worker that could not be made, a signal), the
        # cases not begun are dropped and every worker made so far stops its
        # screen and server.
        pool.shutdown(wait=True, cancel_futures=True)
        for w in made:
            w.close()
        watch.close()

    print("\ndemo edition's start-up: median %s ms of %s; the limit %s ms" %
          (reference.startup_ms, reference.starts,
           reference.startup_ms + STARTUP_MARGIN_MS if reference.startup_ms is not None else "-"))
    print("%-44s %9s %10s %10s %8s" % ("case", "start ms", "working MB", "commit MB", "exit ms"))
    failed = 0
    for r in done:
        lapses = reference.problems(r) if not r.problems else []
        mb = [int(r.report[k]) // 1024 if k in r.report else "-" for k in ("peak_working_set_kb", "peak_commit_kb")]
        print("%-44s %9s %10s %10s %8s%s" % (r.case.name, r.report.get("startup_ms", "-"), mb[0], mb[1],
                                            r.report.get("exit_ms", "-"), "  FAIL" if r.problems or lapses else ""))
        for problem in lapses:
            print("       - " + problem)
        failed += 1 if r.problems or lapses else 0
    print("%d case(s) and %d reference run(s), %d failed, %.0f s with %d worker(s)" %
          (len(cases), len(runs) - len(cases), failed, time.monotonic() - began, jobs))
    return 1 if failed else 0


def show(run, again=""):
    status = "FAIL" if run.problems else "ok"
    print("%-4s %-44s %5.1f s  %s" % (status, run.case.name + again, run.seconds, outcome(run.report)), flush=True)
    for problem in run.problems:
        print("       - " + problem, flush=True)
    if run.problems:
        print("       driver report:\n         " + run.output.strip().replace("\n", "\n         "), flush=True)
    return run


def quicker(first, again):
    """Of a run and its second run, the one that started sooner, unless the
    second failed otherwise."""
    if again is None or again.problems:
        return first
    show(again, " (again)")
    return again if int(again.report.get("startup_ms", 1 << 30)) < int(first.report.get("startup_ms", 0)) else first


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    sys.exit(main())
