"""The Python classes and functions of the script interface, generated from
the module's declaration tables when the package is imported.

Calling convention on the Python side:

* int and float parameters take Python or numpy numbers; ``float*`` and
  ``int*`` parameters take lists, tuples or numpy arrays (a writable numpy
  array of the right type is filled in place, as the host fills its arrays);
  ``char*`` takes a str; ``class X`` takes an object of that class.
* A ``float*``, ``int*`` or ``byte*`` parameter without a default that the
  caller leaves out (or passes as ``kelmar.OUT``) is an output: the module
  allocates it and the call returns it, after the declared result if there
  is one. 16-float transforms come back as 4x4 arrays, camera pictures as
  (height, width, 3) uint8 arrays with row 0 at the top.
* Overloads (declarations of one name under different prefixes) are told
  apart by the arguments given: the first declaration they fit is called.
"""

import inspect
import numbers

import numpy as np

from . import _kelmar
from ._declarations import ARRAYS, class_name, parse_table
from .errors import error_for

_kelmar.set_error_factory(error_for)


class _Out:
    """Marks an output argument for the module to allocate."""

    def __repr__(self):
        return "kelmar.OUT"


OUT = _Out()
_CLASSES = {}


class HostObject:
    """Base of the script classes: a handle to an object of the module."""

    _destructor = None

    def __init__(self, *args, **kwargs):
        self._handle, self._owned, self._keep = 0, False, ()
        handle, _ = _dispatch(type(self)._constructors, 0, args, kwargs, type(self).__name__)
        self._handle, self._owned = handle, True
        # What the object was made from lives as long as it does (a grasp
        # keeps its robot and target).
        self._keep = tuple(a for a in list(args) + list(kwargs.values()) if isinstance(a, HostObject))

    @classmethod
    def _adopt(cls, handle):
        obj = cls.__new__(cls)
        obj._handle, obj._owned, obj._keep = handle, True, ()
        return obj

    def __del__(self):
        if getattr(self, "_owned", False) and self._handle and self._destructor:
            try:
                _kelmar.invoke(self._destructor, self._handle, "", [], OUT)
            except Exception:  # the interpreter may be shutting down
                pass
            self._handle = 0

    def __repr__(self):
        return "<kelmar.%s at 0x%x>" % (type(self).__name__, self._handle)


class CRender(HostObject):
    """The host's renderer that vtkViewer is given (a vtk.CRender): an
    off-screen VTK window of width x height pixels. Needs an X display
    (RuntimeError otherwise) and a build with the viewer (has_viewer)."""

    def __init__(self, width=400, height=300):
        if not _kelmar.has_viewer:
            raise RuntimeError("this build of kelmar has no viewer (VTK was not found)")
        self._handle, self._owned, self._keep = _kelmar.render_new(width, height), True, ()

    def __del__(self):
        if getattr(self, "_owned", False) and self._handle:
            _kelmar.render_free(self._handle)
            self._handle = 0

    def picture(self):
        """The window rendered: (height, width, 3) uint8, row 0 at the top."""
        return _kelmar.render_picture(self._handle)


_MISSING = object()
_INTS = (numbers.Integral, np.integer)
_REALS = (numbers.Real, np.floating, np.integer)


def _fits(letter, cls, value):
    if value is None:
        return letter in ARRAYS + "so"
    if value is OUT:
        return letter in ARRAYS
    if letter == "i":
        return isinstance(value, _INTS)
    if letter == "f":
        return isinstance(value, _REALS)
    if letter in ARRAYS:
        return not isinstance(value, (str, bytes, HostObject)) and hasattr(value, "__len__")
    if letter == "s":
        return isinstance(value, str)
    if letter == "o":
        return isinstance(value, _CLASSES.get(cls.split(".")[-1], HostObject))
    return False


