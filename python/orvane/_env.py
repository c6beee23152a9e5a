"""Checks, on import, that this interpreter can run the package."""

import os
import sys

from . import _build_info


def _same_interpreter() -> bool:
    return os.path.realpath(sys.executable) == os.path.realpath(_build_info.PYTHON)


def _version() -> str:
    return "%d.%d" % sys.version_info[:2]


def require_numpy() -> None:
    """Import numpy, or explain which interpreter has it.

    Another interpreter of the same Python version as the build's (say a
    pyenv installation first on the PATH) may lack Debian's packages; it then
    borrows the build interpreter's package folders, appended after its own,
    so that its own packages still win.
    """
    try:
        import numpy  # noqa: F401
        return
    except ImportError:
        pass
    if not _same_interpreter() and _version() == _build_info.PYTHON_VERSION:
        for folder in _build_info.PYTHON_SITE_DIRS:
            if folder and os.path.isdir(folder) and folder not in sys.path:
                sys.path.append(folder)
        try:
            import numpy  # noqa: F401
            return
        except ImportError:
            pass
    raise ImportError(
        f"orvane needs numpy, which this interpreter ({sys.executable}, Python {_version()}) cannot import; "
        f"run it with {_build_info.PYTHON} (Python {_build_info.PYTHON_VERSION}, the interpreter the build "
        f"was made for) or install Debian's python3-numpy") from None


def load_extension():
    """The compiled module, or an ImportError that says why not."""
    try:
        from . import _orvane
    except ImportError as e:
        raise ImportError(
            f"orvane's compiled module does not load in {sys.executable} (Python {_version()}); it was built "
            f"for {_build_info.PYTHON} (Python {_build_info.PYTHON_VERSION}): {e}") from None
    return _orvane
