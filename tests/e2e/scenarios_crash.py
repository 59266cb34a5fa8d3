"""Power cuts during kapdeploy's install and remove, judged state by state.

The real kapdeploy.exe runs under Wine once per row, over three products of
different releases, with strace -f -y recording every file call of the
Windows process and of the running wineserver (Wine 8 opens, renames and
deletes in the server; the program's writes and FlushFileBuffers, as fsync,
come from its own process). Of those calls the ones on files in the
products' drv and help folders make a list of steps; replayed over the
folders as they were before the run, they must give the folders as the run
left them, or the recording is not to be trusted and the row fails.

The model of a power cut, kept on the side of caution:
- it may come between any two recorded steps;
- names (creations, renames, deletions) persist in the order made, each
  one whole or not at all;
- a file's bytes written since its last flush may be lost, together or
  not at all per cut: the file then keeps its size but holds zeros, or it
  is cut back to what its last flush held; or they all survive, as after
  a killed run. A folder's flush adds nothing under this model.
Each distinct disk state so made is laid out in a copy of the three
products' folders of its own, up to SLOTS states at once, every copy
registered as three more products (the journals name files, not folders,
and each product is settled from its own folders alone), and then:
- kapdeploy detect runs once over them all (every run first settles what
  an earlier one left);
- each product must then hold exactly its new set where its whole journal
  had reached the disk (the commit point, its rename into place), and
  otherwise exactly its old set or its new set, byte for byte, with no
  journal or temporary file left; for a remove the new set is none of the
  kit's files;
- from each distinct state that the first detect leaves (the same folders
  give the same runs), kapdeploy install must exit 0, and a second detect
  exit 0 with its line, again up to SLOTS states at once.
Copies that a batch leaves over hold the folders as before the run, and
are not judged.
The row prints how many states it checked and fails when there are none.
That the model bites is shown too: the same steps, with the recorded
flushes disregarded, give states among which some must fail the first
judgement (ten are enough), and the row fails if none does."""
import os
import pwd
import re
import shutil
import signal
import subprocess
import time

import wineharness
from kapfixtures import RELEASE_LEVELS, driver_files, make_kit, sample_kit
from scenarios_kapdeploy import (HOSTS, RELEASES, THREE, Failed, expect, old_set, registry,
                                 scenario)

PRODUCTS = [loc for _, _, loc in THREE]
# The install record, in the product's folder beside drv and help, with its
# temporary names.
RECORD = "kapdeploy.record"
# Crash states judged by one run of each kind, each in a copy of the three
# products' folders: a run costs a Wine process start, a product only a few
# file calls.
SLOTS = 16
SELECT = ("--product", "all", "--language", "English", "--kit", "K:\\kit")
TRACED = ("openat,close,write,pwrite64,ftruncate,ftruncate64,fsync,fdatasync,rename,"
          "renameat,renameat2,unlink,unlinkat")
HEX = re.compile(rb"\\x([0-9a-f]{2})")
STRING = rb'"((?:\\x[0-9a-f]{2})*)"'
CALL = re.compile(rb"^(\d+) +(\w+)\((.*)$")
RESUMED = re.compile(rb"^(\d+) +<\.\.\. \w+ resumed>(.*)$")
FD = re.compile(rb"(\d+)<((?:\\x[0-9a-f]{2})*)>")
RESULT = re.compile(rb"\) += (-?\d+)")


def unhex(text):
    return HEX.sub(lambda m: bytes([int(m.group(1), 16)]), text)


def calls(trace):
    """(pid, name, arguments and result) of each finished call, in the order
    they finished."""
    pending = {}
    for line in trace.splitlines():
        resumed = RESUMED.match(line)
        if resumed:
            pid, rest = resumed.groups()
            if pid in pending:
                name, start = pending.pop(pid)
                yield pid, name, start + rest
            continue
        call = CALL.match(line)
        if not call:
            continue
        pid, name, rest = call.groups()
        if rest.endswith(b"<unfinished ...>"):
            pending[pid] = (name, rest[:-len(b"<unfinished ...>")])
        else:
            yield pid, name, rest


