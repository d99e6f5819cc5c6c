#!/usr/bin/python3
"""Works the real quorel-host from outside, as a user with a screen reader or a test robot would:
through the accessibility bus (AT-SPI), on a real X display, with real files and a real CUPS
queue. Run it under Xvfb and a private D-Bus session (tests/e2e/run_desktop_e2e.sh does both).

The user's path: open a PDF, open "Tesser Pro..." from the Extensions menu, define and save a
Tesserion, apply it to the current document, undo, apply it again and save, apply it to a folder
list, print the list to a CUPS queue, undo the list. Every step is checked with qpdf and poppler's
tools on the files, and a screenshot of the screen is kept for each step.
"""

import argparse
import hashlib
import os
import re
import shutil
import signal
import subprocess
import sys
import time

import pyatspi
from gi.repository import Atspi, GLib

SKIP = 77  # ctest's SKIP_RETURN_CODE

STAMP_NAME = "E2E"
STAMP_TEXT = "E2E <PageNumber>/<PageCount>"


class Failure(Exception):
    pass


def log(message):
    print(f"[{time.strftime('%H:%M:%S')}] {message}", flush=True)


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def wait_for(what, predicate, timeout=30.0):
    deadline = time.monotonic() + timeout
    while True:
        try:
            value = predicate()
        except (GLib.Error, RuntimeError, AttributeError):
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(0.1)


# --- the accessibility tree ----------------------------------------------------------------


def name_of(node):
    try:
        return node.name
    except GLib.Error:
        return None


def role_of(node):
    try:
        return node.getRoleName()
    except GLib.Error:
        return None


def children(node):
    try:
        return [node.getChildAtIndex(i) for i in range(node.childCount)]
    except GLib.Error:
        return []


def descendants(node):
    stack = [node]
    while stack:
        current = stack.pop()
        if current is None:
            continue
        yield current
        stack.extend(reversed(children(current)))


def find_all(root, role, name=None, showing=True):
    found = []
    for node in descendants(root):
        if role_of(node) != role or (name is not None and name_of(node) != name):
            continue
        if showing and not node.getState().contains(pyatspi.STATE_SHOWING):
            continue
        found.append(node)
    return found


def find(root, role, name=None, showing=True):
    nodes = find_all(root, role, name, showing)
    return nodes[0] if nodes else None


def need(root, role, name=None, showing=True, timeout=15.0):
    return wait_for(f'{role} "{name}"', lambda: find(root, role, name, showing), timeout)


def enabled(node):
    return node.getState().contains(pyatspi.STATE_ENABLED)


def press(node):
    """Presses a button or menu item. An action that opens a modal window answers only when the
    window closes, so the call is given a short time and the window is then found in the tree."""
    if not enabled(node):
        raise Failure(f'"{name_of(node)}" is disabled')
    Atspi.set_timeout(1500, -1)
    try:
        node.queryAction().doAction(0)
    except GLib.Error:
        pass  # a modal window is open; its own controls answer
    finally:
        Atspi.set_timeout(25000, -1)


def type_into(node, text):
    """Gives the control the keyboard focus and types the text, as a user would."""
    node.queryComponent().grabFocus()
    wait_for("keyboard focus", lambda: node.getState().contains(pyatspi.STATE_FOCUSED), 5)
    node.queryEditableText().setTextContents("")
    Atspi.generate_keyboard_event(0, text, Atspi.KeySynthType.STRING)
    wait_for(f'"{text}" typed', lambda: text_of(node) == text, 10)


