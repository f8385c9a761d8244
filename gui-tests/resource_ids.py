"""The client's dialog, menu, control and command ids by name, read once from
app/win32/resource_ids.h, the header its resource script and code share and kpv-auto includes, so
that the tests say which control they mean and follow the header when a number changes:

    import resource_ids as ids
    gui.must("command", ids.IDM_REMOVE_SELECTED)

A name the header does not define fails with AttributeError."""

import ast
import operator
import pathlib
import re

HEADER = pathlib.Path(__file__).resolve().parent.parent / "app" / "win32" / "resource_ids.h"

# Win32 bases an id may be written from (WM_USER + 60); the header's own names come first.
WIN32_BASES = {"WM_USER": 0x0400, "WM_APP": 0x8000}

DEFINE = re.compile(r"^\s*#\s*define\s+([A-Za-z_]\w*)(\(?)(.*)$")
# A C integer literal: decimal, hexadecimal or octal, with any u/l suffixes.
INTEGER = re.compile(r"\b(0[xX][0-9a-fA-F]+|\d+)[uUlL]*\b")
OPERATORS = {ast.Add: operator.add, ast.Sub: operator.sub, ast.Mult: operator.mul,
             ast.Mod: operator.mod, ast.BitOr: operator.or_, ast.BitAnd: operator.and_,
             ast.BitXor: operator.xor, ast.LShift: operator.lshift, ast.RShift: operator.rshift}
UNARY = {ast.USub: operator.neg, ast.UAdd: operator.pos, ast.Invert: operator.invert}


def _literal(match):
    digits = match.group(1)
    if digits.lower().startswith("0x"):
        return str(int(digits, 16))
    return str(int(digits, 8) if len(digits) > 1 and digits.startswith("0") else int(digits))


def _evaluate(node, names, define):
    """The value of one C constant expression: integers, names defined before, parentheses and
    the arithmetic and bit operators."""
    if isinstance(node, ast.Expression):
        return _evaluate(node.body, names, define)
    if isinstance(node, ast.Constant) and isinstance(node.value, int):
        return node.value
    if isinstance(node, ast.Name):
        if node.id in names:
            return names[node.id]
        if node.id in WIN32_BASES:
            return WIN32_BASES[node.id]
        raise ValueError(f"{HEADER.name}: {define} uses {node.id}, which is not defined before it")
    if isinstance(node, ast.UnaryOp) and type(node.op) in UNARY:
        return UNARY[type(node.op)](_evaluate(node.operand, names, define))
    if isinstance(node, ast.BinOp) and type(node.op) in OPERATORS:
        return OPERATORS[type(node.op)](_evaluate(node.left, names, define),
                                        _evaluate(node.right, names, define))
    if isinstance(node, ast.BinOp) and isinstance(node.op, ast.Div):
        left = _evaluate(node.left, names, define)
        right = _evaluate(node.right, names, define)
        return int(left / right)  # C's division rounds towards zero
    raise ValueError(f"{HEADER.name}: {define} is not a constant expression this reader knows")


def read_ids(text):
    """Every object-like #define NAME VALUE of the header text, in order, as integers."""
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.DOTALL)
    text = re.sub(r"\\\n", " ", text)
    names = {}
    for line in text.split("\n"):
        match = DEFINE.match(line.split("//", 1)[0])
        if not match or not match.group(3).strip():
            continue  # not a definition, or one without a value
        name, function_like, value = match.groups()
        if function_like:
            raise ValueError(f"{HEADER.name}: {name} is a function-like macro")
        expression = INTEGER.sub(_literal, value.strip())
        names[name] = _evaluate(ast.parse(expression, mode="eval"), names, name)
    return names


globals().update(read_ids(HEADER.read_text(encoding="utf-8")))
