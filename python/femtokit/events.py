"""Transport-model event files and the species table.

EventFile reads any layout the event-file source understands (legacy, OSC1997A, OSC1999A,
OSCAR2013, OSCAR2013Extended, SMASHbinary; detected from the first lines, or named) and
yields the final state of each event as numpy arrays, streaming (a file is never loaded
whole). Units are the files': GeV, GeV/c, fm, fm/c.
"""

import os
from collections import namedtuple

from . import _core

Event = namedtuple("Event", "codes momenta masses positions")
Event.__doc__ = """The final state of one event: codes (PDG, int ndarray (n,)), momenta (n, 4) as
(E, px, py, pz) in GeV, masses (n,) in GeV, positions (n, 4) as (t, x, y, z) in fm/c, fm."""

Species = namedtuple("Species", "code mass charge name")
Species.__doc__ = "A particle species: PDG code, mass (MeV), charge (e), name."


def event_formats():
    """The layout names EventFile accepts besides "auto"."""
    return _core.event_formats().split()


def detect_event_format(path):
    """The layout of an event file by its first lines (ValueError for none known, with the list)."""
    path = os.fspath(path)
    if not os.path.isfile(path):
        raise FileNotFoundError(f"event file {path} does not exist")
    return _core.detect_event_format(path)


class EventFile:
    """An event file read event by event: iterate it for Event tuples.

    EventFile(path, format="auto")

    >>> for ev in EventFile("events.oscar"):          # doctest: +SKIP
    ...     protons = ev.positions[ev.codes == 2212]

    Any fault of the file (truncated block, wrong count or column number, non-numeric field)
    raises ValueError naming the file, event and line.
    """

    def __init__(self, path, format="auto"):
        path = os.fspath(path)
        if not os.path.isfile(path):
            raise FileNotFoundError(f"event file {path} does not exist")
        if format != "auto" and format not in event_formats():
            raise ValueError(f"unknown event format {format!r}; known: auto {' '.join(event_formats())}")
        self._obj = _core.EventFile(path, format)

    path = property(lambda self: self._obj.path, doc="The file read.")
    format = property(lambda self: self._obj.format, doc="Its layout.")
    events_read = property(lambda self: self._obj.events_read, doc="Events returned so far.")

    def __iter__(self):
        return self

    def __next__(self):
        ev = self._obj._next()
        if ev is None:
            raise StopIteration
        return Event(*ev)

    def __repr__(self):
        return f"EventFile({self.path!r}, format={self.format!r}, events_read={self.events_read})"


def species(code):
    """The Species of a PDG code (negative: the antiparticle); KeyError when unknown."""
    s = _core._species(int(code))
    if s is None:
        raise KeyError(f"unknown PDG code {code}; known: {_core._species_list()}")
    return Species(*s)


def species_table():
    """Every species of the table (particles, positive codes) as a list of Species."""
    out = []
    for entry in _core._species_list().split(","):
        words = entry.split()
        if words:
            out.append(species(int(words[0])))
    return out
