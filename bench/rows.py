"""The benchmark's rows: each one measured as its figure needs, over corpora that
bench/corpus.py makes, with the programs that plumbing.py runs.
"""
import datetime
import json
import os
import re
import shutil
import statistics
import subprocess
import time

from plumbing import ROOT, Programs, log, machine, make_corpus, windows_path

# Big folders: the sizes of folder, the scans a monitor makes in the rescan rows
# (the first settles, the rest are timed), and the pictures whose memory is
# measured.
BIG_SIZES = (500, 2000, 8000)
RESCANS = 10
SETTLED_PICTURES = 100000
# Folders × pictures of the start rows; the last is two folders of 20,000.
KEPT_START_ROWS = [(1, 500), (1, 8000), (1, 100000), (2, 20000)]
# The Companions value of the card import with companions of four kinds (one
# per picture: a .NEF, a .CR2 or an .ARW, a .CR3, an .xmp sidecar).
COMPANIONS_LISTED = "NEF CR2 ARW CR3 XMP"
# The card imports with companions: (route, corpus folder, the scan's options).
# Without the option the value is absent: only the .NEF travels, as always.
COMPANION_ROUTES = [("nef_alone", "nef", []),
                    ("nef_listed", "nef", ["--companions", "NEF"]),
                    ("listed", "four", ["--companions", COMPANIONS_LISTED])]
HEIF_NAME = re.compile(r"<[^<>]*\.(heic|heif|hif)>", re.IGNORECASE)
VIDEO_NAME = re.compile(r"<[^<>]*\.(mov|mp4|m4v|3gp|3g2)>", re.IGNORECASE)
# The phone corpora: the scan's (and the floor's) option, the names whose reads
# are counted, and whether each pass's copy is made of sparse copies (the
# videos: 1 GiB each, their media data a hole) rather than hard links.
PHONE_CORPORA = {"heic": ("--heif", HEIF_NAME, False),
                 "heic-late": ("--heif", HEIF_NAME, False),
                 "videos": ("--video", VIDEO_NAME, True)}


