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


def _fits(param, value):
    if value is None:
        return param.letter in ARRAYS + "so"
    if value is OUT:
        return param.letter in ARRAYS
    letter = param.letter
    if letter == "i":
        return isinstance(value, (numbers.Integral, np.integer))
    if letter == "f":
        return isinstance(value, (numbers.Real, np.floating, np.integer))
    if letter in ARRAYS:
        return not isinstance(value, (str, bytes, HostObject)) and hasattr(value, "__len__")
    if letter == "s":
        return isinstance(value, str)
    if letter == "o":
        target = _CLASSES.get(param.cls.split(".")[-1])
        return isinstance(value, target or HostObject)
    return False


def _bind(decl, args, kwargs):
    """The argument list for decl (None when the arguments do not fit)."""
    params = decl.params
    if len(args) > len(params) or any(p.letter == "?" for p in params):
        return None
    bound = list(args) + [None] * (len(params) - len(args))
    given = [True] * len(args) + [False] * (len(params) - len(args))
    for key, value in kwargs.items():
        index = next((i for i, p in enumerate(params) if p.name == key), None)
        if index is None or given[index]:
            return None
        bound[index], given[index] = value, True
    for i, p in enumerate(params):
        if given[i]:
            if not _fits(p, bound[i]):
                return None
        elif p.has_default:
            bound[i] = p.default
        elif p.letter in ARRAYS:
            bound[i] = OUT
        else:
            return None
    return bound


def _result(decl, value, outs):
    if decl.result.startswith("class ") and isinstance(value, tuple):
        value = _CLASSES[value[0]]._adopt(value[1])
    outs = [_picture(a) for a in outs]
    if decl.result == "void" or decl.kind == "constructor":
        return None if not outs else outs[0] if len(outs) == 1 else tuple(outs)
    return value if not outs else (value,) + tuple(outs)


def _picture(array):
    """Byte planes arrive bottom-up, as the frame buffer holds them."""
    if array.dtype == np.uint8 and array.ndim >= 2:
        return np.ascontiguousarray(array[::-1])
    return array


def _dispatch(decls, handle, args, kwargs, what):
    for decl in decls:
        bound = _bind(decl, args, kwargs)
        if bound is not None:
            bound = [a._handle if isinstance(a, HostObject) else a for a in bound]
            made, value, outs = _kelmar.invoke(decl.entry, handle, decl.signature, bound, OUT)
            return made, _result(decl, value, outs)
    raise TypeError("%s: no declaration fits the arguments; declared:\n  %s"
                    % (what, "\n  ".join(d.text for d in decls)))


def _method(name, decls, cls_name):
    def method(self, *args, **kwargs):
        return _dispatch(decls, self._handle, args, kwargs, "%s.%s" % (cls_name, name))[1]

    method.__name__ = name
    method.__qualname__ = "%s.%s" % (cls_name, name)
    method.__doc__ = _doc(decls)
    return method


def _field(decl):
    def get(self):
        return _dispatch([decl], self._handle, (), {}, decl.name)[1]

    return property(get, doc=_doc([decl]))


def _doc(decls):
    lines = []
    for d in decls:
        lines.append("%s    [entry %s]" % (" ".join(d.text.split()), d.entry))
    return "\n".join(lines)


def _class_doc(name, decls):
    head = "%s: a class of kelmar's script interface.\n\nIts declarations, as the module carries them:\n" % name
    return head + "\n".join("  " + d.text for d in decls)


def _make_class(table):
    name = class_name(table)
    decls = parse_table(table, name)
    extends = next((d.extends for d in decls if d.kind == "extends"), None)
    base = _CLASSES.get(extends, HostObject)
    members = {"__doc__": _class_doc(name, decls), "_declarations": decls}
    members["_constructors"] = [d for d in decls if d.kind == "constructor"]
    destructor = next((d for d in decls if d.kind == "destructor"), None)
    if destructor:
        members["_destructor"] = destructor.entry
    methods = {}
    for d in decls:
        if d.kind == "method" and not d.obsolete:
            methods.setdefault(d.name, []).append(d)
        elif d.kind == "field":
            members[d.name] = _field(d)
    for mname, overloads in methods.items():
        members[mname] = _method(mname, overloads, name)
    cls = type(name, (base,), members)
    cls.__init__.__doc__ = _doc(members["_constructors"])
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
        def function(*args, _decls=decls, _name=fname, **kwargs):
            return _dispatch(_decls, 0, args, kwargs, _name)[1]

        function.__name__ = fname
        function.__doc__ = _doc(decls)
        made[fname] = function
    return constants, made


def build():
    """(classes, constants, functions) from the module's tables."""
    classes = {}
    for table in _kelmar.classes():
        cls = _make_class(table)
        classes[cls.__name__] = cls
    constants, functions = _make_functions(_kelmar.functions())
    return classes, constants, functions