def steps_of(trace, work, drive):
    """The file steps under the products' folders: ("create", path),
    ("size", path, n), ("write", path, offset, bytes), ("flush", path),
    ("rename", a, b), ("delete", path)."""
    dosdrive = os.path.join(work, "prefix", "dosdevices", "k:")
    folders = tuple(os.path.join(drive, p, sub) + "/" for p in PRODUCTS for sub in ("drv", "help"))
    folders += tuple(os.path.join(drive, p, RECORD) for p in PRODUCTS)

    def real(raw):
        path = os.path.normpath(unhex(raw).decode("latin-1"))
        if path == dosdrive or path.startswith(dosdrive + "/"):
            path = drive + path[len(dosdrive):]
        return path if path.startswith(folders) else None

    offsets = {}
    steps = []
    for pid, name, rest in calls(trace):
        result = RESULT.search(rest)
        if result is None or int(result.group(1)) < 0:
            continue
        fds = FD.findall(rest)
        strings = re.findall(STRING, rest)
        if name == b"openat" and b"O_CREAT" in rest and fds and real(fds[-1][1]):
            steps.append(("create", real(fds[-1][1])))
            if b"O_TRUNC" in rest:
                steps.append(("size", real(fds[-1][1]), 0))
        elif name == b"close" and fds:
            offsets.pop((pid, fds[0][0]), None)
        elif not fds or real(fds[0][1]) is None:
            if name in (b"rename", b"renameat", b"renameat2") and real(strings[0]):
                steps.append(("rename", real(strings[0]), real(strings[1])))
            elif name in (b"unlink", b"unlinkat") and real(strings[0]):
                steps.append(("delete", real(strings[0])))
        elif name in (b"write", b"pwrite64"):
            path, data = real(fds[0][1]), unhex(strings[0])[:int(result.group(1))]
            key = (pid, fds[0][0])
            at = int(rest.rsplit(b",", 1)[1].split(b")")[0]) if name == b"pwrite64" else \
                offsets.get(key, 0)
            offsets[key] = at + len(data)
            steps.append(("write", path, at, data))
        elif name.startswith(b"ftruncate"):
            steps.append(("size", real(fds[0][1]), int(rest.split(b",")[1].split(b")")[0])))
        elif name in (b"fsync", b"fdatasync") and not os.path.isdir(real(fds[0][1])):
            steps.append(("flush", real(fds[0][1])))
    return steps


def in_slot(name, slot):
    """A product's folder or key in the slot's copy: A, then A1, A2, ..."""
    return f"{name}{slot}" if slot else name


def slot_folder(drive, product, slot):
    return os.path.join(drive, in_slot(product, slot))


def own_files(drive, product, slot):
    """(folder as in the first copy, name, path) of each file of ours in the
    slot's copy of a product: in drv and help, and its record."""
    top = slot_folder(drive, product, slot)
    for sub in ("drv", "help", ""):
        folder = os.path.join(top, sub)
        for name in os.listdir(folder) if os.path.isdir(folder) else ():
            if sub or (name.startswith(RECORD) and os.path.isfile(os.path.join(folder, name))):
                yield os.path.join(drive, product, sub), name, os.path.join(folder, name)


def folders_now(drive, slot=0):
    """{path: bytes} of every file of ours in the products' folders of the
    slot's copy, named as in the first copy."""
    state = {}
    for p in PRODUCTS:
        for first, name, path in own_files(drive, p, slot):
            with open(path, "rb") as f:
                state[os.path.join(first, name)] = f.read()
    return state