def click(node):
    """A left click in the middle of the control, on the screen."""
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    Atspi.generate_mouse_event(box.x + box.width // 2, box.y + box.height // 2, "b1c")


def text_of(node):
    t = node.queryText()
    return t.getText(0, t.characterCount)


# --- the session -----------------------------------------------------------------------------


class Session:
    def __init__(self, args):
        self.args = args
        self.work = args.work
        self.shots = args.screenshots
        self.step = 0
        self.procs = []
        os.makedirs(self.shots, exist_ok=True)

    def start(self, document):
        env = dict(os.environ)
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        env["QT_ACCESSIBILITY"] = "1"
        bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(bus)
        time.sleep(0.5)
        self.host = subprocess.Popen([self.args.host, document], env=env,
                                     stdout=open(os.path.join(self.work, "host.log"), "w"),
                                     stderr=subprocess.STDOUT)
        self.procs.append(self.host)
        desktop = pyatspi.Registry.getDesktop(0)

        def app():
            for node in children(desktop):
                if name_of(node) == "quorel-host":
                    return node
            return None

        self.app = wait_for("quorel-host on the accessibility bus", app, 30)
        self.main = need(self.app, "frame")
        log(f"quorel-host is up: {name_of(self.main)}")

    def stop(self):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.send_signal(signal.SIGTERM)
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()

    def screenshot(self, label):
        self.step += 1
        path = os.path.join(self.shots, f"e2e-{self.step:02d}-{label}.png")
        time.sleep(0.3)  # let the last repaint reach the screen
        result = run(["import", "-window", "root", path])
        if result.returncode != 0:
            raise Failure(f"screenshot failed: {result.stderr}")
        log(f"screenshot {path}")

    def dialog(self):
        return find(self.app, "dialog", "Tesser Pro")

    def open_dialog(self):
        extensions = need(self.main, "menu item", "Extensions")
        item = need(extensions, "menu item", "Tesser Pro...", showing=False)
        press(item)
        return wait_for("the Tesser Pro dialog", self.dialog, 15)

    def tab(self, dialog, name):
        tab = need(dialog, "page tab", name)
        tab.queryComponent().grabFocus()
        press(tab)
        return wait_for(f'the "{name}" page', lambda: find(dialog, "filler", name), 10)


# --- the scenario ----------------------------------------------------------------------------


def dump(node, out, depth=0):
    out.append("  " * depth + f"[{role_of(node)}] {name_of(node)!r}")
    for child in children(node):
        dump(child, out, depth + 1)


def pdf_words(path, word):
    """The word's boxes per page, from pdftotext -bbox: [(page, xMin, yMin, page height)]."""
    result = run(["pdftotext", "-bbox", path, "-"])
    if result.returncode != 0:
        raise Failure(f"pdftotext cannot read {path}: {result.stderr}")
    boxes, page, height = [], 0, 0.0
    for line in result.stdout.splitlines():
        m = re.search(r'<page width="[\d.]+" height="([\d.]+)"', line)
        if m:
            page, height = page + 1, float(m.group(1))
            continue
        m = re.search(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="[\d.]+" yMax="[\d.]+">(.*)</word>',
                      line)
        if m and m.group(3) == word:
            boxes.append((page, float(m.group(1)), float(m.group(2)), height))
    return boxes


def page_count(path):
    m = re.search(r"^Pages:\s+(\d+)", run(["pdfinfo", path]).stdout, re.M)
    if not m:
        raise Failure(f"pdfinfo cannot read {path}")
    return int(m.group(1))


def check_pdf(path):
    result = run(["qpdf", "--check", path])
    if result.returncode != 0:
        raise Failure(f"qpdf --check {path}: {result.stdout}{result.stderr}")


def check_stamped(path):
    """One stamp per page, its 12-point line standing on a baseline an inch from the left edge and
    half an inch down from the top (positions are measured from the top left corner)."""
    check_pdf(path)
    pages = page_count(path)
    boxes = pdf_words(path, STAMP_NAME)
    if [b[0] for b in boxes] != list(range(1, pages + 1)):
        raise Failure(f"{path}: stamps on pages {[b[0] for b in boxes]}, expected 1..{pages}")
    for page, x, y, height in boxes:
        if not (71 <= x <= 73) or not (36 - 12 <= y <= 36):
            raise Failure(f"{path}: stamp on page {page} at x={x}, y={y} (height {height})")
    text = run(["pdftotext", "-f", "1", "-l", "1", path, "-"]).stdout
    if f"{STAMP_NAME} 1/{pages}" not in text:
        raise Failure(f"{path}: page 1 does not read \"{STAMP_NAME} 1/{pages}\"")


def check_unstamped(path):
    check_pdf(path)
    if pdf_words(path, STAMP_NAME):
        raise Failure(f"{path} still has a stamp")


def tab_name(s):
    tabs = need(s.main, "page tab list")
    return name_of(need(tabs, "page tab"))


def define_tesserion(s, dialog):
    page = s.tab(dialog, "Tesserion")
    type_into(need(page, "text", "Text"), STAMP_TEXT)
    type_into(need(page, "text", "X"), "1")
    type_into(need(page, "text", "Y"), "0.5")
    type_into(need(page, "text", "Name"), STAMP_NAME)
    save = need(page, "push button", "Save")
    press(save)
    wait_for("Save to be done", lambda: not enabled(save), 10)
    # Drop-down lists are named by their labels; the value is the name shown.
    names = need(page, "combo box", "Name")
    if not find(names, "list item", STAMP_NAME, showing=False):
        raise Failure("the saved Tesserion is not in the Name list")
    s.screenshot("tesserion-saved")


def buttons(dialog):
    return {name: need(dialog, "push button", name) for name in ("Print...", "Apply", "Undo",
                                                                  "Close")}


def wait_idle(dialog):
    """A run is over when Close is enabled again."""
    close = need(dialog, "push button", "Close")
    wait_for("the run to end", lambda: enabled(close), 120)


def select_tesserion(page):
    """Applies the named Tesserion alone: picks it in "Not to be applied" and moves it over."""
    press(need(page, "radio button", "Selected tesserions"))
    applied = need(page, "list", "To be applied")
    if find(applied, "list item", STAMP_NAME, showing=False):
        return
    others = need(page, "list", "Not to be applied")
    items = find_all(others, "list item", showing=False)
    names = [name_of(item) for item in items]
    if STAMP_NAME not in names:
        raise Failure(f'"{STAMP_NAME}" is not among the Tesserions to choose: {names}')
    click(items[names.index(STAMP_NAME)])
    press(need(page, "push button", "Move into To be applied"))
    wait_for(f'"{STAMP_NAME}" in "To be applied"',
             lambda: find(applied, "list item", STAMP_NAME, showing=False), 10)


def apply_to_current(s, dialog, tesserion):
    page = s.tab(dialog, "Apply")
    if tesserion == "current":
        press(need(page, "radio button", "Current tesserion"))
    else:
        select_tesserion(page)
    press(need(page, "radio button", "Current document"))
    b = buttons(dialog)
    press(b["Apply"])
    wait_idle(dialog)
    wait_for("the undo history in the Undo button", lambda: enabled(b["Undo"]), 10)
    return b


def close_dialog(s, dialog):
    press(need(dialog, "push button", "Close"))
    wait_for("the dialog to close", lambda: s.dialog() is None, 10)


def current_document_runs(s, dialog, document):
    original = sha256(document)
    if enabled(buttons(dialog)["Undo"]):
        raise Failure("Undo is enabled before any run")
    b = apply_to_current(s, dialog, "current")
    wait_for("the modified mark", lambda: tab_name(s) == "current.pdf*", 10)
    s.screenshot("applied-to-current")
    press(b["Undo"])
    wait_idle(dialog)
    wait_for("the Undo button to go off", lambda: not enabled(b["Undo"]), 10)
    s.screenshot("undone")
    # The document had no unsaved changes when the dialog opened and every run on it was undone:
    # closing the dialog takes the mark off.
    close_dialog(s, dialog)
    wait_for("the modified mark to go", lambda: tab_name(s) == "current.pdf", 10)
    # A new dialog starts with an untitled Tesserion: the saved one is chosen by name.
    dialog = s.open_dialog()
    apply_to_current(s, dialog, "selected")
    s.screenshot("selected-tesserion")
    close_dialog(s, dialog)
    wait_for("the modified mark to stay", lambda: tab_name(s) == "current.pdf*", 10)
    if sha256(document) != original:
        raise Failure("the current document's file changed before it was saved")
    press(need(s.main, "menu item", "Save", showing=False))
    wait_for("the saved mark", lambda: tab_name(s) == "current.pdf", 15)
    # One stamp a page: the undone run left nothing behind.
    check_stamped(document)
    s.screenshot("current-saved")
    log("current document: applied, undone, applied again and saved; stamps checked")


def choose_in_file_dialog(s, title, path, accept):
    box = wait_for(f'the "{title}" file dialog', lambda: find(s.app, "dialog", title), 15)
    field = None
    for candidate in find_all(box, "text"):
        if candidate.getState().contains(pyatspi.STATE_EDITABLE):
            field = candidate
    if field is None:
        lines = []
        dump(box, lines)
        raise Failure("no file name box in the file dialog:\n" + "\n".join(lines))
    # Typed key by key, the box's completer jumps into folders as their names are completed; the
    # whole path is put in at once, as a paste would.
    field.queryComponent().grabFocus()
    field.queryEditableText().setTextContents(path)
    wait_for(f'"{path}" in the file name box', lambda: text_of(field) == path, 10)
    s.screenshot(re.sub(r"\W+", "-", title.lower()).strip("-") + "-chooser")
    press(need(box, "push button", accept))
    wait_for(f'the "{title}" file dialog to close', lambda: find(s.app, "dialog", title) is None, 10)


def list_items(page):
    documents = need(page, "list", "Documents")
    return [name_of(item) for item in find_all(documents, "list item", showing=False)]


def apply_to_list(s, dialog, folder, single, originals, notes):
    page = s.tab(dialog, "Apply")
    select_tesserion(page)
    press(need(page, "radio button", "Multiple documents"))
    press(need(page, "push button", "Add folder..."))
    choose_in_file_dialog(s, "Add folder", folder, "Choose")
    press(need(page, "push button", "Browse..."))
    choose_in_file_dialog(s, "Open", single, "Open")
    entries = list_items(page)
    if entries != [folder + "/", single]:
        raise Failure(f"documents list {entries}")
    b = buttons(dialog)
    press(b["Apply"])
    wait_idle(dialog)
    s.screenshot("applied-to-list")
    for path in originals:
        check_stamped(path)
    # What is not a PDF in the folder is left alone.
    if sha256(os.path.join(folder, "notes.txt")) != notes:
        raise Failure("notes.txt changed")
    wait_for("the undo history in the Undo button", lambda: enabled(b["Undo"]), 10)
    log(f"list: {len(originals)} files stamped and checked")


def print_list(s, dialog, outbox, originals):
    before = {path: sha256(path) for path in originals}
    b = buttons(dialog)
    press(b["Print..."])
    wait_idle(dialog)
    expected = len(before)
    jobs = wait_for(f"{expected} print jobs in the queue's output",
                    lambda: (lambda found: found if len(found) >= expected else None)(
                        sorted(f for f in os.listdir(outbox) if f.endswith(".pdf"))), 60)
    time.sleep(1)
    jobs = sorted(f for f in os.listdir(outbox) if f.endswith(".pdf"))
    if len(jobs) != expected:
        raise Failure(f"{len(jobs)} print jobs for {expected} documents: {jobs}")
    for job in jobs:
        path = os.path.join(outbox, job)
        check_pdf(path)
        # The printed copy carries the stamp once per page, like the file it came from.
        stamps = pdf_words(path, STAMP_NAME)
        if len(stamps) != page_count(path):
            raise Failure(f"print job {job}: {len(stamps)} stamps on {page_count(path)} pages")
    for path, digest in before.items():
        if sha256(path) != digest:
            raise Failure(f"printing changed {path}")
    s.screenshot("printed")
    log(f"print: {len(jobs)} jobs, sources unchanged")


def rendering(path):
    """Every page drawn at 36 dpi, as one gray image's bytes."""
    result = subprocess.run(["pdftoppm", "-r", "36", "-gray", path], capture_output=True)
    if result.returncode != 0:
        raise Failure(f"pdftoppm cannot draw {path}")
    return result.stdout


def undo_list(s, dialog, originals, sample):
    b = buttons(dialog)
    press(b["Undo"])
    wait_idle(dialog)
    # Undo takes the stamps off and saves the file again: the pages read and look as before.
    text, image = run(["pdftotext", sample, "-"]).stdout, rendering(sample)
    for path in originals:
        check_unstamped(path)
        if run(["pdftotext", path, "-"]).stdout != text or rendering(path) != image:
            raise Failure(f"undo did not put back the pages of {path}")
    wait_for("the Undo button to go off", lambda: not enabled(b["Undo"]), 10)
    s.screenshot("list-undone")
    log("list undone: every file is its original again")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", required=True, help="the quorel-host executable")
    parser.add_argument("--sample", required=True, help="a PDF to work on (copied)")
    parser.add_argument("--work", required=True, help="an empty folder for the run's files")
    parser.add_argument("--config", required=True, help="the profile's folder (XDG_CONFIG_HOME)")
    parser.add_argument("--screenshots", required=True)
    parser.add_argument("--outbox", required=True, help="where the print queue writes its jobs")
    args = parser.parse_args()
    s = Session(args)
    document = os.path.join(s.work, "current.pdf")
    shutil.copyfile(args.sample, document)
    folder = os.path.join(s.work, "batch")
    os.makedirs(folder)
    for name in ("a.pdf", "b.pdf", "c.pdf"):
        shutil.copyfile(args.sample, os.path.join(folder, name))
    with open(os.path.join(folder, "notes.txt"), "w") as notes:
        notes.write("not a PDF\n")
    os.makedirs(os.path.join(s.work, "single"))
    single = os.path.join(s.work, "single", "d.pdf")
    shutil.copyfile(args.sample, single)
    originals = {os.path.join(folder, n): sha256(os.path.join(folder, n))
                 for n in ("a.pdf", "b.pdf", "c.pdf")}
    originals[single] = sha256(single)
    notes = sha256(os.path.join(folder, "notes.txt"))
    try:
        s.start(document)
        s.screenshot("host")
        dialog = s.open_dialog()
        s.screenshot("dialog")
        define_tesserion(s, dialog)
        current_document_runs(s, dialog, document)
        profile = os.path.join(args.config, "Quorel.ini")
        with open(profile, "rb") as f:
            if b"[Tesserion_E2E]" not in f.read():
                raise Failure(f"{profile} has no [Tesserion_E2E] after the dialog closed")
        dialog = s.open_dialog()
        apply_to_list(s, dialog, folder, single, originals, notes)
        print_list(s, dialog, args.outbox, originals)
        undo_list(s, dialog, originals, args.sample)
        close_dialog(s, dialog)
    except Failure as e:
        log(f"FAILED: {e}")
        lines = []
        for window in children(s.app) if getattr(s, "app", None) else []:
            dump(window, lines)
        print("\n".join(lines))
        s.screenshot("failure")
        return 1
    finally:
        s.stop()
    log("all steps passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
