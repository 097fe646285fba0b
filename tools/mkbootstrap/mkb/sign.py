"""Authenticode signing with osslsigncode.

Signing adds to the executable, and changes nothing else: the certificate
table is appended at the end of the file (after padding the file to a
multiple of 8 bytes), the optional header's security directory entry points
to it, and the PE checksum is set. Every other byte is the unsigned build's.

The signature holds a signing time. Give --signing-time (or set
SOURCE_DATE_EPOCH) and two signings of the same executable with the same
key give the same bytes; otherwise the time of signing goes in.
"""

import os
import shutil
import struct
import subprocess

from .errors import Failure

DIGEST = "sha256"


class Signer:
    def __init__(self, cert, password_file, signing_time=None):
        self.cert = cert
        self.password_file = password_file
        if signing_time is None and os.environ.get("SOURCE_DATE_EPOCH"):
            signing_time = os.environ["SOURCE_DATE_EPOCH"]
        if signing_time is not None:
            try:
                signing_time = int(signing_time)
            except ValueError:
                raise Failure(f"the signing time must be seconds since 1970, "
                              f"not {signing_time!r}") from None
            if signing_time < 0:
                raise Failure("the signing time must not be negative")
        self.signing_time = signing_time

    def check(self):
        """Before anything is built: the tool is there and both files can be
        read."""
        if not self.password_file:
            raise Failure("--sign needs --password-file FILE (the certificate's password)")
        if not shutil.which("osslsigncode"):
            raise Failure("osslsigncode not found; install it (scripts/install-deps.sh)")
        for what, path in (("certificate", self.cert), ("password file", self.password_file)):
            if not os.path.isfile(path):
                raise Failure(f"the {what} {path} is not a file")
            try:
                with open(path, "rb") as f:
                    f.read(1)
            except OSError as e:
                raise Failure(f"cannot read the {what} {path}: {e.strerror}") from None

    def sign(self, source, target):
        cmd = ["osslsigncode", "sign", "-pkcs12", self.cert, "-readpass", self.password_file,
               "-h", DIGEST]
        if self.signing_time is not None:
            cmd += ["-time", str(self.signing_time)]
        cmd += ["-in", source, "-out", target]
        r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if r.returncode != 0 or not os.path.isfile(target):
            detail = r.stdout.decode(errors="replace").strip()
            raise Failure(f"signing with {self.cert} failed:\n{detail}")

    def describe(self):
        when = ("the time of signing" if self.signing_time is None
                else f"signing time {self.signing_time}")
        return f"{self.cert} ({DIGEST}, {when})"


def security_directory(data):
    """(offset of the optional header's security directory entry, file
    offset of the certificate table, its size, offset of the checksum)."""
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    opt = pe + 24
    (magic,) = struct.unpack_from("<H", data, opt)
    dirs = opt + (96 if magic == 0x10B else 112)
    entry = dirs + 4 * 8  # entry 4: the certificate table
    offset, size = struct.unpack_from("<II", data, entry)
    return entry, offset, size, opt + 64


def unsigned_part(data):
    """The bytes a signature leaves alone: the file before its certificate
    table (less the padding added for it), with the checksum and the
    security directory entry zeroed."""
    entry, offset, size, checksum = security_directory(data)
    out = bytearray(data[:offset] if size else data)
    struct.pack_into("<I", out, checksum, 0)
    struct.pack_into("<II", out, entry, 0, 0)
    return bytes(out)


def differs_beyond_signature(unsigned, signed):
    """None when signed is unsigned plus a signature and nothing else, else
    a text that says what else differs."""
    _, offset, size, _ = security_directory(signed)
    if not size:
        return "the signed file holds no certificate table"
    if offset + size != len(signed):
        return "the certificate table is not at the end of the signed file"
    u = unsigned_part(unsigned)
    s = unsigned_part(signed)
    if s[:len(u)] != u:
        at = next(i for i in range(min(len(u), len(s))) if u[i] != s[i]) \
            if len(s) >= len(u) else len(s)
        return f"the signed file differs from the unsigned one at byte {at}"
    pad = s[len(u):]
    if len(pad) >= 8 or any(pad):
        return f"{len(pad)} bytes other than alignment padding precede the certificate table"
    return None
