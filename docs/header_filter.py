#!/usr/bin/python3
"""Doxygen input filter for include/kvo.h.

The header is written for C programmers reading it in an editor: plain comments, and one banner per
family. For the reference pages each banner becomes a Doxygen group (one page per family) and each
comment the documentation of what follows it; the header itself stays free of markup.
"""
import re
import sys

BANNER = re.compile(r"/\* -{20,}\n \* (?P<title>[^\n]+)\n \* -{20,} \*/")


def slug(title):
    return re.sub(r"[^a-z0-9]+", "_", title.lower()).strip("_")


def convert(text):
    out, pos, open_group = [], 0, False
    for m in BANNER.finditer(text):
        out.append(comments(text[pos:m.start()]))
        if open_group:
            out.append("/** @} */\n")
        title = m.group("title")
        out.append("/** @defgroup %s %s\n * @{ */" % (slug(title), title))
        open_group, pos = True, m.end()
    out.append(comments(text[pos:]))
    if open_group:
        # Before the closing #endif, so the group ends inside the include guard.
        last = "".join(out)
        idx = last.rfind("#ifdef __cplusplus\n}")
        return last[:idx] + "/** @} */\n" + last[idx:] if idx >= 0 else last + "\n/** @} */\n"
    return "".join(out)


def comments(chunk):
    # A comment on its own line documents the declaration after it; placeholders stay plain.
    return re.sub(r"(?m)^(\s*)/\* (?!\[)", r"\1/** ", chunk)


if __name__ == "__main__":
    with open(sys.argv[1], encoding="utf-8") as f:
        sys.stdout.write(convert(f.read()))
