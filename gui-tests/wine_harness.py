"""Running the project's Windows programs under Xvfb and Wine, for the GUI and installer tests.

The session makes one X server and one template Wine prefix; every case works in a fresh copy of
that prefix (cp -a is far quicker than a new one) and ends every Wine process it started.
"""

import getpass
import os
import pathlib
import shutil
import subprocess
import time

import pytest

# How long a Windows program may take to start and show its window. A case's first Wine
# program also starts the prefix's wineserver and Wine's own services (services.exe, the
# device and plug-and-play services, the desktop's explorer.exe); with another Wine workload
# on the same two cores that alone has taken most of a minute, and the GUI stage takes about
# twice as long as alone. Every start-up wait allows this much.
START_SECONDS = 180
START_TIMEOUT_MS = START_SECONDS * 1000


def wine_environment(base=None):
    """The environment of every Wine run of the project."""
    env = dict(os.environ if base is None else base)
    # Wine links the prefix's user folders to the home folder, which CI may not name.
    env.setdefault("HOME", os.path.expanduser("~"))
    env["WINEDEBUG"] = "-all"
    # No Mono or Gecko (they would be offered for download), no desktop menu entries.
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml=;winemenubuilder.exe=d"
    return env


def check_own_network():
    """Fails unless this process has a network namespace of its own, so that the client's fixed
    port 55502 is this run's alone; brings its loopback up."""
    own = os.readlink("/proc/self/ns/net")
    try:
        machine = os.readlink("/proc/1/ns/net")
    except OSError:
        machine = None
    if own == machine:
        raise RuntimeError("run the Wine tests in a network namespace of their own: "
                           "unshare --net /usr/bin/python3 -m pytest ...")
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)


class Xvfb:
    """An X server on a free display, which it names in a file."""

    def __init__(self, folder, size):
        named = folder / "display"
        with open(folder / "xvfb.log", "wb") as log, open(named, "wb") as display:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(display.fileno()), "-screen", "0", f"{size}x24",
                 "-nolisten", "tcp"],
                stdout=log, stderr=log, stdin=subprocess.DEVNULL, pass_fds=(display.fileno(),))
        deadline = time.monotonic() + 10
        while not named.read_text().endswith("\n") and time.monotonic() < deadline:
            time.sleep(0.1)
        number = named.read_text().strip()
        if not number:
            self.stop()
            raise RuntimeError(f"Xvfb did not start (see {folder / 'xvfb.log'})")
        self.display = f":{number}"

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.display, "-window", "root", str(path)],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait()


def make_template_prefix(prefix, log_path, env):
    """A fresh prefix, ready to run programs in or to copy."""
    env = dict(env, WINEPREFIX=str(prefix))
    with open(log_path, "wb") as log:
        def run(args, seconds):
            subprocess.run(args, env=env, stdout=log, stderr=log, stdin=subprocess.DEVNULL,
                           timeout=seconds, check=True)
        run(["wineboot", "-i"], 180)
        run(["wineserver", "-w"], 60)
        # Without a window manager Wine waits two seconds for one to withdraw every window it
        # hides; windows that Wine manages itself skip that wait (and get their title bars).
        run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N",
             "/f"], 60)
        run(["wineserver", "-w"], 60)


def end_prefix(prefix, env):
    """Stops the Wine processes of one prefix."""
    env = dict(env, WINEPREFIX=str(prefix))
    subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL, check=False)
    try:
        subprocess.run(["wineserver", "-w"], env=env, stderr=subprocess.DEVNULL, timeout=20,
                       check=False)
    except subprocess.TimeoutExpired:
        pass


def windows_path(path):
    """A Linux path as Wine shows it (the Linux root is drive Z:)."""
    return "Z:" + str(path).replace("/", "\\")


