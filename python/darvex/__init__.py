"""DarvEx archives from Python: list, read, extract and make them.

A pure-Python layer over libdarvex's C API (ctypes); it needs no compiler. The library is
looked for at the path in the environment variable DARVEX_LIBRARY, then beside this module
(where the install put it), then where the system's loader finds libraries.

    with darvex.Archive("file.dat") as archive:
        for entry in archive:
            print(entry.name, entry.size)
        data = archive.read("readme.txt")
        archive.extract("out", include=["*.xml"])
    darvex.create("new.dat", "out", like="file.dat")
"""

import ctypes
import os
import sys

__all__ = ["Archive", "Entry", "Error", "FileError", "create", "version"]

OK, IO, FORMAT, DAMAGED, REFUSED, NOT_FOUND, MEMORY, ARGUMENT, STOPPED = range(9)
_STATUS_NAMES = ("ok", "io", "format", "damaged", "refused", "not found", "memory", "argument", "stopped")


class Error(Exception):
    """A failure of the library: `status` is its darvex_status, the text its last error."""

    def __init__(self, status, message):
        super().__init__(message)
        self.status = status

    @property
    def status_name(self):
        return _STATUS_NAMES[self.status] if 0 <= self.status < len(_STATUS_NAMES) else str(self.status)


class FileError(Error, OSError):
    """A failure whose cause is the system's: a file or folder that cannot be opened, read or written."""

    def __init__(self, status, message):
        Error.__init__(self, status, message)

    def __str__(self):
        return Exception.__str__(self)


class _Entry(ctypes.Structure):
    _fields_ = [
        ("name", ctypes.c_char_p),
        ("name_length", ctypes.c_size_t),
        ("size", ctypes.c_uint32),
        ("offset", ctypes.c_uint32),
        ("span", ctypes.c_uint32),
        ("refusal", ctypes.c_char_p),
    ]


_PROGRESS = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_uint32, ctypes.c_uint32, ctypes.c_char_p)


class _ExtractOptions(ctypes.Structure):
    _fields_ = [
        ("jobs", ctypes.c_uint),
        ("include", ctypes.POINTER(ctypes.c_char_p)),
        ("exclude", ctypes.POINTER(ctypes.c_char_p)),
        ("no_overwrite", ctypes.c_int),
        ("no_table", ctypes.c_int),
        ("strip_components", ctypes.c_uint),
        ("codepage", ctypes.c_char_p),
        ("progress", _PROGRESS),
        ("progress_context", ctypes.c_void_p),
    ]


class _CreateOptions(ctypes.Structure):
    _fields_ = [
        ("jobs", ctypes.c_uint),
        ("exclude", ctypes.POINTER(ctypes.c_char_p)),
        ("level", ctypes.c_int),
        ("sync", ctypes.c_int),
        ("codepage", ctypes.c_char_p),
        ("progress", _PROGRESS),
        ("progress_context", ctypes.c_void_p),
    ]


def _library_candidates():
    given = os.environ.get("DARVEX_LIBRARY")
    if given:
        yield given
        return
    here = os.path.dirname(os.path.abspath(__file__))
    try:
        from . import _location

        yield os.path.normpath(os.path.join(here, _location.LIBRARY_FOLDER, _location.LIBRARY_FILE))
        yield _location.LIBRARY_FILE
    except ImportError:
        pass
    yield os.path.join(here, "darvex.dll" if sys.platform == "win32" else "libdarvex.so.0")
    yield "darvex.dll" if sys.platform == "win32" else "libdarvex.so.0"


def _load_library():
    tried = []
    for candidate in _library_candidates():
        try:
            return ctypes.CDLL(candidate)
        except OSError as failure:
            tried.append("%s (%s)" % (candidate, failure))
    raise ImportError("darvex: libdarvex was not found; tried " + "; ".join(tried) + " (DARVEX_LIBRARY names it)")


