"""The Python module over the library: archives written here with zlib (one entry damaged in its
checksum), opened, listed, read, extracted, changed and made again with `like`."""

import os
import struct
import threading
import zlib

import pytest

import darvex

ENTRIES = [
    ("readme.txt", b"Read me first.\n", False),
    ("data\\level1.xml", b'<level id="1"/>\n' * 2000, False),
    ("data\\broken.bin", b"broken but whole " * 500, True),
    ("empty.cfg", b"", False),
    ("music\\thème.ogg", b"OggS tune " * 3000, False),
]
DAMAGED = 2


def write_archive(path, entries):
    """The 12-byte header, each entry's zlib stream (its checksum flipped when damaged), the index."""
    data, records, offset = b"", b"", 12
    for name, content, damaged in entries:
        stream = bytearray(zlib.compress(content, 6))
        if damaged:
            stream[-1] ^= 0x5A
        stored = name.encode("utf-8")
        records += bytes([len(stored)]) + stored + struct.pack(">II", offset, len(content)) + bytes(17)
        data += stream
        offset += len(stream)
    index = bytes(6) + struct.pack(">I", len(entries)) + bytes(16) + records
    with open(path, "wb") as out:
        out.write(bytes(8) + struct.pack(">I", offset) + data + zlib.compress(index))


@pytest.fixture
def archive_path(tmp_path):
    path = tmp_path / "test.dat"
    write_archive(path, ENTRIES)
    return path


def test_entries_and_their_fields(archive_path):
    with darvex.Archive(archive_path) as archive:
        assert len(archive) == len(ENTRIES)
        entries = list(archive)
    assert [e.name for e in entries] == [name for name, _, _ in ENTRIES]
    assert entries[4].name_bytes == b"music\\th\xc3\xa8me.ogg"
    assert [e.size for e in entries] == [len(content) for _, content, _ in ENTRIES]
    assert all(e.refusal is None and e.span > 0 and e.offset >= 12 for e in entries)


@pytest.mark.parametrize(
    "name, index",
    [("readme.txt", 0), ("data\\level1.xml", 1), ("data/level1.xml", 1), (b"data\\broken.bin", 2), ("music/thème.ogg", 4)],
)
def test_find(archive_path, name, index):
    with darvex.Archive(archive_path) as archive:
        assert archive.find(name) == index


@pytest.mark.parametrize("name", ["missing.txt", "readme.tx", ""])
def test_a_missing_name_is_not_found(archive_path, name):
    with darvex.Archive(archive_path) as archive, pytest.raises(darvex.Error) as raised:
        archive.read(name)
    assert raised.value.status == darvex.NOT_FOUND
    assert "no entry is named" in str(raised.value)


def test_read_whole_and_damaged(archive_path):
    with darvex.Archive(archive_path) as archive:
        for index, (name, content, damaged) in enumerate(ENTRIES):
            if damaged:
                with pytest.raises(darvex.Error) as raised:
                    archive.read(name)
                assert raised.value.status == darvex.DAMAGED
                assert raised.value.data == content  # the checksum comes after every byte
                assert "broken.bin" in str(raised.value)
            else:
                assert archive.read(name) == content
                assert archive.read(index) == content


def test_reads_from_several_threads(archive_path):
    wrong = []
    with darvex.Archive(archive_path) as archive:

        def read_all():
            for _ in range(10):
                for index, (_, content, damaged) in enumerate(ENTRIES):
                    if not damaged and archive.read(index) != content:
                        wrong.append(index)

        threads = [threading.Thread(target=read_all) for _ in range(4)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    assert wrong == []


@pytest.mark.parametrize(
    "options, status, written",
    [
        ({}, darvex.DAMAGED, [0, 1, 3, 4]),
        ({"jobs": 4}, darvex.DAMAGED, [0, 1, 3, 4]),
        ({"include": ["*.xml"]}, None, [1]),
        ({"include": "*.xml", "exclude": ["data*"]}, None, []),
        ({"exclude": ["*broken*"], "strip_components": 0}, None, [0, 1, 3, 4]),
        ({"include": ["nothing*"]}, darvex.NOT_FOUND, []),
    ],
)
def test_extract(archive_path, tmp_path, options, status, written):
    out = tmp_path / "out"
    with darvex.Archive(archive_path) as archive:
        if status is None:
            archive.extract(out, **options)
        else:
            with pytest.raises(darvex.Error) as raised:
                archive.extract(out, **options)
            assert raised.value.status == status
    for index, (name, content, damaged) in enumerate(ENTRIES):
        path = out.joinpath(*name.split("\\"))
        if index in written:
            assert path.read_bytes() == content
        elif not damaged:
            assert not path.exists()
    assert (out / "table.bin").stat().st_size == 524288


def test_a_progress_callback_stops_the_run(archive_path, tmp_path):
    seen = []

    def progress(done, total, name):
        seen.append((done, total, name))
        return done == 2

    with darvex.Archive(archive_path) as archive, pytest.raises(darvex.Error) as raised:
        archive.extract(tmp_path / "out", jobs=1, progress=progress)
    assert raised.value.status == darvex.STOPPED
    assert seen == [(1, 5, "readme.txt"), (2, 5, "data\\level1.xml")]


def test_create_like_after_a_change_reads_the_change_back(tmp_path):
    original = tmp_path / "clean.dat"
    clean = [entry for entry in ENTRIES if not entry[2]]
    write_archive(original, clean)
    folder, made = tmp_path / "clean", tmp_path / "new.dat"
    with darvex.Archive(original) as archive:
        archive.extract(folder)
    (folder / "readme.txt").write_bytes(b"Read me second: changed.\n")
    darvex.create(made, folder, like=original, level=9, sync=True)
    with darvex.Archive(made) as archive:
        assert archive.read("readme.txt") == b"Read me second: changed.\n"
        assert [e.name for e in archive] == [name for name, _, _ in clean]
        for name, content, _ in clean[1:]:
            assert archive.read(name) == content


@pytest.mark.parametrize(
    "make, error, status",
    [
        (lambda tmp: darvex.Archive(tmp / "missing.dat"), darvex.FileError, darvex.IO),
        (lambda tmp: darvex.create(tmp / "n.dat", tmp / "no-folder"), darvex.FileError, darvex.IO),
        (lambda tmp: darvex.create(tmp / "n.dat", tmp, level=99), darvex.Error, darvex.ARGUMENT),
    ],
)
def test_failures_raise_with_the_library_message(tmp_path, make, error, status):
    with pytest.raises(error) as raised:
        make(tmp_path)
    assert raised.value.status == status
    assert str(raised.value)
    assert isinstance(raised.value, OSError) == (status == darvex.IO)


def test_not_an_archive(tmp_path):
    path = tmp_path / "text.dat"
    path.write_text("just some words, no archive at all\n")
    with pytest.raises(darvex.Error) as raised:
        darvex.Archive(path)
    assert raised.value.status == darvex.FORMAT


def test_version():
    assert darvex.version()[0].isdigit()


def test_the_library_is_named_by_darvex_library():
    assert os.environ.get("DARVEX_LIBRARY") is None or darvex._lib._name == os.environ["DARVEX_LIBRARY"]
