#!/usr/bin/python3
"""The setup program under Wine, each course in a fresh prefix.

    setup_test.py --setup SETUP.exe --work DIR all-users [--screenshot PNG]
    setup_test.py --setup SETUP.exe --work DIR --makensis M --nsi NSI
                  --files FOLDER --icon ICO --course COURSE.vbs upgrade

all-users: a silent install with the automation component for every user
puts the files, the Start-menu and desktop shortcuts and the registry keys in
place; kelv.torb can be created; kelv-form.exe, started from the target of
the Start-menu shortcut on an Xvfb screen, opens the sample workspace the
first start offers (the screenshot is kept); the silent uninstall leaves no
file in the install folder, no shortcut and no key it wrote, and the user's
sample workspace and the form's settings stay.

upgrade: an older version (the same script, an older number) installed for
one user with the automation component and without the desktop shortcut; a
workspace made with its kelv.exe; while that kelv.exe runs, a silent upgrade
stops (exit code 3) and changes nothing; then the new version installed
silently over it with no options finds it (same folder, same mode, same
choices), and the
workspace still works: a VBScript course of work through kelv.torb assigns
exam numbers in it and saves. The uninstall then takes everything of the
user's install away and nothing of the machine's.

Exits 77 (skipped) when Wine or Xvfb is missing.
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import time

UNINSTALL = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\kelv"
SETUP = "Software\\kelv\\Setup"
SETTINGS = "Software\\kelv\\kelv-form"
FILES = ["kelv-form.exe", "kelv.exe", "kelv.dll", "help.doc", "kelv-dll.md", "README.txt",
         "uninstall.exe"]
MENU = "kelv 考务"
SHORTCUTS = {"kelv 考务.lnk": "kelv-form.exe", "用户指南.lnk": "help.doc",
             "卸载 kelv.lnk": "uninstall.exe"}
CLASSES = {
    "kelv.torb": "{0DCE4881-DDD8-4DD2-BDA7-AEC3CBD3CB51}",
    "kelv.Application": "{24973E80-6951-4F44-B519-4F81054B263B}",
    "kelv.Form": "{BD7C0112-DDFF-4BFA-91B4-9BD98EB23E70}",
}
LIBID = "{BCEC03D3-7D84-4FEF-9F29-9B7D88D2D81F}"

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


class Prefix:
    """A fresh Wine prefix with its own home, so that the documents and
    desktop folders Wine links to the home stay inside the test's folder."""

    def __init__(self, work):
        self.root = os.path.join(work, "prefix")
        self.home = os.path.join(work, "home")
        for d in (self.root, self.home):
            shutil.rmtree(d, ignore_errors=True)
        os.makedirs(os.path.join(self.home, "Documents"))
        os.makedirs(os.path.join(self.home, "Desktop"))
        self.env = dict(os.environ, WINEPREFIX=self.root, WINEDEBUG="-all", WINEARCH="win64",
                        LC_ALL="C.UTF-8", HOME=self.home,
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        subprocess.run(["wineboot", "--init"], env=self.env, capture_output=True, timeout=600)
        self.wait()
        # Chinese faces for the form's screenshot, as the other Windows tests have them.
        fonts = os.path.join(self.root, "drive_c", "windows", "Fonts")
        for folder in ("wqy", "arphic", "liberation2", "crosextra"):
            base = os.path.join("/usr/share/fonts/truetype", folder)
            for name in os.listdir(base) if os.path.isdir(base) else []:
                if name.endswith((".ttf", ".ttc")):
                    target = os.path.join(fonts, name)
                    if not os.path.exists(target):
                        os.symlink(os.path.join(base, name), target)

    def run(self, args, timeout=600, env=None):
        return subprocess.run(["wine"] + args, env=env or self.env, capture_output=True,
                              timeout=timeout)

    def wait(self):
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=600)

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)

    def unix(self, windows_path):
        """The Linux path of a path on drive C: or Z:."""
        drive, rest = windows_path[0].lower(), windows_path[2:].replace("\\", "/").lstrip("/")
        if drive == "z":
            return "/" + rest
        return os.path.join(self.root, "drive_c", rest)

    def shell_folder(self, name):
        """A folder of the current user as Windows names it (e.g. Personal, Desktop)."""
        key = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
        return self.unix(self.export(key).get(key, {}).get(name, ""))

    def export(self, key):
        """Every key under `key` with its values: {KEY: {NAME: VALUE}}, NAME "" the
        default; {} when the key is not there."""
        out = os.path.join(self.home, "export.reg")
        if os.path.exists(out):
            os.remove(out)
        r = self.run(["reg", "export", key, windows_path(out), "/y"])
        if r.returncode != 0 or not os.path.exists(out):
            return {}
        with open(out, "rb") as f:
            text = f.read().decode("utf-16")
        return parse_reg(text, key)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


