#!/usr/bin/env python3
"""Runs the command blocks of README.md and docs/*.md and compares what they print with what
each document shows, so that a document cannot go stale unnoticed.

A fenced block is one of:
  - a transcript: `$ ` (sh) or `> ` (bat, cmd) starts a command, the lines under it are what it
    prints (stdout and stderr), `...` standing for any number of lines. A command that fails must
    show what it prints;
  - a script: a sh, bat or cmd block without prompts, every line of it a command that must
    succeed (`#` and `rem` lines are comments);
  - marked by the HTML comment right above it:
      <!-- check: illustrative: WHY -->     not run, and says why
      <!-- check: excerpt of PATH -->       its lines, in order, are lines of that file
      <!-- check: excerpt of the demo's log -->
                                            its lines are lines of the demo setup's log
      <!-- check: output of COMMAND -->     what COMMAND prints, whole.
A block that is none of these fails the check.

--mode host runs what needs no Windows, each document in a folder of its own: sh blocks (up to a
document's first Windows block) and excerpts of files. --mode windows runs, inside a Wine session
(scripts/wine-session.sh), the bat and cmd blocks in Wine's cmd and the sh blocks after them, and
the excerpts of the demo's log. It reads the documents as support would, one after the other in
one folder that holds the demo's log as instdll.log, on a prefix holding the demo's registry (in
both registry views, as the 32-bit and the 64-bit DLL see it) with the demo setup as
D:\\setup.exe and instdll-inspect.exe on the path. Timestamps and process ids are normalised.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
from dataclasses import dataclass, field

MARKER = re.compile(r"^\s*<!--\s*check:\s*(.*?)\s*-->\s*$")
FENCE = re.compile(r"^(\s*)```(\S*)")
PROMPTS = {"sh": "$ ", "bat": "> ", "cmd": "> "}
WINDOWS_LANGS = {"bat", "cmd"}
ELISION = "..."
# Each command's end in a Windows block's output, with its status.
END_OF_COMMAND = "::check-documents:: status "
COMMAND_TIMEOUT_S = 300


@dataclass
class Block:
    document: str
    line: int
    lang: str
    marker: str | None
    lines: list[str] = field(default_factory=list)

    def where(self):
        return f"{self.document}:{self.line}"


@dataclass
class Command:
    text: str
    expected: list[str] | None  # None: a script's line, checked by its status only


class Failure(Exception):
    pass


def documents(root):
    names = ["README.md"] + sorted(
        os.path.join("docs", name) for name in os.listdir(os.path.join(root, "docs"))
        if name.endswith(".md"))
    return names


def blocks_of(root, document):
    with open(os.path.join(root, document), encoding="utf-8") as text:
        lines = text.read().split("\n")
    blocks, current, indent, previous = [], None, "", ""
    for number, line in enumerate(lines, 1):
        if current is None:
            fence = FENCE.match(line)
            if fence:
                marker = MARKER.match(previous)
                indent = fence.group(1)
                current = Block(document, number, fence.group(2), marker and marker.group(1))
            elif line.strip():
                previous = line
            continue
        if line.strip().startswith("```"):
            blocks.append(current)
            current, previous = None, ""
            continue
        current.lines.append(line[len(indent):] if line.startswith(indent) else line.lstrip())
    if current is not None:
        raise Failure(f"{current.where()}: the block is not closed")
    return blocks


def commands_of(block):
    prompt = PROMPTS[block.lang]
    if not any(line.startswith(prompt) for line in block.lines):
        comment = "#" if block.lang == "sh" else "rem "
        return [Command(line.strip(), None) for line in block.lines
                if line.strip() and not line.strip().lower().startswith(comment)]
    if not block.lines[0].startswith(prompt):
        raise Failure(f"{block.where()}: a transcript starts with a command ({prompt!r})")
    commands = []
    for line in block.lines:
        if line.startswith(prompt):
            commands.append(Command(line[len(prompt):], []))
        else:
            commands[-1].expected.append(line)
    return commands


def normalised(line):
    # A byte order mark prints as nothing.
    line = line.rstrip().lstrip("\ufeff")
    line = re.sub(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}", "<time>", line)
    line = re.sub(r"\[\d+\]", "[<pid>]", line)
    return re.sub(r"\bprocess \d+", "process <pid>", line)


def matches(expected, actual, anchored=True):
    """Whether the actual lines are the expected ones, each `...` standing for any number of
    lines; not anchored, the expected lines may start and end anywhere."""
    segments, segment = [], []
    for line in expected:
        if line.strip() == ELISION:
            segments.append(segment)
            segment = []
        else:
            segment.append(line)
    segments.append(segment)
    if not anchored:
        segments = [[]] + segments + [[]]
    if len(segments) == 1:
        return segments[0] == actual
    first, last, middle = segments[0], segments[-1], segments[1:-1]
    if actual[:len(first)] != first:
        return False
    position, end = len(first), len(actual) - len(last)
    if end < position or actual[end:] != last:
        return False
    for segment in middle:
        found = next((at for at in range(position, end - len(segment) + 1)
                      if actual[at:at + len(segment)] == segment), None)
        if found is None:
            return False
        position = found + len(segment)
    return True


def compare(block, what, expected, actual, anchored=True, strip=normalised, show=True):
    expected = [strip(line) for line in expected]
    actual = [strip(line) for line in actual]
    for lines in (expected, actual):
        while lines and not lines[-1]:
            lines.pop()
    if not anchored:
        expected = [line for line in expected if line]
        actual = [line for line in actual if line]
    if matches(expected, actual, anchored):
        return
    shown = "\n".join("    " + line for line in actual) if show else "    (not shown)"
    if not anchored:
        raise Failure(f"{block.where()}: the block's lines are not, in this order, lines of "
                      f"{what}:\n{shown}")
    raise Failure(f"{block.where()}: {what} printed otherwise than the document shows:\n{shown}")


def check_command(block, command, status, output):
    # Only a command whose document shows what it prints may fail.
    shown = command.expected and any(line.strip() != ELISION for line in command.expected)
    if not shown:
        if status != 0:
            raise Failure(f"{block.where()}: `{command.text}` failed with status {status}:\n"
                          + "\n".join("    " + line for line in output))
        if command.expected is None:
            return
    compare(block, f"`{command.text}`", command.expected, output)


class Runner:
    def __init__(self, arguments):
        self.arguments = arguments
        self.root = os.path.realpath(arguments.root)
        self.scratch = tempfile.mkdtemp(prefix="instdll-documents.")
        self.env = dict(os.environ)
        self.env["PATH"] = os.path.realpath(arguments.host_bin) + os.pathsep + self.env["PATH"]
        self.work = None
        self.demo_log = None

    def new_folder(self, name):
        self.work = os.path.join(self.scratch, name.replace("/", "_"))
        os.mkdir(self.work)
        # Documents name the samples as the source tree does.
        os.symlink(os.path.join(self.root, "examples"), os.path.join(self.work, "examples"))

    def run_host(self, block, command):
        done = subprocess.run(["bash", "-c", command.text], cwd=self.work, env=self.env,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=COMMAND_TIMEOUT_S)
        output = done.stdout.decode("utf-8", "replace").replace("\r", "").split("\n")
        check_command(block, command, done.returncode, output)

    def check_file_excerpt(self, block, path):
        with open(os.path.join(self.root, path), encoding="utf-8") as text:
            lines = text.read().split("\n")
        compare(block, path, block.lines, lines, anchored=False, strip=str.strip, show=False)

    def check_output_of(self, block, command):
        self.run_host(block, Command(command, block.lines))

    # Windows: each in the one Wine session around this program.
    def wine(self, *arguments, **options):
        return subprocess.run([os.environ["WINE"], *arguments], env=options.pop("env", self.env),
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=COMMAND_TIMEOUT_S, **options)

    def prepare_wine(self):
        # The demo setup stands for the customer's setup: D:\setup.exe.
        drive = os.path.join(self.scratch, "drive-d")
        os.mkdir(drive)
        shutil.copy(self.arguments.setup, os.path.join(drive, "setup.exe"))
        device = os.path.join(os.environ["WINEPREFIX"], "dosdevices", "d:")
        if os.path.lexists(device):
            os.remove(device)
        os.symlink(drive, device)
        self.env["WINEPATH"] = windows_path(self.arguments.windows_bin)
        # The session's code page, the customers', but `reg` and `cmd` speak English, as the
        # documents show them (Wine takes its language from LC_MESSAGES).
        self.windows_env = dict(self.env, LANG=self.env.get("LC_ALL", "C.UTF-8"),
                                LC_MESSAGES="en_US.UTF-8")
        self.windows_env.pop("LC_ALL", None)
        self.fresh_registry()
        self.new_folder("documents")
        log = os.path.join(self.work, "instdll.log")
        done = self.wine("D:\\setup.exe", env=dict(self.env, INSTDLL_LOG=windows_path(log)))
        if done.returncode != 0 or not os.path.exists(log):
            raise Failure(f"the demo setup wrote no log: {done.stdout.decode(errors='replace')}")
        with open(log, encoding="utf-8", errors="replace") as text:
            self.demo_log = text.read().replace("\r", "").split("\n")
        self.fresh_registry()

    def fresh_registry(self):
        """The demo's registry as the sample holds it, in both views."""
        script = ('. "$1/examples/family-registry.sh" && remove_family_registry && '
                  "remove_family_registry 'HKLM\\SOFTWARE\\WOW6432Node' && "
                  'sample=$(windows_path "$1/examples/sample-registry.reg") && '
                  '"$WINE" reg import "$sample" /reg:64 && "$WINE" reg import "$sample" /reg:32')
        done = subprocess.run(["bash", "-c", script, "fresh", self.root], env=self.env,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if done.returncode != 0:
            raise Failure("the demo's registry could not be set up: "
                          + done.stdout.decode(errors="replace"))

    def run_windows(self, block, commands):
        script = ["@echo off", f'cd /d "{windows_path(self.work)}"']
        for command in commands:
            script += [command.text, f"echo {END_OF_COMMAND}%errorlevel%"]
        batch = os.path.join(self.work, f"block-{block.line}.bat")
        with open(batch, "w", encoding="ascii", newline="\r\n") as text:
            text.write("\n".join(script) + "\n")
        done = self.wine("cmd", "/c", windows_path(batch), env=self.windows_env)
        output = done.stdout.decode("utf-8", "replace").replace("\r", "").split("\n")
        for command in commands:
            if not any(line.startswith(END_OF_COMMAND) for line in output):
                raise Failure(f"{block.where()}: cmd stopped before `{command.text}`:\n"
                              + "\n".join("    " + line for line in output))
            end = next(at for at, line in enumerate(output) if line.startswith(END_OF_COMMAND))
            status = int(output[end][len(END_OF_COMMAND):] or 0)
            check_command(block, command, status, output[:end])
            output = output[end + 1:]

    def check(self, block, windows_seen):
        mode, marker = self.arguments.mode, block.marker
        if marker is not None:
            if marker.startswith("illustrative:") and marker[len("illustrative:"):].strip():
                return "illustrative"
            if marker == "excerpt of the demo's log":
                if mode == "windows":
                    compare(block, "the demo's log", block.lines, self.demo_log, anchored=False)
                return mode == "windows"
            if marker.startswith("excerpt of "):
                if mode == "host":
                    self.check_file_excerpt(block, marker[len("excerpt of "):])
                return mode == "host"
            if marker.startswith("output of "):
                if mode == "host":
                    self.check_output_of(block, marker[len("output of "):])
                return mode == "host"
            raise Failure(f"{block.where()}: unknown marker `{marker}`")
        if block.lang not in PROMPTS:
            raise Failure(f"{block.where()}: a block that is neither run nor marked "
                          "(<!-- check: illustrative: WHY -->)")
        commands = commands_of(block)
        if block.lang in WINDOWS_LANGS:
            if mode == "windows":
                self.run_windows(block, commands)
            return mode == "windows"
        if (mode == "host") == windows_seen:
            return False
        for command in commands:
            self.run_host(block, command)
        return True

    def run(self, names):
        windows = self.arguments.mode == "windows"
        if windows:
            self.prepare_wine()
        failures, counts = [], {True: 0, False: 0, "illustrative": 0}
        for document in names:
            if not windows:
                self.new_folder(document)
            windows_seen = False
            for block in blocks_of(self.root, document):
                try:
                    counts[self.check(block, windows_seen)] += 1
                except Failure as failure:
                    failures.append(str(failure))
                except subprocess.TimeoutExpired:
                    failures.append(f"{block.where()}: a command did not end")
                windows_seen = windows_seen or block.lang in WINDOWS_LANGS
        print(f"check-documents ({self.arguments.mode}): {counts[True]} blocks checked, "
              f"{counts['illustrative']} illustrative, {counts[False]} for the other mode")
        for failure in failures:
            print(failure, file=sys.stderr)
        return not failures


def windows_path(path):
    return "Z:" + os.path.realpath(path).replace("/", "\\")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--mode", choices=("host", "windows"), required=True)
    parser.add_argument("--root", required=True, help="the source tree")
    parser.add_argument("--host-bin", required=True, help="where the host's instdll-inspect is")
    parser.add_argument("--windows-bin", help="where instdll-inspect.exe is (windows mode)")
    parser.add_argument("--setup", help="the demo setup, silent (windows mode)")
    parser.add_argument("documents", nargs="*", help="default: README.md and docs/*.md")
    arguments = parser.parse_args()
    if arguments.mode == "windows" and not (arguments.windows_bin and arguments.setup):
        parser.error("--mode windows needs --windows-bin and --setup")
    runner = Runner(arguments)
    try:
        ok = runner.run(arguments.documents or documents(runner.root))
    except Failure as failure:
        print(failure, file=sys.stderr)
        ok = False
    finally:
        shutil.rmtree(runner.scratch, ignore_errors=True)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