class Output:
    """What a program printed (UTF-8, CR removed, trailing line feeds dropped) and its exit code."""

    def __init__(self, rc, out, err):
        self.rc = rc
        self.out = out
        self.err = err

    def lines(self):
        return self.out.split("\n") if self.out else []

    def fact(self, name):
        """The value of the first fact line "name value"."""
        for line in self.lines():
            if line.startswith(name + " "):
                return line[len(name) + 1:]
        return ""


class WineCase:
    """One case's copy of the template prefix, its folder of logs and the programs it runs."""

    def __init__(self, folder, template, env):
        self.folder = pathlib.Path(folder)
        self.folder.mkdir(parents=True, exist_ok=True)
        self.prefix = self.folder / "prefix"
        subprocess.run(["cp", "-a", str(template), str(self.prefix)], check=True)
        self.env = dict(env, WINEPREFIX=str(self.prefix))
        self.user = getpass.getuser()
        self.user_dir = self.prefix / "drive_c" / "users" / self.user
        self.local_dir = self.user_dir / "AppData" / "Local"
        self.step = 0
        self.started = time.monotonic()
        self.background = []

    def log(self, text):
        seconds = time.monotonic() - self.started
        with open(self.folder / "case.log", "a", encoding="utf-8") as log:
            log.write(f"{seconds:7.3f} {text}\n")

    def _files(self, name):
        self.step += 1
        return (self.folder / f"{name}.{self.step}.out", self.folder / f"{name}.{self.step}.err")

    def _run_once(self, args, out_path, err_path, seconds):
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            try:
                return subprocess.run(["wine", *map(str, args)], env=self.env, stdout=out,
                                      stderr=err, stdin=subprocess.DEVNULL,
                                      timeout=seconds).returncode
            except subprocess.TimeoutExpired:
                return 124

    def run(self, *args, name="wine", seconds=120, retry=True):
        """Runs a Windows program to its end. Now and then Wine fails to start a program at all
        (a non-zero code within milliseconds and not a byte of output, where the project's tools
        always say why they fail); such a start is tried once more unless retry is off (for
        programs that end silently by design, such as a silent installer)."""
        out_path, err_path = self._files(name)
        rc = self._run_once(args, out_path, err_path, seconds)
        silent = out_path.stat().st_size == 0 and err_path.stat().st_size == 0
        if retry and rc != 0 and silent:
            self.log(f"Wine did not start {args[0]} (exit code {rc}, no output); again")
            time.sleep(0.5)
            rc = self._run_once(args, out_path, err_path, seconds)
        result = Output(rc, read_text(out_path), read_text(err_path))
        self.log(f"{name} {' '.join(map(str, args))} -> {rc}")
        for line in result.lines():
            self.log(f"        {line}")
        for line in result.err.split("\n") if result.err else []:
            self.log(f"        ! {line}")
        return result

    def warm_up(self, *args):
        """Runs one quick Windows program before the case begins, so that the prefix's first
        start (its wineserver and Wine's services) is paid here, under the long start-up bound,
        and not inside a case's own shorter waits. The program should show no window."""
        result = self.run(*args, name="warm-up", seconds=START_SECONDS)
        assert result.rc != 124, f"the prefix did not start within {START_SECONDS}s"
        return result

    def start(self, *args, name="program"):
        """Starts a Windows program in the background; its output goes to files (Wine's helpers
        would keep a pipe open)."""
        out_path, err_path = self._files(name)
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            process = subprocess.Popen(["wine", *map(str, args)], env=self.env, stdout=out,
                                       stderr=err, stdin=subprocess.DEVNULL)
        process.out_path = out_path
        self.background.append(process)
        self.log(f"started {args[0]} (pid {process.pid})")
        return process

    def end(self, failed, xvfb):
        """Ends every Wine process of the case; keeps the client's working folder for a look
        afterwards and removes the (large) prefix. A failed case leaves a picture of the screen."""
        if failed:
            xvfb.screenshot(self.folder / "screen.png")
        end_prefix(self.prefix, self.env)
        for process in self.background:
            if process.poll() is None:
                process.kill()
            process.wait()
        work = self.local_dir / "KPV_wd"
        if work.is_dir():
            shutil.copytree(work, self.folder / "KPV_wd", dirs_exist_ok=True)
        shutil.rmtree(self.prefix, ignore_errors=True)


