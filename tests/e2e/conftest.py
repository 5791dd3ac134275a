"""The end-to-end lab on pytest. `adapter`, a session fixture with one parameter per program,
is that program's lab (virtual screen, silent sound server, clips), set up once; `program`
hands it to each test on a fresh start (a fresh Wine prefix, an empty HOME), stops the
savers afterwards and leaves a screenshot in the lab's failures/ folder when the test failed.
Tests marked `only(...)` run for those programs alone; a program's `modules` and `missing`
say which files it runs and which cases it skips, and why. Tests marked `renderers` run under
Windows once per renderer (GDI and Direct3D 11), under Linux once. `--program` runs one
program's tests. The closing lines repeat GoogleTest's totals, which scripts/test adds up."""

import re
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "scripts" / "lab"))

from programs import PROGRAMS  # noqa: E402  (the lab's modules are on the path only now)

GTESTS = pytest.StashKey[dict]()


def pytest_addoption(parser):
    parser.addoption("--program", choices=sorted(PROGRAMS), help="run one program's tests only")


def program_of(item):
    return item.callspec.params.get("adapter") if hasattr(item, "callspec") else None


def pytest_generate_tests(metafunc):
    if metafunc.definition.get_closest_marker("renderers"):
        metafunc.fixturenames.append("renderer")
        metafunc.parametrize("renderer", [1, 2], ids=["gdi", "d3d"])


def made_for(item):
    """A test marked only(...) is made for those programs alone, one of a file a program does
    not run (its `modules`) not for that program, and one renderer's case only for Windows."""
    params = item.callspec.params if hasattr(item, "callspec") else {}
    if params.get("renderer", 1) != 1 and program_of(item) != "windows":
        return False
    only = item.get_closest_marker("only")
    modules = PROGRAMS[program_of(item)].modules if program_of(item) else None
    return (not only or program_of(item) in only.args) and \
        (modules is None or item.module.__name__ in modules)


@pytest.hookimpl(hookwrapper=True)
def pytest_pycollect_makeitem(collector, name, obj):
    outcome = yield
    items = outcome.get_result()
    if isinstance(items, list):
        outcome.force_result([item for item in items
                              if not isinstance(item, pytest.Item) or made_for(item)])


@pytest.fixture(autouse=True)
def skip_what_is_missing(request):
    """A case that needs what a program does not have yet is skipped, saying what."""
    program = program_of(request.node)
    for part, reason in (PROGRAMS[program].missing.items() if program else ()):
        if part in request.node.name:
            pytest.skip(reason)


def pytest_collection_modifyitems(config, items):
    chosen = config.getoption("--program")
    if chosen:
        deselected = [item for item in items if program_of(item) != chosen]
        config.hook.pytest_deselected(items=deselected)
        items[:] = [item for item in items if program_of(item) == chosen]
    # Direct3D through Wine's OpenGL renderer over Mesa's software rasteriser, and the Win32
    # backend's suite, have each failed once in a clean run on a two-core machine and passed
    # alone, the cause not yet found: one more try each (python3-pytest-rerunfailures).
    for item in items:
        params = item.callspec.params if hasattr(item, "callspec") else {}
        if params.get("renderer") == 2 or "win32_backend" in item.name:
            item.add_marker(pytest.mark.flaky(reruns=1))


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    setattr(item, f"report_{report.when}", report)


@pytest.fixture(scope="session", params=list(PROGRAMS))
def adapter(request):
    """One program's lab, set up once for all its tests."""
    program = PROGRAMS[request.param]()
    try:
        program.open()
        yield program
    finally:
        program.close()


@pytest.fixture
def program(adapter, request):
    """The program on a fresh start; afterwards its savers are stopped."""
    adapter.fresh()
    renderer = request.node.callspec.params.get("renderer") if hasattr(
        request.node, "callspec") else None
    if renderer:
        adapter.use_renderer(renderer)
    yield adapter
    report = getattr(request.node, "report_call", None)
    if report is None or report.failed:
        failures = adapter.lab.work / "failures"
        failures.mkdir(parents=True, exist_ok=True)
        shot = failures / (re.sub(r"[^\w.-]+", "-", request.node.name).strip("-") + ".png")
        adapter.lab.save_screenshot(shot)
        print(f"screenshot: {shot}")
    adapter.finish()


@pytest.fixture
def gtest_results(request):
    """Where a test that runs a GoogleTest suite leaves (passed, failed) names of its tests,
    counted in the totals with ours."""
    results = []
    # By test, so that a test tried again counts its last try alone.
    request.config.stash.setdefault(GTESTS, {})[request.node.nodeid] = results
    return results


def pytest_terminal_summary(terminalreporter, config):
    if config.option.collectonly:
        return
    stats = terminalreporter.stats
    failed = list(dict.fromkeys(r.nodeid for key in ("failed", "error") for r in stats.get(key, [])
                                if hasattr(r, "nodeid")))
    passed = len({r.nodeid for r in stats.get("passed", []) if r.when == "call"} - set(failed))
    for gtest_passed, gtest_failed in (run for runs in config.stash.get(GTESTS, {}).values()
                                       for run in runs):
        passed += len(gtest_passed)
        failed += gtest_failed
    write = terminalreporter.write_line
    write(f"[==========] {passed + len(failed)} tests ran.")
    write(f"[  PASSED  ] {passed} tests.")
    if failed:
        write(f"[  FAILED  ] {len(failed)} tests, listed below:")
        for name in failed:
            write(f"[  FAILED  ] {name}")
