#!/usr/bin/env python3
"""Measures the setup manager under Wine beside plain equivalents and prints a table of medians.

Run through scripts/bench, which builds what is needed first. Everything runs in one Wine
session of its own (prefix build/win64/bench/wineprefix, portal server on 127.0.0.1) so that the
figures of one table come from one machine at one time. These are figures, not tests: the only
failure is a measurement that could not be made at all.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

ROOT = os.path.realpath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.environ.get("VELSETUP_BUILD", os.path.join(ROOT, "build"))
WIN64 = os.path.join(BUILD, "win64")
BENCH = os.path.join(WIN64, "bench")
WORK = os.path.join(BENCH, "work")
MIB = 1024 * 1024
URL_BASE = "http://update.orbina.com/orbina/velsetup/bench/"

SIZES = {
    "full": dict(download=256 * MIB, archive=160 * MIB, entries=2000, packed=64 * MIB, items=100, files=10, repeats=5,
                 stall=180),
    "smoke": dict(download=4 * MIB, archive=2 * MIB, entries=40, packed=2 * MIB, items=2, files=5, repeats=1,
                  stall=20),
}


class Session:
    """The bench's Wine session; started here unless one of the bench tree is running."""

    def __init__(self):
        self.env = dict(os.environ, VELSETUP_WIN_BUILD=BENCH)
        self.env_file = os.path.join(BENCH, "harness", "session.env")
        self.started = False
        if not self.values().get("VELSETUP_WINESERVER_PID") or not self.alive():
            subprocess.run([os.path.join(ROOT, "scripts", "wine-session"), "start"], env=self.env, check=True,
                           stdout=subprocess.DEVNULL)
            self.started = True
        values = self.values()
        self.port = int(values["VELSETUP_PORTAL_PORT"])
        self.portal = values["VELSETUP_PORTAL_ROOT"]

    def values(self):
        values = {}
        if os.path.exists(self.env_file):
            for line in open(self.env_file, encoding="utf-8"):
                if line.startswith("export ") and "=" in line:
                    name, _, value = line[len("export "):].strip().partition("=")
                    values[name] = value.strip("'\"")
        return values

    def alive(self):
        try:
            os.kill(int(self.values()["VELSETUP_WINESERVER_PID"]), 0)
            return True
        except (OSError, ValueError, KeyError):
            return False

    def stop(self):
        if self.started:
            subprocess.run([os.path.join(ROOT, "scripts", "wine-session"), "stop"], env=self.env,
                           stdout=subprocess.DEVNULL)

    def publish(self, source, relative):
        """Serves `source` at URL_BASE + relative, linked rather than copied."""
        target = os.path.join(self.portal, "orbina", "velsetup", "bench", relative)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if os.path.exists(target):
            os.remove(target)
        try:
            os.link(source, target)
        except OSError:
            shutil.copyfile(source, target)

    def bench(self, *args):
        """One velsetup_bench call: its figures as a dict of numbers."""
        program = os.path.join(WIN64, "bin", "velsetup_bench.exe")
        settled()
        # Wine's background processes can hold a pipe open: the output goes to a file.
        with tempfile.TemporaryFile() as out:
            subprocess.run([os.path.join(ROOT, "scripts", "wine"), program, *args], env=self.env, stdout=out,
                           stderr=subprocess.DEVNULL)
            out.seek(0)
            text = out.read().decode("utf-8", "replace")
        figures = {}
        for word in text.split():
            name, _, value = word.partition("=")
            try:
                figures[name] = float(value)
            except ValueError:
                pass
        return figures if "ms" in figures else {"ms": 0.0, "ok": 0.0, "peak": 0.0, "status": 0.0, "manifest": 0.0,
                                                "list": 0.0, "install": 0.0}


def generated(path, make):
    """Makes `path` once; later runs reuse it."""
    if not os.path.exists(path):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        partial = path + ".partial"
        make(partial)
        os.replace(partial, path)
    return path


