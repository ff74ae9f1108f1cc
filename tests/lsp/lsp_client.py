#!/usr/bin/env python3
"""Speaks LSP to the real `zirvon --lsp` over pipes, as an editor does.

First a table of exchanges: what is sent (messages, or raw bytes: garbage,
frames cut short) and what must come back. Then the examples and random
sources from the reference models' generator: the diagnostics must be the
command line's, message for message and place for place (in UTF-16
columns), and hover over notes and rests must give the block and tick that
/list gives for the same event.

usage: lsp_client.py ZIRVON [--count N] [--seed S] [--emulator COMMAND...]
"""
import json
import os
import queue
import re
import subprocess
import sys
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "model"))
import harness  # noqa: E402

TIMEOUT = 60
COMPARED = [0]


def encode(message):
    """A message as a frame; its strings may hold bytes that are not UTF-8,
    carried as surrogate escapes, which go out as the bytes they were."""
    body = json.dumps(message, ensure_ascii=False).encode("utf-8", "surrogateescape")
    return b"Content-Length: %d\r\n\r\n" % len(body) + body


class Server:
    def __init__(self, zirvon, options=None):
        self.process = subprocess.Popen([*zirvon, "--lsp"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        self.inbox = queue.Queue()
        self.next_id = 1
        self.err = b""
        threading.Thread(target=self._read, daemon=True).start()
        self.err_reader = threading.Thread(target=self._read_err, daemon=True)
        self.err_reader.start()
        if options is not None:
            assert "result" in self.request("initialize", {"initializationOptions": options})

    def _read(self):
        out = self.process.stdout
        while True:
            header = b""
            while not header.endswith(b"\r\n\r\n"):
                byte = out.read(1)
                if not byte:
                    self.inbox.put(None)
                    return
                header += byte
            length = int(re.search(rb"Content-Length: (\d+)", header).group(1))
            self.inbox.put(json.loads(out.read(length)))

    def _read_err(self):
        self.err = self.process.stderr.read()

    def send(self, message):
        self.process.stdin.write(message if isinstance(message, bytes) else encode(message))
        self.process.stdin.flush()

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def wait_for(self, wanted):
        """The first message for which wanted(message) holds; the others are dropped."""
        while True:
            message = self.inbox.get(timeout=TIMEOUT)
            if message is None:
                raise EOFError("the server closed its output")
            if wanted(message):
                return message

    def request(self, method, params=None):
        id_ = self.next_id
        self.next_id += 1
        self.send({"jsonrpc": "2.0", "id": id_, "method": method, "params": params or {}})
        return self.wait_for(lambda m: m.get("id") == id_ and "method" not in m)

    def diagnostics(self, uri):
        return self.wait_for(lambda m: m.get("method") == "textDocument/publishDiagnostics"
                             and m["params"]["uri"] == uri)["params"]["diagnostics"]

    def close(self):
        """Ends the input; the exit status. Its standard error is then in err."""
        self.process.stdin.close()
        status = self.process.wait(timeout=TIMEOUT)
        self.err_reader.join(timeout=TIMEOUT)
        return status


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))


def open_doc(server, uri, text):
    server.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "mml", "version": 1,
                                                            "text": text}})


