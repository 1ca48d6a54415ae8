#!/usr/bin/env python3
"""Writes decimal_cases.txt: random cases for the decimal arithmetic test.

Run once; the output is checked in beside this script:
    python3 tests/macro/data/gen_decimal_cases.py > tests/macro/data/decimal_cases.txt

The oracle is Python's decimal module with 32 digits and ROUND_HALF_UP. Where
the editor's arithmetic has rules of its own, a small model of that rule sits
on top, and the model is checked against decimal wherever the two must agree:
  - parsing keeps the first 32 significant digits without rounding;
  - the text form: plain while the digits fit in 32 places (at most 64 after
    the point), else d.dddE+x; trailing zeros kept;
  - addition, subtraction and comparison align the operands first (the
    larger-exponent one shifts left within its unused digits, the other is
    rounded half up to the common exponent or dropped when 32 or more digits
    apart); an exact zero second operand leaves the first as written;
  - multiplication keeps the highest eight base-10000 limbs of the product
    (29 to 32 digits) and rounds up on the first dropped digit;
  - an exact quotient has no trailing zeros; the remainder has none either,
    and quotient and remainder take the product of the operands' signs;
  - power multiplies by repeated squaring, each product as above;
  - integer conversion truncates toward zero and wraps the lowest twelve
    digits to 32 bits.

Line format: op|a|b|expected text|expected code   (b empty for one-operand ops)
"""
import random
import re
import sys
from decimal import (Context, Decimal, Inexact, InvalidOperation,
                     ROUND_DOWN, ROUND_HALF_UP)

PREC = 32
CTX = Context(prec=PREC, rounding=ROUND_HALF_UP, Emax=999999999, Emin=-999999999, traps=[])
TRUNC = Context(prec=PREC, rounding=ROUND_DOWN, Emax=999999999, Emin=-999999999, traps=[])
EXACT = Context(prec=400, rounding=ROUND_HALF_UP, Emax=999999999, Emin=-999999999, traps=[])
ERR_INVALID = -3009
ERR_DIVZERO = -3017


class Num:
    def __init__(self, sign, coeff, exp):
        self.sign, self.coeff, self.exp = sign, coeff, exp  # sign 1 = negative

    @staticmethod
    def of(d):
        t = d.as_tuple()
        return Num(t.sign, int(''.join(map(str, t.digits))), t.exponent)

    def dec(self):
        return Decimal((self.sign, tuple(int(c) for c in str(self.coeff)), self.exp))


GRAMMAR = re.compile(r'^[ \t]*([+-]?)[ \t]*(\d+(?:\.\d+)?|\.\d+)(?:[Ee]([+-]?\d{0,9}))?[ \t]*$')


def parse(text):
    """The number a text holds, truncated to 32 digits; None for a non-number."""
    m = GRAMMAR.match(text)
    if not m:
        return None
    exp = m.group(3)
    canon = m.group(1) + m.group(2) + ('E' + (exp if exp.strip('+-') else '0') if exp is not None else '')
    try:
        d = TRUNC.create_decimal(canon)
    except InvalidOperation:
        return None
    if not d.is_finite():
        return None
    return Num.of(d)


def fmt(n):
    if n.coeff == 0:
        return '0'
    ds, e = str(n.coeff), n.exp
    if len(ds) > PREC:
        up = ds[PREC] >= '5'
        e += len(ds) - PREC
        ds = str(int(ds[:PREC]) + up)
        if len(ds) > PREC:
            ds, e = ds[:PREC], e + 1
    s = '-' if n.sign else ''
    d = len(ds)
    if e == 0:
        return s + ds
    if d + e <= PREC and e >= -64:
        if e > 0:
            return s + ds + '0' * e
        if d + e >= 1:
            return s + ds[:d + e] + '.' + ds[d + e:]
        return s + '0.' + '0' * (-(d + e)) + ds
    x = d + e - 1
    return s + ds[0] + ('.' + ds[1:] if d > 1 else '') + 'E' + ('-' if x < 0 else '+') + str(abs(x))


def ndigits(c):
    return len(str(c)) if c else 0