def replay(before, steps, honour_flushes=True):
    """The crash states after each prefix of steps: a list, per point, of
    the distinct {path: bytes} a power cut may leave there. Also the state
    that the whole list gives with nothing lost."""
    names = {}
    files = []  # [bytes as cached, bytes as flushed]
    for path, data in before.items():
        names[path] = len(files)
        files.append([bytearray(data), bytes(data)])
    points = []

    def cut_here():
        kinds = ("kept", "zeros", "flushed")
        seen = []
        for kind in kinds:
            state = {}
            for path, i in names.items():
                cached, flushed = bytes(files[i][0]), files[i][1]
                if cached == flushed or kind == "kept":
                    state[path] = cached
                else:
                    state[path] = bytes(len(cached)) if kind == "zeros" else flushed
            if state not in seen:
                seen.append(state)
        points.append(seen)

    cut_here()
    for step in steps:
        kind, path = step[0], step[1]
        if kind == "create" and path not in names:
            names[path] = len(files)
            files.append([bytearray(), b""])
        elif kind == "size" and path in names:
            cached = files[names[path]][0]
            del cached[step[2]:]
            cached.extend(bytes(step[2] - len(cached)))
        elif kind == "write" and path in names:
            cached, at, data = files[names[path]][0], step[2], step[3]
            cached.extend(bytes(max(0, at + len(data) - len(cached))))
            cached[at:at + len(data)] = data
        elif kind == "flush" and path in names and honour_flushes:
            files[names[path]][1] = bytes(files[names[path]][0])
        elif kind == "rename" and path in names:
            names[step[2]] = names.pop(path)
        elif kind == "delete":
            names.pop(path, None)
        cut_here()
    return points, {p: bytes(files[i][0]) for p, i in names.items()}


def lay_out(drive, states, pad, owner):
    """Makes the products' folders of slot n hold exactly states[n] (its
    paths named as in the first copy), and those of the slots left over pad."""
    for slot, state in enumerate(states + [pad] * (SLOTS - len(states))):
        for p in PRODUCTS:
            for _, _, path in list(own_files(drive, p, slot)):
                os.remove(path)
        for path, data in state.items():
            product, rest = os.path.relpath(path, drive).split(os.sep, 1)
            path = os.path.join(slot_folder(drive, product, slot), rest)
            with open(path, "wb") as f:
                f.write(data)
            os.chown(path, owner, -1)


def make_slots(work, drive):
    """The copies of the three products after the first, each registered as
    three more products."""
    for slot in range(1, SLOTS):
        for p in PRODUCTS:
            if not os.path.isdir(slot_folder(drive, p, slot)):
                shutil.copytree(os.path.join(drive, p), slot_folder(drive, p, slot))
    wineharness.give_to_test_user(drive)
    registry(work, [(in_slot(key, slot), name, in_slot(loc, slot))
                    for slot in range(SLOTS) for key, name, loc in THREE])


def product_files(state, product, drive):
    top = os.path.join(drive, product) + "/"
    return {p: d for p, d in state.items() if p.startswith(top)}


def server_pid(work):
    """The Unix process of the wineserver that runs work's prefix."""
    wanted = b"WINEPREFIX=" + os.path.join(work, "prefix").encode()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/comm", "rb") as f:
                comm = f.read()
            with open(f"/proc/{pid}/environ", "rb") as f:
                env = f.read().split(b"\0")
        except OSError:
            continue
        if comm.startswith(b"wineserver") and wanted in env:
            return pid
    raise Failed("no wineserver runs for this work dir")


