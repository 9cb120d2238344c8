"""Host exceptions as Python exceptions.

Every failure of a call into the module arrives as a host exception with an
identifier ("badarg:array:dim") and a message ("Universe:SetGravity: dim of
array arg #0 must be 3\\n"). Python raises an instance of HostError or of
the subclass for the identifier's family, carrying both unchanged in ``id``
and ``message``.
"""


class HostError(Exception):
    """A host exception raised by the module: ``id`` and exact ``message``."""

    def __init__(self, id, message):
        super().__init__(message.rstrip("\n"))
        self.id = id
        self.message = message


class BadArgument(HostError):
    """badarg:*: an argument the call cannot take."""


class BadDimension(BadArgument):
    """badarg:array:dim: an array of the wrong length."""


class BadIndex(BadArgument):
    """badarg:index: an index outside its range."""


class BadMaterial(BadArgument):
    """badarg:material: a material index outside the universe's table."""


class BadOperation(HostError):
    """badop:*: an operation the object cannot do now."""


class UnresolvedObject(HostError):
    """badobj:*: an object not (yet) bound to what it names, or an empty contact."""


class MissingEntry(HostError, NotImplementedError):
    """A declaration whose entry function this build of the module lacks."""


# Identifier (or its family, the text before the first colon) -> class;
# the longest match wins.
_CLASSES = {
    "badarg": BadArgument,
    "badarg:array:dim": BadDimension,
    "badarg:index": BadIndex,
    "badarg:material": BadMaterial,
    "badop": BadOperation,
    "badobj": UnresolvedObject,
    "kelmar:noentry": MissingEntry,
}


def error_for(id, message):
    """The exception for a host exception's identifier and message."""
    parts = id.split(":")
    for n in range(len(parts), 0, -1):
        cls = _CLASSES.get(":".join(parts[:n]))
        if cls is not None:
            return cls(id, message)
    return HostError(id, message)
