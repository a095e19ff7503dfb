#!/usr/bin/env python3
"""Checks the help page that stands beside the program: it must work offline
(no scripts, nothing loaded from elsewhere), its table of contents must lead
somewhere, and the build folder must hold the same page as the sources.

    check_help.py <source help.htm> <build folder>
"""
import sys
from html.parser import HTMLParser
from pathlib import Path


class Page(HTMLParser):
    def __init__(self):
        super().__init__()
        self.tags, self.ids, self.anchors, self.loads, self.links = [], set(), [], [], []
        self.title = ""
        self._in_title = False

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        self.tags.append(tag)
        if "id" in a:
            self.ids.add(a["id"])
        if tag == "a" and a.get("href", "").startswith("#"):
            self.anchors.append(a["href"][1:])
        elif tag == "a":
            self.links.append(a.get("href", ""))
        for name in ("src", "background", "data"):
            if name in a:
                self.loads.append(f"{tag} {name}={a[name]}")
        if tag == "link":
            self.loads.append(f"link href={a.get('href')}")
        if any(k.startswith("on") for k in a):
            self.loads.append(f"{tag} with an event handler")
        self._in_title = tag == "title"

    def handle_endtag(self, tag):
        self._in_title = False

    def handle_data(self, data):
        if self._in_title:
            self.title += data


def main():
    source, build = Path(sys.argv[1]), Path(sys.argv[2])
    raw = source.read_bytes()
    text = raw.decode("cp1252")
    page = Page()
    page.feed(text)
    problems = []
    if "script" in page.tags:
        problems.append("the page has a script")
    if page.loads:
        problems.append("the page loads something: " + ", ".join(page.loads))
    if "url(" in text or "@import" in text:
        problems.append("the style sheet loads something")
    for anchor in page.anchors:
        if anchor not in page.ids:
            problems.append(f"the link #{anchor} leads nowhere")
    if "Quendrix Ombrelo 1.0" not in page.title:
        problems.append(f"unexpected title {page.title!r}")
    for link in ("http://www.quendrix.example/ombrelo/", "mailto:support@quendrix.example"):
        if link not in page.links:
            problems.append(f"no link to {link}")
    for words in ("set.txt", "done.txt", "quendrix_yt_1", "Not converted:", "[1]clip.AVI", "44.1 kHz"):
        if words not in text:
            problems.append(f"the page does not mention {words!r}")
    copy = build / "help.htm"
    if not copy.is_file() or copy.read_bytes() != raw:
        problems.append(f"{copy} is not the same page")
    if not (build / "QuendrixOmbrelo.exe").is_file():
        problems.append("the help page is not beside QuendrixOmbrelo.exe")
    for p in problems:
        print("help.htm:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