def record(work, drive, action):
    """Runs kapdeploy action under strace, which also attaches to the
    running wineserver; returns the steps, the folders before and after.
    Only the calls traced stop the Windows process (a seccomp filter), and
    the server's start and Wine's services are not traced at all: a fresh
    server traced whole takes seconds more. Our files are small: 8 kB of
    each write shows all of theirs, and a cut one fails the replay."""
    before = folders_now(drive)
    trace = os.path.join(work, "crash.trace")
    status = os.path.join(work, "crash.status")
    if os.path.exists(status):
        os.remove(status)
    server = server_pid(work)
    # The server outlives the run: strace is told to let go of it (SIGINT,
    # which -I2 lets through) once the Windows process has ended and the
    # shell has written its exit code.
    tracer = subprocess.Popen(
        ["strace", "-I2", "--seccomp-bpf", "-f", "-y", "-xx", "-s", "8192", "-qq", "-o", trace,
         "-e", "trace=" + TRACED, "-p", server, wineharness.WINENV, "run", work, "sh", "-c",
         'wine "$@"; echo $? >"$0"', status, os.path.join(work, "bin", "kapdeploy.exe"),
         action, *SELECT], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
        stderr=subprocess.PIPE)
    deadline = time.monotonic() + 1200
    code = ""
    while not code.endswith("\n") and tracer.poll() is None and time.monotonic() < deadline:
        time.sleep(0.01)
        if os.path.exists(status):
            with open(status) as f:
                code = f.read()
    tracer.send_signal(signal.SIGINT)
    _, err = tracer.communicate(timeout=60)
    expect(code.endswith("\n"), f"the recorded {action} did not end within 20 minutes: {err}")
    expect(b"attach" not in err, f"strace could not attach to the wineserver: {err}")
    expect(code == "0\n", f"the recorded {action}: exit {code.strip()}")
    with open(trace, "rb") as f:
        steps = steps_of(f.read(), work, drive)
    return steps, before, folders_now(drive)


def kapdeploy(work, *args):
    status, out, _ = wineharness.run_console(work, "kapdeploy.exe", list(args))
    return status, out


def first_judgements(work, drive, batch, old, new, pad, owner):
    """Lays out each (state, committed) of batch in a slot of its own (the
    rest hold pad), runs detect once, and returns per state its problems and
    the folders that detect left."""
    lay_out(drive, [state for state, _ in batch], pad, owner)
    kapdeploy(work, "detect", *SELECT)
    judged = []
    for slot, (_, committed) in enumerate(batch):
        now = folders_now(drive, slot)
        problems = []
        for p in PRODUCTS:
            held = product_files(now, p, drive)
            wanted = [new[p]] if committed[p] else [old[p], new[p]]
            if held not in wanted:
                problems.append(f"{p}: {sorted(os.path.basename(f) for f in held)}"
                                f"{' (after its commit point)' if committed[p] else ''}")
        judged.append((problems, now))
    return judged


def settle(work, drive, lefts, pad, owner):
    """From each (label, folders) of lefts, up to SLOTS at once, install and
    then detect; the problems."""
    problems = []
    done = f"Kap HDI driver installed (English) in {3 * SLOTS} products\n"
    for i in range(0, len(lefts), SLOTS):
        batch = lefts[i:i + SLOTS]
        lay_out(drive, [now for _, now in batch], pad, owner)
        which = ", ".join(label for label, _ in batch)
        status, out = kapdeploy(work, "install", *SELECT)
        if status != 0:
            problems.append(f"install from the folders left by {which}: exit {status} {out}")
        status, out = kapdeploy(work, "detect", *SELECT)
        if status != 0 or out != done:
            problems.append(f"detect after it ({which}): exit {status} {out!r}")
    return problems


def commit_points(steps, drive):
    """Per product, the number of steps after which its journal has its name."""
    points = {}
    for i, step in enumerate(steps):
        for p in PRODUCTS:
            journal = os.path.join(drive, p, "drv", "kapdeploy.journal")
            if step[0] == "rename" and step[2] == journal:
                points.setdefault(p, i + 1)
    return points


def judge_points(points, commits, judged, judge_batch, enough=None):
    """Judges, SLOTS at a time, each state of each point that was not judged
    before (the same folders with the same commit points); per state judged,
    its label ("cut after step k"), problems and the folders detect left.
    With enough, it stops after the batch that brings the states failed to
    that many."""
    todo = []
    for k, states in enumerate(points):
        committed = {p: k >= commits[p] for p in PRODUCTS}
        for state in states:
            if (state, committed) not in judged:
                judged.append((state, committed))
                todo.append((f"cut after step {k}", state, committed))
    found = []
    for i in range(0, len(todo), SLOTS):
        if enough is not None and sum(bool(problems) for _, problems, _ in found) >= enough:
            break
        batch = todo[i:i + SLOTS]
        results = judge_batch([(state, committed) for _, state, committed in batch])
        found += [(label, problems, now)
                  for (label, _, _), (problems, now) in zip(batch, results)]
    return found


