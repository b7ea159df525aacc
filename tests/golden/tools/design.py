#!/usr/bin/env python3
"""Helpers to design golden input files: a chosen station, points around it,
readings computed from the azimuths (rounded to the decimals written in the
file) plus small deliberate errors, and the critical precision at which the
variance test changes its verdict (T scales as 1/sigma^2)."""
import math
import random

import model

# decimals written for a reading
DEC = {'gd': 6, 'gr': 5}


def ring(st, n, radius, seed=1):
    rnd = random.Random(seed)
    pts = []
    base = rnd.uniform(0, 360)
    for i in range(n):
        az = math.radians(base + i * 360.0 / n + rnd.uniform(-8, 8))
        d = radius * rnd.uniform(0.4, 2.5)
        pts.append(('P%d' % (i + 1), round(st[0] + d * math.sin(az), 3), round(st[1] + d * math.cos(az), 3)))
    return pts


def az_deg(st, M, P):
    return math.degrees(math.atan2(M - st[0], P - st[1])) % 360.0


def reading_text(unit, deg, exact=False):
    deg = deg % 360.0
    if unit == 'gd':
        return repr(deg) if exact else '%.6f' % deg
    if unit == 'gr':
        g = deg * 400.0 / 360.0
        return repr(g) if exact else '%.5f' % g
    # gs: degrees minutes seconds
    d = int(deg)
    m = int((deg - d) * 60)
    s = ((deg - d) * 60 - m) * 60
    if exact:
        return '%d %d %r' % (d, m, s)
    s = round(s, 2)
    if s >= 60.0:
        s -= 60.0
        m += 1
    if m >= 60:
        m -= 60
        d += 1
    return '%d %d %.2f' % (d, m, s)


def error_deg(unit, e):
    """An error in seconds of arc ("gd", "gs") or mgon ("gr") as degrees."""
    if unit == 'gr':
        return e / 1000.0 * 360.0 / 400.0
    return e / 3600.0


def point_lines(unit, st, pts, orient=37.25, errors=None, exact=False, fmt=None):
    lines = []
    for i, (name, M, P) in enumerate(pts):
        e = errors[i] if errors else 0.0
        deg = az_deg(st, M, P) - orient + error_deg(unit, e)
        r = reading_text(unit, deg, exact)
        if fmt:
            lines.append(fmt(name, M, P, r))
        else:
            lines.append('%-12s %12.3f %12.3f  %s' % (name, M, P, r))
    return lines


def zenith_lines(unit, st, H0, hi, zpts, errors=None, fmt=None):
    """zpts: (name, M, P, h, signal). Zenith reading from the geometry."""
    lines = []
    for i, (name, M, P, h, s) in enumerate(zpts):
        d = math.hypot(M - st[0], P - st[1])
        dh = (h + s) - H0 - hi
        z = math.degrees(math.atan2(d, dh)) + error_deg(unit, errors[i] if errors else 0.0)
        if unit == 'gd':
            r = '%.6f' % z
        elif unit == 'gr':
            r = '%.5f' % (z * 400.0 / 360.0)
        else:
            dd = int(z)
            m = int((z - dd) * 60)
            sec = round(((z - dd) * 60 - m) * 60, 2)
            if sec >= 60.0:
                sec -= 60.0
                m += 1
            r = '%d %d %.2f' % (dd, m, sec)
        if fmt:
            lines.append(fmt(name, M, P, h, r, s))
        else:
            lines.append('%-10s %12.3f %12.3f %9.3f  %s  %.3f' % (name, M, P, h, r, s))
    return lines


def input_text(unit, tol, prec, station, plines, zhead=None, zlines=None, eol='\n'):
    out = ['%s %s %s' % (unit, tol, prec), station, str(len(plines))] + plines
    if zhead is not None:
        out += [zhead] + zlines
    return eol.join(out) + eol


def run_model(text, stdin='in.txt\nout.txt\nS\n'):
    r = model.Run({'in.txt': text}, stdin, [])
    con, out, status = r.execute()
    return r, con, out.get('out.txt'), status


def recovery(unit, st, pts, orient=123.4567):
    """Adjusts exact readings (one pass) and returns the distance in metres
    between the adjusted and the chosen station."""
    text = input_text(unit, 0.0001, 1.0, 'S', point_lines(unit, st, pts, orient, exact=True))
    r = model.Run({'in.txt': text}, 'in.txt\nout.txt\nN\n', [])
    r.con = []
    r.rep = []
    r.repname = 'out.txt'
    r.inp = model.InputFile(text)
    r.planimetric_input()
    r.prev = r.res = '?'
    r.approx()
    r.weights()
    r.iterate()
    return math.hypot(r.adjM - st[0], r.adjP - st[1])


def critical_plan(r):
    """Critical direction precision (in seconds or mgon) of the first pass."""
    sig, verdict, T, it = r.passes_plan[0]
    q0 = T * sig * sig
    crit = math.sqrt(q0 / model.chi2_95(r.r))
    return r.prec_from_rad(crit)


def critical_height(r):
    sig, verdict, T = r.passes_height[0]
    q0 = T * sig * sig
    crit = math.sqrt(q0 / model.chi2_95(r.nz - 1))
    return r.prec_from_rad(crit)