def read_text(path):
    return pathlib.Path(path).read_bytes().decode("utf-8", "replace").replace("\r", "").rstrip("\n")


class AutomationTool:
    """kpv-auto, run inside a case's prefix."""

    def __init__(self, case, exe):
        self.case = case
        self.exe = exe

    def __call__(self, *args):
        """Runs kpv-auto; returns its Output whatever its exit code. Its own --timeout bounds
        each wait; this bound only catches a kpv-auto that never ends."""
        return self.case.run(self.exe, *args, name="auto", seconds=START_SECONDS + 60)

    def must(self, *args):
        """Runs kpv-auto, which must succeed; returns its Output."""
        result = self(*args)
        assert result.rc == 0, f"kpv-auto {' '.join(map(str, args))} exited {result.rc}: {result.err}"
        return result


def wait_until(condition, seconds, what):
    """Polls condition every tenth of a second; fails with what after seconds."""
    deadline = time.monotonic() + seconds
    while not condition():
        assert time.monotonic() < deadline, f"{what} after {seconds}s"
        time.sleep(0.1)


def hex_of(data):
    """Bytes as spaced upper-case hex, e.g. "02 00 00 00 0F 00"."""
    return " ".join(f"{byte:02X}" for byte in data)


# --- fixtures shared by the GUI and installer tests (their conftest.py imports them) -----------

class Session:
    def __init__(self, out, env, xvfb, template):
        self.out = out
        self.env = env
        self.xvfb = xvfb
        self.template = template


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    # Lets a fixture's teardown see whether its test failed.
    outcome = yield
    report = outcome.get_result()
    setattr(item, "report_" + report.when, report)


@pytest.fixture(scope="session")
def wine_session(wine_settings):
    """Xvfb and the template prefix, in the folder and environment the suite's wine_settings
    fixture gives ({"out": folder, "env": {name: value}})."""
    check_own_network()
    out = pathlib.Path(wine_settings["out"]).resolve()
    # The folder is emptied only when an earlier run made it (never a build folder by mistake).
    marker = out / ".wine-test-output"
    if out.exists():
        ours = marker.exists() or (out / "xvfb.log").exists() or not any(out.iterdir())
        assert ours, f"{out} is not a test output folder"
        shutil.rmtree(out)
    out.mkdir(parents=True)
    marker.touch()
    env = wine_environment()
    for name in ("LC_ALL", "LC_CTYPE", "LC_MESSAGES", "LANGUAGE"):
        env.pop(name, None)
    env.update(wine_settings["env"])
    xvfb = Xvfb(out, "1280x1024")
    env["DISPLAY"] = xvfb.display
    template = out / "template-prefix"
    try:
        make_template_prefix(template, out / "wineboot.log", env)
        yield Session(out, env, xvfb, template)
    finally:
        end_prefix(template, env)
        shutil.rmtree(template, ignore_errors=True)
        xvfb.stop()


@pytest.fixture
def wine_case(request, wine_session):
    """A fresh copy of the template prefix with a folder for the case's files and logs."""
    case = WineCase(wine_session.out / request.node.name, wine_session.template, wine_session.env)
    yield case
    failed = any(getattr(getattr(request.node, "report_" + when, None), "failed", False)
                 for when in ("setup", "call"))
    case.end(failed, wine_session.xvfb)


def program_from_environment(name, default):
    """The path of a program under test: the environment variable name (ctest sets it), else
    the default, where the presets build it."""
    path = os.environ.get(name) or str(default)
    assert os.path.isfile(path), f"{name} or {default} must name an existing program"
    return pathlib.Path(path).resolve()
