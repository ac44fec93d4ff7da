#!/usr/bin/env python3
"""Mutation testing: does the suite notice a plausible single fault?

Draws a seeded random sample of single changes to the sources of jet/, driver/sql/, driver/,
db/ and tools/mkmdb/ (a comparison's bound moved, an equality or a boolean operator swapped,
an arithmetic sign or a constant off by one, a returned flag flipped, a check's condition made
false), and for each one builds the changed source and runs the tests that cover its area. A
mutant is killed when a test fails (or times out); it survives when every test passes. A
survivor that changes a bound is run again in a sanitizer build, where an out-of-bounds read
fails a test too (a comparison moved by one: the usual out-of-bounds fault); so is a survivor
whose arithmetic changed (an offset computed outside its buffer).

The sources are changed in place, one at a time, and restored afterwards (also on Ctrl-C or
SIGTERM; a copy of the file being changed waits in the build folder, and the next run puts it
back first if a run was killed). The builds used are folders of their own, build-mutate/ and
build-mutate-asan/, so the developer's builds are left as they are.

  scripts/mutate.py --seed 1 --sample jet=45,driver/sql=45,driver=45,tools/mkmdb=40,db=25
  scripts/mutate.py --seed 1 --list            # the mutants only, nothing built
  scripts/mutate.py --seed 1 --only jet#17,db#4  # some mutants of the sample again

Changes that no test can tell apart from the original are listed, with the reason, in
scripts/mutate-equivalent.txt; the script counts them apart.
"""
import argparse
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Area: (source folders, folders left out, test labels that cover it)
AREAS = {
    "jet": (["jet"], [], ["jet", "driver", "mkmdb"]),
    "driver/sql": (["driver/sql"], [], ["driver"]),
    "driver": (["driver"], ["driver/sql"], ["driver", "program"]),
    "tools/mkmdb": (["tools/mkmdb"], [], ["mkmdb", "jet", "driver"]),
    "db": (["db"], [], ["db", "program"]),
}
# The build targets behind each test label (prefixes of target names).
LABEL_TARGETS = {
    "jet": ["jet_tests"],
    "driver": ["driver_tests", "driver_sql_tests", "driver_column_kinds_tests",
               "driver_file_swap_tests", "driver_road_client", "driver_damaged_clients"],
    "mkmdb": ["mkmdb_tests", "mkmdb"],
    "db": ["db_"],
    "program": ["program_"],
}
ALWAYS_TARGETS = ["brand-listing", "mdbodbc", "mkmdb"]
# Tests that need a tool of their own and take long are left out of each run.
EXCLUDED_LABELS = "^(fuzz|valgrind|desktop|engines)$"
# The sanitizer build runs the tests several times slower; these take minutes there and are
# left out of it (they still run in the release build).
SANITIZER_EXCLUDED = ("MutationTest|DifferentialTest|OnTheAccessMadeFixtures|AMillion|"
                      "driver_clients|readme_examples")
# Survivors of these kinds run again in the sanitizer build: a moved comparison or constant
# bound reads one element too far, a changed sign computes an offset outside the buffer.
SANITIZED_KINDS = ("bound", "arithmetic")
EQUIVALENT_LIST = os.path.join(ROOT, "scripts", "mutate-equivalent.txt")


def code_mask(text):
    """The text with comments, string and character literals and preprocessor lines blanked,
    so that operators are looked for in code only. Offsets are kept."""
    out = list(text)
    i, n = 0, len(text)
    line_start = True

    def blank(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    while i < n:
        c = text[i]
        if line_start and c == "#":
            j = i
            while j < n and (text[j] != "\n" or text[j - 1] == "\\"):
                j += 1
            blank(i, j)
            i = j
            continue
        if c == "\n":
            line_start = True
            i += 1
            continue
        if not c.isspace():
            line_start = False
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            blank(i, j)
            i = j
        elif text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            m = re.match(r'R"([^(]*)\(', text[i:])
            end = text.find(")" + m.group(1) + '"', i) if m else -1
            j = n if end < 0 else end + len(m.group(1)) + 2
            blank(i, j)
            i = j
        elif c in "\"'" and not (c == "'" and i > 0 and text[i - 1].isalnum()):
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            blank(i, j + 1)
            i = j + 1
        else:
            i += 1
    return "".join(out)


# (kind, pattern over the masked text, group to replace, replacement function)
SWAPS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==",
         "&&": "||", "||": "&&", "+": "-", "-": "+", "true": "false", "false": "true"}