def _declare(library):
    c = ctypes
    archive_p = c.c_void_p
    signatures = {
        "darvex_open": (c.c_int, [c.c_char_p, c.POINTER(archive_p)]),
        "darvex_close": (None, [archive_p]),
        "darvex_entry_count": (c.c_uint32, [archive_p]),
        "darvex_entry_at": (c.c_int, [archive_p, c.c_uint32, c.POINTER(_Entry)]),
        "darvex_find": (c.c_int, [archive_p, c.c_char_p, c.POINTER(c.c_uint32)]),
        "darvex_read": (c.c_int, [archive_p, c.c_uint32, c.c_void_p, c.c_size_t, c.POINTER(c.c_size_t)]),
        "darvex_extract": (c.c_int, [archive_p, c.c_char_p, c.POINTER(_ExtractOptions)]),
        "darvex_create": (c.c_int, [c.c_char_p, c.c_char_p, c.c_char_p, c.POINTER(_CreateOptions)]),
        "darvex_extract_options_init": (None, [c.POINTER(_ExtractOptions)]),
        "darvex_create_options_init": (None, [c.POINTER(_CreateOptions)]),
        "darvex_last_error": (c.c_char_p, []),
        "darvex_version": (c.c_char_p, []),
    }
    for name, (result, arguments) in signatures.items():
        function = getattr(library, name)
        function.restype = result
        function.argtypes = arguments
    return library


_lib = _declare(_load_library())


def version():
    """The library's version, such as "0.9"."""
    return _lib.darvex_version().decode()


def _check(status):
    """Raises the Error that `status` and the thread's last error call for."""
    if status == OK:
        return
    message = (_lib.darvex_last_error() or b"").decode("utf-8", "replace")
    raise (FileError if status == IO else Error)(status, message)


def _path(path):
    return os.fsencode(path)


def _patterns(patterns):
    """A NULL-terminated char* array for a list of patterns (or one pattern); None for none."""
    if patterns is None:
        return None
    if isinstance(patterns, (str, bytes)):
        patterns = [patterns]
    encoded = [p if isinstance(p, bytes) else p.encode("utf-8", "surrogateescape") for p in patterns]
    return (ctypes.c_char_p * (len(encoded) + 1))(*encoded, None)


def _progress_function(progress, text):
    """The C callback for a Python progress(done, total, name) that returns True to stop; `text`
    makes the name's stored bytes a str."""
    if progress is None:
        return _PROGRESS()

    def relay(_context, done, total, name):
        try:
            return 1 if progress(done, total, text(name)) else 0
        except BaseException:  # noqa: B902 - an exception must not cross into C: it stops the run
            return 1

    return _PROGRESS(relay)


def _code_page_name(codepage):
    """Python's codec for a code page the library names ("1252", "cp932", "utf-8")."""
    text = str(codepage).lower()
    if text in ("utf-8", "utf8", "65001"):
        return "utf-8"
    return "cp" + text[2:] if text.startswith("cp") else "cp" + text


class Entry:
    """One entry of the index: its stored name (`name_bytes`, and `name` as text), its inflated
    `size`, the `offset` of its stream, its `span`, `index` (from 0), and `refusal` (None, or why
    it cannot be extracted)."""

    __slots__ = ("index", "name", "name_bytes", "size", "offset", "span", "refusal")

    def __init__(self, index, name, name_bytes, size, offset, span, refusal):
        self.index, self.name, self.name_bytes = index, name, name_bytes
        self.size, self.offset, self.span, self.refusal = size, offset, span, refusal

    def __repr__(self):
        return "darvex.Entry(%d, %r, size=%d)" % (self.index, self.name, self.size)