def protocol_table(zirvon, watch_memory):
    """The exchanges, each on a fresh server: (name, what to do, what must hold)."""
    uri = "file:///tmp/song.mml"
    big = "".join(f"1[C D E F] 2[G A B >C<] ; bar {n} of a long song, in a comment\n" for n in range(18000))

    def garbage(s):
        s.send(b"hello\r\n\r\nworld\x00\xff")
        return s.request("shutdown")

    def bad_frames(s):
        s.send(b"Content-Length: x\r\n\r\n" + b"Content-Length: 2\r\n\r\n{]")
        parse_error = s.wait_for(lambda m: "error" in m)
        return parse_error, s.request("shutdown")

    def big_document(s):
        open_doc(s, uri, big)
        diagnostics = s.diagnostics(uri)
        hover = s.request("textDocument/hover", {"textDocument": {"uri": uri},
                                                 "position": {"line": 1000, "character": 4}})
        return len(big), diagnostics[0]["code"], hover["result"]["contents"]["value"].split("  ")[0]

    def many_edits(s):
        open_doc(s, uri, "1[C D E F] 2[G A B >C<]\n" * 200)
        s.diagnostics(uri)
        at = {"line": 100, "character": 3}

        def edits(n):
            for k in range(n):
                end = at if k % 2 == 0 else {"line": 100, "character": 5}
                s.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": k + 2}, "contentChanges": [
                    {"range": {"start": at, "end": end}, "text": " E" if k % 2 == 0 else ""}]})
            return s.request("textDocument/hover", {"textDocument": {"uri": uri}, "position": {"line": 100, "character": 4}})

        edits(1000)
        before = rss_kib(s.process.pid) if watch_memory else 0
        last = edits(10000)
        grown = (rss_kib(s.process.pid) - before) if watch_memory else 0
        return last["result"]["contents"]["value"].split("  ")[0], grown < 4096

    def cut_short(s):
        s.send(b"Content-Length: 100\r\n\r\n{\"jsonrpc\"")
        return s.close(), s.err.decode()

    return [
        ("garbage is skipped, the next message answered", garbage, {"jsonrpc": "2.0", "id": 2, "result": None}),
        ("a frame with no length is skipped; one that is no JSON is a parse error", bad_frames,
         ({"jsonrpc": "2.0", "id": None, "error": {"code": -32700, "message": "the message is not JSON"}},
          {"jsonrpc": "2.0", "id": 2, "result": None})),
        ("an unknown method", lambda s: s.request("textDocument/rename")["error"]["code"], -32601),
        ("a document of 1 MB", big_document, (len(big), "track-full", "**D4** · MIDI 62 · track 1, event 5001")),
        ("10,000 edits in a row, memory steady", many_edits, ("**D4** · MIDI 62 · track 1, event 501", True)),
        ("shutdown then exit: status 0", lambda s: (s.request("shutdown")["result"], s.notify("exit", None),
                                                    s.process.wait(timeout=TIMEOUT)), (None, None, 0)),
        ("the input ends without exit: status 1", lambda s: s.close(), 1),
        ("the input ends inside a frame: status 1", cut_short,
         (1, "zirvon: the input ended inside a message (10 bytes)\n")),
    ]


# --- The command line's view of a source ---

DIAGNOSTIC = re.compile(rb"^src\.MML:(?:(\d+):(\d+):)? (error|warning|note): (.*)$", re.M)
SEVERITY = {b"error": 1, b"warning": 2, b"note": 3}


def lsp_position(data, line, column):
    """The LSP position of a compiler place (line, byte column, from 1)."""
    if line == 0:
        return {"line": 0, "character": 0}
    starts = [0] + [i + 1 for i, b in enumerate(data) if b == 0x0A]
    offset = min(starts[line - 1] + column - 1, len(data))
    lsp_line, start = 0, 0
    for m in re.finditer(rb"\r\n|\r|\n", data[:offset]):
        lsp_line, start = lsp_line + 1, m.end()
    units = len(data[start:offset].decode("utf-8", "surrogateescape").encode("utf-16-le", "surrogatepass")) // 2
    return {"line": lsp_line, "character": units}


def listing(stdout):
    """(track, index) -> (block, tick) from /list."""
    rows, track = {}, None
    for text in stdout.decode("latin-1").splitlines():
        m = re.match(r"Track (\d+):", text)
        if m:
            track = int(m.group(1))
            continue
        fields = text.split()
        if track is not None and len(fields) == 7 and fields[0].isdigit():
            rows[(track, int(fields[0]))] = (fields[5], fields[6])
    return rows


