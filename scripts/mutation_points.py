"""Where a C++ source can take a single-point change, and what change.

A light tokenizer (comments, string and character literals and preprocessor
lines are never changed) and a walk over its tokens that knows just enough
of C++ to find the mutation points that scripts/mutants.py tries:

  negate     a comparison turned around: < to >=, <= to >, == to !=, ...
  boundary   a comparison's edge moved: < to <=, <= to <, > to >=, >= to >
  and-or     && to ||, || to &&
  sign       + to - (and += to -=, and back) before an integer constant
  const+1    an integer constant one larger (882 to 883, 0x315A to 0x315B)
  const-1    an integer constant one smaller (10'000 to 9'999)
  drop       a statement that sends, writes, appends or returns early,
             replaced by {}

Operators count only as binary operators written with a blank on both sides,
which is how the sources are formatted; a < or > that opens or closes
template arguments is never one. Constants inside template arguments and
static_asserts are left alone (changing them rarely builds).
"""
import bisect
import re
from dataclasses import dataclass

TOKEN = re.compile(r"""
    (?P<space>(?:[ \t\r\n\f\v]|\\\n)+)
  | (?P<comment>//[^\n]*|/\*.*?\*/)
  | (?P<raw>(?:u8|u|U|L)?R"(?P<delim>[^(\s]*)\(.*?\)(?P=delim)")
  | (?P<string>(?:u8|u|U|L)?"(?:\\.|[^"\\\n])*")
  | (?P<char>(?:u8|u|U|L)?'(?:\\.|[^'\\\n])*')
  | (?P<number>\.?[0-9](?:[eEpP][+-]|'[0-9A-Za-z_]|[0-9A-Za-z_.])*)
  | (?P<id>[A-Za-z_]\w*)
  | (?P<op><=>|<<=|>>=|->\*|\.\.\.|::|->|\+\+|--|<<|>>|&&|\|\||[-+*/%&|^!=<>]=|.)
""", re.S | re.X)
DIRECTIVE = re.compile(r"#(?:\\\n|[^\n])*")

NEGATE = {"<": ">=", "<=": ">", ">": "<=", ">=": "<", "==": "!=", "!=": "=="}
BOUNDARY = {"<": "<=", "<=": "<", ">": ">=", ">=": ">"}
AND_OR = {"&&": "||", "||": "&&"}
SIGN = {"+": "-", "-": "+", "+=": "-=", "-=": "+="}
CONTROL = {"if", "for", "while", "switch"}
LABELS = {"case", "default", "public", "private", "protected"}
# A call statement whose callee's name holds one of these sends, writes,
# records or removes something; dropping it is a mutant.
WRITES = re.compile(r"send|write|emit|put|print|flush|push_back|emplace|append|insert|"
                    r"note_o|release|report|sync|rename|unlink|remove")
NOT_EXPRESSIONS = {"return", "if", "else", "for", "while", "do", "switch", "case", "default",
                   "break", "continue", "goto", "using", "typedef", "namespace", "class",
                   "struct", "enum", "template", "typename", "const", "constexpr", "static",
                   "auto", "inline", "extern", "static_assert", "delete", "new", "throw"}


@dataclass
class Token:
    kind: str
    text: str
    start: int
    end: int


@dataclass
class Mutant:
    path: str
    line: int
    column: int
    operator: str
    start: int         # byte offsets of the replaced text in the file
    end: int
    replacement: str

    @property
    def id(self):
        return f"{self.path}:{self.line}:{self.column}:{self.operator}"

    def apply(self, text):
        return text[:self.start] + self.replacement + text[self.end:]

    def describe(self, text):
        """The change in one line: old text -> new text."""
        old = " ".join(text[self.start:self.end].split())
        if len(old) > 60:
            old = old[:57] + "..."
        return f"{old} -> {self.replacement.strip()}"


def tokenize(text):
    """The significant tokens of a C++ source: no blanks, comments or
    preprocessor lines."""
    tokens, pos, line_start = [], 0, True
    while pos < len(text):
        if line_start and text[pos] == "#":
            pos = DIRECTIVE.match(text, pos).end()
            continue
        m = TOKEN.match(text, pos)
        kind = m.lastgroup
        if kind == "space":
            line_start = line_start or "\n" in m.group()
        elif kind != "comment":
            line_start = False
            tokens.append(Token("string" if kind in ("raw", "char") else kind, m.group(), pos, m.end()))
        pos = m.end()
    return tokens


def neighbours(literal):
    """The literals one above and one below an integer literal, written the
    same way (base, digit separators, case, suffix), by operator name; none
    for other numbers."""
    m = (re.fullmatch(r"(0[xX])([0-9A-Fa-f']+)([uUlLzZ]*)", literal)
         or re.fullmatch(r"(0[bB])([01']+)([uUlLzZ]*)", literal)
         or re.fullmatch(r"()([0-9']+)([A-Za-z_]*)", literal))
    if not m or "." in literal or (m.group(1) == "" and re.search(r"^[0-9']+[eE]", literal)):
        return {}
    prefix, digits, suffix = m.groups()
    base = {"0x": 16, "0X": 16, "0b": 2, "0B": 2}.get(prefix, 8 if len(digits) > 1 and digits[0] == "0" else 10)
    value = int(digits.replace("'", ""), base)
    out = {}
    for operator, v in (("const+1", value + 1), ("const-1", value - 1)):
        if v < 0:
            continue
        if base == 16:
            body = format(v, "X" if not re.search("[a-f]", digits) else "x").rjust(len(digits), "0")
        elif base == 2:
            body = format(v, "b").rjust(len(digits), "0")
        elif base == 8:
            body = "0" + format(v, "o")
        else:
            body = format(v, ",").replace(",", "'") if "'" in digits else str(v)
        out[operator] = prefix + body + suffix
    return out


