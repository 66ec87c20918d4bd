#!/usr/bin/env python3
"""Counts the file switches of a reader who follows one run through the code.

Usage: call_walk.py BINARY TRACE SOURCE_ROOT [--skip graph/,check/] [-v]

The walk is the run's call tree (TRACE, from call_trace.c) read as a person
reads code: a call is followed only when its subtree reaches a function not
read before; functions defined in headers, outside SOURCE_ROOT or in the
skipped folders are see-through (their calls are followed, their file is not
counted). A switch is each step of the walk into a file other than the one
before: into a callee's file and back to its caller's.
"""
import argparse
import subprocess
import sys


def places(binary, addresses, root):
    """Maps each address to (function name, path below root or None)."""
    lines = subprocess.run(['addr2line', '-f', '-C', '-e', binary] + ['0x' + a for a in addresses],
                           capture_output=True, text=True, check=True).stdout.splitlines()
    found = {}
    for i, a in enumerate(addresses):
        path = lines[2 * i + 1].split(':')[0]
        rel = path[len(root):].lstrip('/') if path.startswith(root) else None
        found[a] = (lines[2 * i], rel)
    return found


class Call:
    def __init__(self, address, first):
        self.address, self.first, self.calls = address, first, []


def call_tree(events):
    """Returns the root of the calls; a call is marked when it or a callee is read the first time."""
    root, stack, seen = Call(None, False), [], set()
    stack.append(root)
    for kind, a in events:
        if kind == 'E':
            call = Call(a, a not in seen)
            seen.add(a)
            stack[-1].calls.append(call)
            stack.append(call)
        elif len(stack) > 1:
            stack.pop()
    def mark(call):  # post-order without recursion
        order, todo = [], [call]
        while todo:
            c = todo.pop()
            order.append(c)
            todo.extend(c.calls)
        for c in reversed(order):
            c.first = c.first or any(k.first for k in c.calls)
    mark(root)
    return root


def main():
    ap = argparse.ArgumentParser(description='file switches of a run read as code')
    ap.add_argument('binary'), ap.add_argument('trace'), ap.add_argument('root')
    ap.add_argument('--skip', default='graph/,check/')
    ap.add_argument('-v', action='store_true', help='print the walk')
    o = ap.parse_args()
    skip = tuple(s for s in o.skip.split(',') if s)
    events = [line.split() for line in open(o.trace)]
    where = places(o.binary, sorted({a for _, a in events}), o.root.rstrip('/') + '/')

    def file_of(call):
        rel = where[call.address][1] if call.address else None
        return rel if rel and rel.endswith('.cc') and not rel.startswith(skip) else None

    walk = []  # (file, function) at each step
    todo = [(call_tree(events), None, False)]
    while todo:
        call, owner, back = todo.pop()
        if back:
            walk.append(owner)
            continue
        here = (file_of(call), where[call.address][0]) if file_of(call) else owner
        if file_of(call):
            walk.append(here)
            if owner:
                todo.append((None, owner, True))
        todo.extend((k, here, False) for k in reversed(call.calls) if k.first)
    files = [f for f, _ in walk]
    switches = sum(1 for a, b in zip(files, files[1:]) if a != b)
    print(f'{switches} switches across {len(set(files))} files')
    if o.v:
        for i, (f, name) in enumerate(walk):
            if i == 0 or f != walk[i - 1][0]:
                print(f'  {f}  {name[:90]}')


if __name__ == '__main__':
    sys.exit(main())
