#!/usr/bin/env python3
"""Checks the demo's screen as `tmux capture-pane -p -e` gives it: every line's text and
the colours in effect there.

    check_screen.py strings.def screen.txt

The expected texts come from the demo's own string list. tmux writes only the attribute
changes, so the colour state is carried from cell to cell and line to line.
"""
import re
import sys

BLACK, WHITE, YELLOW = "black", "bright white", "bright yellow"
PALETTE = ["black", "red", "green", "yellow", "blue", "magenta", "cyan", "white"]


def entries(def_path):
    text = open(def_path, encoding="utf-8").read()
    found = re.findall(r'TARNFOLD_STRING\(\s*(\d+)\s*,\s*(\d+)\s*,\s*"([^"]*)"\s*\)', text)
    result = []
    for ident, units, body in found:
        if len(body.encode("utf-16-le")) // 2 != int(units):
            sys.exit(f"strings.def: entry {ident} does not hold {units} UTF-16 units")
        result.append(body)
    return result


def ansi(text):
    """Code page 1252 has none of the demo's Cyrillic or Arabic letters: '?' for each."""
    return "".join(c if ord(c) < 0x80 else "?" for c in text)


class Pen:
    def __init__(self):
        self.fg = self.bg = "default"

    def apply(self, params):
        codes = [int(p) if p else 0 for p in params.split(";")] if params else [0]
        i = 0
        while i < len(codes):
            c = codes[i]
            if c == 0:
                self.fg = self.bg = "default"
            elif 30 <= c <= 37:
                self.fg = PALETTE[c - 30]
            elif 90 <= c <= 97:
                self.fg = "bright " + PALETTE[c - 90]
            elif 40 <= c <= 47:
                self.bg = PALETTE[c - 40]
            elif 100 <= c <= 107:
                self.bg = "bright " + PALETTE[c - 100]
            elif c == 39:
                self.fg = "default"
            elif c == 49:
                self.bg = "default"
            elif c in (38, 48) and i + 2 < len(codes) and codes[i + 1] == 5:
                n = codes[i + 2]
                name = PALETTE[n] if n < 8 else "bright " + PALETTE[n - 8] if n < 16 else f"colour {n}"
                if c == 38:
                    self.fg = name
                else:
                    self.bg = name
                i += 2
            i += 1


def parse(screen):
    """(text, set of (fg, bg) over the line's visible characters) for every line."""
    pen = Pen()
    lines = []
    for raw in screen.split("\n"):
        text, colours = "", set()
        for piece in re.split(r"(\x1b\[[0-9;]*m)", raw):
            if piece.startswith("\x1b["):
                pen.apply(piece[2:-1])
                continue
            piece = re.sub(r"\x1b[^a-zA-Z]*[a-zA-Z]", "", piece)
            text += piece
            if piece.strip():
                colours.add((pen.fg, pen.bg))
        lines.append((text.rstrip(), colours))
    return lines


def main():
    wide_texts = entries(sys.argv[1])
    lines = parse(open(sys.argv[2], encoding="utf-8", errors="replace").read())
    on_white, on_yellow = (BLACK, WHITE), (BLACK, YELLOW)
    expected = []
    for text in wide_texts:
        expected += [
            (text, on_white, "wide text (WriteConsoleW)"),
            (ansi(text), on_yellow, "ANSI text"),
            (text, on_white, "UTF-8 text"),
            ("", None, "blank line of the second CR LF"),
            ("", None, "blank line of the third CR LF"),
        ]
    expected.append(("OK", on_white, '"OK"'))
    failures = 0
    for number, (text, colours, what) in enumerate(expected, 1):
        got_text, got_colours = lines[number - 1] if number <= len(lines) else ("<missing>", set())
        if got_text != text:
            print(f"line {number} ({what}): expected {text!r}\n{' ' * 8}got      {got_text!r}")
            failures += 1
        elif colours is not None and got_colours != {colours}:
            print(f"line {number} ({what}): expected {colours[0]} on {colours[1]}, got {sorted(got_colours)}")
            failures += 1
        else:
            print(f"line {number} ok: {what}" + (f", {colours[0]} on {colours[1]}" if colours else ""))
    if failures:
        sys.exit(f"{failures} line(s) differ")


if __name__ == "__main__":
    main()
