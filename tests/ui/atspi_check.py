#!/usr/bin/python3
"""What a screen reader on Linux reads of the editor's lists over the accessibility bus (AT-SPI).

Starts the window program named by the first argument (tests/ui/atspi_window.cpp), finds its
application on the bus and reads G8P4, the species list of gym 8's fourth member, before and
after pressing Open through the bus as assistive technology does: its name, its text (the entry
it shows), its description, states and relations; then a list of gym 6, and the names of all 52
lists. Then the buttons' shortcuts and what pressing Save says; then it opens and closes
G8P4 and changes its entry by key, listening for what a screen reader follows (Orca speaks
what it is pointed at, not a changed text). Prints what it read and heard. Exits 1 when a
list is not named by its field, its entry is not its text, its field would be spoken twice,
the new entry was not announced, a button does not report its shortcut, the save was not
announced, or the screen reader was not pointed at the entry by a key or at the current item
of the opened list. Runs under tests/ui/on-accessibility-bus, which gives it an X display
and the accessibility bus.
"""

import queue
import subprocess
import sys
import threading
import time

try:
    import gi

    gi.require_version("Atspi", "2.0")
    from gi.repository import GLib

    import pyatspi
except (ImportError, ValueError) as missing:
    print(f"skipped: pyatspi cannot be used ({missing}); python3-pyatspi provides it")
    sys.exit(0)

FIELD = "Gym 8, member 4, species"
GYM6_FIELD = "Gym 6, member 1, species"
PLACEHOLDER = "Placeholder: not read from the image and not saved"
LISTS = 52
SHORTCUTS = {"Open": "Ctrl+O", "Save": "Ctrl+S"}
SAVED = "Saved \"\u2068roster.nds\u2069\"; it already held every value shown."
WAIT = 30  # seconds for any one thing to happen
# Key symbols: F4 opens a drop-down list as Alt+Down does, without a modifier to hold.
DOWN, F4, ESCAPE = 0xFF54, 0xFFC1, 0xFF1B
# What a screen reader follows. Qt tells of a combo box's new selection only while someone listens
# for changed values too, as screen readers do.
TOLD = ("object:state-changed:focused", "object:selection-changed",
        "object:property-change:accessible-value")


def pump():
    """Lets libatspi take in what the bus sent, such as the events listened for."""
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def wait_for(what, probe, seconds=WAIT):
    deadline = time.monotonic() + seconds
    while True:
        pump()
        result = probe()
        if result:
            return result
        if time.monotonic() > deadline:
            raise TimeoutError(f"{what}: nothing within {seconds} s")
        time.sleep(0.05)


class Program:
    """The window program, its output read line by line as it comes."""

    def __init__(self, path):
        self.process = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        text=True)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))

    def next_line(self, prefix):
        """The rest of the program's next line that starts with `prefix`."""
        def probe():
            while True:
                try:
                    line = self.lines.get_nowait()
                except queue.Empty:
                    if self.process.poll() is not None:
                        raise RuntimeError(f"the program ended ({self.process.returncode})")
                    return None
                if line.startswith(prefix):
                    return [line[len(prefix):]]
        return wait_for(f"the program's '{prefix}'", probe)[0]

    def end(self):
        """Closes its input, which ends it, and returns its exit status; kills it if it does not
        end."""
        self.process.stdin.close()
        try:
            return self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return "killed: it did not end within 10 s of its input closing"