ROOTS = {"HKEY_LOCAL_MACHINE": "HKLM", "HKEY_CURRENT_USER": "HKCU", "HKEY_CLASSES_ROOT": "HKCR"}


def parse_reg(text, asked):
    """A .reg export as {KEY: {NAME: VALUE}}, the keys spelled with the short
    root names as asked; strings and dwords (as int) only."""
    keys, current = {}, None
    prefix = asked.split("\\", 1)[0]
    for line in text.replace("\r\n", "\n").split("\n"):
        if line.startswith("[") and line.endswith("]"):
            name = line[1:-1]
            root, _, rest = name.partition("\\")
            current = ROOTS.get(root, prefix) + ("\\" + rest if rest else "")
            keys[current] = {}
        elif current is not None and "=" in line:
            name, _, value = line.partition("=")
            name = "" if name == "@" else unquote(name)
            if value.startswith('"'):
                keys[current][name] = unquote(value)
            elif value.startswith("dword:"):
                keys[current][name] = int(value[6:], 16)
    # The export spells the asked key's case as stored; look-ups use the asked spelling.
    return {k if k.lower() != asked.lower() else asked: v for k, v in keys.items()}


def unquote(s):
    s = s[1:-1] if s.startswith('"') and s.endswith('"') else s
    return s.replace('\\"', '"').replace("\\\\", "\\")