def statement_end(tokens, i):
    """Index of the ; that ends the statement starting at token i, or None."""
    depth = 0
    for j in range(i, len(tokens)):
        t = tokens[j].text
        if t in ("(", "[", "{"):
            depth += 1
        elif t in (")", "]", "}"):
            depth -= 1
            if depth < 0:
                return None
        elif t == ";" and depth == 0:
            return j
    return None


def is_write_statement(tokens, i, end):
    """Whether the statement tokens[i:end] is a call or stream output that
    sends or writes (and not a declaration, whose name later code uses)."""
    j = i + 1 if tokens[i].text == "::" else i
    if tokens[j].kind != "id" or tokens[j].text in NOT_EXPRESSIONS:
        return False
    while j + 2 < end and tokens[j + 1].text == "::" and tokens[j + 2].kind == "id":
        j += 2
    follow = tokens[j + 1].text
    if follow == "<<":
        return True
    if follow not in (".", "->", "(", "["):
        return False
    return any(tokens[k].kind == "id" and tokens[k + 1].text == "(" and WRITES.search(tokens[k].text)
               for k in range(i, end))


def mutation_points(path, text):
    """Every mutant of one source file, in the order they occur."""
    tokens = tokenize(text)
    line_starts = [0] + [m.end() for m in re.finditer("\n", text)]
    out = []

    def add(operator, start, end, replacement):
        line = bisect.bisect_right(line_starts, start)
        out.append(Mutant(path, line, start - line_starts[line - 1] + 1, operator, start, end, replacement))

    def blank(at):
        return at < 0 or at >= len(text) or text[at] in " \t\r\n"

    def inside_parens():
        """Whether a ( or [ is open within the innermost brace."""
        return len(parens) > (depth_at_brace[-1] if depth_at_brace else 0)

    braces = []           # per open brace: whether it opens the body of a condition or loop
    parens = []           # per open ( or [: whether it holds an if/for/while/switch condition
    depth_at_brace = []   # len(parens) when each brace opened
    angle = 0             # depth of template arguments
    frozen_until = -1     # tokens up to here belong to a static_assert
    starts = True         # the token starts a statement
    label = False         # the statement started with case, default, public, ...
    after_body_head = False   # the next token is the body of a condition, loop, else, do or label
    for i, t in enumerate(tokens):
        prev = tokens[i - 1] if i else None
        nxt = tokens[i + 1] if i + 1 < len(tokens) else None
        at_start, starts = starts, False
        body_head, after_body_head = after_body_head, False
        if at_start:
            label = t.text in LABELS
        if t.text == "static_assert":
            end = statement_end(tokens, i)
            frozen_until = end if end is not None else len(tokens)
        frozen = i <= frozen_until
        in_parens = inside_parens()

        # Structure.
        if t.text == "<" and prev and (prev.text == "template" or (prev.kind == "id" and prev.end == t.start)):
            angle += 1
        elif angle and t.text in (">", ">>"):
            angle = max(0, angle - len(t.text))
        elif t.text in ("(", "["):
            parens.append(t.text == "(" and prev is not None and prev.text in CONTROL)
        elif t.text in (")", "]"):
            if parens and parens.pop() and t.text == ")" and not inside_parens():
                starts = after_body_head = True
        elif t.text == "{":
            braces.append(body_head)
            depth_at_brace.append(len(parens))
            starts, angle = True, 0
        elif t.text == "}":
            if braces:
                braces.pop()
                del parens[depth_at_brace.pop():]
            starts, angle = True, 0
        elif t.text == ";" and not in_parens:
            starts, angle = True, 0
        elif t.text in ("else", "do"):
            starts = after_body_head = True
        elif t.text == ":" and label and not in_parens:
            starts = after_body_head = True
            label = False

        # Mutation points.
        if frozen:
            continue
        spaced = blank(t.start - 1) and blank(t.end)
        if t.kind == "op" and spaced and not angle:
            if t.text in NEGATE:
                add("negate", t.start, t.end, NEGATE[t.text])
            if t.text in BOUNDARY:
                add("boundary", t.start, t.end, BOUNDARY[t.text])
            if t.text in AND_OR:
                add("and-or", t.start, t.end, AND_OR[t.text])
            if (t.text in SIGN and nxt is not None and nxt.kind == "number" and prev is not None
                    and (prev.kind in ("id", "number") or prev.text in (")", "]"))):
                add("sign", t.start, t.end, SIGN[t.text])
        elif t.kind == "number" and not angle:
            for operator, literal in neighbours(t.text).items():
                add(operator, t.start, t.end, literal)
        elif at_start and (t.kind == "id" or (t.text == "::" and nxt is not None and nxt.kind == "id")):
            end = statement_end(tokens, i)
            if end is None:
                continue
            early = t.text == "return" and (body_head or (braces and braces[-1]))
            if early or is_write_statement(tokens, i, end):
                span = text[t.start:tokens[end].end]
                add("drop", t.start, tokens[end].end, "{}" + "\n" * span.count("\n"))
    return out

