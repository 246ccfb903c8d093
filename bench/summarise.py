#!/usr/bin/env python3
"""Prints the benchmark table from the lines scripts/bench collected:
"DRIVER RUN CASE IMPL FIGURE VALUE". Figures are medians over the runs;
ratios are the median of the per-run ratios (program / baseline). A third
argument names the measurements that failed, "DRIVER RUN CASE IMPL" a line:
a row with one of them says so."""
import collections
import statistics
import sys

values = collections.defaultdict(dict)  # (driver, case, impl, figure) -> {run: value}
for line in open(sys.argv[1]):
    driver, run, case, impl, figure, value = line.split()
    values[(driver, case, impl, figure)][int(run)] = float(value)
fetch = sys.argv[2] if len(sys.argv) > 2 else "?"
failed = collections.defaultdict(set)  # (driver, case, impl) -> {run}
if len(sys.argv) > 3:
    for line in open(sys.argv[3]):
        driver, run, case, impl = line.split()
        failed[(driver, case, impl)].add(int(run))


def median(key):
    runs = values.get(key)
    return statistics.median(runs.values()) if runs else None


def ratio(top, bottom):
    a, b = values.get(top, {}), values.get(bottom, {})
    shared = [a[r] / b[r] for r in a if r in b and b[r] > 0]
    return statistics.median(shared) if shared else None


def failures(*keys):
    """"FAILED nx" where measurements of these (driver, case, impl) keys failed, in n runs."""
    runs = set().union(*(failed.get(key[:3], set()) for key in keys))
    return f"FAILED {len(runs)}x" if runs else None


def show(value, unit):
    if value is None:
        return "-"
    if unit in ("px", "paints"):
        return f"{value:.0f} {unit}"
    if unit == "rows/s":
        return f"{value:,.0f} rows/s"
    if unit == "s":
        return f"{value * 1000:.1f} ms" if value < 10 else f"{value:.1f} s"
    return f"{value:.1f} MiB"


rows = []


def compare(driver, label, case, figure, unit, target, raw_case=None, raw_figure=None, qt=False, shown=None):
    """The program's figure against the baseline's; with `shown`, the figure shown instead, the ratio and the
    target staying those of `figure`."""
    app_key = (driver, case, "app", figure)
    raw_key = (driver, raw_case or case, "raw", raw_figure or figure)
    r = ratio(app_key, raw_key)
    met = "-" if target is None or r is None else ("yes" if r <= target else "NO")
    met = failures(app_key, raw_key) or met
    qt_text = qt_ratio = "-"
    if qt:
        qt_key = (driver, case, "qt", figure)
        qt_text = show(median(qt_key), unit)
        q = ratio(app_key, qt_key)
        qt_ratio = "-" if q is None else f"{q:.2f}x"
    shown_app, shown_raw = (app_key, raw_key) if shown is None else (app_key[:3] + (shown,), raw_key[:3] + (shown,))
    rows.append([driver, label, show(median(shown_app), unit), show(median(shown_raw), unit),
                 "-" if r is None else f"{r:.2f}x", "-" if target is None else f"<= {target}x", met,
                 qt_text, qt_ratio])


def against(driver, label, top, bottom, unit, target, bottom_driver=None):
    """A figure of the program set against another of its own, each a (case, figure) pair; the bottom one
    of `bottom_driver`'s runs where given."""
    top_key, bottom_key = (driver, top[0], "app", top[1]), (bottom_driver or driver, bottom[0], "app", bottom[1])
    r = ratio(top_key, bottom_key)
    met = failures(top_key, bottom_key) or ("-" if r is None else ("yes" if r <= target else "NO"))
    rows.append([driver, label, show(median(top_key), unit), show(median(bottom_key), unit),
                 "-" if r is None else f"{r:.2f}x", f"<= {target}x", met, "-", "-"])


def own(driver, label, case, figure, unit, limit=None):
    """A figure of the program alone, against a limit where given."""
    value = median((driver, case, "app", figure))
    met = "-" if value is None or limit is None else ("yes" if value <= limit else "NO")
    met = failures((driver, case, "app")) or met
    text = "-" if value is None else (f"{value:.0f} ms" if unit == "ms" else show(value, unit))
    target = "-" if limit is None else f"<= {show(limit, unit) if unit == 's' else f'{limit} {unit}'}"
    rows.append([driver, label, text, "-", "-", target, met, "-", "-"])


def moves(driver, million=None):
    """Ctrl+End and the jump to the middle against the last rows read backwards, the longest stalls, and
    the memory after them against that of the first screen; with `million`, each also against the
    million-row table's."""
    own(driver, "Next > to the first screen painted", "open", "seconds", "s", 0.015)
    own(driver, "Next >: grid paints before its rows", "open", "paints_before_rows", "paints", 0)
    own(driver, "Next >: grid grown after the first screen", "open", "height_growth_px", "px", 0)
    own(driver, "Next >: of which the count, after", "open", "counted_seconds", "s")
    compare(driver, "Ctrl+End from the first screen", "scroll", "seconds", "s", 1.3)
    compare(driver, "middle from the first screen", "middle", "seconds", "s", 1.3)
    own(driver, "Ctrl+End: of which the count", "scroll", "counted_seconds", "s")
    own(driver, "Ctrl+End: longest stall", "scroll", "stall_ms", "ms", 100)
    own(driver, "middle: longest stall", "middle", "stall_ms", "ms", 100)
    own(driver, "scrolled through (200 steps)", "sweep", "seconds", "s")
    own(driver, "scrolled through: longest stall", "sweep", "stall_ms", "ms")
    own(driver, "scrolled through: slowest step", "sweep", "slowest_step_seconds", "s")
    for case, what in (("scroll", "Ctrl+End"), ("sweep", "scrolled through")):
        against(driver, f"{what}: peak memory / first screen's", (case, "peak_resident_mib"),
                (case, "screen_resident_mib"), "MiB", 1.2)
    if million:
        for case, what in (("first", "first screen"), ("open", "Next > to the first screen")):
            against(driver, f"{what} / million rows'", (case, "seconds"), (case, "seconds"), "s", 1.1, million)
        for case, what in (("scroll", "Ctrl+End"), ("middle", "middle"), ("sweep", "scrolled through")):
            against(driver, f"{what} / million rows'", (case, "seconds"), (case, "seconds"), "s", 1.1, million)
            if case != "middle":
                against(driver, f"{what}: peak memory / million rows'", (case, "peak_resident_mib"),
                        (case, "peak_resident_mib"), "MiB", 1.5, million)