def cut_everywhere(work, drive, action, prepare):
    registry(work, THREE)
    prepare(work, drive)
    wineharness.give_to_test_user(drive)
    steps, before, after = record(work, drive, action)
    owner = pwd.getpwnam(wineharness.TEST_USER).pw_uid if os.getuid() == 0 else -1
    points, replayed = replay(before, steps)
    expect(replayed == after, f"the recorded steps do not give the folders the run left: "
           f"{sorted(set(replayed) ^ set(after))} or their bytes differ")
    commits = commit_points(steps, drive)
    expect(len(commits) == 3, f"not every product's journal was seen: {commits}")
    old = {p: product_files(before, p, drive) for p in PRODUCTS}
    new = {p: product_files(after, p, drive) for p in PRODUCTS}
    make_slots(work, drive)

    def judge_batch(batch):
        return first_judgements(work, drive, batch, old, new, before, owner)

    judged = []
    found = judge_points(points, commits, judged, judge_batch)
    print(f"crash states checked: {len(found)} ({action}, {len(steps)} steps)", flush=True)
    expect(found, "no crash state was checked")
    failed = [f"{label}: {problem}" for label, problems, _ in found for problem in problems]
    expect(not failed, "\n".join(failed[:10]))
    lefts = []
    for label, _, now in found:
        if all(now != seen for _, seen in lefts):
            lefts.append((label, now))
    failed = settle(work, drive, lefts, before, owner)
    expect(not failed, "\n".join(failed[:10]))
    unflushed, _ = replay(before, steps, honour_flushes=False)
    # Ten failing states show it; judging them all would double the row's
    # time in the QEMU guest.
    bitten = judge_points(unflushed, commits, judged, judge_batch, enough=10)
    print(f"with the flushes disregarded: {len(bitten)} more states judged, "
          f"{sum(bool(problems) for _, problems, _ in bitten)} failed "
          f"(judging stops once 10 have)", flush=True)
    expect(any(problems for _, problems, _ in bitten),
           "with the flushes disregarded no state fails: the model does not bite")


def installed_before(work, drive):
    old_set(drive, "A")


def installed_kit(work, drive):
    status, out = kapdeploy(work, "install", *SELECT)
    expect(status == 0, f"install before the remove: {status} {out}")


def installed_other_build(work, drive):
    """Another build of the same levels, its files named otherwise, installed
    from K:\\oldkit: the kit's build replaces it whole."""
    make_kit(os.path.join(drive, "oldkit"), {
        f"English/{release}": driver_files(RELEASE_LEVELS[release].replace(".", ","),
                                           dll=release >= "ACAD2004", stem="kapvo")
        for release in RELEASES.values()})
    wineharness.give_to_test_user(drive)
    status, out = kapdeploy(work, "install", *SELECT[:-1], "K:\\oldkit")
    expect(status == 0, f"install of the other build: {status} {out}")


@scenario
def install_cut(work, drive):
    cut_everywhere(work, drive, "install", installed_before)


@scenario
def remove_cut(work, drive):
    cut_everywhere(work, drive, "remove", installed_kit)


@scenario
def upgrade_cut(work, drive):
    cut_everywhere(work, drive, "install", installed_other_build)


SCENARIOS = [
    dict(name="power cut at every step of an install over three releases", hosts=HOSTS,
         kit=sample_kit(), run=install_cut),
    dict(name="power cut at every step of a remove over three releases", hosts=HOSTS,
         kit=sample_kit(), run=remove_cut),
    dict(name="power cut at every step of a build replacing another over three releases",
         hosts=HOSTS, kit=sample_kit(), run=upgrade_cut),
]
