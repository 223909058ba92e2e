"""The benchmark's plumbing: running the build's Windows programs under Wine in
the benchmark's own prefix and native programs, fresh copies of the corpora,
the CPU time and memory of processes from /proc, and the machine's description.
"""
import os
import platform
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def log(text):
    print(text, flush=True)


def windows_path(path):
    """A Linux path as Wine shows it, on drive Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Programs:
    """The build's programs, the benchmark's scratch folder, and what /proc tells of
    the processes."""

    def __init__(self, build):
        self.build = build
        self.prefix = os.environ["LUMISTAMP_WINEPREFIX"]
        self.work = os.path.join(build, "bench-work")
        self.tools = os.path.join(build, "tools")

    def wine(self, exe, *args, timeout=1800):
        command = [os.path.join(self.build, "wine-run"), os.path.join(self.tools, exe), *args]
        result = subprocess.run(command, capture_output=True, text=True, timeout=timeout)
        if result.returncode != 0:
            raise RuntimeError("%s failed (%d):\n%s%s" % (exe, result.returncode, result.stdout,
                                                          result.stderr))
        return result.stdout

    @staticmethod
    def native(command, cwd):
        start = time.perf_counter()
        result = subprocess.run(command, cwd=cwd, capture_output=True, text=True, timeout=3600)
        elapsed = time.perf_counter() - start
        if result.returncode not in (0, 1):  # exiftool says 1 when a file was left alone
            raise RuntimeError("%s failed (%d): %s" % (command[0], result.returncode,
                                                      result.stderr[-2000:]))
        return elapsed * 1e6

    def fresh_copy(self, master, name, sparse=False):
        """A fresh folder of hard links to the corpus files: identical files,
        a new directory, made in a second even for 2 GB. With sparse, copies
        of the files that keep their holes as holes (cp finds them), for files
        that are mostly holes: 500 GiB of videos copied in a second too."""
        copy = os.path.join(self.work, name)
        shutil.rmtree(copy, ignore_errors=True)
        subprocess.run(["cp", "--sparse=always", "-r", master, copy] if sparse else
                       ["cp", "-al", master, copy], check=True)
        # The copy's (and the last removal's) metadata reach the disk now, not
        # during the timed pass.
        subprocess.run(["sync"], check=True)
        return copy

    def start(self, exe, *args):
        """A Windows program of the build started under Wine, its output piped."""
        command = [os.path.join(self.build, "wine-run"), os.path.join(self.tools, exe), *args]
        return subprocess.Popen(command, stdout=subprocess.PIPE, text=True)

    def idle_pids(self):
        pids = {}
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/comm" % pid) as file:
                    comm = file.read().strip()
                if comm.startswith("lumistamp-bench"):
                    pids["program"] = pid
                elif comm.startswith("wineserver"):
                    with open("/proc/%s/environ" % pid, "rb") as file:
                        if ("WINEPREFIX=" + self.prefix).encode() in file.read().split(b"\0"):
                            pids["wineserver"] = pid
            except OSError:
                continue
        return pids

    @staticmethod
    def cpu_ticks(pid):
        with open("/proc/%s/stat" % pid) as file:
            fields = file.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])  # utime, stime of every thread

    @staticmethod
    def rss_kib(pid):
        with open("/proc/%s/status" % pid) as file:
            return int(re.search(r"VmRSS:\s+(\d+)", file.read()).group(1))

    @staticmethod
    def threads(pid):
        return len(os.listdir("/proc/%s/task" % pid))


def machine():
    def first(command):
        try:
            return subprocess.run(command, capture_output=True, text=True).stdout.strip()
        except OSError:
            return "?"
    model = re.search(r"model name\s*:\s*(.*)", open("/proc/cpuinfo").read())
    memory = int(re.search(r"MemTotal:\s+(\d+)", open("/proc/meminfo").read()).group(1))
    debian = open("/etc/debian_version").read().strip() if os.path.exists(
        "/etc/debian_version") else "?"
    return {
        "cpu": model.group(1) if model else platform.processor(),
        "cores": os.cpu_count(),
        "memory_gib": round(memory / 1024 / 1024),
        "kernel": platform.release(),
        "debian": debian,
        "wine": first(["wine", "--version"]),
        "mingw": first(["x86_64-w64-mingw32-g++-posix", "-dumpversion"]),
        "jhead": first(["jhead", "-V"]).replace("Jhead version: ", ""),
        "exiftool": first(["exiftool", "-ver"]),
        "filesystem": first(["stat", "-f", "-c", "%T", ROOT]),
    }


def make_corpus(kind, master, *args):
    subprocess.run([sys.executable, os.path.join(ROOT, "bench", "corpus.py"), kind, *args,
                    master], check=True, capture_output=True)

