#!/usr/bin/env python3
"""Runs the Windows serial-port tests under Wine against a pseudo-terminal linked as COM7.

The pseudo-terminal's master end plays as much of a head as a rate switch needs: "@" ->
"#SYNC\\n", a rate change -> "#OK\\n" then "CMND\\r\\n", any other line -> "#ER\\n".
usage: serial_pty_peer.py SOURCE_DIR TEST_EXE
"""
import os
import select
import subprocess
import sys
import threading
import tty

COM = 7


def reply_to(line):
    text = line.strip(b" ")
    rate = text.startswith(b"<") and text.endswith(b">") and text[1:-1].isdigit()
    return b"#OK\nCMND\r\n" if rate else b"#ER\n"


def serve(master, done):
    line = b""
    while not done.is_set():
        if not select.select([master], [], [], 0.05)[0]:
            continue
        try:
            data = os.read(master, 4096)
        except OSError:
            return
        for c in (data[i:i + 1] for i in range(len(data))):
            if c in (b"@", b"\r"):
                os.write(master, b"#SYNC\n" if c == b"@" else reply_to(line))
                line = b""
            elif len(line) < 4096:
                line += c


def main():
    source, exe = sys.argv[1], sys.argv[2]
    binary = os.environ.get("SK720_BINARY_DIR", os.path.dirname(os.path.dirname(exe)))
    root = os.environ.get("SK720_WINE_ROOT", os.path.join(binary, "wine"))
    env = dict(os.environ, SK720_WINE_ROOT=root, WINEPREFIX=os.path.join(root, "prefix"),
               WINEDEBUG="-all", TMPDIR=os.path.join(root, "tmp"), SK720_TEST_COM=str(COM))
    if not os.path.exists(os.path.join(root, "prefix", "system.reg")):
        subprocess.run([os.path.join(source, "scripts", "wine-prefix"), root], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)  # and tmp

    master, slave = os.openpty()
    tty.setraw(slave)  # the slave stays open here so the master never sees a hang-up
    link = os.path.join(env["WINEPREFIX"], "dosdevices", "com%d" % COM)
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(os.ttyname(slave), link)

    # The port list key is volatile: fill it in the server the test will use.
    subprocess.run(["wineserver", "-p", "60"], env=env, check=False)
    key = r"HKLM\HARDWARE\DEVICEMAP\SERIALCOMM"
    for name, value in (("SimHead", "COM%d" % COM), ("SimLower", "com12")):
        subprocess.run(["wine", "reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", value, "/f"],
                       env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    done = threading.Event()
    server = threading.Thread(target=serve, args=(master, done), daemon=True)
    server.start()
    try:
        return subprocess.run(["wine", exe, "--gtest_filter=SerialPortWin32.*"], env=env,
                              timeout=300).returncode
    finally:
        done.set()
        server.join(2)
        os.remove(link)


if __name__ == "__main__":
    sys.exit(main())
