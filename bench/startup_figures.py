#!/usr/bin/env python3
"""Turns the start-up bench's raw records into its table of figures.

    startup_figures.py RUN_DIR RUNS FLOOR_BYTES LAUNCHER_BYTES [FLAVOUR [SIZE_TARGET]]

RUN_DIR holds, per run i, floor-i.txt, launcher-i.txt and tour-i.txt (the
probe's key=value lines: wall-clock Unix seconds and working sets in bytes)
and the demo portal's log portal.jsonl, whose "answered" times say when the
version page's answer went out. Each figure is the median over the runs with
its range, and its ratio to the floor program's figure of the same kind.
FLAVOUR ("32-bit" by default) names the build in the size rows; SIZE_TARGET
("<= 700 KiB" by default, empty for none) is the exe size's target.
"""
import json
import os
import statistics
import sys


class BenchError(Exception):
    pass


def read_probe(path):
    values = {}
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            key, sep, value = line.strip().partition("=")
            if sep:
                values[key] = value
    if "error" in values:
        raise BenchError(f"{os.path.basename(path)}: {values['error']}")
    return values


def version_answer(entries, start, login):
    """The answer to the version page that this launcher run read."""
    answers = [e for e in entries
               if e["site"] == "update" and "/qlm_Orbo.html" in e["path"] and "answered" in e
               and start <= e["time"] <= e["answered"] <= login]
    if len(answers) != 1:
        raise BenchError(f"{len(answers)} version page answers between the start at {start:.6f} "
                         f"and the login window at {login:.6f} (are the clocks the same?)")
    return answers[0]["answered"]


def collect(run_dir, runs):
    with open(os.path.join(run_dir, "portal.jsonl"), encoding="utf-8") as f:
        entries = [json.loads(line) for line in f if line.strip()]
    figures = {k: [] for k in ("floor_visible", "splash", "login", "floor_ws", "login_ws",
                               "game_ws")}
    for i in range(1, runs + 1):
        floor = read_probe(os.path.join(run_dir, f"floor-{i}.txt"))
        launcher = read_probe(os.path.join(run_dir, f"launcher-{i}.txt"))
        tour = read_probe(os.path.join(run_dir, f"tour-{i}.txt"))
        start, login = float(launcher["start"]), float(launcher["login"])
        figures["floor_visible"].append(float(floor["window"]) - float(floor["start"]))
        figures["splash"].append(float(launcher["splash"]) - start)
        figures["login"].append(login - version_answer(entries, start, login))
        figures["floor_ws"].append(int(floor["window_ws"]))
        figures["login_ws"].append(int(launcher["login_ws"]))
        figures["game_ws"].append(int(tour["game_ws"]))
    return figures


def ms(seconds):
    return f"{seconds * 1000:.0f} ms"


def mib(size):
    return f"{size / 2**20:.1f} MiB"


def kib(size):
    return f"{size / 2**10:.0f} KiB"


def table(figures, runs, floor32, launcher32, flavour="32-bit", size_target="<= 700 KiB"):
    floor_time = statistics.median(figures["floor_visible"])
    floor_ws = statistics.median(figures["floor_ws"])
    rows = [("", "median", "min .. max", "x floor", "target")]

    def measured(label, key, unit, floor, target=""):
        values = figures[key]
        median = statistics.median(values)
        rows.append((label, unit(median), f"{unit(min(values))} .. {unit(max(values))}",
                     f"{median / floor:.2f}", target))

    measured("3. floor: start -> window visible", "floor_visible", ms, floor_time)
    measured("1. launcher: start -> update splash visible", "splash", ms, floor_time,
             "<= 1.30 x")
    measured("2. launcher: version page answered -> login visible", "login", ms, floor_time)
    measured("4. working set, floor with its window shown", "floor_ws", mib, floor_ws)
    measured("   working set, launcher at the login window", "login_ws", mib, floor_ws,
             "<= 2.00 x")
    measured("   working set, launcher in game (tour driver)", "game_ws", mib, floor_ws)
    rows.append((f"5. stripped {flavour} exe, floor", kib(floor32), "", "1.00", ""))
    rows.append((f"   stripped {flavour} Quillmoor.exe", kib(launcher32), "",
                 f"{launcher32 / floor32:.2f}", size_target))
    widths = [max(len(row[c]) for row in rows) for c in range(5)]
    lines = [f"{runs} runs each after one warm-up run; times are wall clock, ratios are "
             "medians over the floor's"]
    for row in rows:
        lines.append(f"{row[0]:<{widths[0]}}  {row[1]:>{widths[1]}}  {row[2]:>{widths[2]}}  "
                     f"{row[3]:>{widths[3]}}  {row[4]:<{widths[4]}}".rstrip())
    lines.append("Times 1 and 2 are the real Quillmoor.exe's; the in-game working set is the tour "
                 "driver's\n(the launcher plus the stand-in for the login page's click). A "
                 "working set is the\nresident size of the program's Wine process.")
    return "\n".join(lines)


def main(argv):
    if not 4 <= len(argv) <= 6:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    run_dir, runs, floor32, launcher32 = argv[0], int(argv[1]), int(argv[2]), int(argv[3])
    labels = argv[4:]
    try:
        figures = collect(run_dir, runs)
    except KeyError as e:
        print(f"startup-bench: a record in {run_dir} lacks {e}", file=sys.stderr)
        return 1
    except (BenchError, OSError, ValueError) as e:
        print(f"startup-bench: {e}", file=sys.stderr)
        return 1
    print(table(figures, runs, floor32, launcher32, *labels))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