OPERATORS = [
    ("bound", re.compile(r" (<=|>=|<|>) "), lambda s: SWAPS[s]),
    ("condition", re.compile(r" (==|!=) "), lambda s: SWAPS[s]),
    ("boolean", re.compile(r" (&&|\|\|) "), lambda s: SWAPS[s]),
    ("arithmetic", re.compile(r"[\w)\]] ([+-]) [\w(]"), lambda s: SWAPS[s]),
    ("bound", re.compile(r"(?<![\w.'])(\d+)(?![\w.'])"), lambda s: str(int(s) + 1)),
    ("flag", re.compile(r"\breturn (true|false);"), lambda s: SWAPS[s]),
    ("check", re.compile(r"\bif \((.+)\)\s*(?:\{|return\b|throw\b|continue\b|break\b)"),
     lambda s: "false"),
]


def balanced(s):
    depth = 0
    for ch in s:
        depth += ch == "("
        depth -= ch == ")"
        if depth < 0:
            return False
    return depth == 0


def sites_in(path):
    """Every mutant of one file, in the order of the text."""
    text = open(os.path.join(ROOT, path), encoding="utf-8").read()
    masked = code_mask(text)
    sites = []
    for kind, pattern, replace in OPERATORS:
        for m in pattern.finditer(masked):
            start, end = m.span(1)
            original = text[start:end]
            if kind == "check" and (not balanced(original) or ";" in original
                                    or original.startswith("constexpr")):
                continue
            line_start = text.rfind("\n", 0, start) + 1
            line_end = text.find("\n", start)
            line = text[line_start:line_end if line_end >= 0 else len(text)]
            if kind == "bound" and original.isdigit() and re.match(r"\s*(case\b|\[\[|static_assert)", line):
                continue
            sites.append({"file": path, "start": start, "end": end, "kind": kind,
                          "original": original, "replacement": replace(original),
                          "line": text.count("\n", 0, start) + 1, "text": line.strip()})
    sites.sort(key=lambda s: (s["start"], s["kind"]))
    return sites


def area_sites(area):
    folders, left_out, _ = AREAS[area]
    found = []
    for folder in folders:
        for name in sorted(os.listdir(os.path.join(ROOT, folder))):
            path = os.path.join(folder, name)
            if name.endswith(".cpp") and not any(path.startswith(x + "/") for x in left_out):
                found.extend(sites_in(path))
    return found


def describe(site):
    return "%s:%d: %s -> %s (%s)   %s" % (site["file"], site["line"], site["original"][:40],
                                         site["replacement"], site["kind"], site["text"][:90])


def equivalent_list():
    """Lines of the list: file | line text | original -> replacement | reason."""
    listed = {}
    if os.path.exists(EQUIVALENT_LIST):
        for raw in open(EQUIVALENT_LIST, encoding="utf-8"):
            if raw.strip() and not raw.startswith("#"):
                parts = [p.strip() for p in raw.rstrip("\n").split(" | ")]
                if len(parts) == 4:
                    listed[tuple(parts[:3])] = parts[3]
    return listed


def equivalence_key(site):
    return (site["file"], site["text"], "%s -> %s" % (site["original"], site["replacement"]))


def sample(seed, counts):
    rng = random.Random(seed)
    chosen = []
    for area, count in counts:
        sites = area_sites(area)
        rng.shuffle(sites)
        for site in sites:
            site["area"] = area
        # Extra draws stand by for mutants that do not compile.
        chosen.append((area, count, sites))
    return chosen


