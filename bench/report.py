#!/usr/bin/env python3
"""Prints the table of a benchmark run from the raw figures that bench/run.sh collects.

    python3 bench/report.py BUILD/bench/results.tsv

Times are in milliseconds, memory in MB (1 MB = 1024 kB as /proc reports it). Ratios are of
medians. The last line is a one-line summary.
"""

import statistics
import sys
from collections import defaultdict

TIME_GOAL = 1.10     # pavex against the floor, time and peak memory
TWIN_TIME_GOAL = 0.5  # turned and progressive twins against the floor on the upright picture
TAGGED_GOAL = 1.2    # a colour-tagged picture against the same pixels untagged
FEH_FAST_GOAL = 0.5  # pavex against feh, the big JPEGs
SCREEN_PIXELS = 1024 * 768


def mb(kb):
    return kb / 1024.0


def spread(values, fmt):
    """min / median / max."""
    if not values:
        return "-"
    return " / ".join(fmt.format(v) for v in (min(values), statistics.median(values), max(values)))


def ratio_text(value):
    return "-" if value is None else f"{value:.2f}"


class Results:
    def __init__(self, path):
        self.pictures = {}          # id -> dict(label, width, height, file, bytes)
        self.order = []
        self.metafiles = []         # (kind, file, bytes)
        self.screen = defaultdict(list)   # (program, picture) -> [dict]
        self.missed = {}            # (program, picture) -> reason
        self.runs = defaultdict(list)     # (program, picture) -> [dict]
        self.notes = []
        self.machine = self.machine_end = None
        self.elapsed = None
        with open(path, encoding="utf-8") as f:
            for line in f:
                self._take(line.rstrip("\n").split("\t"))

    def _take(self, row):
        kind = row[0]
        if kind == "machine":
            self.machine = (row[1], row[2])
        elif kind == "machine-end":
            self.machine_end = (row[1], row[2])
        elif kind == "elapsed":
            self.elapsed = int(row[1])
        elif kind == "note":
            self.notes.append(row[1])
        elif kind == "picture":
            pid, label, width, height, file, size = row[1:7]
            # A twin of another picture is measured against the floor on that one; a tagged
            # twin also against pavex on the untagged one.
            twin = row[7] if len(row) > 7 and row[7] else pid
            untagged = row[8] if len(row) > 8 and row[8] else None
            self.pictures[pid] = dict(label=label, width=int(width), height=int(height),
                                      file=file, bytes=int(size), twin=twin, untagged=untagged)
            self.order.append(pid)
        elif kind == "metafile":
            self.metafiles.append((row[1], row[2], int(row[3])))
        elif kind == "screen":
            program, pid, _round, ms, first, hwm, rss, xgrowth, _at = row[1:10]
            self.screen[(program, pid)].append(dict(
                ms=float(ms), first=float(first), hwm=int(hwm), rss=int(rss),
                xgrowth=int(xgrowth)))
        elif kind == "screen-missed":
            self.missed[(row[1], row[2])] = row[4]
        elif kind == "run":
            program, pid, _round, ms, maxrss, user, sys_ms, status = row[1:9]
            message = row[9].strip() if len(row) > 9 else ""
            self.runs[(program, pid)].append(dict(
                ms=float(ms), maxrss=int(maxrss), user=float(user), sys=float(sys_ms),
                status=status, message=message))

    def refusal(self, program, pid):
        """The message of a refused run, when every run was refused."""
        runs = self.runs.get((program, pid), [])
        if runs and all(x["status"] != "0" for x in runs):
            return runs[0]["status"], runs[0]["message"].split("|")
        return None

    def median(self, program, pid, key):
        runs = self.screen.get((program, pid))
        return statistics.median(r[key] for r in runs) if runs else None

    def programs(self):
        seen = []
        for program, _pid in self.screen:
            if program not in seen:
                seen.append(program)
        for program, _pid in self.missed:
            if program not in seen:
                seen.append(program)
        return [p for p in ("floor", "pavex", "feh") if p in seen]


def ratio(a, b):
    if a is None or b is None or b == 0:
        return None
    return a / b


