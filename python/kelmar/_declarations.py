"""A prototype parser for the module's declaration tables.

A table is a list of texts: prefix lines ("Universe_:", ":"), declarations
in prototype form with defaults ("void SetGravity (float* Grav)"), fields
("readonly float Penetration"), destructors ("~Universe ()"), hooks
("CTRL_Universe()") and "EXTENDS vx.SolidRef FROM kelmar". Each
declaration's entry function is named by the current prefix and the
declared name; a destructor's by the prefix, "FREE_" and the class name.
"""

import re
from dataclasses import dataclass, field
from typing import List, Optional

HOOKS = ("CTRL", "SAVE", "LOAD", "DESCRIBE", "COPY", "COMPATIBLE")
_HOOK = re.compile(r"^(%s)_(\w+)\s*\(\s*\)$" % "|".join(HOOKS))
_EXTENDS = re.compile(r"^EXTENDS\s+(\S+)\s+FROM\s+(\S+)$")
_CALL = re.compile(r"^(?P<head>.*?)(?P<name>~?\w+)\s*\((?P<params>.*)\)\s*$")

# Signature letters of the parameter types the calls take.
LETTERS = {"int": "i", "float": "f", "float*": "F", "int*": "I", "byte*": "B", "char*": "s"}
ARRAYS = "FIB"


@dataclass
class Param:
    type: str  # "int", "float*", "class SolidRef", "callback", ...
    name: Optional[str]
    default: object = None
    has_default: bool = False

    @property
    def letter(self):
        if self.type.startswith("class "):
            return "o"
        return LETTERS.get(self.type, "?")

    @property
    def cls(self):
        return self.type[6:] if self.type.startswith("class ") else None


@dataclass
class Declaration:
    text: str  # exactly as in the table
    kind: str  # "constructor", "destructor", "method", "field", "hook", "extends", "prefix"
    prefix: str = ""
    name: str = ""
    result: str = "void"
    params: List[Param] = field(default_factory=list)
    readonly: bool = False
    obsolete: bool = False
    extends: Optional[str] = None

    @property
    def entry(self):
        """The name of the entry function."""
        if self.kind == "destructor":
            return self.prefix + "FREE_" + self.name.lstrip("~")
        if self.kind == "hook":  # "CTRL_Universe()": the hook word and the class
            return self.text.strip().split("(")[0].strip()
        return self.prefix + self.name

    @property
    def signature(self):
        return "".join(p.letter for p in self.params)


def split_params(text):
    """Parameters split at the commas outside parentheses."""
    parts, depth, current = [], 0, ""
    for ch in text:
        depth += ch == "("
        depth -= ch == ")"
        if ch == "," and depth == 0:
            parts.append(current)
            current = ""
        else:
            current += ch
    if current.strip():
        parts.append(current)
    return [p.strip() for p in parts]


def parse_value(text):
    text = text.strip()
    if text in ("NULL", "0") or text == "":
        return 0 if text == "0" else None
    try:
        return int(text)
    except ValueError:
        return float(text)


def parse_param(text):
    if "(*)" in text:  # a callback (only in obsolete entries)
        return Param("callback", None)
    default, has_default = None, "=" in text
    if has_default:
        text, value = text.split("=", 1)
        default = parse_value(value)
    words = text.replace("*", " * ").split()
    if words[0] == "class":
        name = words[2] if len(words) > 2 else None
        return Param("class " + words[1], name, default, has_default)
    stars = words.count("*")
    words = [w for w in words if w != "*"]
    ptype = words[0] + "*" * stars
    if stars and ptype in ("float*", "int*") and has_default and default == 0:
        default = None  # a null array
    return Param(ptype, words[1] if len(words) > 1 else None, default, has_default)


def normalise_type(text):
    text = " ".join(text.replace("*", " * ").split())
    if text.startswith("class "):
        return text
    return text.replace(" *", "*")


def parse_declaration(text, prefix, cls):
    stripped = text.strip()
    decl = Declaration(text=text, kind="method", prefix=prefix, obsolete=prefix.endswith("OBSOLETE_"))
    if stripped.endswith(":"):
        decl.kind, decl.name = "prefix", stripped[:-1]
        return decl
    hook, extends = _HOOK.match(stripped), _EXTENDS.match(stripped)
    if hook:
        decl.kind, decl.name = "hook", hook.group(1)
        return decl
    if extends:
        decl.kind, decl.extends = "extends", extends.group(1).split(".")[-1]
        return decl
    call = _CALL.match(stripped)
    if not call:
        return parse_field(decl, stripped)
    decl.name, head = call.group("name"), call.group("head").strip()
    decl.params = [parse_param(p) for p in split_params(call.group("params"))]
    if decl.name.startswith("~"):
        decl.kind = "destructor"
    elif not head and decl.name == (cls or decl.name):
        decl.kind = "constructor"
    else:
        decl.result = normalise_type(head)
    return decl


def parse_field(decl, text):
    words = text.replace("*", " * ").split()
    decl.readonly = words[0] == "readonly"
    words = words[1:] if decl.readonly else words
    decl.kind, decl.name = "field", words[-1]
    decl.result = normalise_type(" ".join(words[:-1]))
    return decl


def class_name(table):
    """The class a descriptor declares: the name of its constructor."""
    for text in table:
        call = _CALL.match(text.strip())
        if call and not call.group("head").strip() and not call.group("name").startswith("~"):
            if not _HOOK.match(text.strip()):
                return call.group("name")
    raise ValueError("a class descriptor without a constructor")


def parse_table(table, cls=None):
    """Every entry of a table as a Declaration, prefix lines included."""
    prefix, decls = "", []
    for text in table:
        decl = parse_declaration(text, prefix, cls)
        if decl.kind == "prefix":  # written with its underscore: "Universe_:", or ":"
            prefix = decl.name
        decls.append(decl)
    return decls