def checker(server):
    counter = [0]

    def check(zirvon, folder, data, rng):
        counter[0] += 1
        uri = f"file://{folder}/song{counter[0]}.mml"
        run = harness.run(zirvon, folder, "src.MML", "/list")
        open_doc(server, uri, data.decode("utf-8", "surrogateescape"))
        got = server.diagnostics(uri)
        want = [{"severity": SEVERITY[m.group(3)], "message": m.group(4).decode("utf-8", "surrogateescape"),
                 "start": lsp_position(data, int(m.group(1) or 0), int(m.group(2) or 0))}
                for m in DIAGNOSTIC.finditer(run.stderr)]
        problems = []
        shown = [{"severity": d["severity"], "message": d["message"], "start": d["range"]["start"]} for d in got]
        # Messages with bytes that are not UTF-8 come back with U+FFFD for them.
        for w in want:
            w["message"] = w["message"].encode("utf-8", "surrogateescape").decode("utf-8", "replace")
        if shown != want:
            first = next((i for i in range(min(len(shown), len(want))) if shown[i] != want[i]), None)
            problems.append(f"diagnostics differ at {first}: {shown[first] if first is not None else len(shown)} "
                            f"vs the command line's {want[first] if first is not None else len(want)}")
        if run.returncode == 0:
            rows = listing(run.stdout)
            lines = data.split(b"\n")
            for _ in range(40):
                line = rng.randrange(len(lines))
                column = rng.randrange(len(lines[line]) + 1) + 1
                reply = server.request("textDocument/hover", {"textDocument": {"uri": uri},
                                                             "position": lsp_position(data, line + 1, column)})
                text = (reply.get("result") or {}).get("contents", {}).get("value", "")
                event = re.search(r"track (\d+), event (\d+)", text)
                timing = re.search(r"block (\d+) · (?:first heard|starts) at \S+ \(tick (\d+)\)", text)
                if event and timing:
                    key = (int(event.group(1)), int(event.group(2)))
                    COMPARED[0] += 1
                    if rows.get(key) != timing.groups():
                        problems.append(f"hover at {line + 1}:{column}: {timing.groups()}, /list: {rows.get(key)}")
        server.notify("textDocument/didClose", {"textDocument": {"uri": uri}})
        return problems

    return check


FIXED = [
    b"\xc3\xa9\xf0\x9f\x98\x80 1[C D \xe3\x81\x82 V] 2[E F]\r\n1[G \x81A] 2[A]\r3[C]\n",
    b"Title\n1[O4 L8 C D E] 2[C%300 Q9 D]\n12[C] 1[C\n1[C] 2[D] 3[E]\n",
    b"",
]


def main():
    native = not any(arg == "--emulator" for arg in sys.argv)
    # Memory is watched on the real thing only: a sanitizer keeps what is
    # freed in quarantine for a while, and an emulator's process is another.
    watch_memory = native and sys.platform == "linux" and "ASAN_OPTIONS" not in os.environ
    zirvon = [a for a in sys.argv[sys.argv.index("--emulator") + 1:]] if not native else []
    zirvon.append(os.path.abspath(sys.argv[1]))
    failures = 0
    table = protocol_table(zirvon, watch_memory)
    for name, act, expected in table:
        server = Server(zirvon, {})
        try:
            got = act(server)
        except Exception as e:  # a hang or a closed pipe is a failure of its row
            got = f"{type(e).__name__}: {e}"
        if got != expected:
            failures += 1
            print(f"{name}: got {got!r}, expected {expected!r}")
        if server.process.poll() is None:
            server.process.kill()
            server.process.wait()
    print(f"protocol: {len(table) - failures} of {len(table)} rows as expected")
    server = Server(zirvon, {})
    examples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples")
    fixed = FIXED + [open(os.path.join(examples, name), "rb").read() for name in sorted(os.listdir(examples))]
    status = harness.main(checker(server), count=200, seed=19, fixed=fixed)
    server.close()
    print(f"hover compared with /list on {COMPARED[0]} notes and rests")
    return 1 if failures or status else 0


if __name__ == "__main__":
    sys.exit(main())