for driver in ("sqlite", "postgres", "mariadb"):
    compare(driver, "first screen", "first", "seconds", "s", 1.3, qt=True)
    moves(driver)
    compare(driver, "table list", "tables", "seconds", "s", 1.5)
    own(driver, "table list: longest stall", "tables", "stall_ms", "ms", 100)
    compare(driver, "edit, cursor open: median", "edit-open", "edit_median", "s", 2.0)
    compare(driver, "edit, cursor open: p95", "edit-open", "edit_p95", "s", 2.0)
    compare(driver, "edit, cursor open: first", "edit-open", "edit_first", "s", None, raw_figure="edit_median")
    compare(driver, "edit, all loaded: median", "edit-loaded", "edit_median", "s", 2.0)
    compare(driver, "edit, all loaded: p95", "edit-loaded", "edit_p95", "s", 2.0)
    compare(driver, "paste 1,000 x 4 cells", "paste", "seconds", "s", 2.0)
    compare(driver, "delete 1,000 rows", "delete", "seconds", "s", 2.0)
    compare(driver, "add a row: median", "add", "add_median", "s", 2.0)
    compare(driver, "find, first screen", "find", "seconds", "s", 1.3)
    compare(driver, "sort by an unindexed column, first screen", "sort", "seconds", "s", 1.3)
    compare(driver, "sort by the key, descending, first screen", "sort-key", "seconds", "s", 1.3)
    compare(driver, "export of the whole table to CSV (ratio of times)", "export", "seconds", "rows/s", 1.5,
            shown="rows_per_second")
    compare(driver, "export: memory grown from the table open", "export", "peak_mib", "MiB", None)
    own(driver, "Ctrl+End on a view, Esc after 0.5 s: longest stall", "cancel", "stall_ms", "ms", 100)
    own(driver, "Ctrl+End on a view: read ended after Esc", "cancel", "after_esc_ms", "ms", 100)
    own(driver, "F2 on a 5 MB text: longest stall", "edit-long", "stall_ms", "ms", 100)
    own(driver, "End in the editor of a 5 MB text: longest stall", "end-long", "stall_ms", "ms", 100)
    if driver == "sqlite":
        own(driver, "table list of a locked file: longest stall", "locked-tables", "stall_ms", "ms", 100)
    if driver != "mariadb":
        compare(driver, "first screen, huge values", "first-huge", "seconds", "s", 1.3)
        compare(driver, "through huge values", "through-huge", "seconds", "s", 1.3)
        compare(driver, "through huge values: memory", "through-huge", "peak_mib", "MiB", 1.3)
for driver in ("sqlite", "postgres"):
    if any(key[0] == driver + "-large" for key in values):
        compare(driver + "-large", "first screen", "first", "seconds", "s", 1.3)
        moves(driver + "-large", million=driver)

rows = [row for row in rows if row[2] != "-" or row[3] != "-" or row[6].startswith("FAILED")]
header = ["driver", "measurement", "program", "baseline", "ratio", "target", "met", "QSqlQueryModel",
          "program/Qt"]
widths = [max(len(str(row[i])) for row in rows + [header]) for i in range(len(header))]
runs = len({run for per_run in values.values() for run in per_run})
print()
print(f"Medians of {runs} run(s); ratio = median of the per-run ratios; psqlODBC Fetch={fetch}.")
print("The baseline is raw ODBC; for the middle, the raw read from the key there; for a ratio marked '/', the")
print("program's own figure named after it. 'memory' rows without '/' are the growth of peak resident memory")
print("from just before the connection opens; the others are the process's resident memory.")
print("  ".join(h.ljust(w) for h, w in zip(header, widths)))
print("  ".join("-" * w for w in widths))
for row in rows:
    print("  ".join(str(c).ljust(w) for c, w in zip(row, widths)))
targets = [row for row in rows if row[6] in ("yes", "NO") or row[6].startswith("FAILED")]
print(f"\nTargets met: {sum(row[6] == 'yes' for row in targets)} of {len(targets)}")
for driver, case, impl in sorted(failed):
    print(f"Failed: {case} {impl} on {driver}, in {len(failed[(driver, case, impl)])} run(s)")
for row in rows:
    if row[1] == "first screen" and row[8] != "-":
        ok = float(row[8].rstrip("x")) < 1
        print(f"Against QSqlQueryModel, {row[0]} {row[1]}: {row[8]} (want < 1): {'yes' if ok else 'NO'}")