def random_file(size):
    def make(path):
        rng = random.Random(size)
        with open(path, "wb") as f:
            left = size
            while left:
                block = min(left, 4 * MIB)
                f.write(rng.randbytes(block))
                left -= block
    return make


def archive(total, entries):
    """Entries in 20 folders, each half random and half text, so that deflate halves it."""
    def make(path):
        rng = random.Random(entries)
        each = total // entries
        text = b"VelSetup installs the client-side components of the portal. " * (each // 120 + 1)
        with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
            for i in range(entries):
                data = rng.randbytes(each // 2) + text[: each - each // 2]
                z.writestr("dir%02d/file%04d.bin" % (i % 20, i), data)
    return make


def median(values):
    return statistics.median(values) if values else 0.0


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def clear(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)


def settled():
    """Writes out what earlier lines left in the page cache, so that no measurement pays for the
    write-back of the one before it."""
    os.sync()


def timed(command):
    settled()
    start = time.perf_counter()
    ok = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
    return (time.perf_counter() - start) * 1000.0, ok


class Table:
    def __init__(self):
        self.rows = []
        self.failed = []

    def add(self, what, how, ms=None, size=None, peak=None, note=""):
        rate = "%7.1f MiB/s" % (size / MIB / (ms / 1000.0)) if size and ms else ""
        self.rows.append((what, how, "%9.1f ms" % ms if ms is not None else "", rate,
                          "%6.1f MiB" % (peak / MIB) if peak else "", note))

    def print(self):
        widths = [max(len(row[i]) for row in self.rows) for i in range(6)]
        header = ("measurement", "how", "median", "throughput", "peak WS", "")
        widths = [max(w, len(h)) for w, h in zip(widths, header)]
        for row in [header] + self.rows:
            print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip())


def run_manifest(session, name, source, dest):
    """A one-file manifest of the bench mode that installs `source` into `dest`, served as name.xml."""
    xml = ("<UPDATELIST><UPDATEITEM NAME='bench-%s'><MODE NAME='bench'/><FILE NAME='%s.bin'><SOURCE>%s</SOURCE>"
           "<DEST>%s</DEST></FILE></UPDATEITEM></UPDATELIST>" % (name, name, source, windows_path(dest)))
    path = os.path.join(WORK, name + ".xml")
    with open(path, "w", encoding="ascii") as f:
        f.write(xml)
    session.publish(path, name + ".xml")
    return "<PARAM><SOURCE>%s%s.xml</SOURCE><MODE>bench</MODE></PARAM>" % (URL_BASE, name)


def measure_download(session, sizes, table):
    big = generated(os.path.join(WORK, "data", "download-%d.bin" % sizes["download"]), random_file(sizes["download"]))
    small = generated(os.path.join(WORK, "data", "download-4096.bin"), random_file(4096))
    session.publish(big, "big.bin")
    session.publish(small, "small.bin")
    url = URL_BASE + "big.bin"
    kinds = ("product", "hashed", "floor", "bare")
    runs = {kind: [] for kind in kinds + ("curl", "size", "run-big", "run-small")}
    peaks = {kind: [] for kind in kinds + ("run-big",)}
    # Whole runs of the real program with its progress window shown, each installing one file
    # into a folder emptied first, so that every run downloads it.
    setup_folder = os.path.join(WORK, "run-setup")
    clear(setup_folder)
    setup = os.path.join(setup_folder, "VelSetup.exe")
    shutil.copyfile(os.path.join(WIN64, "bin", "VelSetup.exe"), setup)
    params = {}
    for name, source in (("run-big", url), ("run-small", URL_BASE + "small.bin")):
        params[name] = run_manifest(session, name, source, os.path.join(WORK, name + "-dest"))
    stall = str(sizes["stall"] * 1000)
    for _ in range(sizes["repeats"]):
        for kind in kinds:
            target = os.path.join(WORK, "download-%s.bin" % kind)
            figures = session.bench("download", kind, url, windows_path(target))
            ok = figures["ok"] == 1 and os.path.getsize(target) == sizes["download"]
            if not ok:
                table.failed.append("download (%s)" % kind)
            runs[kind].append(figures["ms"])
            peaks[kind].append(figures["peak"])
            os.remove(target)
        figures = session.bench("size", url)
        if figures["ok"] != 1:
            table.failed.append("size request")
        runs["size"].append(figures["ms"])
        for name, size in (("run-big", sizes["download"]), ("run-small", 4096)):
            dest = os.path.join(WORK, name + "-dest")
            clear(dest)
            figures = session.bench("run", windows_path(setup), params[name], stall)
            installed = os.path.join(dest, name + ".bin")
            if figures["status"] != 100 or not os.path.exists(installed) or os.path.getsize(installed) != size:
                table.failed.append("whole run (%s)" % name)
            runs[name].append(figures["ms"])
            if name in peaks:
                peaks[name].append(figures["peak"])
        target = os.path.join(WORK, "download-curl.bin")
        ms, ok = timed(["curl", "-s", "-f", "-x", "http://127.0.0.1:%d" % session.port, "-o", target, url])
        if not ok or os.path.getsize(target) != sizes["download"]:
            table.failed.append("download (curl)")
        runs["curl"].append(ms)
        os.remove(target)
    what = "download %d MiB" % (sizes["download"] // MIB)
    bare = median(runs["bare"])
    product = median(runs["product"])
    whole = median(runs["run-big"]) - median(runs["run-small"])
    table.add(what, "VelSetup.exe run, dialog shown (big - 4 KiB run)", whole, sizes["download"] - 4096,
              median(peaks["run-big"]), of_bare(whole, bare, sizes["download"] - 4096, sizes["download"]))
    table.add("", "DownloadFile, cancel flag, progress window (Wine)", product, sizes["download"],
              median(peaks["product"]), of_bare(product, bare))
    table.add("", "DownloadFile + SHA256 (Wine)", median(runs["hashed"]), sizes["download"], median(peaks["hashed"]),
              of_bare(median(runs["hashed"]), bare))
    table.add("", "spec floor: bare + event test, post per block", median(runs["floor"]), sizes["download"],
              median(peaks["floor"]), of_bare(median(runs["floor"]), bare))
    table.add("", "bare WinINet loop, 4 KiB (Wine)", bare, sizes["download"], median(peaks["bare"]))
    table.add("", "curl through the portal (native)", median(runs["curl"]), sizes["download"], None,
              ratio(product, median(runs["curl"])))
    table.add("", "GetUrlFileSize of the file (size pass)", median(runs["size"]), None, None)


def of_bare(ms, bare, size=1, bare_size=1):
    """The throughput of a line as a share of the bare loop's."""
    if not ms or not bare:
        return ""
    return "%.0f%% of bare" % (100.0 * (size / ms) / (bare_size / bare))


def measure_extraction(session, sizes, table):
    zip_path = generated(os.path.join(WORK, "data", "archive-%d-%d.zip" % (sizes["archive"], sizes["entries"])),
                         archive(sizes["archive"], sizes["entries"]))
    runs = {"product": [], "floor": [], "bare": [], "unzip": []}
    peaks = {"product": [], "floor": [], "bare": []}
    for _ in range(sizes["repeats"]):
        for kind in ("product", "floor", "bare"):
            folder = os.path.join(WORK, "extract-%s" % kind)
            clear(folder)
            figures = session.bench("extract", kind, windows_path(zip_path), windows_path(folder))
            if figures["ok"] != 1 or count_files(folder) != sizes["entries"]:
                table.failed.append("extraction (%s)" % kind)
            runs[kind].append(figures["ms"])
            peaks[kind].append(figures["peak"])
        folder = os.path.join(WORK, "extract-unzip")
        clear(folder)
        ms, ok = timed(["unzip", "-q", "-o", zip_path, "-d", folder])
        if not ok or count_files(folder) != sizes["entries"]:
            table.failed.append("extraction (unzip)")
        runs["unzip"].append(ms)
    for kind in ("product", "floor", "bare", "unzip"):
        shutil.rmtree(os.path.join(WORK, "extract-%s" % kind), ignore_errors=True)
    what = "extraction %d MiB, %s files" % (sizes["archive"] // MIB, format(sizes["entries"], ","))
    product = median(runs["product"])
    bare = median(runs["bare"])
    table.add(what, "ExtractZipFile, cancel tested as the dialog does", product, sizes["archive"],
              median(peaks["product"]), of_bare(product, bare))
    table.add("", "spec floor: bare + report sent per block", median(runs["floor"]), sizes["archive"],
              median(peaks["floor"]), of_bare(median(runs["floor"]), bare))
    table.add("", "bare minizip loop (Wine)", bare, sizes["archive"], median(peaks["bare"]))
    table.add("", "unzip (native)", median(runs["unzip"]), sizes["archive"], None,
              ratio(product, median(runs["unzip"])))


def packed_file(size):
    """One random file "packed.bin", deflated as a packed FILE is published."""
    def make(path):
        rng = random.Random(size)
        with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
            z.writestr("packed.bin", rng.randbytes(size))
    return make


def measure_packed_file(session, sizes, table):
    zip_path = generated(os.path.join(WORK, "data", "packed-%d.zip" % sizes["packed"]), packed_file(sizes["packed"]))
    runs = {"product": [], "hashed": []}
    peaks = {"product": [], "hashed": []}
    for _ in range(sizes["repeats"]):
        for kind in ("product", "hashed"):
            folder = os.path.join(WORK, "extract-%s" % kind)
            clear(folder)
            figures = session.bench("extract", kind, windows_path(zip_path), windows_path(folder))
            if figures["ok"] != 1 or os.path.getsize(os.path.join(folder, "packed.bin")) != sizes["packed"]:
                table.failed.append("packed file (%s)" % kind)
            runs[kind].append(figures["ms"])
            peaks[kind].append(figures["peak"])
    for kind in ("product", "hashed"):
        shutil.rmtree(os.path.join(WORK, "extract-%s" % kind), ignore_errors=True)
    product = median(runs["product"])
    table.add("one packed %d MiB file" % (sizes["packed"] // MIB), "ExtractZipFile (Wine)", product, sizes["packed"],
              median(peaks["product"]))
    table.add("", "ExtractZipFile + SHA256 (Wine)", median(runs["hashed"]), sizes["packed"], median(peaks["hashed"]),
              "hashing %.2fx" % (median(runs["hashed"]) / product) if product else "")


def count_files(folder):
    return sum(len(files) for _, _, files in os.walk(folder))


def ratio(product, other):
    return "product %.2fx" % (product / other) if product and other else ""


def utc_offset():
    offset = time.strftime("%z")
    return offset[:3] + ":" + offset[3:]


def measure_noop_run(session, sizes, table, setup_program):
    items, files = sizes["items"], sizes["files"]
    folder = os.path.join(WORK, "data", "noop-%d-%d" % (items, files))
    if not os.path.isdir(folder):
        os.makedirs(folder)
        for i in range(items):
            for j in range(files):
                path = os.path.join(folder, "i%03d-f%02d.txt" % (i, j))
                with open(path, "wb") as f:
                    f.write(("item %d file %d\n" % (i, j)).encode() * 64)
                os.utime(path, (1184721630, 1184721630))
    label = "noop-%d-%d" % (items, files)
    command = [os.path.join(BUILD, "native", "bin", "velsetup-manifest"), "build", "--base-url", URL_BASE + label,
               "--tz", utc_offset(), "--out", os.path.join(WORK, label + ".xml"), folder]
    for i in range(items):
        names = ",".join("i%03d-f%02d.txt" % (i, j) for j in range(files))
        command += ["--item", "bench-%s-%03d" % (label, i), "--mode", "bench", "--dest",
                    "[PROGRAMS]\\VelSetupBench\\%s\\%03d" % (label, i), "--files", names]
    if subprocess.run(command, stdout=subprocess.DEVNULL).returncode != 0:
        table.failed.append("no-op manifest")
        return
    for name in sorted(os.listdir(folder)):
        session.publish(os.path.join(folder, name), "%s/%s" % (label, name))
    session.publish(os.path.join(WORK, label + ".xml"), label + ".xml")

    setup_folder = os.path.join(WORK, "setup")
    clear(setup_folder)
    setup = os.path.join(setup_folder, "VelSetup.exe")
    shutil.copyfile(setup_program, setup)
    param = "<PARAM><SOURCE>%s%s.xml</SOURCE><MODE>bench</MODE><SHOWDLG>0</SHOWDLG></PARAM>" % (URL_BASE, label)
    what = "no-op run, %s files in %d items" % (format(items * files, ","), items)
    # The first run installs whatever a previous bench did not leave current.
    stall = str(sizes["stall"] * 1000)
    first = session.bench("run", windows_path(setup), param, stall)
    starts = [session.bench("start", windows_path(os.path.join(WIN64, "bin", "velsetup_bench.exe")))["ms"]
              for _ in range(sizes["repeats"])]
    if first["status"] != 100:
        table.add(what, "VelSetup.exe start to status 100", None,
                  note="n/a (update run incomplete: last status %d)" % first["status"])
    else:
        runs = [session.bench("run", windows_path(setup), param, stall) for _ in range(sizes["repeats"])]
        if any(run["status"] != 100 for run in runs):
            table.failed.append("no-op run")
        table.add(what, "VelSetup.exe start to status 100", median([r["ms"] for r in runs]), None,
                  median([r["peak"] for r in runs]))
        # The phases from the run's own status messages.
        phases = (("start to status 21", lambda r: r["manifest"]),
                  ("manifest, 21 to 22", lambda r: r["list"] - r["manifest"]),
                  ("list and empty pass, 22 to 40", lambda r: r["install"] - r["list"]),
                  ("end, 40 to 100", lambda r: r["ms"] - r["install"]))
        for name, span in phases:
            table.add("", "  phase: " + name, median([span(r) for r in runs]), None, None)
    table.add("", "bare Wine process start to its end", median(starts), None, None)


def binary_sizes():
    lines = []
    for label, path in (("VelSetup.exe x64", "win64/bin/VelSetup.exe"), ("VelSetup.exe x86", "win32/bin/VelSetup.exe"),
                        ("VelSetup.dll x64", "win64/bin/VelSetup.dll"), ("VelSetup.dll x86", "win32/bin/VelSetup.dll")):
        full = os.path.join(BUILD, path)
        size = "%s bytes" % format(os.path.getsize(full), ",") if os.path.exists(full) else "not built"
        lines.append("  %-17s %s" % (label, size))
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--smoke", action="store_true", help="small sizes, one repeat")
    parser.add_argument("--setup", default=os.path.join(WIN64, "bin", "VelSetup.exe"),
                        help="the VelSetup.exe of the no-op run (default: this build's)")
    parser.add_argument("--repeats", type=int, help="repeats of each line (default: 5, smoke 1)")
    parser.add_argument("--only", default="download,extraction,noop",
                        help="comma-separated lines to measure: download, extraction, noop")
    args = parser.parse_args()
    mode = "smoke" if args.smoke else "full"
    sizes = dict(SIZES[mode])
    if args.repeats:
        sizes["repeats"] = args.repeats
    os.makedirs(WORK, exist_ok=True)
    table = Table()
    session = Session()
    try:
        lines = args.only.split(",")
        if "download" in lines:
            measure_download(session, sizes, table)
        if "extraction" in lines:
            measure_extraction(session, sizes, table)
            measure_packed_file(session, sizes, table)
        if "noop" in lines:
            measure_noop_run(session, sizes, table, os.path.realpath(args.setup))
    finally:
        session.stop()
    print("VelSetup bench (%s): medians of %d repeats, one run on one machine" % (mode, sizes["repeats"]))
    table.print()
    print("binaries as shipped (Release, stripped):")
    print("\n".join(binary_sizes()))
    if table.failed:
        print("failed: " + ", ".join(table.failed), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
