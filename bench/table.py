#!/usr/bin/env python3
"""Prints the benchmark table from the raw "round key value" lines that bench/run.sh collects."""
import collections
import statistics
import sys

values = collections.defaultdict(list)
by_round = collections.defaultdict(dict)
for line in open(sys.argv[1], encoding="utf-8"):
    parts = line.split()
    if len(parts) != 3:
        continue
    round_, key, value = parts[0], parts[1], float(parts[2])
    values[key].append(value)
    by_round[round_].setdefault(key, []).append(value)
items = sys.argv[2] if len(sys.argv) > 2 else "?"


def ratio(numerator, denominator):
    """Per-round ratios of the round's medians, so each ratio compares figures taken side by side."""
    out = []
    for figures in by_round.values():
        if numerator in figures and denominator in figures:
            out.append(statistics.median(figures[numerator]) / statistics.median(figures[denominator]))
    return out


def row(name, samples, unit, target=""):
    if not samples:
        print(f"{name:<44} {'n/a':>10}")
        return
    med = statistics.median(samples)
    spread = (max(samples) - min(samples)) / med * 100 if med else 0
    print(f"{name:<44} {med:>10.3f} {unit:<6} [{min(samples):.3f} .. {max(samples):.3f}] "
          f"n={len(samples)} spread {spread:.0f}%  {target}")


def show(name, key, unit, target=""):
    row(name, values.get(key, []), unit, target)


print(f"Case 1: {items} items of 4 KiB")
show("  Fennrow, start request to end", "small_fennrow_ms", "ms")
show("  Fennrow per pass", "small_fennrow_pass_ms", "ms")
show("  (a) reference per pass", "small_ref_pass_ms", "ms")
show("      three list reads", "ref_lists_pass_ms", "ms")
show("      status write with repaint", "ref_status_pass_ms", "ms")
show("      box read", "ref_box_pass_ms", "ms")
show("      copy (CopyFileA)", "ref_copy_pass_ms", "ms")
show("      move (MoveFileExA)", "ref_move_pass_ms", "ms")
show("  (b) bare CopyFileA per file", "small_bare_pass_ms", "ms")
row("  Fennrow / (a)", ratio("small_fennrow_ms", "small_ref_ms"), "x", "target <= 1.10")
row("  Fennrow / (b)", ratio("small_fennrow_ms", "small_bare_ms"), "x")
print("Case 2: one file of 1 GiB")
show("  Fennrow", "big_fennrow_mibs", "MiB/s")
show("  bare CopyFileA", "big_bare_mibs", "MiB/s")
show("  Linux cp", "big_cp_mibs", "MiB/s")
row("  Fennrow / CopyFileA", ratio("big_fennrow_mibs", "big_bare_mibs"), "x", "target >= 0.95")
row("  CopyFileA / cp", ratio("big_bare_mibs", "big_cp_mibs"), "x")
print("Case 3: responsiveness during case 1")
show("  message round trip p50", "rtt_p50_ms", "ms")
show("  message round trip p99", "rtt_p99_ms", "ms", "target < 50")
show("  message round trip max", "rtt_max_ms", "ms")
show("  timer interval p50", "tick_p50_ms", "ms", "expected 1500")
show("  timer interval max", "tick_max_ms", "ms")
print("Case 4: start-up, launch to window shown")
show("  Fennrow", "startup_fennrow_ms", "ms")
show("  minimal Win32 window", "startup_minimal_ms", "ms")
row("  Fennrow / minimal", ratio("startup_fennrow_ms", "startup_minimal_ms"), "x")
print("Case 5: private memory of Fennrow during case 1")
show("  idle (before the run)", "mem_idle_mib", "MiB")
show("  at 10% of the run", "mem_at10pct_mib", "MiB")
show("  at 98% of the run", "mem_at98pct_mib", "MiB")
show("  peak during the run", "mem_peak_mib", "MiB")