def link_target(path):
    """The target path and the working folder of a .lnk file (the shell link
    format: its local base path, else the relative path's string)."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 0x4C or struct.unpack_from("<I", data, 0)[0] != 0x4C:
        return None, None
    flags = struct.unpack_from("<I", data, 0x14)[0]
    pos = 0x4C
    if flags & 0x1:  # target ID list
        pos += 2 + struct.unpack_from("<H", data, pos)[0]
    target = None
    if flags & 0x2:  # link info
        size, header, _, _, base = struct.unpack_from("<IIIII", data, pos)
        if header >= 0x24:
            unicode_base = struct.unpack_from("<I", data, pos + 0x1C)[0]
            end = data.index(b"\0\0", pos + unicode_base)
            end += (end - pos - unicode_base) % 2
            target = data[pos + unicode_base:end].decode("utf-16-le")
        else:
            end = data.index(b"\0", pos + base)
            target = data[pos + base:end].decode("latin-1")
        pos += size
    unicode = bool(flags & 0x80)
    strings = {}
    for bit, name in ((0x4, "name"), (0x8, "relative"), (0x10, "workdir"), (0x20, "args"),
                      (0x40, "icon")):
        if flags & bit:
            n = struct.unpack_from("<H", data, pos)[0]
            pos += 2
            width = 2 if unicode else 1
            raw = data[pos:pos + n * width]
            strings[name] = raw.decode("utf-16-le" if unicode else "latin-1").rstrip("\0")
            pos += n * width
    return target or strings.get("relative"), strings.get("workdir")


def same_path(a, b):
    return a is not None and b is not None and a.lower().rstrip("\\") == b.lower().rstrip("\\")


def install(prefix, setup, args):
    t = time.monotonic()
    r = prefix.run([setup, "/S"] + args)
    prefix.wait()
    return r.returncode, time.monotonic() - t


def uninstall(prefix, folder):
    t = time.monotonic()
    r = prefix.run([folder + "\\uninstall.exe", "/S"])
    # The uninstaller runs on from a copy in the temporary folder.
    prefix.wait()
    return r.returncode, time.monotonic() - t


def torb_created(prefix, work):
    script = os.path.join(work, "create.vbs")
    with open(script, "w", encoding="ascii") as f:
        f.write('Set t = CreateObject("kelv.torb")\r\nWScript.Echo "created " & TypeName(t)\r\n')
    r = prefix.run(["cscript", "//nologo", windows_path(script)])
    # Wine's cscript ends with 0 after a script error too, having echoed nothing.
    return r.returncode == 0 and b"created " in r.stdout


class ClassesAsWindowsMerges:
    """Windows looks a class up in HKCU\\Software\\Classes before HKLM's, so
    a registration for one user is found by every program that user runs.
    Wine 8 reads HKEY_CLASSES_ROOT from HKLM alone; inside this block the
    user's registration is copied there, and taken away again after it, so
    that what the installer wrote is still all that is checked."""

    def __init__(self, prefix):
        self.prefix = prefix
        self.copied = []

    def __enter__(self):
        for key in class_keys("HKCU"):
            if self.prefix.export(key):
                machine = "HKLM" + key[len("HKCU"):]
                self.prefix.run(["reg", "copy", key, machine, "/s", "/f"])
                self.copied.append(machine)
        return self

    def __exit__(self, *_):
        for key in self.copied:
            self.prefix.run(["reg", "delete", key, "/f"])


def class_keys(root):
    return ["%s\\Software\\Classes\\CLSID\\%s" % (root, c) for c in CLASSES.values()] + \
        ["%s\\Software\\Classes\\%s" % (root, p) for p in CLASSES] + \
        ["%s\\Software\\Classes\\TypeLib\\%s" % (root, LIBID)]


def check_installed(prefix, root, folder, menu, desktop, version, automation, desktop_link=True):
    """The files, shortcuts and keys of an install into `folder`, with its
    keys under `root` (HKLM or HKCU)."""
    unix = prefix.unix(folder)
    for name in FILES:
        check(os.path.isfile(os.path.join(unix, name)), f"{folder}\\{name} installed")
    for link, target in SHORTCUTS.items():
        got, workdir = link_target(os.path.join(menu, link))
        check(same_path(got, folder + "\\" + target),
              f"Start-menu entry {link} runs {folder}\\{target} (found {got})")
    link = os.path.join(desktop, "kelv 考务.lnk")
    got = link_target(link)[0] if os.path.exists(link) else None
    if desktop_link:
        check(same_path(got, folder + "\\kelv-form.exe"), "desktop shortcut runs kelv-form.exe")
    else:
        check(got is None, "no desktop shortcut, as chosen")
    entry = prefix.export(f"{root}\\{UNINSTALL}").get(f"{root}\\{UNINSTALL}", {})
    check(entry.get("DisplayName") == "kelv 考务", f"{root} uninstall entry named kelv 考务")
    check(entry.get("DisplayVersion") == version, f"uninstall entry of version {version}")
    check(same_path(entry.get("InstallLocation"), folder), "uninstall entry names the folder")
    check(folder.lower() in entry.get("UninstallString", "").lower(),
          "uninstall entry runs the uninstaller")
    check(isinstance(entry.get("EstimatedSize"), int) and entry["EstimatedSize"] > 10000,
          f"uninstall entry gives the size ({entry.get('EstimatedSize')} KB)")
    setup = prefix.export(f"{root}\\{SETUP}").get(f"{root}\\{SETUP}", {})
    check(same_path(setup.get("InstallLocation"), folder), f"{root}\\{SETUP} names the folder")
    other = "HKCU" if root == "HKLM" else "HKLM"
    check(not prefix.export(f"{other}\\{UNINSTALL}"), f"nothing installed under {other}")
    registered = prefix.export(f"{root}\\Software\\Classes\\CLSID\\{CLASSES['kelv.torb']}")
    server = registered.get(
        f"{root}\\Software\\Classes\\CLSID\\{CLASSES['kelv.torb']}\\InprocServer32", {})
    if automation:
        check(same_path(server.get(""), folder + "\\kelv.dll"),
              f"kelv.torb registered under {root} for {folder}\\kelv.dll")
        check(not any(prefix.export(k) for k in class_keys(other)),
              f"no class registered under {other}")
    else:
        check(not registered, "kelv.dll not registered")


def check_removed(prefix, root, folder, menu, desktop):
    unix = prefix.unix(folder)
    left = os.listdir(unix) if os.path.isdir(unix) else []
    check(not left, f"no file left in {folder} ({left})")
    check(not os.path.exists(menu), "Start-menu folder removed")
    check(not os.path.exists(os.path.join(desktop, "kelv 考务.lnk")), "desktop shortcut removed")
    for key in [f"{root}\\{UNINSTALL}", f"{root}\\{SETUP}"] + class_keys(root):
        check(not prefix.export(key), f"{key} removed")


def start_form_from_shortcut(prefix, menu, screenshot):
    """Starts the Start-menu entry's target on an Xvfb screen, takes the
    first start's default (the sample workspace), and returns the settings
    the form kept."""
    target, workdir = link_target(os.path.join(menu, "kelv 考务.lnk"))
    # Xvfb picks a free display itself and names it on a pipe.
    read_end, write_end = os.pipe()
    xvfb_log = os.path.join(os.path.dirname(prefix.root), "xvfb.log")
    with open(xvfb_log, "wb") as log:
        # The server may write its number again later (a reset when its last
        # client leaves, with xdotool before the form is up): the pipe stays
        # open while it runs, since a write to a closed one ends the server.
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                 "1280x800x24", "-nolisten", "tcp", "-noreset"],
                                pass_fds=(write_end,),
                                stdout=log, stderr=log)
    os.close(write_end)
    number = os.read(read_end, 64).decode().strip().splitlines()[:1]
    number = number[0] if number else ""
    if not check(bool(number), f"Xvfb starts (its messages: {xvfb_log})"):
        xvfb.wait()
        os.close(read_end)
        return {}, ""
    display = ":" + number
    env = dict(prefix.env, DISPLAY=display)
    try:
        form = subprocess.Popen(["wine", target], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL,
                                cwd=prefix.unix(workdir) if workdir else None)
        # The window, then the start dialog over it (both named kelv 考务),
        # then the dialog's default answer.
        def visible():
            return xdotool(env, "search", "--onlyvisible", "--name", "kelv 考务").split()

        shown = wait_for(lambda: len(visible()) >= 2, 180) or visible()
        check(bool(shown), "kelv-form shows the start dialog")
        time.sleep(3)  # its default button focused
        documents = prefix.shell_folder("Personal")
        sample = os.path.join(documents, "kelv 考务", "考务示例")
        made = False
        for wait in (60, 180):  # once more if the first key went before the dialog
            xdotool(env, "key", "Return")
            made = wait_for(lambda: os.path.isfile(os.path.join(sample, "考务.xlsx")), wait)
            if made or os.path.isdir(sample):
                made = made or wait_for(lambda: os.path.isfile(os.path.join(sample, "考务.xlsx")),
                                        180)
                break
        check(made, "the first start writes the sample into 文档\\kelv 考务\\考务示例")
        settings = wait_for(lambda: prefix.export("HKCU\\" + SETTINGS).get("HKCU\\" + SETTINGS), 120)
        time.sleep(8)  # the window drawn
        if screenshot:
            from PIL import ImageGrab
            ImageGrab.grab(xdisplay=display).save(screenshot)
            print(f"screenshot: {screenshot}")
        form.terminate()
        prefix.stop()
        return settings or {}, sample
    finally:
        xvfb.terminate()
        xvfb.wait()
        os.close(read_end)


def xdotool(env, *args):
    r = subprocess.run(["xdotool"] + list(args), env=env, capture_output=True, text=True)
    return r.stdout.strip() if r.returncode == 0 else ""


def wait_for(test, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        got = test()
        if got:
            return got
        time.sleep(1)
    return test()


def all_users(args):
    prefix = Prefix(args.work)
    code, seconds = install(prefix, args.setup, ["/AUTOMATION=1"])
    check(code == 0, f"silent install for all users (exit {code}, {seconds:.1f} s)")
    folder = "C:\\Program Files\\kelv"
    menu = os.path.join(prefix.root, "drive_c", "ProgramData", "Microsoft", "Windows",
                        "Start Menu", "Programs", MENU)
    desktop = os.path.join(prefix.root, "drive_c", "users", "Public", "Desktop")
    check_installed(prefix, "HKLM", folder, menu, desktop, args.version, automation=True)
    check(torb_created(prefix, args.work), "kelv.torb can be created")

    settings, sample = start_form_from_shortcut(prefix, menu, args.screenshot)
    last = settings.get("last_workspace", "")
    check(last.replace("/", "\\").lower().endswith("\\documents\\kelv 考务\\考务示例"),
          f"the form opened the sample workspace ({last})")

    code, seconds = uninstall(prefix, folder)
    check(code == 0, f"silent uninstall (exit {code}, {seconds:.1f} s)")
    check_removed(prefix, "HKLM", folder, menu, desktop)
    check(not torb_created(prefix, args.work), "kelv.torb can no longer be created")
    check(os.path.isfile(os.path.join(sample, "考务.xlsx")), "the sample workspace stays")
    check(bool(prefix.export("HKCU\\" + SETTINGS)), "the form's settings stay")
    prefix.stop()


def upgrade(args):
    prefix = Prefix(args.work)
    old = os.path.join(args.work, "kelv-setup-1.0.0.exe")
    r = subprocess.run([args.makensis, "-INPUTCHARSET", "UTF8", "-V2", "-DVERSION=1.0.0",
                        f"-DFILES={args.files}", f"-DICON={args.icon}", f"-DOUTFILE={old}",
                        args.nsi], capture_output=True, text=True)
    if not check(r.returncode == 0, "the older version's setup program made"):
        print(r.stdout, r.stderr)
        return
    code, seconds = install(prefix, old, ["/CurrentUser", "/DESKTOP=0", "/AUTOMATION=1"])
    check(code == 0, f"older version installed for this user (exit {code}, {seconds:.1f} s)")
    programs = prefix.export("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                             "Shell Folders")
    folders = next(iter(programs.values()), {})
    local = folders.get("Local AppData", "")
    folder = local + "\\Programs\\kelv"
    menu = os.path.join(prefix.unix(folders.get("Programs", "")), MENU)
    desktop = prefix.unix(folders.get("Desktop", ""))
    check_installed(prefix, "HKCU", folder, menu, desktop, "1.0.0", automation=True,
                    desktop_link=False)

    # A workspace made with the older version, the form's settings naming it.
    documents = folders.get("Personal", "")
    workspace = documents + "\\kelv 考务\\考务示例"
    r = prefix.run([folder + "\\kelv.exe", "sample", workspace, "--examinees", "60"])
    check(r.returncode == 0, "a workspace made with the older kelv.exe")
    prefix.run(["reg", "add", "HKCU\\" + SETTINGS, "/v", "last_workspace", "/d",
                workspace.replace("\\", "/"), "/f"])

    # While the older kelv.exe runs, a silent upgrade can replace nothing:
    # it stops with exit code 3 and leaves the installed version whole.
    running = subprocess.Popen(["wine", folder + "\\kelv.exe", "play", workspace],
                               stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, env=prefix.env)
    time.sleep(10)
    code = prefix.run([args.setup, "/S"]).returncode
    setup = prefix.export("HKCU\\" + SETUP).get("HKCU\\" + SETUP, {})
    check(code == 3 and setup.get("Version") == "1.0.0",
          f"no upgrade while kelv.exe runs (exit {code}, version {setup.get('Version')})")
    running.communicate(b"quit\n", timeout=120)
    prefix.wait()

    code, seconds = install(prefix, args.setup, [])
    check(code == 0, f"new version installed over it (exit {code}, {seconds:.1f} s)")
    check_installed(prefix, "HKCU", folder, menu, desktop, args.version, automation=True,
                    desktop_link=False)
    with ClassesAsWindowsMerges(prefix):
        check(torb_created(prefix, args.work), "kelv.torb can still be created")
    kept = prefix.export("HKCU\\" + SETTINGS).get("HKCU\\" + SETTINGS, {})
    check(kept.get("last_workspace") == workspace.replace("\\", "/"), "the form's settings kept")

    # The workspace still works with the new version: a course of work
    # through kelv.torb assigns exam numbers and saves.
    unix_workspace = prefix.unix(workspace)
    data = os.path.join(unix_workspace, "数据", "期末考试.xlsx")
    before = os.path.getmtime(data)
    with ClassesAsWindowsMerges(prefix):
        r = prefix.run(["cscript", "//nologo", windows_path(args.course),
                        workspace + "\\考务.xlsx"])
    out = r.stdout.decode("utf-8", "replace")
    check(r.returncode == 0 and "saved" in out,
          f"the course of work runs (exit {r.returncode}: {out.strip()}"
          f" {r.stderr.decode('utf-8', 'replace').strip()})")
    check(os.path.getmtime(data) > before and exam_numbers(data) == 60,
          "60 examinees have exam numbers in the saved data workbook")

    code, seconds = uninstall(prefix, folder)
    check(code == 0, f"silent uninstall (exit {code}, {seconds:.1f} s)")
    check_removed(prefix, "HKCU", folder, menu, desktop)
    check(os.path.isfile(data), "the workspace stays")
    prefix.stop()


def exam_numbers(data):
    """How many rows of the data workbook's 考生表 have an exam number."""
    import openpyxl
    sheet = openpyxl.load_workbook(data, read_only=True)["考生表"]
    rows = sheet.iter_rows(values_only=True)
    heading = list(next(rows, []))
    if "考号" not in heading:
        return 0
    column = heading.index("考号")
    return sum(1 for row in rows if column < len(row) and row[column] not in (None, ""))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--setup", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--screenshot")
    parser.add_argument("--makensis")
    parser.add_argument("--nsi")
    parser.add_argument("--files")
    parser.add_argument("--icon")
    parser.add_argument("--course")
    parser.add_argument("course_name", choices=["all-users", "upgrade"])
    args = parser.parse_args()
    for tool in ("wine", "wineserver", "Xvfb", "xdotool"):
        if not shutil.which(tool):
            print(f"skipped: {tool} is not installed (scripts/setup.sh --windows)")
            return 77
    os.makedirs(args.work, exist_ok=True)
    args.setup = windows_path(args.setup)
    (all_users if args.course_name == "all-users" else upgrade)(args)
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