class Bench(Programs):
    def __init__(self, build, runs):
        super().__init__(build)
        self.runs = runs
        self.gdiplus_dated = 0

    # ---- the scan rows --------------------------------------------------------
    def route(self, route, folder, renames):
        """Microseconds for one pass of route over folder, and its pictures."""
        before_names = set(os.listdir(folder))
        if route == "lumistamp":
            out = self.wine("lumistamp-scan.exe", "--time", windows_path(folder))
            micro = float(re.search(r"ScanMicroseconds: (\d+)", out).group(1))
            pictures = int(re.search(r"PicturesProcessed: (\d+)", out).group(1))
            renamed = int(re.search(r"PicturesRenamed: (\d+)", out).group(1))
            return micro, pictures, renamed
        if route in ("floor", "companions", "gdiplus"):
            exe = ("lumistamp-bench-gdiplus.exe" if route == "gdiplus"
                   else "lumistamp-bench-floor.exe")
            args = (["--rename"] if renames else []) + (
                ["--companions"] if route == "companions" else []) + [windows_path(folder)]
            out = self.wine(exe, *args)
            found = re.search(r"RESULT pictures=(\d+) microseconds=(\d+)", out)
            pictures = int(found.group(1))
            renamed = len(set(os.listdir(folder)) - before_names) if renames else 0
            dated = re.search(r"DATED (\d+)", out)
            if dated:
                self.gdiplus_dated = int(dated.group(1))
            return float(found.group(2)), pictures, renamed
        pictures = sorted(name for name in os.listdir(folder)
                          if name.lower().endswith((".jpg", ".jpeg")))
        before = set(os.listdir(folder))
        if route == "jhead":
            micro = self.native(["jhead", "-q", "-n%Y%m%d_%H%M%S", *pictures], folder)
        else:
            micro = self.native(["exiftool", "-q", "-q", "-ext", "jpg",
                                 "-FileName<DateTimeOriginal", "-d",
                                 "%Y%m%d_%H%M%S%%-c.%%e", "."], folder)
        renamed = len(set(os.listdir(folder)) - before)
        return micro, len(pictures), renamed

    def scan_rows(self, corpus, master, renames):
        routes = ["lumistamp", "floor", "gdiplus", "jhead", "exiftool"]
        if renames:
            routes.insert(2, "companions")
        times = {route: [] for route in routes}
        counts = {}
        for run in range(self.runs):
            # Run-major order: a drift of the machine meets every route alike.
            for route in routes:
                if route == "exiftool" and not renames and run > 0:
                    continue  # three minutes a pass; it is there for context
                folder = self.fresh_copy(master, route)
                micro, pictures, renamed = self.route(route, folder, renames)
                shutil.rmtree(folder)
                times[route].append(micro / pictures)
                counts[route] = {"pictures": pictures, "renamed": renamed}
                log("  %s run %d: %-10s %9.1f us per picture (%d pictures, %d renamed)" %
                    (corpus, run + 1, route, micro / pictures, pictures, renamed))
        rows = {route: {"runs": times[route], "median": statistics.median(times[route]),
                        **counts[route]} for route in routes}
        rows["gdiplus"]["dated"] = self.gdiplus_dated
        return rows

    # ---- big folders -----------------------------------------------------------
    def floor_pass(self, folder, mode):
        """Microseconds of one floor pass over folder, and its pictures."""
        args = ["--rename"] if mode == "rename" else []
        out = self.wine("lumistamp-bench-floor.exe", *args, windows_path(folder))
        found = re.search(r"RESULT pictures=(\d+) microseconds=(\d+)", out)
        return float(found.group(2)), int(found.group(1))

    def big_pass(self, row, folder, landing):
        """One pass of a big-folder row over folder: (microseconds per picture,
        pictures, renamed); for "landing", microseconds per landing instead."""
        if row == "first":
            out = self.wine("lumistamp-scan.exe", "--time", windows_path(folder))
            pictures = int(re.search(r"PicturesProcessed: (\d+)", out).group(1))
            micro = float(re.search(r"ScanMicroseconds: (\d+)", out).group(1))
            return micro / pictures, pictures, int(
                re.search(r"PicturesRenamed: (\d+)", out).group(1))
        if row == "rescan":
            out = self.wine("lumistamp-scan.exe", "--time", "--scans", str(RESCANS + 1),
                            windows_path(folder))
            scans = [float(value) for value in
                     re.search(r"RescanMicroseconds: ([\d ]+)", out).group(1).split()]
            pictures = int(re.search(r"PicturesProcessed: (\d+)", out).group(1)) // (RESCANS + 1)
            return statistics.median(scans) / pictures, pictures, int(
                re.search(r"PicturesRenamed: (\d+)", out).group(1))
        if row == "touched":
            out = self.wine("lumistamp-bench-monitor-scans.exe", "touched", str(RESCANS + 1),
                            windows_path(folder))
            found = re.findall(r"RESULT pictures=(\d+) microseconds=(\d+)", out)
            pictures = int(found[0][0])
            return statistics.median(float(micro) for _, micro in found) / pictures, pictures, 0
        if row == "landing":
            out = self.wine("lumistamp-bench-monitor-scans.exe", "landing",
                            windows_path(landing), windows_path(folder))
            found = re.findall(r"LANDING microseconds=(\d+) renamed=(\d+)", out)
            return (statistics.median(float(micro) for micro, _ in found), len(found),
                    sum(int(renamed) for _, renamed in found))
        if row == "list_floor":
            # Listed as often as the rescan row scans, in one process, timed alike.
            out = self.wine("lumistamp-bench-floor.exe", "--list", "--passes", str(RESCANS + 1),
                            windows_path(folder))
            found = re.findall(r"RESULT pictures=(\d+) microseconds=(\d+)", out)
            pictures = int(found[0][0])
            return (statistics.median(float(micro) for _, micro in found[1:]) / pictures,
                    pictures, 0)
        before = set(os.listdir(folder))
        micro, pictures = self.floor_pass(folder, "rename" if row == "rename_floor" else "read")
        return micro / pictures, pictures, len(set(os.listdir(folder)) - before)

    def big_folder(self, size, master):
        """The rows of one folder size; each pass on a fresh copy of the same files."""
        rows = ["first", "rename_floor", "rescan", "list_floor", "touched", "read_floor"]
        if size == max(BIG_SIZES):
            rows.append("landing")
        source = {"first": "camera", "rename_floor": "camera"}
        results = {row: {"runs": []} for row in rows}
        for run in range(self.runs):
            for row in rows:
                folder = self.fresh_copy(os.path.join(master, source.get(row, "named")), row)
                value, pictures, renamed = self.big_pass(row, folder,
                                                         os.path.join(master, "landing"))
                shutil.rmtree(folder)
                results[row]["runs"].append(value)
                results[row].update(pictures=pictures, renamed=renamed)
                log("  %d pictures run %d: %-12s %9.1f %s (%d, %d renamed)" % (
                    size, run + 1, row, value,
                    "us per landing" if row == "landing" else "us per picture", pictures,
                    renamed))
        for row in rows:
            results[row]["median"] = statistics.median(results[row]["runs"])
        return results

    def history(self, master):
        """Event lines of 100 arrivals among 1,000 undated pictures, with the
        monitor's memory and with a fresh memory at each scan (as before)."""
        lines = {}
        for label, args in (("remembered", []), ("fresh", ["--fresh"])):
            folder = self.fresh_copy(os.path.join(master, "folder"), "history")
            out = self.wine("lumistamp-bench-monitor-scans.exe", "history", *args,
                            windows_path(os.path.join(master, "landing")), windows_path(folder))
            shutil.rmtree(folder)
            found = re.search(r"HISTORY lines=(\d+) first_scan_lines=(\d+) scans=(\d+)", out)
            lines[label] = {"lines": int(found.group(1)), "first_scan": int(found.group(2)),
                            "scans": int(found.group(3))}
            log("  history, %s memory: %s" % (label, lines[label]))
        return lines

    def settled_memory(self):
        runs = []
        for _ in range(self.runs):
            out = self.wine("lumistamp-bench-settled-memory.exe", str(SETTLED_PICTURES))
            found = re.search(r"SETTLED pictures=(\d+) private_bytes=(-?\d+) "
                              r"working_set_bytes=(-?\d+) heap_bytes=(-?\d+)", out)
            runs.append({"pictures": int(found.group(1)), "private": int(found.group(2)),
                         "working_set": int(found.group(3)), "heap": int(found.group(4))})
            log("  settled memory: %s" % runs[-1])
        return {key: statistics.median(run[key] for run in runs) for key in runs[0]}

    # ---- the opt-in settings: companions, HEIF pictures -------------------------
    def scans(self, folder, *options):
        """First scan and the RESCANS settled rescans after it, with the options given:
        (first scan's µs per picture, median rescan's µs per picture, pictures,
        renamed, event lines other than "Renamed")."""
        out = self.wine("lumistamp-scan.exe", "--time", "--scans", str(RESCANS + 1), *options,
                        windows_path(folder))
        pictures = int(re.search(r"PicturesProcessed: (\d+)", out).group(1)) // (RESCANS + 1)
        first = float(re.search(r"ScanMicroseconds: (\d+)", out).group(1))
        rescans = [float(value) for value in
                   re.search(r"RescanMicroseconds: ([\d ]+)", out).group(1).split()]
        others = [line for line in out.splitlines()
                  if line[:1].isdigit() and " Renamed " not in line]
        return (first / pictures, statistics.median(rescans) / pictures, pictures,
                int(re.search(r"PicturesRenamed: (\d+)", out).group(1)), others)

    def companion_rows(self, master):
        """A card import of 500 pictures with a companion each: of four kinds with
        the four listed, against a .NEF each with NEF alone; then the settled
        rescans, and the listing of the renamed folder as often."""
        results = {route: {"first": [], "rescan": []} for route, _, _ in COMPANION_ROUTES}
        results["list_floor"] = {"runs": []}
        for run in range(self.runs):
            for route, corpus, options in COMPANION_ROUTES:
                folder = self.fresh_copy(os.path.join(master, corpus), route)
                first, rescan, pictures, renamed, others = self.scans(folder, *options)
                if others:
                    raise RuntimeError("%s: lines other than renames:\n%s" % (
                        route, "\n".join(others[:10])))
                row = results[route]
                row["first"].append(first)
                row["rescan"].append(rescan)
                row.update(pictures=pictures, renamed=renamed)
                log("  companions run %d: %-10s first %7.1f, rescan %5.2f us per picture "
                    "(%d pictures, %d renamed)" % (run + 1, route, first, rescan, pictures,
                                                  renamed))
                if route == "listed":
                    # The floor of the rescans: the same renamed folder, listed as
                    # often in one process, timed alike.
                    out = self.wine("lumistamp-bench-floor.exe", "--list", "--passes",
                                    str(RESCANS + 1), windows_path(folder))
                    found = re.findall(r"RESULT pictures=(\d+) microseconds=(\d+)", out)
                    listed = int(found[0][0])
                    value = statistics.median(float(micro) for _, micro in found[1:]) / listed
                    results["list_floor"]["runs"].append(value)
                    results["list_floor"]["pictures"] = listed
                    log("  companions run %d: list floor %5.2f us per picture" % (run + 1, value))
                shutil.rmtree(folder)
        return results

    def phone_rows(self, kind, master):
        """A first scan of a phone corpus (PHONE_CORPORA) with its option on
        against the rename floor with the same names; then, once, the bytes and
        reads the scan made of each file."""
        option, names, sparse = PHONE_CORPORA[kind]
        results = {"lumistamp": {"runs": []}, "floor": {"runs": []}}
        for run in range(self.runs):
            for route in results:
                folder = self.fresh_copy(master, "%s-%s" % (kind, route), sparse)
                if route == "lumistamp":
                    out = self.wine("lumistamp-scan.exe", "--time", option,
                                    windows_path(folder))
                    micro = float(re.search(r"ScanMicroseconds: (\d+)", out).group(1))
                    pictures = int(re.search(r"PicturesProcessed: (\d+)", out).group(1))
                    renamed = int(re.search(r"PicturesRenamed: (\d+)", out).group(1))
                else:
                    before = set(os.listdir(folder))
                    out = self.wine("lumistamp-bench-floor.exe", option, "--rename",
                                    windows_path(folder))
                    found = re.search(r"RESULT pictures=(\d+) microseconds=(\d+)", out)
                    micro, pictures = float(found.group(2)), int(found.group(1))
                    renamed = len(set(os.listdir(folder)) - before)
                shutil.rmtree(folder)
                results[route]["runs"].append(micro / pictures)
                results[route].update(pictures=pictures, renamed=renamed)
                log("  %s run %d: %-9s %7.1f us per file (%d files, %d renamed)" % (
                    kind, run + 1, route, micro / pictures, pictures, renamed))
        for route in ("lumistamp", "floor"):
            results[route]["median"] = statistics.median(results[route]["runs"])
        results["bytes"] = self.bytes_read(kind, master)
        log("  %s bytes read: %s" % (kind, results["bytes"]))
        return results

    def bytes_read(self, kind, master):
        """The bytes and reads one scan makes of each file of a phone corpus, as
        the system calls Wine makes for the scan's reads show them (strace, paths
        of the descriptors)."""
        option, names, sparse = PHONE_CORPORA[kind]
        folder = self.fresh_copy(master, kind + "-bytes", sparse)
        trace = os.path.join(self.work, kind + "-bytes.trace")
        # The prefix's server runs outside the trace: a persistent server started
        # under it would keep strace waiting for it. (It says 2 when one runs.)
        subprocess.run(["wineserver", "-p"], env=dict(os.environ, WINEPREFIX=self.prefix),
                       capture_output=True)
        command = ["strace", "-f", "-qq", "-y", "-e", "trace=read,pread64,readv,preadv,preadv2",
                   "-e", "signal=none", "-o", trace, os.path.join(self.build, "wine-run"),
                   os.path.join(self.tools, "lumistamp-scan.exe"), option,
                   windows_path(folder)]
        subprocess.run(command, check=True, capture_output=True, timeout=1800)
        per_file, reads_per_file = {}, {}
        with open(trace) as file:
            for line in file:
                name = names.search(line)
                result = re.search(r"\) = (\d+)$", line.rstrip())
                if name and result:
                    path = name.group(0)
                    per_file[path] = per_file.get(path, 0) + int(result.group(1))
                    reads_per_file[path] = reads_per_file.get(path, 0) + 1
        os.remove(trace)
        shutil.rmtree(folder)
        counts, reads = list(per_file.values()), list(reads_per_file.values())
        return {"pictures": len(counts), "reads": sum(reads), "total": sum(counts),
                "max": max(counts), "min": min(counts), "reads_max": max(reads),
                "reads_min": min(reads),
                # How many files were read in how many reads: {reads: files}.
                "reads_count": {str(number): reads.count(number)
                                for number in sorted(set(reads))}}

    # ---- starts over pictures that bear their names ----------------------------
    def kept_start(self, folders, pictures):
        """One start with nothing kept, the next with the kept files, and the
        listing they are measured against (lumistamp-bench-kept-start)."""
        root = os.path.join(self.work, "kept-%d-%d" % (folders, pictures))
        os.makedirs(root, exist_ok=True)
        try:
            out = self.wine("lumistamp-bench-kept-start.exe", windows_path(root), str(folders),
                            str(pictures), timeout=7200)
        finally:
            shutil.rmtree(root, ignore_errors=True)
        found = re.search(r"KEPT folders=(\d+) pictures=(\d+) listing_cpu=([\d.]+) "
                          r"listing_ms=([\d.]+) first_cpu=([\d.]+) second_cpu=([\d.]+) "
                          r"file_bytes=(\d+) loaded=(\d+) load_ms=([\d.]+) "
                          r"one_listing_ms=([\d.]+)", out)
        keys = ["folders", "pictures", "listing_cpu", "listing_ms", "first_cpu", "second_cpu",
                "file_bytes", "loaded", "load_ms", "one_listing_ms"]
        row = {key: float(value) for key, value in zip(keys, found.groups())}
        log("  kept start: %s" % row)
        return row

    # ---- the other rows --------------------------------------------------------
    def reader(self):
        native = os.path.join(self.build, "native")
        subprocess.run(["cmake", "-S", os.path.join(ROOT, "bench", "native"), "-B", native,
                        "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release"], check=True,
                       capture_output=True)
        subprocess.run(["cmake", "--build", native], check=True, capture_output=True)
        out = subprocess.run([os.path.join(native, "reader_bench"), "--benchmark_repetitions=5",
                              "--benchmark_report_aggregates_only=true",
                              "--benchmark_format=json"], check=True, capture_output=True,
                             text=True).stdout
        rows = {row["aggregate_name"]: row for row in json.loads(out)["benchmarks"]
                if row.get("run_type") == "aggregate"}
        median = rows["median"]
        return {"real_us": median["real_time"], "cpu_us": median["cpu_time"],
                "samples": int(median.get("samples", 0))}

    def landing(self, card_master, count=5):
        source = os.path.join(self.work, "landing-source")
        watched = os.path.join(self.work, "landing-watched")
        for folder in (source, watched):
            shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(folder)
        for index in range(count):
            name = "DSC_%04d.JPG" % (index * 7 + 1)
            os.link(os.path.join(card_master, name), os.path.join(source, name))
        out = self.wine("lumistamp-bench-landing.exe", windows_path(source),
                        windows_path(watched), timeout=600)
        shutil.rmtree(source)
        shutil.rmtree(watched)
        times = [float(value) / 1e6 for value in re.findall(r"LANDING microseconds=(\d+)", out)]
        return {"runs": times, "median": statistics.median(times), "max": max(times)}

    def idle(self, monitors=256, seconds=60, absent=False):
        """Monitors at rest for a minute: watching empty folders, or with absent, waiting
        for folders that do not exist."""
        root = os.path.join(self.work, "idle")
        shutil.rmtree(root, ignore_errors=True)
        os.makedirs(root)
        process = self.start("lumistamp-bench-idle.exe", windows_path(root), str(monitors),
                             str(seconds + 2), *(["absent"] if absent else []))
        ready = os.path.join(root, "ready")
        until = time.time() + 300
        while not os.path.exists(ready):
            if time.time() > until or process.poll() is not None:
                process.kill()
                raise RuntimeError("the idle monitors did not start")
            time.sleep(0.2)
        time.sleep(1)  # the process settles after writing the marker
        pids = self.idle_pids()
        before = {pid: self.cpu_ticks(pid) for pid in pids.values()}
        time.sleep(seconds)
        after = {pid: self.cpu_ticks(pid) for pid in pids.values()}
        rss_kib = self.rss_kib(pids["program"])
        threads = self.threads(pids["program"])
        out, _ = process.communicate(timeout=120)
        shutil.rmtree(root)
        tick = os.sysconf("SC_CLK_TCK")
        found = re.search(r"IDLE monitors=(\d+) seconds=(\d+) cpu_seconds=([\d.]+) "
                          r"working_set_kib=(\d+) peak_kib=(\d+)", out)
        return {"monitors": int(found.group(1)), "seconds": seconds,
                "program_cpu_s": (after[pids["program"]] - before[pids["program"]]) / tick,
                "wineserver_cpu_s": (after[pids["wineserver"]] - before[pids["wineserver"]]) / tick,
                "own_cpu_s": float(found.group(3)), "own_seconds": int(found.group(2)),
                "working_set_kib": int(found.group(4)), "rss_kib": rss_kib,
                "threads": threads}

    def events_tab(self):
        env = dict(os.environ, LUMISTAMP_BENCH_BUILD=self.build)
        out = subprocess.run([os.path.join(ROOT, "bench", "events-tab")], env=env, check=True,
                             capture_output=True, text=True, timeout=1800).stdout
        milliseconds = float(re.search(r"selected until painted: ([\d.]+) ms", out).group(1))
        table = [line for line in out.splitlines() if line.startswith("|")]
        return {"ms": milliseconds, "table": table}