class Workspace:
    """Changes one source file at a time and always puts it back."""

    def __init__(self, backup_dir):
        self.backup_dir = backup_dir
        os.makedirs(backup_dir, exist_ok=True)
        self.restore_left_over()
        self.current = None

    def restore_left_over(self):
        for name in os.listdir(self.backup_dir):
            record = os.path.join(self.backup_dir, name)
            with open(record, encoding="utf-8") as f:
                saved = json.load(f)
            self._write(saved["file"], saved["text"])
            os.remove(record)
            print("restored %s from a run that was stopped" % saved["file"])

    def _write(self, path, text):
        with open(os.path.join(ROOT, path), "w", encoding="utf-8") as f:
            f.write(text)

    def apply(self, site):
        path = os.path.join(ROOT, site["file"])
        text = open(path, encoding="utf-8").read()
        with open(os.path.join(self.backup_dir, "original.json"), "w", encoding="utf-8") as f:
            json.dump({"file": site["file"], "text": text}, f)
        self.current = (site["file"], text)
        self._write(site["file"], text[:site["start"]] + site["replacement"] + text[site["end"]:])

    def restore(self):
        if self.current:
            self._write(*self.current)
            os.remove(os.path.join(self.backup_dir, "original.json"))
            self.current = None


def run(command, env=None, timeout=None, log=None):
    try:
        done = subprocess.run(command, cwd=ROOT, env=env, timeout=timeout,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                              errors="replace")
    except subprocess.TimeoutExpired:
        return 124, "timed out"
    if log:
        with open(log, "a", encoding="utf-8") as f:
            f.write(done.stdout)
    return done.returncode, done.stdout