def align(a, b):
    """Copies of a and b brought to one exponent; also whether it was exact."""
    a, b = Num(a.sign, a.coeff, a.exp), Num(b.sign, b.coeff, b.exp)
    if b.coeff == 0 or a.exp == b.exp:
        return a, b, True
    hi, lo = (a, b) if a.exp > b.exp else (b, a)
    if hi.coeff == 0:  # a zero shifts left without limit
        hi.exp = lo.exp
        return a, b, True
    k = hi.exp - lo.exp
    s = min(k, PREC - ndigits(hi.coeff))
    if k - s >= PREC:
        lo.coeff, lo.exp = 0, hi.exp
        return a, b, False
    hi.coeff *= 10 ** s
    hi.exp -= s
    k -= s
    exact = True
    if k > 0:
        q, r = divmod(lo.coeff, 10 ** k)
        exact = r == 0
        lo.coeff = q + (r // 10 ** (k - 1) >= 5)
        lo.exp = hi.exp
    return a, b, exact


def signed(n):
    return -n.coeff if n.sign else n.coeff


def add(a, b):
    x, y, exact = align(a, b)
    if y.coeff == 0:
        return x
    v = signed(x) + signed(y)
    r = Num(1 if v < 0 else 0, abs(v), x.exp)
    if exact:  # decimal must agree where alignment lost nothing
        assert fmt(r) == fmt(Num.of(CTX.add(a.dec(), b.dec()))), (fmt(a), fmt(b))
    return r


def compare(a, b):
    x, y, exact = align(a, b)
    v = signed(x) - signed(y)
    c = (v > 0) - (v < 0)
    if exact:
        assert c == int(a.dec().compare(b.dec()))
    return c


def mul(a, b):
    p = a.coeff * b.coeff
    e = a.exp + b.exp
    limbs = []
    while p:
        limbs.append(p % 10000)
        p //= 10000
    if len(limbs) > 8:
        drop = len(limbs) - 8
        up = limbs[drop - 1] // 1000 >= 5
        kept = limbs[drop:]
        p = sum(l * 10000 ** i for i, l in enumerate(kept)) + up
        e += 4 * drop
    else:
        p = sum(l * 10000 ** i for i, l in enumerate(limbs))
    r = Num(a.sign ^ b.sign, p, e)
    if ndigits(a.coeff * b.coeff) <= PREC:
        assert fmt(r) == fmt(Num.of(CTX.multiply(a.dec(), b.dec())))
    return r


def divide(a, b):
    CTX.clear_flags()
    q = CTX.divide(a.dec(), b.dec())
    if not CTX.flags[Inexact]:
        q = q.normalize(CTX)
    r = Num.of(q)
    r.sign = a.sign ^ b.sign
    return r


def int_divide(a, b, mode):
    CTX.clear_flags()
    x, y = a.dec().copy_abs(), b.dec().copy_abs()
    r = CTX.divide_int(x, y) if mode == 1 else CTX.remainder(x, y)
    if CTX.flags[InvalidOperation]:  # quotient longer than 32 digits
        return None
    if mode == 2:
        r = r.normalize(CTX)
    n = Num.of(r)
    n.sign = a.sign ^ b.sign
    return n


def power(a, n):
    bits = bin(abs(n))[2:] if n else ''
    r = Num(0, 1, 0)
    for i, bit in enumerate(bits):
        if bit == '1':
            r = mul(r, a)
        if i < len(bits) - 1:
            r = mul(r, r)
    if n >= 0:
        exact = EXACT.power(a.dec(), n)
        if exact.is_finite() and ndigits(Num.of(exact).coeff) <= PREC:
            assert fmt(r) == fmt(Num.of(exact)), (fmt(a), n)
        return r
    if r.coeff == 0:
        return None
    return divide(Num(0, 1, 0), r)


def to_int(a):
    i = int(a.dec())  # truncates toward zero
    v = abs(i) % 10 ** 12
    w = (-v if i < 0 else v) & 0xFFFFFFFF
    return w - (1 << 32) if w >= 1 << 31 else w


# ---- random operands ----------------------------------------------------------

def digits(n, lead_nonzero=True):
    s = ''.join(random.choice('0123456789') for _ in range(n))
    if lead_nonzero and n:
        s = random.choice('123456789') + s[1:]
    return s


def rand_number():
    k = random.random()
    sign = '-' if random.random() < 0.35 else ''
    if k < 0.25:
        body = str(random.randint(0, 9999))
    elif k < 0.40:
        body = digits(random.randint(5, 20))
    elif k < 0.55:  # a fraction of up to 32 significant digits
        n = random.randint(1, 32)
        d = digits(n)
        p = random.randint(0, n)
        body = (d[:p] or '0') + '.' + d[p:] if p < n else d
        if random.random() < 0.2:
            body = '0.' + '0' * random.randint(1, 12) + d
    elif k < 0.65:  # a 20-digit fraction
        d = digits(20)
        p = random.randint(1, 19)
        body = d[:p] + '.' + d[p:]
    elif k < 0.80:  # exponent form
        n = random.randint(1, 32)
        d = digits(n)
        body = d[0] + ('.' + d[1:] if n > 1 else '') + random.choice('Ee') + \
            random.choice(['', '+', '-']) + str(random.randint(0, 70))
    elif k < 0.87:  # longer than 32 digits: truncated by the parser
        n = random.randint(33, 40)
        d = digits(n)
        p = random.randint(1, n)
        body = d[:p] + ('.' + d[p:] if p < n else '')
    elif k < 0.93:  # values with trailing zeros or round shapes
        body = random.choice(['1', '10', '100', '1.0', '1.50', '2.500', '9' * random.randint(1, 32),
                              '1' + '0' * random.randint(1, 31), '0.5', '0.05', '5E-1', '1E31', '1E32'])
    else:
        body = random.choice(['0', '0.00', '0E5', '000', '0.0', '0E-40'])
    text = sign + body
    r = random.random()
    if r < 0.08:
        text = ' ' * random.randint(1, 3) + text
    elif r < 0.12:
        text = text + '  '
    elif r < 0.15 and not sign:
        text = '+' + text
    elif r < 0.18 and body[0].isdigit() and 'E' not in body and 'e' not in body:
        text = sign + '00' + body
    return text


def rand_int(lo, hi):
    return str(random.randint(lo, hi))


NON_NUMBERS = ['abc', '', '5.', '.E5', 'E5', '1.2.3', '--1', '1e5x', ' ', '1 2', '0x10', '+']


def rows():
    out = []

    def emit(op, a, b, text, code=0):
        for f in (a, b, text):
            assert '|' not in f and '\n' not in f
        out.append(f'{op}|{a}|{b}|{text}|{code}')

    for _ in range(500):
        a = rand_number()
        emit('fmt', a, '', fmt(parse(a)))
    for op in ('add', 'sub'):
        for _ in range(600):
            a, b = rand_number(), rand_number()
            x, y = parse(a), parse(b)
            if op == 'sub':
                y = Num(y.sign ^ 1, y.coeff, y.exp)
            emit(op, a, b, fmt(add(x, y)))
    for _ in range(600):
        a, b = rand_number(), rand_number()
        if random.random() < 0.2:
            b = a.strip()  # equal values often
        emit('cmp', a, b, str(compare(parse(a), parse(b))))
    for _ in range(600):
        a, b = rand_number(), rand_number()
        emit('mul', a, b, fmt(mul(parse(a), parse(b))))
    for op, mode in (('div', 0), ('idiv', 1), ('mod', 2)):
        n = 0
        while n < 500:
            a, b = rand_number(), rand_number()
            x, y = parse(a), parse(b)
            if y.coeff == 0:
                emit(op, a, b, '', ERR_DIVZERO)
                n += 1
                continue
            r = divide(x, y) if mode == 0 else int_divide(x, y, mode)
            if r is None:  # quotient longer than 32 digits: not the oracle's business
                continue
            emit(op, a, b, fmt(r))
            n += 1
    for _ in range(400):
        base = random.choice([rand_int(-20, 20), random.choice(['1.5', '0.1', '2.25', '1.0001', '-0.5', '3.14159',
                                                                '10', '0', '99999', '1.07', '2']),
                              rand_number()])
        n = random.randint(-12, 40) if random.random() < 0.8 else random.randint(-3, 3)
        x = parse(base)
        if x.exp > 40 or x.exp < -40:
            continue
        r = power(x, n)
        if r is None:
            emit('pow', base, str(n), '', ERR_DIVZERO)
        else:
            emit('pow', base, str(n), fmt(r))
    for _ in range(300):
        a = rand_number()
        emit('toint', a, '', str(to_int(parse(a))))
    for op in ('and', 'or', 'xor', 'shl', 'shr'):
        for _ in range(60):
            a = rand_int(-2 ** 31, 2 ** 31 - 1) if random.random() < 0.7 else rand_number()
            b = rand_int(-100, 100) if op in ('shl', 'shr') else rand_int(-2 ** 31, 2 ** 31 - 1)
            x, y = to_int(parse(a)), to_int(parse(b))
            if op == 'and':
                r = x & y
            elif op == 'or':
                r = x | y
            elif op == 'xor':
                r = x ^ y
            elif op == 'shl':
                r = (x << (y & 31)) & 0xFFFFFFFF
                r = r - (1 << 32) if r >= 1 << 31 else r
            else:
                r = x >> (y & 31)
            emit(op, a, b, str(r))
    for _ in range(40):
        a = rand_int(-2 ** 31, 2 ** 31 - 1)
        emit('not', a, '', str(~to_int(parse(a))))
    # Non-numbers: arithmetic refuses them, comparison falls back to strings.
    for bad in NON_NUMBERS:
        for op in ('add', 'sub', 'mul', 'div', 'idiv', 'mod', 'pow', 'and', 'toint'):
            b = '' if op == 'toint' else '3'
            emit(op, bad, b, '', ERR_INVALID)
            if op != 'toint':
                emit(op, '3', bad, '', ERR_INVALID)
    for _ in range(60):
        a = random.choice(NON_NUMBERS + ['abd', ' abc ', 'ab', 'b', 'B', '~'])
        b = random.choice(NON_NUMBERS + ['abc', 'abd', '10', ' 9.99'])
        if parse(a) is not None and parse(b) is not None:
            continue
        sa, sb = a.strip(' \t').encode('latin-1'), b.strip(' \t').encode('latin-1')
        emit('cmp', a, b, str((sa > sb) - (sa < sb)))
    return out


def main():
    random.seed(20261210)
    lines = rows()
    sys.stdout.write('# generated by gen_decimal_cases.py; op|a|b|expected|code\n')
    sys.stdout.write('\n'.join(lines) + '\n')


if __name__ == '__main__':
    main()
