"""The benchmarks' mailbox: a private Dovecot seeded with numbered messages,
and a Postwatch profile with one account on it.

Imported by tools/bench-check, tools/bench-recheck and tools/bench-imap.
"""
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

TOOLS = pathlib.Path(__file__).resolve().parent
SERVER = TOOLS / "pop3-server"
USER, PASSWORD = "bench", "bench-password"
PRIORITIES = ["1 (Highest)", "3 (Normal)", "5 (Lowest)", None]


def programs(script, build=None):
    """The built postwatch and postwatch-profile, or the script exits saying what to build."""
    build = pathlib.Path(build or TOOLS.parent / "build")
    found = build / "app" / "postwatch", build / "tools" / "postwatch-profile"
    for program in found:
        if not program.exists():
            sys.exit(f"{script}: build {program} first (cmake --build {build} --target postwatch postwatch-profile)")
    return found


def message(n):
    priority = PRIORITIES[n % len(PRIORITIES)]
    lines = [
        f"Message-ID: <bench-{n}@bench.example>",
        f"Date: Mon, 8 Dec 2025 {n // 60 % 24:02d}:{n % 60:02d}:00 +0100",
        f"From: Sender {n} <sender{n}@bench.example>",
        "To: Bench <bench@example.org>",
        f"Subject: Benchmark message {n}",
        *([f"X-Priority: {priority}"] if priority else []),
        "MIME-Version: 1.0",
        "Content-Type: text/plain; charset=us-ascii",
        "",
        *(f"Line {i} of the body of message {n}." for i in range(20)),
    ]
    return "\n".join(lines) + "\n"


class BenchMailbox:
    """A work folder under /tmp holding a started server with `count` messages
    for USER and, for each of `extra_users` (name: count), that many of the
    same messages; leaving the `with` block stops the server and removes the
    folder. An extra user's password is password_of(name)."""

    def __init__(self, count, prefix, extra_users=None):
        self.count = count
        self.extra_users = extra_users or {}
        self.work = pathlib.Path(tempfile.mkdtemp(prefix=prefix, dir="/tmp"))
        # The server runs as its own user when we are root and must reach its folder.
        os.chmod(self.work, 0o711)
        self.server_dir = self.work / "server"
        self.port = None

    def __enter__(self):
        try:
            self.port = self._seed(self.work / "staging")
        except BaseException:
            self.__exit__()
            raise
        return self

    def __exit__(self, *_):
        subprocess.run([SERVER, "stop", self.server_dir])
        shutil.rmtree(self.work, ignore_errors=True)

    def _seed(self, staging):
        staging.mkdir()
        files = []
        for n in range(1, self.count + 1):
            path = staging / f"{n:04d}.eml"
            path.write_text(message(n))
            files.append(str(path))
        subprocess.run([SERVER, "add-user", self.server_dir, USER, PASSWORD], check=True)
        subprocess.run([SERVER, "deliver", self.server_dir, USER, *files], check=True)
        for name, count in self.extra_users.items():
            subprocess.run([SERVER, "add-user", self.server_dir, name, password_of(name)], check=True)
            if count:
                subprocess.run([SERVER, "deliver", self.server_dir, name, *files[:count]], check=True)
        started = subprocess.run([SERVER, "start", self.server_dir], check=True, capture_output=True, text=True)
        return int(started.stdout)

    def imap_port(self):
        found = subprocess.run([SERVER, "imap-port", self.server_dir], check=True, capture_output=True, text=True)
        return int(found.stdout)

    def write_profile(self, tool, name, port):
        """A profile folder with one account on 127.0.0.1:port; returns the environment that selects it."""
        profile = self.work / name
        profile.mkdir(mode=0o700)
        env = {**os.environ, "POSTWATCH_PROFILE": str(profile)}
        subprocess.run([tool, "add-account", "Bench", "127.0.0.1", str(port), USER], input=PASSWORD + "\n",
                       text=True, env=env, check=True)
        subprocess.run([tool, "set-integer", "ConnType", "0"], env=env, check=True)
        return env


def password_of(user):
    return f"{user}-password"


def listed_rows(stdout):
    """The message rows of `postwatch --check` output."""
    return [line for line in stdout.splitlines() if line.count("\t") == 6]