class _Call:
    """A declaration ready to be called: its entry, signature, and what
    each parameter left out becomes (its default, OUT, or nothing)."""

    def __init__(self, decl):
        self.decl, self.entry, self.signature = decl, decl.entry, decl.signature
        self.params = [(p.letter, p.cls) for p in decl.params]
        self.names = [p.name for p in decl.params]
        self.fill = [p.default if p.has_default else OUT if p.letter in ARRAYS else _MISSING for p in decl.params]
        self.callable = all(letter != "?" for letter, _ in self.params)
        self.adopt = decl.result[6:].split(".")[-1] if decl.result.startswith("class ") else None
        self.void = decl.result == "void" or decl.kind == "constructor"
        if decl.result == "void" and decl.name.startswith("get") and self.signature == "s":
            # "void getActiveSOMName (char *pcSOMName)": the host's text buffer is the result.
            self.fill, self.void = [None], False

    def bind(self, args, kwargs):
        """The argument list (object handles for objects), or None when the arguments do not fit."""
        n = len(self.params)
        if len(args) > n or not self.callable:
            return None
        bound = list(args) + self.fill[len(args):]
        for key, value in kwargs.items():
            index = self.names.index(key) if key in self.names else -1
            if index < len(args):
                return None
            bound[index] = value
        for i, (letter, cls) in enumerate(self.params):
            value = bound[i]
            if value is _MISSING or (i < len(args) or self.names[i] in kwargs) and not _fits(letter, cls, value):
                return None
            if isinstance(value, HostObject):
                bound[i] = value._handle
        return bound

    def result(self, value, outs):
        if outs:
            outs = [_picture(a) for a in outs]
        if self.adopt and isinstance(value, tuple):
            value = _CLASSES[value[0]]._adopt(value[1])
        if self.void:
            return None if not outs else outs[0] if len(outs) == 1 else tuple(outs)
        return value if not outs else (value,) + tuple(outs)


def _picture(array):
    """Byte planes arrive bottom-up, as the frame buffer holds them."""
    if array.dtype == np.uint8 and array.ndim >= 2:
        return np.ascontiguousarray(array[::-1])
    return array


def _dispatch(calls, handle, args, kwargs, what):
    for call in calls:
        bound = call.bind(args, kwargs)
        if bound is not None:
            made, value, outs = _kelmar.invoke(call.entry, handle, call.signature, bound, OUT)
            return made, call.result(value, outs)
    raise TypeError("%s: no declaration fits the arguments; declared:\n  %s"
                    % (what, "\n  ".join(c.decl.text for c in calls)))


def _method(name, decls, cls_name):
    calls, what = [_Call(d) for d in decls], "%s.%s" % (cls_name, name)
    invoke, first = _kelmar.invoke, calls[0]
    if len(calls) == 1 and not first.params and first.callable:  # the common getter: no arguments to bind
        entry, result = first.entry, first.result

        def method(self, *args, **kwargs):
            if args or kwargs:
                return _dispatch(calls, self._handle, args, kwargs, what)[1]
            _, value, outs = invoke(entry, self._handle, "", (), OUT)
            return result(value, outs)
    else:
        def method(self, *args, **kwargs):
            return _dispatch(calls, self._handle, args, kwargs, what)[1]

    method.__name__ = name
    method.__qualname__ = "%s.%s" % (cls_name, name)
    method.__doc__ = _doc(decls)
    if len(calls) == 1:
        method.__signature__ = _signature(calls, True)
    return method


def _field(decl):
    calls = [_Call(decl)]

    def get(self):
        return _dispatch(calls, self._handle, (), {}, decl.name)[1]

    return property(get, doc=_doc([decl]))


def _signature(calls, method):
    """The first declaration's parameters, for help(); outputs default to OUT."""
    params = [inspect.Parameter("self", inspect.Parameter.POSITIONAL_ONLY)] if method else []
    for name, fill in zip(calls[0].names, calls[0].fill):
        if not name or any(p.name == name for p in params):
            return None
        default = inspect.Parameter.empty if fill is _MISSING else fill
        params.append(inspect.Parameter(name, inspect.Parameter.POSITIONAL_OR_KEYWORD, default=default))
    try:
        return inspect.Signature(params)
    except ValueError:  # an output before a required input: no Python signature says that
        return None


