"""Success rate against each swept variable, one panel a variable, as PNG.

A variable with few distinct values (a grid) or with texts for values is
shown value by value; one with many numbers (random draws) in ten bins of
equal width. Rows with an error
are left out of the rates: they say nothing about the grasp.
"""

import collections

BINS = 10


def succeeded(row, measure):
    """Whether the row's measure (as text from a CSV or as a value) is true."""
    value = row.get(measure)
    if isinstance(value, str):
        return value.strip() not in ("", "0", "0.0", "False")
    return bool(value)


def _number(text):
    try:
        return float(text)
    except ValueError:
        return None


def _groups(rows, name):
    """{x: [rows]} over the variable's values or bins; texts (material
    names, say) stay as they are."""
    values = [_number(r[name]) for r in rows]
    if None in values:
        values = [r[name] for r in rows]
    distinct = sorted(set(values))
    if len(distinct) <= BINS or isinstance(distinct[0], str):
        key = {v: v for v in distinct}.get
    else:
        lo, width = distinct[0], (distinct[-1] - distinct[0]) / BINS
        key = lambda v: lo + width * (min(int((v - lo) / width), BINS - 1) + 0.5)  # noqa: E731
    groups = collections.defaultdict(list)
    for v, row in zip(values, rows):
        groups[key(v)].append(row)
    return dict(sorted(groups.items()))


def rates(rows, name, success):
    """[(x, success rate, trials)] of the rows without an error."""
    ran = [r for r in rows if not r.get("error")]
    return [(x, sum(succeeded(r, success) for r in g) / len(g), len(g)) for x, g in _groups(ran, name).items()]


def plot(rows, swept, success, path):
    """Writes the panels to path (PNG); returns {variable: rates}."""
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    table = {name: rates(rows, name, success) for name in swept}
    fig, axes = plt.subplots(1, max(len(swept), 1), figsize=(4 * max(len(swept), 1), 3.4), squeeze=False)
    for ax, name in zip(axes[0], swept):
        xs, ys, ns = zip(*table[name]) if table[name] else ((), (), ())
        ax.plot(xs, ys, "o-")
        ax.set_xlabel(name)
        ax.set_ylim(-0.05, 1.05)
        ax.grid(alpha=0.3)
    axes[0][0].set_ylabel(f"success rate ({success})")
    fig.suptitle(f"{sum(1 for r in rows if not r.get('error'))} trials")
    fig.tight_layout()
    fig.savefig(path, dpi=100)
    plt.close(fig)
    return table
