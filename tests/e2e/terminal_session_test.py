#!/usr/bin/env python3
"""The cadhost program at a terminal, driven through a pseudo-terminal as a person types.

Usage: terminal_session_test.py CADHOST TEST_MODULE LNKHOLD_MODULE EXAMPLES_DIR
"""

import fcntl
import os
import pty
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import time
import unittest

CADHOST, TEST_MODULE, LNKHOLD_MODULE, EXAMPLES = sys.argv[1:5]
TIMEOUT = 30  # seconds; a sanitizer build starts slowly on a busy machine

ESC, CTRL_C, CTRL_D, CTRL_R, TAB, UP = "\x1b", "\x03", "\x04", "\x12", "\t", "\x1b[A"


class Terminal:
    """cadhost on a pseudo-terminal: keys in, screen text out, waited for with time limits."""

    def __init__(self, prefix, folder, arguments=()):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.chdir(folder)
            environment = {k: v for k, v in os.environ.items()
                           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
            environment["TERM"] = "xterm"
            os.execve(CADHOST, [CADHOST, "--prefix", prefix, *arguments], environment)
        fcntl.ioctl(self.fd, termios.TIOCSWINSZ, struct.pack("HHHH", 40, 200, 0, 0))
        self.text = ""  # everything shown so far, escape sequences removed
        self.seen = 0  # how much of it earlier waits used up
        self.status = None

    def read_some(self, deadline):
        ready, _, _ = select.select([self.fd], [], [], max(0.0, deadline - time.monotonic()))
        if not ready:
            return False
        try:
            data = os.read(self.fd, 65536)
        except OSError:  # the program ended and its terminal closed
            data = b""
        if not data:
            return False
        shown = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|\x1b[=>]|\x07|\r", b"", data)
        self.text += shown.decode("utf-8", "replace")
        return True

    def expect(self, pattern):
        """Waits until the screen shows `pattern` (a regular expression) after the last match."""
        deadline = time.monotonic() + TIMEOUT
        while True:
            match = re.compile(pattern).search(self.text, self.seen)
            if match:
                self.seen = match.end()
                return match
            if time.monotonic() > deadline or not self.read_some(deadline):
                if time.monotonic() > deadline or self.exited():
                    raise AssertionError(f"no {pattern!r} in:\n{self.text[self.seen:]}")

    def type(self, keys):
        os.write(self.fd, keys.encode())

    def type_then(self, text, key):
        """Types text, and when it shows, a key (a Ctrl+C drops what the terminal holds)."""
        self.type(text)
        self.expect(re.escape(text) + "$")
        self.type(key)

    def command(self, line):
        self.expect(r"Command: $")
        self.type(line + "\r")

    def exited(self):
        if self.status is None:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                self.status = status
        return self.status is not None

    def wait_exit(self):
        deadline = time.monotonic() + TIMEOUT
        while not self.exited():
            self.read_some(min(deadline, time.monotonic() + 0.2))
            if time.monotonic() > deadline:
                os.kill(self.pid, signal.SIGKILL)
                raise AssertionError(f"cadhost did not end:\n{self.text}")
        while self.read_some(time.monotonic() + 0.2):
            pass
        return os.waitstatus_to_exitcode(self.status)

    def close(self):
        if not self.exited():
            os.kill(self.pid, signal.SIGKILL)
            os.waitpid(self.pid, 0)
        try:
            os.close(self.fd)
        except OSError:
            pass


class TerminalSessions(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="cadhost-terminal-")
        self.prefix = os.path.join(self.dir, "prefix")
        self.terminals = []

    def tearDown(self):
        for terminal in self.terminals:
            terminal.close()
        shutil.rmtree(self.dir)

    def start(self, *arguments):
        terminal = Terminal(self.prefix, self.dir, arguments)
        self.terminals.append(terminal)
        return terminal

    def path(self, name):
        return os.path.join(self.dir, name)

    def make_drawing(self, name):
        script = self.path("make.scr")
        with open(script, "w") as file:
            file.write(f"SAVEAS {self.path(name)}\nQUIT\n")
        subprocess.run([CADHOST, "--prefix", self.prefix, "-b", script], check=True,
                       stdout=subprocess.DEVNULL, cwd=self.dir)

    def test_history_is_kept_across_runs_and_searched(self):
        first = self.start()
        first.command("GETVAR FILEDIA")
        first.expect(r"FILEDIA = 1")
        first.command("SETVAR FILEDIA 0")
        first.expect(r"Command: $")
        first.type(CTRL_D)
        self.assertEqual(first.wait_exit(), 0)

        second = self.start()
        second.expect(r"Command: $")
        second.type(UP + UP + "\r")  # the line before the last
        second.expect(r"FILEDIA = 1")
        second.command(CTRL_R + "SETV")
        second.type("\r")
        second.expect(r"Enter new value for FILEDIA")  # SETVAR FILEDIA 0 ran again
        second.command("QUIT")
        self.assertEqual(second.wait_exit(), 0)

    def test_tab_completes_commands_variables_keywords_xrefs_and_files(self):
        shutil.copytree(EXAMPLES, self.path("examples"))
        terminal = self.start(os.path.join("examples", "site.dxf"))
        terminal.command("getv" + TAB)
        terminal.expect(r"Enter variable name: $")
        terminal.type("filed" + TAB + "\r")
        terminal.expect(r"FILEDIA = 1")
        terminal.command("GETVAR")
        terminal.type("tilem" + TAB + "\r")
        terminal.expect(r"TILEMODE = 1")

        terminal.command("-xr" + TAB)
        terminal.expect(r"Enter an option \[")
        terminal.type("unl" + TAB + "\r")
        terminal.expect(r"Enter xref\(s\) to unload: $")
        terminal.type("tre" + TAB + "\r")
        terminal.expect(r'Xref "TREES" unloaded')

        # Host paths with letter case ignored, native paths as they are.
        terminal.command("OPEN")
        terminal.expect(r"Enter name of drawing to open: $")
        terminal.type("EXAM" + TAB + "XREFS\\roa" + TAB + "\r")
        terminal.command("GETVAR DWGNAME")
        terminal.expect(r'DWGNAME = "roads.dxf"')
        terminal.command("OPEN")
        terminal.type(self.path("examples/xrefs/buil") + TAB + "\r")
        terminal.command("GETVAR DWGNAME")
        terminal.expect(r'DWGNAME = "building.dxf"')

    def test_several_answers_are_listed_and_the_common_part_filled_in(self):
        terminal = self.start()
        terminal.expect(r"Command: $")
        terminal.type("sa" + TAB)  # SAVE and SAVEAS: their common beginning
        terminal.expect(r"SAVE")
        terminal.type(TAB)  # nothing more in common: the list
        terminal.expect(r"\nSAVE\s+SAVEAS\n")
        terminal.type("\x15QUIT\r")  # Ctrl+U empties the line
        self.assertEqual(terminal.wait_exit(), 0)

    def test_esc_and_ctrl_c_cancel_the_command_not_the_host(self):
        terminal = self.start()
        for key in (ESC, CTRL_C):
            terminal.command("-XREF")
            terminal.expect(r"Enter an option \[")
            terminal.type_then("Deta", key)
            terminal.expect(r"\n\*Cancel\*\n")
            # Cancelled at the "Command: " prompt itself.
            terminal.expect(r"Command: $")
            terminal.type_then("GETV", key)
            terminal.expect(r"\n\*Cancel\*\n")

        # Inside a module's prompt: its prompt function answers RTCAN, and nothing more is
        # asked of the command.
        terminal.command("ARX")
        terminal.type("Load\r" + TEST_MODULE + "\r")
        terminal.expect(r"\[test module\] init")
        for key in (ESC, CTRL_C):
            terminal.command("TMASK")
            terminal.expect(r"Your name: $")
            terminal.type_then("Ann", key)
            terminal.expect(r"\n\*Cancel\*\n")
            self.assertNotIn("Hello", terminal.text)

        # A script started here is stopped by Ctrl+C before its next command.
        with open(self.path("long.scr"), "w") as file:
            file.write("GETVAR FILEDIA\n" * 20000 + "SETVAR FILEDIA 0\n")
        terminal.command("SCRIPT")
        terminal.type("long.scr\r")
        terminal.expect(r"FILEDIA = 1")
        terminal.type(CTRL_C)
        terminal.expect(r"\*Cancel\*\nCommand: $")  # after the terminal's own "^C"
        terminal.type("GETVAR FILEDIA\r")
        terminal.expect(r"FILEDIA = 1")

        # The keys of a sequence (the arrows start with Esc) do not cancel.
        terminal.command("GETVAR DWGNAME")
        terminal.expect(r"Command: $")
        terminal.type(UP + "\r")
        terminal.expect(r'DWGNAME = "Drawing1.dxf"')
        terminal.command("QUIT")
        self.assertEqual(terminal.wait_exit(), 0)

    def test_a_cancel_in_the_dialog_on_the_command_line_takes_back_what_it_did(self):
        shutil.copytree(EXAMPLES, self.path("examples"))
        terminal = self.start(os.path.join("examples", "site.dxf"))
        terminal.command("ARX")
        terminal.type("Load\r" + LNKHOLD_MODULE + "\r")
        terminal.command("-LINKHOLD")
        terminal.expect(r"<OK>: $")
        terminal.type("SElect\rTREES\r")
        terminal.expect(r"<OK>: $")
        terminal.type("Unload\r?\r")
        terminal.expect(r"\* trees +Unloaded")
        terminal.expect(r"<OK>: $")
        terminal.type(ESC)
        terminal.expect(r"\*Cancel\*\nNothing was changed.")
        terminal.command("-XREF")
        terminal.type("?\rTREES\r")
        terminal.expect(r'Xref "TREES"  Overlay  Loaded')

    def test_a_line_being_edited_goes_on_after_a_stop(self):
        terminal = self.start()
        terminal.expect(r"Command: $")
        terminal.type_then("GETV", "")
        # Ctrl+Z, and then fg: the shell had the terminal in its own line mode meanwhile.
        os.kill(terminal.pid, signal.SIGSTOP)
        slave = os.open(os.readlink(f"/proc/{terminal.pid}/fd/0"), os.O_RDWR | os.O_NOCTTY)
        settings = termios.tcgetattr(slave)
        settings[3] |= termios.ICANON | termios.ECHO
        termios.tcsetattr(slave, termios.TCSANOW, settings)
        os.close(slave)
        os.kill(terminal.pid, signal.SIGCONT)
        terminal.expect(r"Command: GETV$")  # shown anew
        terminal.type("AR FILEDIA\r")
        terminal.expect(r"FILEDIA = 1")
        self.assertEqual(terminal.text.count("AR FILEDIA"), 1, terminal.text)  # no echo twice

    def test_ctrl_d_on_an_empty_command_line_quits_with_its_question(self):
        self.make_drawing("plan.dxf")
        terminal = self.start("plan.dxf")
        terminal.command("-LAYER")
        terminal.type("M\rWALLS\r\r")
        terminal.expect(r"Command: $")
        terminal.type(CTRL_D)
        terminal.expect(r"QUIT\n[\s\S]*Save changes to .*plan.dxf\? \[Yes/No/Cancel\] <Yes>: $")
        terminal.type("Cancel\r")
        terminal.expect(r"Command: $")
        terminal.type(CTRL_D)
        terminal.expect(r"Save changes to")
        terminal.type("Yes\r")
        self.assertEqual(terminal.wait_exit(), 0)
        with open(self.path("plan.dxf")) as file:
            self.assertIn("WALLS", file.read())

    def unsaved_layer(self, name):
        """A session on plan.dxf that made a layer and did not save it."""
        self.make_drawing("plan.dxf")
        terminal = self.start("plan.dxf")
        terminal.command("-LAYER")
        terminal.type(f"M\r{name}\r\r")
        terminal.expect(r"Command: $")
        return terminal

    def assert_recovered(self, terminal, signo, layer):
        self.assertEqual(terminal.wait_exit(), 128 + signo)
        recovered = self.path("plan.dxf.sv$")
        self.assertIn(f"written to {recovered}", terminal.text)
        with open(self.path("plan.dxf")) as file:
            self.assertNotIn(layer, file.read())
        read = subprocess.run(
            ["/usr/bin/python3", "-c",
             "import ezdxf, sys; d = ezdxf.readfile(sys.argv[1]); "
             "print(sys.argv[2] in d.layers, len(d.audit().errors))", recovered, layer],
            capture_output=True, text=True)
        self.assertEqual(read.stdout, "True 0\n", read.stderr)

    def test_sigterm_writes_the_unsaved_drawing_beside_itself(self):
        terminal = self.unsaved_layer("WALLS")
        os.kill(terminal.pid, signal.SIGTERM)
        self.assert_recovered(terminal, signal.SIGTERM, "WALLS")

        # The next session says that the copy is there and how to use it.
        again = self.start("plan.dxf")
        again.expect(r"A recovered copy of .*plan.dxf, newer than the drawing")
        again.expect(r"OPEN .*plan.dxf.sv\$ and save it with SAVEAS")
        again.command("OPEN")
        again.type("plan.dxf.sv$\r")
        again.command("-LAYER")
        again.type("?\r\r")
        again.expect(r"WALLS")

    def test_a_closed_terminal_writes_the_unsaved_drawing_beside_itself(self):
        terminal = self.unsaved_layer("DOORS")
        os.close(terminal.fd)  # the terminal window is closed: SIGHUP
        deadline = time.monotonic() + TIMEOUT
        while not terminal.exited() and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertTrue(terminal.exited())
        self.assertEqual(os.waitstatus_to_exitcode(terminal.status), 128 + signal.SIGHUP)
        self.assertTrue(os.path.exists(self.path("plan.dxf.sv$")))
        self.assertFalse(any(".tmp-" in name for name in os.listdir(self.dir)))

    def test_sighup_from_a_pipe_and_nothing_to_lose(self):
        self.make_drawing("plan.dxf")
        host = subprocess.Popen([CADHOST, "--prefix", self.prefix, "plan.dxf"], cwd=self.dir,
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)
        host.stdin.write("-LAYER\nM\nROOF\n\n")
        host.stdin.flush()
        deadline = time.monotonic() + TIMEOUT
        output = ""
        while not re.search(r"ROOF[\s\S]*Command: $", output) and time.monotonic() < deadline:
            output += os.read(host.stdout.fileno(), 4096).decode()
        host.send_signal(signal.SIGHUP)
        _, errors = host.communicate(timeout=TIMEOUT)
        self.assertEqual(host.returncode, 128 + signal.SIGHUP)
        self.assertIn("plan.dxf.sv$", errors)
        self.assertTrue(os.path.exists(self.path("plan.dxf.sv$")))

        # Without unsaved changes nothing is written.
        os.remove(self.path("plan.dxf.sv$"))
        terminal = self.start("plan.dxf")
        terminal.expect(r"Command: $")
        os.kill(terminal.pid, signal.SIGTERM)
        self.assertEqual(terminal.wait_exit(), 128 + signal.SIGTERM)
        self.assertFalse(os.path.exists(self.path("plan.dxf.sv$")))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