def _doc(decls):
    lines = []
    for d in decls:
        lines.append("%s    [entry %s]" % (" ".join(d.text.split()), d.entry))
    return "\n".join(lines)


def _class_doc(name, decls):
    head = "%s: a class of kelmar's script interface.\n\nIts declarations, as the module carries them:\n" % name
    return head + "\n".join("  " + d.text for d in decls)


HOOK_NAMES = {"DESCRIBE": "__str__", "COPY": "__copy__", "CTRL": "control", "SAVE": "save_status",
              "LOAD": "load_status", "COMPATIBLE": "compatible"}


def _hook(word, entry):
    """A hook as a Python method: DESCRIBE is str(), COPY copy.copy(), CTRL
    control(command), SAVE and LOAD save_status(path) and load_status(path)
    (True when the status was taken), COMPATIBLE the class method
    compatible(obj)."""
    invoke = _kelmar.invoke

    def describe(self):
        return invoke(entry, self._handle, "", (), OUT)[1]

    def copy(self):
        cls, handle = invoke(entry, self._handle, "", (), OUT)[1]
        return _CLASSES[cls]._adopt(handle)

    def control(self, command):
        invoke(entry, self._handle, "i", (command,), OUT)

    def save_status(self, path):
        invoke(entry, self._handle, "s", (str(path),), OUT)

    def load_status(self, path):
        return invoke(entry, self._handle, "s", (str(path),), OUT)[1] == 0

    def compatible(cls, obj):
        return bool(invoke(entry, obj._handle, "", (), OUT)[1])

    method = {"DESCRIBE": describe, "COPY": copy, "CTRL": control, "SAVE": save_status, "LOAD": load_status,
              "COMPATIBLE": classmethod(compatible)}[word]
    getattr(method, "__func__", method).__doc__ = "The class's %s hook.    [entry %s]" % (word, entry)
    return HOOK_NAMES[word], method


def _make_class(table):
    name = class_name(table)
    decls = parse_table(table, name)
    extends = next((d.extends for d in decls if d.kind == "extends"), None)
    base = _CLASSES.get(extends, HostObject)
    members = {"__doc__": _class_doc(name, decls), "_declarations": decls}
    members["_constructors"] = [_Call(d) for d in decls if d.kind == "constructor"]
    destructor = next((d for d in decls if d.kind == "destructor"), None)
    if destructor:
        members["_destructor"] = destructor.entry
    methods = {}
    for d in decls:
        if d.kind == "method" and not d.obsolete:
            methods.setdefault(d.name, []).append(d)
        elif d.kind == "field":
            members[d.name] = _field(d)
        elif d.kind == "hook":
            pyname, method = _hook(d.name, d.entry)
            members[pyname] = method
    for mname, overloads in methods.items():
        members[mname] = _method(mname, overloads, name)
    cls = type(name, (base,), members)
    cls.__init__.__doc__ = _doc([c.decl for c in members["_constructors"]])
    cls.__module__ = "kelmar"
    _CLASSES[name] = cls
    return cls


def _make_functions(table):
    """Constants (const_:) and the free functions, by name."""
    constants, functions = {}, {}
    for d in parse_table(table):
        if d.kind == "field" and d.prefix == "const_":
            constants[d.name] = _kelmar.constant(d.name)
        elif d.kind == "method":
            functions.setdefault(d.name, []).append(d)
    made = {}
    for fname, decls in functions.items():
        def function(*args, _calls=[_Call(d) for d in decls], _name=fname, **kwargs):
            return _dispatch(_calls, 0, args, kwargs, _name)[1]

        function.__name__ = fname
        function.__doc__ = _doc(decls)
        made[fname] = function
    return constants, made


def build():
    """(classes, constants, functions) from the module's tables."""
    classes = {}
    if _kelmar.has_viewer:
        _CLASSES["CRender"] = CRender  # what "class vtk.CRender" parameters take
    for table in _kelmar.classes():
        cls = _make_class(table)
        classes[cls.__name__] = cls
    constants, functions = _make_functions(_kelmar.functions())
    return classes, constants, functions
