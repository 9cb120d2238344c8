"""Scene files travel with their trials.

A worker may run on another machine, so a trial carries the text of its
scene file and of every file it imports with "./" (kelmar resolves those
beside the importing file). The files keep their layout relative to their
common folder; a worker writes them once into a folder of its own named by
their content and loads the scene from there.
"""

import hashlib
import os
import re
import tempfile

# An IMPORT's file name: <IMPORT id> ... <NAME>file</NAME>.
_IMPORT = re.compile(r"<IMPORT\b[^>]*>.*?<NAME>\s*([^<]*?)\s*</NAME>", re.S)


def _imported(path, text):
    """Paths of the files that text (read from path) imports beside itself."""
    found = []
    for name in _IMPORT.findall(text):
        if not name.startswith("./"):
            continue  # found on kelmar's search path, not shipped
        name = name if name.endswith(".px") else name + ".px"
        found.append(os.path.normpath(os.path.join(os.path.dirname(path), name[2:])))
    return found


def _read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def collect(scene, extra=()):
    """The scene file, its imports (recursively) and the extra files.

    Returns (scene name, ((name, text), ...)) with names relative to the
    files' common folder, sorted, so that equal bundles compare equal.
    """
    texts, todo = {}, [os.path.abspath(scene)] + [os.path.abspath(p) for p in extra]
    while todo:
        path = todo.pop()
        if path in texts:
            continue
        if not os.path.isfile(path):
            raise FileNotFoundError(f"no file '{path}' (imported or listed for the scene)")
        texts[path] = _read(path)
        todo.extend(_imported(path, texts[path]))
    root = os.path.commonpath([os.path.dirname(p) for p in texts])
    files = tuple(sorted((os.path.relpath(p, root), t) for p, t in texts.items()))
    return os.path.relpath(os.path.abspath(scene), root), files


def digest(files):
    """A short name for a bundle of files, from their names and texts."""
    h = hashlib.sha256()
    for name, text in files:
        h.update(name.encode() + b"\0" + text.encode() + b"\0")
    return h.hexdigest()[:20]


_written = {}  # digest -> folder, for this process


def written(files):
    """The folder this process wrote the files into, or None."""
    return _written.get(digest(files))


def materialise(files):
    """The folder holding the files, written on first use in this process.

    Each file is written under a temporary name and renamed, so that two
    workers on one machine writing the same bundle never read half a file.
    """
    key = digest(files)
    if key not in _written:
        folder = os.path.join(tempfile.gettempdir(), f"kelmar-batch-{os.getuid()}", key)
        for name, text in files:
            path = os.path.join(folder, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            partial = f"{path}.{os.getpid()}.part"
            with open(partial, "w", encoding="utf-8") as f:
                f.write(text)
            os.replace(partial, path)
        _written[key] = folder
    return _written[key]