def measure_big_folders(bench, corpora, results):
    for size in BIG_SIZES:
        master = os.path.join(corpora, "big")
        log("Making a big folder of %d pictures" % size)
        make_corpus("big", master, str(size))
        results.setdefault("big", {})[str(size)] = bench.big_folder(size, master)
        shutil.rmtree(master)
    master = os.path.join(corpora, "undated")
    log("History: 100 arrivals among 1,000 undated pictures")
    make_corpus("undated", master)
    results["history"] = bench.history(master)
    shutil.rmtree(master)
    log("Memory of %d settled pictures" % SETTLED_PICTURES)
    results["settled_memory"] = bench.settled_memory()


def measure_idle(bench, results):
    log("256 idle monitors, 60 s")
    results["idle"] = bench.idle()
    log("A monitor waiting for an absent folder, 60 s")
    results["waiting_one"] = bench.idle(1, absent=True)
    log("256 monitors waiting for absent folders, 60 s")
    results["waiting"] = bench.idle(absent=True)
    log("No monitor, 60 s (the prefix's own wineserver activity)")
    results["idle_baseline"] = bench.idle(0)


def measure_opt_in(bench, corpora, results):
    master = os.path.join(corpora, "companions")
    log("Card import with companions of four kinds listed, against NEF alone")
    make_corpus("companions", master)
    results["companions"] = bench.companion_rows(master)
    shutil.rmtree(master)
    measure_phones(bench, corpora, results, ["heic", "heic-late", "videos"])


