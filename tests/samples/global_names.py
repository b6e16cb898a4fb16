#!/usr/bin/env python3
"""Prints what the given headers declare in the global namespace, one "header:line name" a line,
read from GCC's raw dump of a translation unit that includes them
(g++ -fsyntax-only -fdump-lang-raw=DUMP). Forward declarations of Qt's classes are left out.

usage: global_names.py DUMP HEADER...
"""
import re
import sys

DECLARATIONS = {"type_decl", "var_decl", "function_decl", "namespace_decl", "const_decl",
                "template_decl"}
FIELD = re.compile(r"(\w[\w ]*?):\s*(\S+)")
IDENTIFIER = re.compile(r"strg: (\S+)")


def nodes(path, kinds):
    """Yields (id, kind, text) for each node of the given kinds; a node may run over lines."""
    node = None
    with open(path, encoding="utf-8", errors="replace") as dump:
        for line in dump:
            if line.startswith("@"):
                if node:
                    yield node
                parts = line.split(None, 2)
                node = (parts[0], parts[1], parts[2] if len(parts) > 2 else "") \
                    if parts[1] in kinds else None
            elif node:
                node = (node[0], node[1], node[2] + line)
    if node:
        yield node


def main():
    dump, headers = sys.argv[1], {h.rsplit("/", 1)[-1] for h in sys.argv[2:]}
    names, declared, global_scope = {}, [], None
    for number, kind, text in nodes(dump, DECLARATIONS | {"identifier_node",
                                                          "translation_unit_decl"}):
        if kind == "identifier_node":
            match = IDENTIFIER.search(text)
            names[number] = match.group(1) if match else ""
        elif kind == "translation_unit_decl":
            global_scope = number
        elif "srcp: " in text:
            fields = dict(FIELD.findall(text))
            if fields["srcp"].rsplit(":", 1)[0] in headers:
                declared.append((fields["srcp"], fields.get("name"), fields.get("scpe")))
    if global_scope is None:
        sys.exit("no translation unit in " + dump)
    found = set()
    for where, name, scope in declared:
        name = names.get(name, "")
        # Type information the compiler made (_ZTI...) and Qt's own classes declared ahead.
        if scope == global_scope and not name.startswith("_Z") and not re.match(r"Q[A-Z]", name):
            found.add((where, name))
    for where, name in sorted(found):
        print(where, name)


if __name__ == "__main__":
    main()
