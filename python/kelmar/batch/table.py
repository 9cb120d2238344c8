"""Rows as CSV: the writer, and the reader a resumed sweep starts from.

Numbers are written so that they read back exactly (floats by repr),
lists as their items separated by spaces, truth values as 1 and 0, and a
measure a failed trial does not have as an empty cell.
"""

import csv
import io
import os

from .trial import HEAD, MEASURES


def columns(rows):
    """The head columns, then variables in order of appearance, then measures."""
    seen = []
    for row in rows:
        seen += [k for k in row if k not in seen]
    middle = [k for k in seen if k not in HEAD and k not in MEASURES]
    return list(HEAD) + middle + [m for m in MEASURES if m in seen]


def cell(value):
    if value is None:
        return ""
    if isinstance(value, bool):
        return "1" if value else "0"
    if isinstance(value, float):
        return repr(value)
    if isinstance(value, (list, tuple)):
        return " ".join(cell(v) for v in value)
    return str(value)


class Writer:
    """Appends rows to a CSV file as they come, flushed row by row, so that
    a sweep that stops leaves every finished trial in the file. An existing
    file keeps its columns and its complete rows (a row cut off is dropped
    before anything is appended)."""

    def __init__(self, path, fields):
        self._path = path
        before, rows = read(path) if os.path.exists(path) else ([], [])
        if before and fields and before != list(fields):
            raise ValueError(f"{path} has other columns than these rows: {', '.join(before)}")
        self._fields = before or list(fields)
        partial = f"{path}.{os.getpid()}.part"
        with open(partial, "w", newline="", encoding="utf-8") as f:
            out = csv.writer(f)
            out.writerow(self._fields)
            out.writerows([r[k] for k in self._fields] for r in rows)
        os.replace(partial, path)
        self._file = open(path, "a", newline="", encoding="utf-8")
        self._csv = csv.writer(self._file)

    def add(self, row):
        missing = [k for k in row if k not in self._fields]
        if missing:
            raise ValueError(f"{self._path} has no column {', '.join(missing)}")
        self._csv.writerow([cell(row.get(k)) for k in self._fields])
        self._file.flush()

    def close(self):
        self._file.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def write(path, rows):
    """Writes rows to a new CSV file (replacing one that exists)."""
    rows = list(rows)
    if os.path.exists(path):
        os.remove(path)
    with Writer(path, columns(rows)) as w:
        for row in rows:
            w.add(row)


def read(path):
    """(columns, rows as dicts of text) of a CSV file. A file cut off in
    the middle of a row (a sweep stopped while writing) loses that row."""
    with open(path, newline="", encoding="utf-8") as f:
        text = f.read()
    reader = csv.reader(io.StringIO(text), strict=True)
    fields, rows = next(reader, []), []
    try:
        for r in reader:
            rows.append(r)
        if rows and not text.endswith("\n"):
            rows.pop()
    except csv.Error:
        pass  # a quoted cell cut off: its row never made it into rows
    return fields, [dict(zip(fields, r)) for r in rows if len(r) == len(fields)]
