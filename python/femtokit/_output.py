"""Library output (progress lines, warnings) routed to the "femtokit" logger."""

import logging
import sys

from . import _core

logger = logging.getLogger("femtokit")
logger.addHandler(logging.NullHandler())

_stdout_handler = None


def _emit(level, text):
    if level >= 2:
        logger.info(text)
    else:
        logger.warning(text)


def set_verbose(verbose=True):
    """Shows the library's progress and diagnostic lines (verbose=True) or hides them.

    The lines always go to the logging logger "femtokit" (progress at INFO,
    warnings at WARNING); verbose=True also prints them on standard output.
    Default: quiet (warnings reach "femtokit" only, which has no output of
    its own unless you configure logging).
    """
    global _stdout_handler
    if verbose:
        _core.set_verbosity(2)
        logger.setLevel(logging.INFO)
        if _stdout_handler is None:
            _stdout_handler = logging.StreamHandler(sys.stdout)
            _stdout_handler.setFormatter(logging.Formatter("%(message)s"))
            logger.addHandler(_stdout_handler)
    else:
        _core.set_verbosity(1)
        if _stdout_handler is not None:
            logger.removeHandler(_stdout_handler)
            _stdout_handler = None


def set_verbosity(level):
    """Library output level without touching handlers: 0 quiet, 1 warnings, 2 progress.

    Lines at or below the level reach the "femtokit" logger.
    """
    _core.set_verbosity(int(level))


_core.set_output_callback(_emit)
_core.set_verbosity(1)