class Archive:
    """An archive open for reading. `codepage` names the code page of its stored names ("1252",
    "932", "utf-8"); None reads them as the system does (UTF-8 text, any other byte kept as a
    surrogate escape)."""

    def __init__(self, path, codepage=None):
        self._handle = None
        self._codepage = codepage
        self._codec = _code_page_name(codepage) if codepage is not None else None
        handle = ctypes.c_void_p()
        _check(_lib.darvex_open(_path(path), ctypes.byref(handle)))
        self._handle = handle

    def close(self):
        if self._handle:
            _lib.darvex_close(self._handle)
            self._handle = None

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    def __del__(self):
        self.close()

    def __len__(self):
        return _lib.darvex_entry_count(self._open())

    def __iter__(self):
        for index in range(len(self)):
            yield self.entry(index)

    def _open(self):
        if not self._handle:
            raise ValueError("darvex: the archive is closed")
        return self._handle

    def _text(self, stored):
        if self._codec is None:
            return stored.decode("utf-8", "surrogateescape")
        return stored.decode(self._codec, "replace")

    def _stored(self, name):
        if isinstance(name, bytes):
            return name
        if self._codec is None:
            return name.encode("utf-8", "surrogateescape")
        return name.encode(self._codec)

    def entry(self, index):
        """Entry `index`, counted from 0."""
        found = _Entry()
        _check(_lib.darvex_entry_at(self._open(), index, ctypes.byref(found)))
        stored = ctypes.string_at(found.name, found.name_length)
        refusal = found.refusal.decode("utf-8", "replace") if found.refusal is not None else None
        return Entry(index, self._text(stored), stored, found.size, found.offset, found.span, refusal)

    def find(self, name):
        """The index of the last entry named `name` (str or bytes; '/' and '\\' alike)."""
        index = ctypes.c_uint32()
        _check(_lib.darvex_find(self._open(), self._stored(name), ctypes.byref(index)))
        return index.value

    def read(self, name_or_index):
        """The inflated bytes of an entry, by name or index. A damaged entry raises Error with
        status DAMAGED and `data`, the bytes that inflated."""
        index = name_or_index if isinstance(name_or_index, int) else self.find(name_or_index)
        size = self.entry(index).size
        buffer = ctypes.create_string_buffer(max(size, 1))
        produced = ctypes.c_size_t()
        status = _lib.darvex_read(self._open(), index, buffer, size, ctypes.byref(produced))
        data = buffer.raw[: produced.value]
        try:
            _check(status)
        except Error as failure:
            failure.data = data
            raise
        return data

    def extract(self, directory, include=None, exclude=None, jobs=0, no_overwrite=False, no_table=False,
                strip_components=0, progress=None):
        """Extracts the selected entries into `directory`, as the tool does. Entries that fail do
        not stop the rest; the first failure is raised once the others are written. `progress`,
        when given, is called as progress(done, total, name) after each entry; True stops."""
        options = _ExtractOptions()
        _lib.darvex_extract_options_init(ctypes.byref(options))
        included, excluded = _patterns(include), _patterns(exclude)
        options.jobs = jobs
        options.include = ctypes.cast(included, ctypes.POINTER(ctypes.c_char_p)) if included else None
        options.exclude = ctypes.cast(excluded, ctypes.POINTER(ctypes.c_char_p)) if excluded else None
        options.no_overwrite = int(bool(no_overwrite))
        options.no_table = int(bool(no_table))
        options.strip_components = strip_components
        options.codepage = str(self._codepage).encode() if self._codepage is not None else None
        callback = _progress_function(progress, self._text)
        options.progress = callback
        _check(_lib.darvex_extract(self._open(), _path(directory), ctypes.byref(options)))


def create(new_path, directory, like=None, level=6, sync=False, exclude=None, jobs=0, codepage=None, progress=None):
    """Makes the archive `new_path` from the folder `directory`, keeping the bytes of `like` (an
    archive) wherever no changed file replaces them, as `DarvEx -c new_path --like like directory`
    does. A record kept with damaged stored bytes raises Error with status DAMAGED once the archive
    is made."""
    options = _CreateOptions()
    _lib.darvex_create_options_init(ctypes.byref(options))
    excluded = _patterns(exclude)
    options.jobs = jobs
    options.exclude = ctypes.cast(excluded, ctypes.POINTER(ctypes.c_char_p)) if excluded else None
    options.level = level
    options.sync = int(bool(sync))
    options.codepage = str(codepage).encode() if codepage is not None else None
    codec = _code_page_name(codepage) if codepage is not None else "utf-8"
    callback = _progress_function(progress, lambda stored: stored.decode(codec, "surrogateescape"))
    options.progress = callback
    like_path = _path(like) if like is not None else None
    _check(_lib.darvex_create(_path(new_path), _path(directory), like_path, ctypes.byref(options)))
