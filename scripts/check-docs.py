#!/usr/bin/env python3
"""Runs every command of README.md and of the manual page's EXAMPLES, on audio made here, and
checks what the text says of each: its exit status, the files it writes and the lines it prints,
and its effect on the audio, measured with sox's stats and a few lines of code below, never with
the program's own numbers. Then measures the figures the documentation quotes and checks that it
quotes them as measured.

    check-docs.py [--windows program.exe]    (the Windows examples, under Wine, with that program)

Commands of the README are the lines of its ```sh blocks (a line ending in a backslash goes on);
those of the manual page the lines between .RS and .RE in EXAMPLES. Each must have a check below,
or be one of the project's scripts that CI runs, or be listed with the reason it is not run.
"""

import array
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import wave

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "build", "docs")
RELEASE = os.path.join(ROOT, "build", "release")
failures = []


def fail(message):
    failures.append(message)
    print("FAILED: " + message)


def run(command, folder, shell=True):
    """Runs a command as a user types it; its status and what it printed."""
    done = subprocess.run(command, cwd=folder, shell=shell, executable="/bin/bash" if shell else None,
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return done.returncode, done.stdout.decode("utf-8", "replace")


def sox(folder, *arguments):
    status, out = run(["sox", "-D", "-R", *arguments], folder, shell=False)
    if status != 0:
        raise RuntimeError("sox " + " ".join(arguments) + ": " + out)


# ---- the audio of the examples ----------------------------------------------------------------

def make_material(folder, kind, peak):
    """song.wav: ten seconds of kind peaking at peak dBFS, then ten seconds 20 dB quieter."""
    run([os.path.join(RELEASE, "velmora-sample"), "20", "raw.wav", kind], folder, shell=False)
    sox(folder, "raw.wav", "loud.wav", "trim", "0", "10", "gain", "-n", str(peak))
    sox(folder, "raw.wav", "soft.wav", "trim", "10", "10", "gain", "-n", str(peak - 20))
    sox(folder, "loud.wav", "soft.wav", "song.wav")
    for name in ("raw.wav", "loud.wav", "soft.wav"):
        os.remove(os.path.join(folder, name))


def fresh_folder(name):
    folder = os.path.join(WORK, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


# ---- measures --------------------------------------------------------------------------------

def samples_of(path):
    """The samples of an 8- or 16-bit file as they stand; of a deeper one, as sox converts them to
    16 bits without dither (full scale and the +-30000 clamp stay where they were)."""
    try:
        with wave.open(path) as w:
            if w.getsampwidth() <= 2:
                data = w.readframes(w.getnframes())
                return array.array("h", data) if w.getsampwidth() == 2 else array.array("B", data), w.getsampwidth()
    except wave.Error:
        pass
    done = subprocess.run(["sox", "-D", "-R", path, "-t", "s16", "-"], stdout=subprocess.PIPE, check=True)
    return array.array("h", done.stdout), 2


def clipped(path):
    """Percent of the samples at full scale or at the +-30000 clamp of -T."""
    values, width = samples_of(path)
    stuck = (0, 255) if width == 1 else (-32768, 32767, -30000, 30000)
    return 100.0 * sum(1 for v in values if v in stuck) / max(len(values), 1)


def stats(folder, path, *effects):
    status, out = run(["sox", path, "-n", *effects, "stats"], folder, shell=False)
    return {line[:13].strip(): line[13:].split() for line in out.splitlines() if len(line) > 13}


def rms_db(folder, path, *effects):
    return float(stats(folder, path, *effects)["RMS lev dB"][0])


def peak_db(folder, path):
    return float(stats(folder, path)["Pk lev dB"][0])


def gap(folder, path):
    """How far apart the loud first ten seconds and the quiet last ten are, in dB of RMS level."""
    return rms_db(folder, path, "trim", "0", "10") - rms_db(folder, path, "trim", "10", "10")


def low_band(folder, path):
    """RMS level below 200 Hz."""
    return rms_db(folder, path, "sinc", "-200")


def sample_count(folder, path):
    values, _ = samples_of(os.path.join(folder, path))
    return len(values)


# ---- checks of single examples ----------------------------------------------------------------

MATERIALS = [("dense", "music"), ("music", "music"), ("speech", "speech")]


def expect(condition, what):
    if not condition:
        fail(what)


def expect_run(command, folder, status=0, printed=()):
    got, out = run(command, folder)
    expect(got == status, f"{command}: status {got}, not {status}\n{out[-600:]}")
    for text in printed:
        expect(text in out, f"{command}: does not print {text!r}\n{out[-600:]}")
    return out


def compresses(output):
    """A compression example on each material peaking at -1 dBFS: the gap between the loud and
    the quiet passage narrows, and at most 0.1% of the samples clip."""
    def check(command):
        for kind, _ in MATERIALS:
            folder = fresh_folder("example")
            make_material(folder, kind, -1)
            expect_run(command, folder, printed=["Saved WAV File: " + output])
            before, after = gap(folder, "song.wav"), gap(folder, output)
            expect(after < before - 3, f"{command} on {kind}: the gap goes from {before:.1f} to {after:.1f} dB")
            expect(clipped(os.path.join(folder, output)) <= 0.1, f"{command} on {kind}: clips")
            expect(sample_count(folder, output) == sample_count(folder, "song.wav"), f"{command}: length")
    return check


def boosts(output, peak, compressing):
    """A bass example on each material peaking at peak dBFS: the band below 200 Hz rises and at
    most 0.1% of the samples clip (with the compressor first, the gap narrows too)."""
    def check(command):
        for kind, _ in MATERIALS:
            folder = fresh_folder("example")
            make_material(folder, kind, peak)
            os.rename(os.path.join(folder, "song.wav"), os.path.join(folder, "quiet.wav" if peak < -1 else "song.wav"))
            source = "quiet.wav" if peak < -1 else "song.wav"
            expect_run(command, folder, printed=["Boosting bass", "Saved WAV File: " + output])
            raised = low_band(folder, output) - low_band(folder, source)
            expect(raised > 1, f"{command} on {kind}: the low band changes by {raised:.1f} dB")
            expect(clipped(os.path.join(folder, output)) <= 0.1, f"{command} on {kind}: clips")
            if compressing:
                expect(gap(folder, output) < gap(folder, source) - 3, f"{command} on {kind}: the gap")
    return check


def converts_8_bit(command):
    folder = fresh_folder("example")
    sox(folder, "-n", "-b", "8", "-r", "22050", "old.wav", "synth", "2", "sine", "300", "gain", "-3")
    expect_run(command, folder, printed=["Bits Per Sample = 16", "Saved WAV File: old-compressed.wav"])
    expect(clipped(os.path.join(folder, "old-compressed.wav")) <= 0.1, f"{command}: clips")


def batch(outputs):
    def check(command):
        folder = fresh_folder("example")
        for name in ("a.wav", "b c.wav"):
            run([os.path.join(RELEASE, "velmora-sample"), "1", name], folder, shell=False)
        expect_run(command, folder)
        for name in outputs:
            path = os.path.join(folder, name)
            expect(os.path.exists(path) and sample_count(folder, name) == 88200, f"{command}: {name}")
    return check


def refused_files(command):
    """The layouts today's tools write load as they are, in their format; files of compressed
    samples are refused, and the conversion makes a file the program reads."""
    layouts = {
        "six.wav": (["-n", "-c", "6", "-b", "16", "six.wav", "synth", "1", "sine", "440"], "16"),
        "hires.wav": (["-n", "-r", "96000", "-b", "24", "hires.wav", "synth", "1", "sine", "440"], "24"),
        "float.wav": (["-n", "-e", "floating-point", "-b", "32", "float.wav", "synth", "1", "sine", "440"], "32"),
        "deep.wav": (["-n", "-t", "wavpcm", "-b", "24", "deep.wav", "synth", "1", "sine", "440"], "24"),
        "rf64.wav": (None, "16"),
        "junk.wav": (None, "16"),
    }
    for name, (arguments, bits) in layouts.items():
        folder = fresh_folder("example")
        if arguments:
            sox(folder, *arguments)
        else:
            write_odd_layout(os.path.join(folder, name))
        expect_run(f"velmora -c -b {name} < /dev/null", folder, printed=[f"Bits Per Sample = {bits}"])
    for encoding in ("mu-law", "a-law", "ima-adpcm"):
        folder = fresh_folder("example")
        sox(folder, "-n", "-e", encoding, "in.wav", "synth", "1", "sine", "440")
        expect_run("velmora in.wav < /dev/null", folder, status=255, printed=["Invalid wav fmtFormat"])
        expect_run(command, folder)
        expect_run("velmora -c fixed.wav < /dev/null", folder, printed=["Bits Per Sample = 16"])


def write_odd_layout(path):
    """An RF64 file (a 64-bit size in a ds64 chunk) or a WAV with a JUNK chunk before fmt."""
    data = struct.pack("<4h", 100, -100, 200, -200) * 4000
    fmt = struct.pack("<4sIHHIIHH", b"fmt ", 16, 1, 2, 44100, 176400, 4, 16)
    if path.endswith("rf64.wav"):
        ds64 = struct.pack("<4sIQQQI", b"ds64", 28, 72 + len(data), len(data), len(data) // 4, 0)
        body = b"WAVE" + ds64 + fmt + struct.pack("<4sI", b"data", 0xFFFFFFFF) + data
        open(path, "wb").write(b"RF64" + struct.pack("<I", 0xFFFFFFFF) + body)
    else:
        body = b"WAVE" + struct.pack("<4sI", b"JUNK", 28) + bytes(28) + fmt + struct.pack("<4sI", b"data", len(data)) + data
        open(path, "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)


def with_data_size(path, size, cut=0):
    """A copy of a WAV file whose data chunk announces size bytes, and lacks its last cut bytes."""
    data = open(path, "rb").read()
    data = data[:36] + struct.pack("<4sI", b"data", size) + data[44:len(data) - cut]
    return data[:4] + struct.pack("<I", min(size + 36, 0xFFFFFFFF)) + data[8:]


def mends_headers(command):
    """Headers written to a pipe (a data size of 0xFFFFFFFF, or 0x7FFFF000) load whole; a
    recording cut short is refused, and the mended file loads what it holds."""
    for size in (0xFFFFFFFF, 0x7FFFF000):
        folder = fresh_folder("example")
        run([os.path.join(RELEASE, "velmora-sample"), "1", "whole.wav"], folder, shell=False)
        open(os.path.join(folder, "piped.wav"), "wb").write(with_data_size(os.path.join(folder, "whole.wav"), size))
        expect_run("velmora piped.wav < /dev/null", folder, printed=["Number of Samples = 88200"])
    folder = fresh_folder("example")
    run([os.path.join(RELEASE, "velmora-sample"), "1", "whole.wav"], folder, shell=False)
    open(os.path.join(folder, "cut.wav"), "wb").write(with_data_size(os.path.join(folder, "whole.wav"), 88200 * 2, 1000))
    expect_run("velmora cut.wav < /dev/null", folder, status=255, printed=["Can't read signal data"])
    expect_run(command, folder)
    expect_run("velmora mended.wav < /dev/null", folder, printed=["Number of Samples = 87700"])


def from_a_pipe(command):
    """The stream compressed as the file it came from is, whole."""
    for kind, _ in MATERIALS:
        folder = fresh_folder("example")
        make_material(folder, kind, -1)
        expect_run(command, folder, printed=["Number of Samples = 1764000", "Saved WAV File: out.wav"])
        expect_run("velmora -c -o file.wav song.wav < /dev/null", folder)
        expect(open(os.path.join(folder, "out.wav"), "rb").read() == open(os.path.join(folder, "file.wav"), "rb").read(),
               f"{command} on {kind}: not the file's output")


def deep_master(command):
    """A 24-bit master at -1 dBFS: compressed and boosted as its 16-bit original, written in 24 bits."""
    for kind, _ in MATERIALS:
        folder = fresh_folder("example")
        make_material(folder, kind, -1)
        sox(folder, "song.wav", "-b", "24", "master.wav")
        expect_run(command, folder, printed=["Boosting bass", "Bits Per Sample = 24", "Saved WAV File: mastered.wav"])
        expect(gap(folder, "mastered.wav") < gap(folder, "master.wav") - 3, f"{command} on {kind}: the gap")
        expect(low_band(folder, "mastered.wav") > low_band(folder, "master.wav") + 1, f"{command} on {kind}: the low band")
        expect(clipped(os.path.join(folder, "mastered.wav")) <= 0.1, f"{command} on {kind}: clips")


def to_standard_output(command):
    folder = fresh_folder("example")
    make_material(folder, "dense", -1)
    expect_run(command, folder, printed=["Length s      20.000"])


def dash_name(command):
    folder = fresh_folder("example")
    make_material(folder, "dense", -1)
    os.rename(os.path.join(folder, "song.wav"), os.path.join(folder, "-song.wav"))
    expect_run("velmora -c -song.wav < /dev/null", folder, status=0, printed=["slope="])
    expect_run(command, folder, printed=["Saved WAV File: dash.wav"])


def in_the_project(status, printed):
    """A command of the project's own, run from its folder."""
    def check(command):
        expect_run(command, ROOT, status=status, printed=printed)
    return check


CHECKS = {
    "velmora -c -o compressed.wav song.wav < /dev/null": compresses("compressed.wav"),
    "velmora -t 100000 -c -o even.wav song.wav < /dev/null": compresses("even.wav"),
    "velmora -b -o bass.wav quiet.wav < /dev/null": boosts("bass.wav", -12, False),
    "velmora -C4 -b -o both.wav song.wav < /dev/null": boosts("both.wav", -1, True),
    "sox old.wav -b 16 old16.wav && velmora -c -o old-compressed.wav old16.wav < /dev/null": converts_8_bit,
    "mkdir -p processed && printf '%s\\0' *.wav | xargs -0 -P \"$(nproc)\" -I{} velmora -c -o processed/{} {}":
        batch(["processed/a.wav", "processed/b c.wav"]),
    "mkdir -p processed && parallel velmora -c -o processed/{} {} ::: *.wav < /dev/null":
        batch(["processed/a.wav", "processed/b c.wav"]),
    "parallel --sshlogin : --transferfile {} --return {.}.out.wav velmora -c -o {.}.out.wav {} ::: *.wav < /dev/null":
        batch(["a.out.wav", "b c.out.wav"]),
    "sox in.wav -b 16 fixed.wav": refused_files,
    "sox --ignore-length cut.wav mended.wav": mends_headers,
    "velmora -C4 -b -o mastered.wav master.wav < /dev/null": deep_master,
    "sox song.wav -t wav - | velmora -c -o out.wav -": from_a_pipe,
    "velmora -c -o /dev/fd/3 song.wav 3>&1 >/dev/null </dev/null | sox -t wav - -n stats 2>&1": to_standard_output,
    "velmora -c -o dash.wav ./-song.wav < /dev/null": dash_name,
    'export PATH="$PWD/build/release:$PATH"': lambda command: expect_run(command + " && velmora", ROOT, status=1,
                                                                        printed=["Usage: velmora"]),
    "cmake --preset plain && cmake --build --preset plain && ctest --preset quick": in_the_project(0, ["100% tests passed"]),
    "VELMORA_RUN_WRAPPER=\"valgrind --error-exitcode=1 -q\" build/plain/tests/velmora_tests --gtest_filter='EndToEnd.*'":
        in_the_project(0, ["[  PASSED  ]"]),
}

# Commands the docs give that this script does not run, and why.
NOT_RUN = {
    "sudo apt install ./build/release/velmora_1.0.0_amd64.deb man-db": "installs the package system-wide",
    "man velmora": "needs the package installed; scripts/package checks the page with lintian",
    "scripts/bench": "a benchmark of about seven minutes, run by maintainers",
    "scripts/mutants": "a maintainer's check of an hour or more",
    "scripts/mutants scripts/mutants-failures.list": "a maintainer's check of an hour or more",
    "scripts/fresh-check": "builds a Debian root with mmdebstrap: needs root and about twenty minutes",
    "scripts/test": "this script is part of it",
}

WINDOWS_CHECKS = {
    "cmake --preset windows && cmake --build --preset windows": "Built target velmora",
    "velmora.exe -c -o compressed.wav song.wav < NUL": "Saved WAV File: compressed.wav",
    "velmora.exe -b *.wav < NUL": "Boosting bass",
}


# ---- the commands of the documentation ---------------------------------------------------------

def readme_commands():
    text = open(os.path.join(ROOT, "README.md")).read()
    if re.search(r"^(    |\t)\S", text, re.M) and "```" not in text:
        fail("README.md: an indented block; commands go in ```sh blocks")
    commands = []
    for block in re.findall(r"^```sh\n(.*?)^```", text, re.S | re.M):
        for line in block.replace("\\\n", "").splitlines():
            if line.strip():
                commands.append(line.strip())
    return commands


def manual_commands():
    text = open(os.path.join(ROOT, "docs", "velmora.1")).read()
    examples = text.split(".SH EXAMPLES", 1)[1].split("\n.SH ", 1)[0]
    commands = []
    for block in re.findall(r"^\.RS\n(.*?)^\.RE", examples, re.S | re.M):
        for line in block.splitlines():
            commands.append(line.replace("\\-", "-").replace("\\e", "\\").strip())
    return commands


def ci_runs(command):
    ci = open(os.path.join(ROOT, ".ci", "run")).read()
    return re.fullmatch(r"scripts/[a-z-]+( \d+)?", command) is not None and command.split()[0] in ci.split()


# ---- the figures the documentation quotes -------------------------------------------------------

def roff(text):
    """Text as the manual page's source writes it: every minus sign escaped."""
    return text.replace("-", "\\-")


def figures():
    """Each figure as the text the documentation must hold, with the file that holds it."""
    quoted = []
    folder = fresh_folder("figures")
    velmora = os.path.join(RELEASE, "velmora")
    make_material(folder, "dense", -1)
    before = gap(folder, "song.wav")
    loud_in = rms_db(folder, "song.wav", "trim", "0", "10")
    soft_in = rms_db(folder, "song.wav", "trim", "10", "10")
    quoted.append(("README.md", f"{before:.1f} dB apart"))
    for name, options in (("-c", ["-c"]), ("-C1", ["-C1"]), ("-C2", ["-C2"]), ("-C3", ["-C3"]), ("-C4", ["-C4"]),
                          ("-t 100000 -c", ["-t", "100000", "-c"])):
        run([velmora, *options, "-o", "out.wav", "song.wav"], folder, shell=False)
        loud = rms_db(folder, "out.wav", "trim", "0", "10")
        soft = rms_db(folder, "out.wav", "trim", "10", "10")
        apart = f"{loud - soft:.1f} dB"
        share = f"{clipped(os.path.join(folder, 'out.wav')):.2f}%"
        quoted.append(("README.md", f"| `{name}` | {apart} | {share} |"))
        quoted.append(("docs/velmora.1", roff(f"{name}: loud {loud_in:.1f} to {loud:.1f} dB, quiet {soft_in:.1f} to "
                                              f"{soft:.1f} dB, {apart} apart, {share} of the samples clipped")))

    # Where each preset starts to invert and to clip a steady tone: the lowest level, in 1 dB steps,
    # at which the output runs against the input, or more than 0.1% of it clips.
    for name, options in (("-c", ["-c"]), ("-C1", ["-C1"]), ("-C2", ["-C2"]), ("-C3", ["-C3"]), ("-C4", ["-C4"])):
        inverts = clips = None
        for level in range(-40, 1):
            sox(folder, "-n", "-c", "2", "-r", "44100", "-b", "16", "tone.wav", "synth", "1", "sine", "1000",
                "gain", str(level))
            run([velmora, *options, "-o", "out.wav", "tone.wav"], folder, shell=False)
            into, _ = samples_of(os.path.join(folder, "tone.wav"))
            out, _ = samples_of(os.path.join(folder, "out.wav"))
            if inverts is None and sum(a * b for a, b in zip(into, out)) < 0:
                inverts = level
            if clips is None and clipped(os.path.join(folder, "out.wav")) > 0.1:
                clips = level
        quoted.append(("docs/velmora.1", roff(f"{name} inverts a steady tone from {inverts} dBFS and clips it from {clips} dBFS")))

    # The bass boost: how much the band below 200 Hz rises, and from which peak level music clips.
    make_material(folder, "dense", -12)
    run([velmora, "-b", "-o", "out.wav", "song.wav"], folder, shell=False)
    raised = low_band(folder, "out.wav") - low_band(folder, "song.wav")
    quoted.append(("README.md", f"by {raised:.1f} dB"))
    safe = None
    for peak in range(-1, -16, -1):
        make_material(folder, "dense", peak)
        run([velmora, "-b", "-o", "out.wav", "song.wav"], folder, shell=False)
        if clipped(os.path.join(folder, "out.wav")) <= 0.1:
            safe = peak
            break
    quoted.append(("README.md", f"peaks above {safe} dBFS"))
    make_material(folder, "dense", -1)
    run([velmora, "-b", "-o", "out.wav", "song.wav"], folder, shell=False)
    quoted.append(("README.md", f"{clipped(os.path.join(folder, 'out.wav')):.1f}% of the samples clip"))

    # 8-bit files: a sine through -b.
    sox(folder, "-n", "-b", "8", "-r", "22050", "old.wav", "synth", "2", "sine", "300", "gain", "-3")
    run([velmora, "-b", "-o", "out.wav", "old.wav"], folder, shell=False)
    quoted.append(("README.md", f"{clipped(os.path.join(folder, 'out.wav')):.0f}% of the output"))
    return quoted


# ---- main ---------------------------------------------------------------------------------------

def main():
    windows = sys.argv[2] if len(sys.argv) > 2 and sys.argv[1] == "--windows" else None
    os.makedirs(WORK, exist_ok=True)
    os.environ["PATH"] = RELEASE + os.pathsep + os.environ["PATH"]  # the README's `velmora`
    commands = [("README.md", c) for c in readme_commands()] + [("docs/velmora.1", c) for c in manual_commands()]
    for where, command in commands:
        if command in WINDOWS_CHECKS:
            if windows:
                folder = ROOT if command.startswith("cmake") else fresh_folder("windows")
                if folder != ROOT:
                    make_material(folder, "dense", -1)
                    shutil.copy(windows, os.path.join(folder, "velmora.exe"))
                status, out = run(command if folder == ROOT else ["wine", "cmd", "/c", command], folder, shell=folder == ROOT)
                expect(status == 0 and WINDOWS_CHECKS[command] in out, f"{where}: {command}: status {status}\n{out[-600:]}")
                print("ran for Windows: " + command)
            else:
                print("run for Windows by scripts/test-windows: " + command)
        elif windows:
            continue
        elif command in CHECKS:
            try:
                CHECKS[command](command)
            except (OSError, KeyError, RuntimeError, wave.Error) as error:
                fail(f"{command}: {error!r}")
            print("ran: " + command)
        elif ci_runs(command):
            print("run by CI (.ci/run): " + command)
        elif command in NOT_RUN:
            print(f"not run ({NOT_RUN[command]}): {command}")
        else:
            fail(f"{where}: no check for the command {command!r}")
    if not windows:
        for where, text in figures():
            if text not in open(os.path.join(ROOT, where)).read():
                fail(f"{where} does not quote the figure as measured: {text!r}")
    print(f"{len(commands)} commands, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