class Build:
    def __init__(self, folder, options, environment, jobs, configure_flags=()):
        self.folder = os.path.join(ROOT, folder)
        self.options = options
        self.configure_flags = list(configure_flags)
        self.env = dict(os.environ, **environment)
        self.jobs = jobs
        self.known_targets = None

    def configure(self):
        code, out = run(["cmake"] + self.configure_flags + ["-S", ".", "-B", self.folder]
                        + self.options)
        if code:
            sys.exit("configuring %s failed:\n%s" % (self.folder, out))
        code, out = run(["cmake", "--build", self.folder, "--target", "help"])
        self.known_targets = re.findall(r"^\.\.\. (\S+)$", out, re.M)

    def targets(self, labels):
        prefixes = ALWAYS_TARGETS + [p for label in labels for p in LABEL_TARGETS.get(label, [])]
        # A benchmark's target runs it: never built here, whatever its name starts with.
        return sorted(t for t in self.known_targets if not t.endswith("_bench")
                      and any(t == p or (p.endswith("_") and t.startswith(p)) for p in prefixes))

    def build(self, labels, show_errors=False):
        code, out = run(["cmake", "--build", self.folder, "-j%d" % self.jobs, "--target"]
                        + self.targets(labels), env=self.env)
        if code and show_errors:
            print("\n".join(line for line in out.splitlines() if "error" in line.lower())[-3000:])
        return code == 0

    def test(self, labels, per_test_timeout, log, excluded=None):
        command = ["ctest", "--test-dir", self.folder, "-j%d" % self.jobs, "--stop-on-failure",
                   "--timeout", str(per_test_timeout), "-L", "^(%s)$" % "|".join(labels),
                   "-LE", EXCLUDED_LABELS] + (["-E", excluded] if excluded else [])
        code, out = run(command, env=self.env, log=log)
        failed = re.findall(r"^\s*\d+ - (\S+) \(", out, re.M)
        # An executable left unbuilt stands in as one failing test without the labels of its
        # tests: a fault of this script's target lists, not a kill.
        unbuilt = [name for name in failed if name.endswith("_NOT_BUILT")]
        if unbuilt:
            sys.exit("tests not built in %s: %s" % (self.folder, " ".join(unbuilt)))
        if code and not failed and "No tests were found" in out:
            sys.exit("no tests found for labels %s in %s" % (labels, self.folder))
        return code != 0, failed[:3]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--sample", default="jet=45,driver/sql=45,driver=45,tools/mkmdb=40,db=25",
                        help="area=count,... (areas: %s)" % ", ".join(AREAS))
    parser.add_argument("--list", action="store_true", help="print the sample and stop")
    parser.add_argument("--only", help="mutants to run, by the name printed: jet#3,db#12 (a draw "
                        "that does not compile moves the later ones of its area by one)")
    parser.add_argument("--no-sanitizer", action="store_true",
                        help="do not run surviving bound changes in the sanitizer build")
    parser.add_argument("--require", type=float, metavar="PERCENT",
                        help="exit with status 1 when an area kills fewer than PERCENT of its "
                             "mutants (equivalent ones left out)")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--timeout", type=int, default=120, help="seconds for one test")
    parser.add_argument("--results", help="file for one JSON line per mutant")
    parser.add_argument("--again", metavar="RESULTS",
                        help="run again the mutants a results file holds (each found by its line's "
                             "text, as the sources may have moved since)")
    parser.add_argument("--resume", action="store_true",
                        help="take the verdicts the results file already holds for this seed")
    args = parser.parse_args()

    counts = []
    for part in args.sample.split(","):
        area, _, count = part.partition("=")
        if area not in AREAS or not count.isdigit():
            sys.exit("unknown area or count: %s" % part)
        counts.append((area, int(count)))
    only = set(args.only.split(",")) if args.only else None
    equivalents = equivalent_list()
    drawn = sample(args.seed, counts)
    if args.again:
        # The same changes as before, whatever the sample draws from today's sources.
        drawn = []
        for area, _ in counts:
            sites = []
            for line in open(args.again, encoding="utf-8"):
                record = json.loads(line)
                if record.get("area") != area:
                    continue
                here = os.path.exists(os.path.join(ROOT, record["file"]))
                found = [x for x in (sites_in(record["file"]) if here else []) if x["text"] == record["text"] and
                         (x["original"], x["replacement"]) == (record["original"], record["replacement"])]
                if not found:
                    print("%s: the line is gone: %s" % (record["name"], describe(record)))
                    continue
                site = min(found, key=lambda x: abs(x["line"] - record["line"]))
                site.update(area=area, name=record["name"])
                sites.append(site)
            drawn.append((area, len(sites), sites))

    if args.list:
        for area, count, sites in drawn:
            print("# %s: the first %d of %d possible changes (more if some do not compile)"
                  % (area, count, len(sites)))
            for rank, site in enumerate(sites[:count], 1):
                mark = "  [equivalent]" if equivalence_key(site) in equivalents else ""
                print("%-16s %s%s" % ("%s#%d" % (area, rank), describe(site), mark))
        return 0

    # Each mutant recompiles one file and relinks what uses it: -O1 without debug information
    # and lld (when installed) make that quick, and the tests run about as fast as in -O2.
    quick = ["-DCMAKE_CXX_FLAGS_RELEASE=-O1 -DNDEBUG", "-DCMAKE_C_FLAGS_RELEASE=-O1 -DNDEBUG",
             "-DCMAKE_CXX_FLAGS_DEBUG=-O1", "-DCMAKE_C_FLAGS_DEBUG=-O1"]
    if shutil.which("ld.lld"):
        quick += ["-DCMAKE_%s_LINKER_FLAGS=-fuse-ld=lld" % kind for kind in ("EXE", "SHARED", "MODULE")]
    release = Build("build-mutate", ["-DCMAKE_BUILD_TYPE=Release"] + quick, {}, args.jobs)
    sanitized = Build("build-mutate-asan", ["-DCMAKE_BUILD_TYPE=Debug", "-DDRAVON_SANITIZE=ON",
                                            "-DDRAVON_TRACE_STDERR=OFF"] + quick,
                      {"ASAN_OPTIONS": "detect_leaks=1:abort_on_error=0",
                       "LSAN_OPTIONS": "suppressions=%s/tests/lsan.supp:print_suppressions=0" % ROOT,
                       "UBSAN_OPTIONS": "print_stacktrace=1:halt_on_error=1"}, args.jobs,
                      # GCC's flow warnings at -O1 with the sanitizers' instrumentation report
                      # variables that are set (maybe-uninitialized): warnings stay warnings
                      # there, so that only a test can decide a mutant's fate.
                      ["--compile-no-warning-as-error"])
    workspace = Workspace(os.path.join(ROOT, "build-mutate", "mutate-backup"))
    log = os.path.join(ROOT, "build-mutate", "mutate-tests.log")

    class Stopped(Exception):
        pass

    def stop(signum, _frame):
        raise Stopped(signum)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    release.configure()
    builds_used = {release}
    earlier = {}
    if args.resume and args.results and os.path.exists(args.results):
        for line in open(args.results, encoding="utf-8"):
            record = json.loads(line)
            if record.get("seed") == args.seed:
                earlier[record["name"]] = record
    results = open(args.results, "a", encoding="utf-8") if args.results else None
    stopped = None
    tally = {}
    survivors = []
    try:
        for area, count, sites in drawn:
            labels = AREAS[area][2]
            if not release.build(labels, show_errors=True):
                sys.exit("the unchanged sources do not build in %s" % release.folder)
            taken = 0
            for rank, site in enumerate(sites, 1):
                if taken == count:
                    break
                name = site.get("name", "%s#%d" % (area, rank))
                if only is not None and name not in only:
                    taken += 1  # a draw that does not compile shifts the rest: see --only
                    continue
                began = time.time()
                if name in earlier and earlier[name]["text"] == site["text"]:
                    # A verdict of an earlier run (the same change: the line reads the same).
                    record = earlier[name]
                    verdict, failed, where = record["verdict"], record["failed"], "an earlier run"
                    if verdict == "survived" and equivalence_key(site) in equivalents:
                        verdict = "equivalent"
                    taken += 1
                    tally.setdefault(area, {}).setdefault(verdict, 0)
                    tally[area][verdict] += 1
                    print("%-16s %-10s %s  [%s]" % (name, verdict, describe(site), where), flush=True)
                    if verdict == "survived":
                        survivors.append((name, site))
                    continue
                if equivalence_key(site) in equivalents:
                    verdict, failed, where = "equivalent", [], ""
                else:
                    workspace.apply(site)
                    try:
                        if not release.build(labels):
                            continue  # does not compile: not a mutant, the next draw stands in
                        killed, failed = release.test(labels, args.timeout, log)
                        where = "release"
                        if not killed and site["kind"] in SANITIZED_KINDS \
                                and not args.no_sanitizer:
                            if sanitized.known_targets is None:
                                sanitized.configure()
                            builds_used.add(sanitized)
                            if sanitized.build(labels, show_errors=True):
                                killed, failed = sanitized.test(labels, args.timeout * 3, log,
                                                                SANITIZER_EXCLUDED)
                                where = "sanitizers"
                            else:
                                # Not run there: said, and kept in the results, never taken
                                # for a pass of the sanitizer build.
                                where = "release; the sanitizer build failed"
                                print("%s: the sanitizer build failed, its tests did not run" % name)
                    finally:
                        workspace.restore()
                    verdict = "killed" if killed else "survived"
                taken += 1
                tally.setdefault(area, {}).setdefault(verdict, 0)
                tally[area][verdict] += 1
                print("%-16s %-10s %s  [%ds%s]" % (
                    name, verdict, describe(site), time.time() - began,
                    ", by " + " ".join(failed) + " in " + where if failed else ""), flush=True)
                if verdict == "survived":
                    survivors.append((name, site))
                if results:
                    results.write(json.dumps(dict(site, name=name, verdict=verdict,
                                                  failed=failed, where=where, seed=args.seed)) + "\n")
                    results.flush()
    except Stopped as signal_number:
        stopped = signal_number.args[0]
    finally:
        workspace.restore()
    if stopped is not None:
        print("stopped: the sources are as they were; the next build recompiles the changed file")
        return 128 + stopped
    # The builds end as the unchanged sources make them.
    for build in builds_used:
        if build.known_targets is not None:
            build.build(sorted({l for a, _ in counts for l in AREAS[a][2]}))

    print("\nseed %d" % args.seed)
    for area, _ in counts:
        t = tally.get(area, {})
        judged = t.get("killed", 0) + t.get("survived", 0)
        share = 100.0 * t.get("killed", 0) / judged if judged else 0.0
        print("%-12s killed %3d of %3d (%5.1f%%), equivalent %d" % (
            area, t.get("killed", 0), judged, share, t.get("equivalent", 0)))
    short = []
    for area, _ in counts:
        t = tally.get(area, {})
        judged = t.get("killed", 0) + t.get("survived", 0)
        if args.require is not None and judged and \
                100.0 * t.get("killed", 0) / judged < args.require:
            short.append(area)
    for name, site in survivors:
        print("survived %-16s %s" % (name, describe(site)))
    if short:
        print("below %g%% killed: %s" % (args.require, ", ".join(short)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