def measure_phones(bench, corpora, results, kinds):
    """The first scans of phone corpora against the rename floor, and what they
    read of each file."""
    for kind in kinds:
        master = os.path.join(corpora, kind)
        log("First scan of 500 files of the %s corpus against the rename floor" % kind)
        make_corpus(kind, master)
        results[kind.replace("-", "_")] = bench.phone_rows(kind, master)
        shutil.rmtree(master)


def measure(bench, rows):
    results = {"date": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"),
               "runs": bench.runs, "machine": machine()}
    os.makedirs(bench.work, exist_ok=True)
    corpora = os.path.join(bench.build, "corpus")
    shutil.rmtree(corpora, ignore_errors=True)
    try:
        if rows == "big-folders":
            measure_big_folders(bench, corpora, results)
            return results
        if rows == "idle":
            measure_idle(bench, results)
            return results
        if rows == "opt-in":
            measure_opt_in(bench, corpora, results)
            return results
        if rows == "videos":
            measure_phones(bench, corpora, results, ["heic-late", "videos"])
            return results
        log("EXIF reader in memory (native, Google Benchmark)")
        results["reader"] = bench.reader()
        for corpus, renames in (("card", True), ("rescan", False)):
            master = os.path.join(corpora, corpus)
            log("Making the %s corpus" % corpus)
            make_corpus(corpus, master)
            results[corpus] = bench.scan_rows(corpus, master, renames)
            if corpus == "card":
                log("Landing to rename")
                results["landing"] = bench.landing(master)
            shutil.rmtree(master)
        measure_big_folders(bench, corpora, results)
        measure_opt_in(bench, corpora, results)
        results["kept"] = []
        for folders, pictures in KEPT_START_ROWS:
            log("Start and OK over %d × %d pictures that bear their names" % (folders, pictures))
            results["kept"].append(bench.kept_start(folders, pictures))
        measure_idle(bench, results)
        log("Events tab, 100,000 lines")
        results["events"] = bench.events_tab()
    finally:
        shutil.rmtree(corpora, ignore_errors=True)
        shutil.rmtree(bench.work, ignore_errors=True)
    return results