def main(path):
    r = Results(path)
    out = []
    rounds = max((len(v) for v in r.screen.values()), default=0)
    out.append(f"pavex benchmark: {rounds} rounds on screen (Xvfb 1024x768x24, a fresh server per run)")
    if r.machine:
        machine = f"{r.machine[0]} cores; load average {r.machine[1]} at the start"
        if r.machine_end:
            machine += f", {r.machine_end[1]} at the end"
        if r.elapsed is not None:
            machine += f"; {r.elapsed} s in all"
        out.append(machine)
    out.extend(r.notes)

    out.append("")
    out.append("On screen: ms from exec until the marker is on the X screen; the program's peak RSS")
    out.append("(VmHWM) in MB at that moment; how much the X server's RSS grew meanwhile (median MB).")
    out.append(f"{'picture':<14} {'program':<8} {'time ms min / median / max':>28}   "
               f"{'peak RSS MB min / median / max':>32}   {'X +MB':>6}")
    programs = r.programs()
    for pid in r.order:
        label = r.pictures[pid]["label"]
        for program in programs:
            runs = r.screen.get((program, pid), [])
            name = label if program == programs[0] else ""
            if not runs:
                reason = r.missed.get((program, pid), "not run")
                if reason == "timeout":
                    reason = "the marker did not show before the time limit"
                out.append(f"{name:<14} {program:<8} not shown: {reason}")
                if program == "pavex":
                    refusal = r.refusal("pavex-render", pid)
                    if refusal:
                        out.append(f"{'':<23} pavex-render refuses it ({refusal[0]}):")
                        out.extend(f"{'':<25} {line}" for line in refusal[1])
                continue
            times = spread([x["ms"] for x in runs], "{:.0f}")
            mems = spread([mb(x["hwm"]) for x in runs], "{:.1f}")
            xgrowth = mb(statistics.median(x["xgrowth"] for x in runs))
            extra = ""
            if (program, pid) in r.missed:
                extra = f"   (shown in {len(runs)} runs, missed later)"
            out.append(f"{name:<14} {program:<8} {times:>28}   {mems:>32}   {xgrowth:>6.1f}{extra}")

    out.append("")
    out.append("Ratios of the medians:")
    have_feh = "feh" in programs
    out.append(f"{'':<14} {'pavex/floor':>16}" + (f" {'pavex/feh':>16}" if have_feh else ""))
    columns = f" {'time':>7} {'memory':>8}"
    out.append(f"{'picture':<14}" + columns + (columns if have_feh else ""))
    out.append("(a turned or progressive twin against the floor on its upright baseline picture)")
    floor_time, floor_mem, feh_time, feh_mem = {}, {}, {}, {}
    for pid in r.order:
        twin = r.pictures[pid]["twin"]
        floor_time[pid] = ratio(r.median("pavex", pid, "ms"), r.median("floor", twin, "ms"))
        floor_mem[pid] = ratio(r.median("pavex", pid, "hwm"), r.median("floor", twin, "hwm"))
        feh_time[pid] = ratio(r.median("pavex", pid, "ms"), r.median("feh", pid, "ms"))
        feh_mem[pid] = ratio(r.median("pavex", pid, "hwm"), r.median("feh", pid, "hwm"))
        line = (f"{r.pictures[pid]['label']:<14} {ratio_text(floor_time[pid]):>7}"
                f" {ratio_text(floor_mem[pid]):>8}")
        if have_feh:
            line += f" {ratio_text(feh_time[pid]):>7} {ratio_text(feh_mem[pid]):>8}"
        out.append(line)

    out.append("")
    out.append("pavex-render FILE OUT.png (decode, paint onto a new ARGB32 image, PNG) against")
    out.append("floor --decode-only FILE (QImageReader alone): wall ms, peak RSS MB,")
    out.append("min / median / max; the median of the CPU time.")
    out.append(f"{'picture':<14} {'program':<13} {'ms':>26}   {'peak RSS MB':>26}   {'user+sys ms':>11}")
    render_ratio = {}
    for pid in r.order:
        medians = {}
        for program in ("floor-decode", "pavex-render"):
            runs = r.runs.get((program, pid), [])
            name = r.pictures[pid]["label"] if program == "floor-decode" else ""
            if not runs:
                out.append(f"{name:<14} {program:<13} not run")
                continue
            good = [x for x in runs if x["status"] == "0"]
            if not good:
                out.append(f"{name:<14} {program:<13} refused ({runs[0]['status']}):")
                out.extend(f"{'':<16} {line}" for line in runs[0]["message"].split("|"))
                continue
            times = [x["ms"] for x in good]
            cpu = statistics.median(x["user"] + x["sys"] for x in good)
            medians[program] = (statistics.median(times),
                                statistics.median(x["maxrss"] for x in good))
            out.append(f"{name:<14} {program:<13} {spread(times, '{:.0f}'):>26}   "
                       f"{spread([mb(x['maxrss']) for x in good], '{:.1f}'):>26}   {cpu:>11.0f}")
        if len(medians) == 2:
            t = ratio(medians["pavex-render"][0], medians["floor-decode"][0])
            m = ratio(medians["pavex-render"][1], medians["floor-decode"][1])
            render_ratio[pid] = (t, m)
            out.append(f"{'':<14} {'ratio':<13} {'time ' + ratio_text(t):>26}   "
                       f"{'memory ' + ratio_text(m):>26}")

    if r.metafiles:
        out.append("")
        out.append("Play time of the largest metafiles (pavex-render): wall ms, peak RSS MB.")
        for kind, file, size in r.metafiles:
            runs = r.runs.get(("pavex-render", kind), [])
            name = f"{kind.upper()} {file.rsplit('/', 1)[-1]} ({size / 1e6:.1f} MB)"
            good = [x for x in runs if x["status"] == "0"]
            if not runs:
                out.append(f"{name}: not run")
            elif not good:
                out.append(f"{name}: refused ({runs[0]['status']}):")
                out.extend(f"    {line}" for line in runs[0]["message"].split("|"))
            else:
                out.append(f"{name}: {spread([x['ms'] for x in good], '{:.0f}')} ms, "
                           f"{spread([mb(x['maxrss']) for x in good], '{:.1f}')} MB")

    # Goals, one check per picture and aim.
    goals = []

    def check(what, value, limit):
        goals.append((what, value, limit, value is not None and value <= limit))

    for pid in r.order:
        p = r.pictures[pid]
        label = p["label"]
        twin_goal = p["twin"] != pid and not p["untagged"]
        time_goal = TWIN_TIME_GOAL if twin_goal else TIME_GOAL
        check(f"time <= {time_goal:.2f} x floor, {label}", floor_time[pid], time_goal)
        check(f"memory <= {TIME_GOAL:.2f} x floor, {label}", floor_mem[pid], TIME_GOAL)
        if p["untagged"]:
            tagged = ratio(r.median("pavex", pid, "ms"), r.median("pavex", p["untagged"], "ms"))
            check(f"time <= {TAGGED_GOAL:.2f} x untagged, {label}", tagged, TAGGED_GOAL)
    for pid in r.order:
        pixels = r.pictures[pid]["width"] * r.pictures[pid]["height"]
        if pixels > SCREEN_PIXELS:
            growth = r.median("pavex", pid, "xgrowth")
            share = None if growth is None else growth * 1024 / (pixels * 4)
            check(f"X server growth <= 0.25 x the pixels, {r.pictures[pid]['label']}", share, 0.25)
    if have_feh:
        for pid in r.order:
            p = r.pictures[pid]
            feh_ran = ("feh", pid) in r.screen or ("feh", pid) in r.missed
            if feh_ran and p["width"] * p["height"] >= 20_000_000:
                check(f"time < feh, {p['label']}", feh_time[pid], 0.999)
        for pid in r.order:
            p = r.pictures[pid]
            if p["label"].endswith("JPEG") and p["width"] * p["height"] >= 20_000_000:
                check(f"time <= {FEH_FAST_GOAL} x feh, {p['label']}", feh_time[pid], FEH_FAST_GOAL)

    out.append("")
    out.append("Goals (ratio / limit):")
    for what, value, limit, met in goals:
        shown = "not shown" if value is None else f"{value:.3f}"
        out.append(f"  {'met ' if met else 'MISS'}  {what}: {shown} / {limit:.2f}")

    met = sum(1 for g in goals if g[3])
    shown = [pid for pid in r.order if floor_time[pid] is not None]
    summary = f"summary: goals met {met} of {len(goals)}"
    if shown:
        ft = [floor_time[p] for p in shown]
        fm = [floor_mem[p] for p in shown if floor_mem[p] is not None]
        summary += (f"; pavex/floor time {min(ft):.2f}-{max(ft):.2f}, "
                    f"memory {min(fm):.2f}-{max(fm):.2f} over {len(shown)} pictures")
        ht = [feh_time[p] for p in shown if feh_time[p] is not None]
        if ht:
            summary += f"; pavex/feh time {min(ht):.2f}-{max(ht):.2f}"
    not_shown = [r.pictures[p]["label"] for p in r.order if floor_time[p] is None]
    if not_shown:
        summary += "; not compared: " + ", ".join(not_shown)
    out.append(summary)
    print("\n".join(out))
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.stderr.write("usage: report.py RESULTS.tsv\n")
        sys.exit(2)
    sys.exit(main(sys.argv[1]))