def application_of(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        app = desktop.getChildAtIndex(index)
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except GLib.Error:  # an application that went away
            continue
    return None


def controls(app):
    """The lists under each named container (a gym's frame), in the window's order, and the
    push buttons by name. A list's one child, its drop-down list, is built only when asked for:
    the walk does not ask."""
    lists, buttons = {}, {}

    def walk(node, container):
        for index in range(node.childCount):
            child = node.getChildAtIndex(index)
            if child is None:
                continue
            role = child.getRole()
            if role == pyatspi.ROLE_COMBO_BOX:
                lists.setdefault(container, []).append(child)
            elif role == pyatspi.ROLE_PUSH_BUTTON:
                buttons[child.name] = child
            else:
                walk(child, child.name or container)

    walk(app, "")
    return lists, buttons


def text_of(accessible):
    try:
        text = accessible.queryText()
    except NotImplementedError:
        return None
    return text.getText(0, -1)


def read(accessible):
    """What a screen reader can read of one control."""
    relations = []
    for relation in accessible.getRelationSet():
        kind = relation.getRelationType()
        kind = getattr(kind, "value_nick", str(kind))
        for index in range(relation.getNTargets()):
            target = relation.getTarget(index)
            shown = target.getState().contains(pyatspi.STATE_SHOWING)
            relations.append((kind, target.getRoleName(), target.name, shown))
    return {
        "role": accessible.getRoleName(),
        "name": accessible.name,
        "text": text_of(accessible),
        "description": accessible.description,
        "states": sorted(pyatspi.stateToString(state).lower()
                         for state in accessible.getState().getStates()),
        "relations": relations,
    }


def show(title, facts):
    print(f"{title}:")
    for key in ("role", "name", "text", "description"):
        value = facts[key]
        print(f"  {key}: {'(no text interface)' if value is None else repr(value)}")
    print(f"  states: {' '.join(facts['states'])}")
    if not facts["relations"]:
        print("  relations: none")
    for kind, role, name, shown in facts["relations"]:
        print(f"  relation: {kind} {role} {name!r}{'' if shown else ' (not shown)'}")


def problems_of(facts, name, text, description):
    found = []
    if facts["name"] != name:
        found.append(f"name is {facts['name']!r}, not {name!r}")
    if text is not None and facts["text"] != text:
        found.append(f"text is {facts['text']!r}, not {text!r}")
    if facts["description"] != description:
        found.append(f"description is {facts['description']!r}, not {description!r}")
    for kind, role, target, shown in facts["relations"]:
        if target == facts["name"]:
            found.append(f"the field is spoken again through {kind} {role} {target!r}")
        elif not shown:
            found.append(f"{kind} {role} {target!r} is not on the screen")
    return found


def shortcut_problems(buttons):
    """What is wrong with the shortcuts the buttons report with their Press action, which
    screen readers speak with the button."""
    found = []
    for name, expected in SHORTCUTS.items():
        action = buttons[name].queryAction()
        names = [action.getName(index).lower() for index in range(action.nActions)]
        binding = action.getKeyBinding(names.index("press")) if "press" in names else None
        print(f"{name} button: shortcut {binding!r}")
        if binding != expected:
            found.append(f"the {name} button reports the shortcut {binding!r}, not {expected!r}")
    return found


def save_problems(buttons):
    """Presses Save through the bus and listens for what a screen reader hears of it, since
    nothing else shows a save: with Qt 6.8 an announcement, before that a notification that
    appears."""
    heard = []

    def listen(event):
        if event.type == "object:announcement":
            heard.append(str(event.any_data))
        elif event.detail1 == 1 and event.source.getRole() == pyatspi.ROLE_NOTIFICATION:
            heard.append(event.source.name)

    kinds = ("object:announcement", "object:state-changed:showing")
    for kind in kinds:
        pyatspi.Registry.registerEventListener(listen, kind)
    try:
        action = buttons["Save"].queryAction()
        action.doAction([action.getName(i).lower() for i in range(action.nActions)].index("press"))
        wait_for("the save's announcement", lambda: SAVED in heard, seconds=5)
        print(f"Save: heard {heard}")
        return []
    except TimeoutError:
        return [f"Save: {SAVED!r} was not announced; heard {heard}"]
    finally:
        for kind in kinds:
            pyatspi.Registry.deregisterEventListener(listen, kind)


def press(keysym):
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)


def selection_told(app):
    """Whether the toolkit tells of a selection (Qt 6.5 on), which is then how a closed list's
    entry reaches a screen reader."""
    major, minor = (int(part) for part in app.get_toolkit_version().split(".")[:2])
    return (major, minor) >= (6, 5)


def focused_item(told):
    """The list item that last took the focus, with the name it had then."""
    for kind, source, name, detail in reversed(told):
        if kind == TOLD[0] and detail == 1:
            return (source, name) if source.getRole() == pyatspi.ROLE_LIST_ITEM else None
    return None


def keys_heard(app, species, program, told):
    """What a screen reader follows as G8P4 is opened, closed and changed by key."""
    found = []
    species.queryComponent().grabFocus()
    wait_for("G8P4 taking the focus",
             lambda: species.getState().contains(pyatspi.STATE_FOCUSED))
    entry = text_of(species)

    told.clear()
    press(F4)
    item = wait_for("the opened list's current item taking the focus", lambda: focused_item(told))
    print(f"opened: {item[0].getRoleName()} {item[1]!r} has the focus")
    if item[1] != entry:
        found.append(f"opened: the focus is on {item[1]!r}, not on the entry {entry!r}")
    if item[0].parent is None or item[0].parent.parent is None \
       or item[0].parent.parent.name != FIELD:
        found.append("opened: the focused item is not in G8P4's drop-down list")
    press(ESCAPE)
    wait_for("G8P4 taking the focus back",
             lambda: species.getState().contains(pyatspi.STATE_FOCUSED))

    told.clear()
    press(DOWN)
    entry = program.next_line("G8P4 shows: ")
    if selection_told(app):
        wait_for("G8P4's selection changing",
                 lambda: any(kind == TOLD[1] and name == FIELD for kind, _, name, _ in told))
        selection = species.querySelection()
        selected = [selection.getSelectedChild(index).name
                    for index in range(selection.nSelectedChildren)]
        print(f"Down: G8P4's selection changed, now {selected}")
        if selected != [entry]:
            found.append(f"Down: G8P4's selection is {selected}, not [{entry!r}]")
        if focused_item(told) is not None:
            found.append("Down: an item of the closed list took the focus")
    else:
        item = wait_for("the new entry taking the focus", lambda: focused_item(told))
        print(f"Down: {item[0].getRoleName()} {item[1]!r} has the focus")
        if item[1] != entry:
            found.append(f"Down: the focus is on {item[1]!r}, not on the new entry {entry!r}")
        if not item[0].getState().contains(pyatspi.STATE_FOCUSED):
            found.append("Down: the item told to have the focus does not say so")
    return found


