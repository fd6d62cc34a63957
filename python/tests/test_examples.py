"""The examples of examples/python run against a vekd as the README shows them."""

import os
import re
import subprocess
import sys

import matplotlib.pyplot as plt


def run(example, *args, cwd):
    result = subprocess.run([sys.executable, os.path.join(os.environ["VEK_EXAMPLES"], example), *args],
                            capture_output=True, text=True, cwd=cwd, timeout=60)
    assert result.returncode == 0, result.stderr
    return result.stdout.splitlines()


def test_examples(vekd, vekrec, tmp_path):
    readme = open(os.path.join(os.environ["VEK_EXAMPLES"], "..", "..", "README.md")).read()
    with open(os.path.join(os.environ["VEK_EXAMPLES"], "print_markers.py")) as example:
        assert "```python\n" + example.read() + "```" in readme, "the README shows print_markers.py as it is"

    server = vekd()
    lines = run("print_markers.py", server.address, cwd=tmp_path)
    assert len(lines) == 10
    assert all(re.fullmatch(r"[0-9]+( +[0-5]: +-?[0-9.]+ +-?[0-9.]+ +-?[0-9.]+){1,6}", line) for line in lines)

    lines = run("plot_trajectory.py", server.address, "body.png", "1", cwd=tmp_path)
    found = re.fullmatch(r"([0-9]+) frames, pose found in ([0-9]+); wrote body.png", lines[0])
    assert found and int(found[1]) >= 100 and int(found[2]) > 0.9 * int(found[1])
    assert plt.imread(tmp_path / "body.png").shape == (420, 1000, 4)

    recorded = subprocess.run([vekrec, "-s", server.address, "-o", "room", "-t", "1"], cwd=tmp_path,
                              capture_output=True, text=True)
    assert recorded.returncode == 0, recorded.stderr
    lines = run("take_spread.py", "room.vektake", cwd=tmp_path)
    assert lines[0].startswith("room.vektake: ")
    spreads = {int(m[1]): float(m[2]) for m in (re.search(r"LED ([0-9]+): .* spread +([0-9.]+) mm", line)
                                                 for line in lines[1:])}
    assert sorted(spreads) == list(range(6)) + list(range(8, 14)) + list(range(16, 32))
    assert all(spreads[led] < 0.5 for led in range(16, 32))  # the floor LEDs stand still
    assert all(spreads[led] > 5 for led in range(6))  # the body moves
