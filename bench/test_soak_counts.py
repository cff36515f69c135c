#!/usr/bin/python3
"""Checks that the soak's counters see what a leaking process would leave:
a child that takes anonymous memory, files, threads and a process of its own
must show in them, and must show nothing once it has given them back.

    bench/test_soak_counts.py [path of bench/run]
"""
import importlib.machinery
import importlib.util
import os
import subprocess
import sys
import textwrap

HERE = os.path.dirname(os.path.abspath(__file__))
MB = 64

# Takes the resources on "take", gives them back on "give", answering each
# line once it is done, so the parent measures a settled state.
CHILD = textwrap.dedent("""
    import os, subprocess, sys, threading
    held = {}
    for line in sys.stdin:
        if line.strip() == "take":
            held["memory"] = b"x" * (%d << 20)
            held["files"] = [open(os.devnull) for _ in range(20)]
            stop = threading.Event()
            held["stop"] = stop
            held["threads"] = [threading.Thread(target=stop.wait) for _ in range(5)]
            for thread in held["threads"]:
                thread.start()
            held["process"] = subprocess.Popen([sys.executable, "-c", "import time; time.sleep(60)"])
        elif line.strip() == "give":
            held["stop"].set()
            for thread in held["threads"]:
                thread.join()
            for f in held["files"]:
                f.close()
            held["process"].kill()
            held["process"].wait()
            held.clear()
        print("done", flush=True)
""" % MB)


def load_bench(path):
    loader = importlib.machinery.SourceFileLoader("bench_run", path)
    spec = importlib.util.spec_from_loader("bench_run", loader)
    module = importlib.util.module_from_spec(spec)
    loader.exec_module(module)
    return module


def ask(child, command):
    child.stdin.write(command + "\n")
    child.stdin.flush()
    assert child.stdout.readline().strip() == "done"


def state(bench, pid):
    pss, anon = bench.pss_parts_mb(pid)
    counts = bench.primary_counts(pid)
    counts.update(pss=pss, anon=anon, alone=bench.pss_parts_mb(pid, 1)[1])
    return counts


def main():
    bench = load_bench(sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "run"))
    child = subprocess.Popen([sys.executable, "-c", CHILD], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    failures = []
    try:
        ask(child, "start")
        before = state(bench, child.pid)
        ask(child, "take")
        holding = state(bench, child.pid)
        ask(child, "give")
        after = state(bench, child.pid)
    finally:
        child.kill()
        child.wait()

    grown = {key: holding[key] - before[key] for key in before}
    for key, least in (("pss", MB * 0.9), ("anon", MB * 0.9), ("alone", MB * 0.9)):
        if grown[key] < least:
            failures.append("%s grew %.1f MB while %d MB were held" % (key, grown[key], MB))
    for key, expected in (("fds", 20), ("threads", 5), ("helpers", 1)):
        if grown[key] != expected:
            failures.append("%s grew by %d, expected %d" % (key, grown[key], expected))
        if after[key] != before[key]:
            failures.append("%s is %d after everything was given back, %d before" % (key, after[key], before[key]))
    if failures:
        print("FAIL: " + "; ".join(failures))
        return 1
    print("PASS: %.0f MB, 20 files, 5 threads and 1 process seen while held; counts back afterwards" % grown["anon"])
    return 0


if __name__ == "__main__":
    sys.exit(main())