def main():
    if len(sys.argv) != 2:
        print("usage: atspi_check.py WINDOW-PROGRAM", file=sys.stderr)
        return 2
    heard, told = [], []

    def listen(event):
        heard.append((event.type, event.source.name, event.any_data))

    def follow(event):
        told.append((event.type, event.source, event.source.name, event.detail1))

    pyatspi.Registry.registerEventListener(listen, "object:text-changed:insert")
    pyatspi.Registry.registerEventListener(follow, *TOLD)
    program = Program(sys.argv[1])
    problems = []
    try:
        program.next_line("window shown")
        app = wait_for("the program on the accessibility bus",
                       lambda: application_of(program.process.pid))
        print(f"application {app.name!r} (process {program.process.pid}) on the bus")

        def gym_lists():
            lists, buttons = controls(app)
            if len(lists.get("Gym 8 Sunyshore", [])) == 8 and "Open" in buttons:
                return lists, buttons
            return None

        lists, buttons = wait_for("the window's lists", gym_lists)
        species = lists["Gym 8 Sunyshore"][7]  # g81 G8P1 ... g84 G8P4
        names_before = [each.name for frame in lists.values() for each in frame]
        before = read(species)
        show("G8P4 before Open", before)
        problems += [f"before Open: {each}" for each in problems_of(before, FIELD, "", "")]

        action = buttons["Open"].queryAction()
        names = [action.getName(index).lower() for index in range(action.nActions)]
        if "press" not in names:
            raise RuntimeError(f"the Open button offers no Press action, only {names}")
        heard.clear()
        action.doAction(names.index("press"))
        shown = program.next_line("G8P4 shows: ")
        wait_for("G8P4's new entry on the bus",
                 lambda: species.name != before["name"] or text_of(species))

        after = read(species)
        show("G8P4 after Open", after)
        problems += [f"after Open: {each}" for each in problems_of(after, FIELD, shown, "")]
        for state in ("focusable", "expandable"):
            if state not in after["states"]:
                problems.append(f"after Open: G8P4 is not {state}")
        try:
            wait_for("the announcement of G8P4's entry",
                     lambda: any(source == after["name"] and data == shown
                                 for kind, source, data in heard), seconds=5)
            print(f"  heard: text inserted {shown!r}")
        except TimeoutError:
            problems.append(f"after Open: no text-changed:insert {shown!r} was heard from G8P4;"
                            f" heard {heard}")

        placeholder = read(lists["Gym 6 Canalave"][1])  # Combo22 G6P1 ...
        show("G6P1 after Open", placeholder)
        problems += [f"G6P1: {each}"
                     for each in problems_of(placeholder, GYM6_FIELD, None, PLACEHOLDER)]

        every = [each for frame in lists.values() for each in frame]
        names = [each.name for each in every]
        renamed = [f"{old!r} -> {new!r}" for old, new in zip(names_before, names) if old != new]
        named_by_entry = [each.name for each in every if each.name == text_of(each)]
        print(f"{len(every)} lists, {len(set(names))} different names, {len(renamed)} renamed "
              f"by the load, {len(named_by_entry)} named by their entry")
        if len(every) != LISTS or len(set(names)) != LISTS:
            problems.append(f"{len(every)} lists with {len(set(names))} names, not {LISTS}")
        if renamed:
            problems.append(f"lists renamed by the load: {', '.join(renamed[:5])} ...")
        if named_by_entry:
            problems.append(f"lists named by their entry: {named_by_entry}")

        problems += shortcut_problems(buttons)
        problems += save_problems(buttons)
        problems += keys_heard(app, species, program, told)
    except (TimeoutError, RuntimeError, KeyError, IndexError) as failure:
        problems.append(f"{type(failure).__name__}: {failure}")
    finally:
        status = program.end()
        pyatspi.Registry.deregisterEventListener(listen, "object:text-changed:insert")
        pyatspi.Registry.deregisterEventListener(follow, *TOLD)
    if status != 0:
        problems.append(f"the program's exit status: {status}")

    for problem in problems:
        print(f"FAILED: {problem}")
    print("what a screen reader reads is right" if not problems else f"{len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
