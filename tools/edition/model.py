"""The Harrowdene edition model: synchronisation rows and the book text.

build_edition() lays out all 6245 rows (paragraph, span, track, times) and the
1597 paragraphs of the book so that they agree with every fixed fact in
facts.py. It is deterministic: the same seed gives the same edition, byte for
byte. Later tools (translations, pictures, narration tracks) import this module
and read Edition.rows and Edition.paragraphs.
"""

import math
import random

import facts as F
import words

SEED = 20261208
GRID = 10  # every free time lies on a 10 ms grid

# Natural reading pace, units per second, that the free rows aim at.
TARGET_PACE = 15.5


class Row:
    __slots__ = ("index", "paragraph", "first", "last", "track", "start", "end")

    def __init__(self, index):
        self.index = index
        self.paragraph = None
        self.first = None
        self.last = None
        self.track = None
        self.start = None
        self.end = None

    @property
    def track_name(self):
        return F.track_name(self.track)

    def as_tuple(self):
        return (self.index, self.paragraph, self.first, self.last, self.track_name, self.start, self.end)


class Edition:
    def __init__(self, rows, paragraphs):
        self.rows = rows              # list of Row, index = row number
        self.paragraphs = paragraphs  # list of str, without line ends

    def book_bytes(self):
        """book.txt: UTF-16 LE with a byte-order mark, CR LF between lines.

        The last paragraph has no line end, so the file holds exactly
        PARAGRAPH_COUNT lines."""
        return "\ufeff".encode("utf-16-le") + "\r\n".join(self.paragraphs).encode("utf-16-le")

    def paragraph_first_cells(self):
        """First text cell of every paragraph: each paragraph with its end unit
        takes as many cells as it has units."""
        cells, cell = [], 0
        for text in self.paragraphs:
            cells.append(cell)
            cell += len(text) + 1
        return cells


def range_of(row):
    for r in F.RANGES:
        if r["first"] <= row <= r["last"]:
            return r
    raise ValueError(row)


def track_of_row(row):
    for t in F.TRACKS:
        if t[1] <= row <= t[2]:
            return t[0]
    raise ValueError(row)


# ---------------------------------------------------------------------------
# Step 1: which paragraph each row speaks.

ROW_CAP = {0: 30, 1800: 21, 3000: 20, 3900: 20, 6000: 17}


def _anchors():
    para, first_of, last_of, first_char = {}, {}, {}, {}

    def put(row, p):
        if row in para and para[row] != p:
            raise AssertionError("row %d in paragraphs %d and %d" % (row, para[row], p))
        para[row] = p

    for row, (p, first, last, _s, _e) in F.FULL_ROWS.items():
        put(row, p)
        first_char[row] = first
    for row, (p, first, last) in F.SPAN_ROWS.items():
        put(row, p)
        first_char[row] = first
    for row, p in F.PARAGRAPH_ROWS.items():
        put(row, p)
    for row, fc in first_char.items():
        first_of[row] = fc == 0
    for k, (fp, lp) in enumerate(F.BLOCK_PARAGRAPHS):
        put(k * F.BLOCK_ROWS, fp)
        put(min(k * F.BLOCK_ROWS + F.BLOCK_ROWS - 1, F.ROW_COUNT - 1), lp)
    for i, (num, r0, r1, p0, p1, _s, _e) in enumerate(F.TRACKS):
        put(r0, p0)
        put(r1, p1)
        split_before = i > 0 and F.TRACKS[i - 1][4] == p0
        split_after = i + 1 < len(F.TRACKS) and F.TRACKS[i + 1][3] == p1
        first_of[r0] = not split_before
        last_of[r1] = not split_after
    for p in F.CHAPTER_HEADING_PARAGRAPHS:
        row = next(r for r, v in para.items() if v == p and first_of.get(r))
        first_of[row] = True
        last_of[row] = True
    for row in F.LARGEST_LAST_CHAR:
        last_of[row] = True
    put(45, 6)
    put(1952, 373)
    # The most rows of the last range: paragraph 1566 ends with the largest lastChar.
    put(6092 - F.PARAGRAPH_ROW_COUNTS[1566] + 1, 1566)
    first_of[6092 - F.PARAGRAPH_ROW_COUNTS[1566] + 1] = True
    put(6092, 1566)
    return para, first_of, last_of, first_char


def assign_paragraphs(rng):
    para, first_of, last_of, first_char = _anchors()
    anchors = sorted(para)
    no_row = set(F.NO_ROW_PARAGRAPHS)
    weight = [rng.lognormvariate(0.0, 0.7) for _ in range(F.PARAGRAPH_COUNT)]
    count = {}
    for r in anchors:
        count[para[r]] = count.get(para[r], 0) + 1

    def cap(p, row):
        if p in F.PARAGRAPH_ROW_COUNTS:
            return F.PARAGRAPH_ROW_COUNTS[p]
        base = max(k for k in ROW_CAP if k <= row)
        return ROW_CAP[base]

    result = dict(para)
    for r1, r2 in zip(anchors, anchors[1:]):
        p1, p2 = para[r1], para[r2]
        free = list(range(r1 + 1, r2))
        if p1 == p2:
            assert not first_of.get(r2) and not last_of.get(r1), (r1, r2)
            for r in free:
                result[r] = p1
            count[p1] += len(free)
            continue
        assert p2 > p1, (r1, r2)
        mids = [p for p in range(p1 + 1, p2) if p not in no_row]
        want = {p: 1 for p in mids}
        for p in mids:
            if p in F.PARAGRAPH_ROW_COUNTS:
                want[p] = F.PARAGRAPH_ROW_COUNTS[p]
        before2 = 0
        if first_of.get(r2) is False:
            fc = first_char.get(r2)
            before2 = max(1, round(fc / 40.0)) if fc else 1
        need = sum(want.values()) + before2
        while need > len(free) and before2 > 1:
            before2 -= 1
            need -= 1
        assert need <= len(free), ("too few rows between", r1, r2)
        extra = len(free) - need
        open_slots = []
        if not last_of.get(r1):
            open_slots.append(p1)
        open_slots += [p for p in mids if p not in F.PARAGRAPH_ROW_COUNTS]
        if first_of.get(r2) is False and not first_char.get(r2):
            open_slots.append(p2)
        if extra and not open_slots:
            raise AssertionError("rows %d..%d have nowhere to go" % (r1, r2))
        added = {p: 0 for p in open_slots}
        for _ in range(extra):
            choices = [p for p in open_slots
                       if count.get(p, 0) + want.get(p, 0) + added[p] + (before2 if p == p2 else 0) < cap(p, r1)]
            assert choices, ("paragraph caps too tight", r1, r2)
            total = sum(weight[p] for p in choices)
            x = rng.random() * total
            for p in choices:
                x -= weight[p]
                if x <= 0:
                    break
            added[p] += 1
        seq = []
        if p1 in added:
            seq += [p1] * added[p1]
        for p in mids:
            seq += [p] * (want[p] + added.get(p, 0))
        seq += [p2] * (before2 + added.get(p2, 0) if p2 in added else before2)
        assert len(seq) == len(free), (r1, r2, len(seq), len(free))
        for r, p in zip(free, seq):
            result[r] = p
            count[p] = count.get(p, 0) + 1
        count[p1] = count.get(p1, 0)
    return [result[r] for r in range(F.ROW_COUNT)]


# ---------------------------------------------------------------------------
# Step 2: the text span of every row.

def _pinned_spans():
    pins = {}
    for row, (p, first, last, _s, _e) in F.FULL_ROWS.items():
        pins[row] = (first, last)
    for row, (p, first, last) in F.SPAN_ROWS.items():
        pins[row] = (first, last)
    return pins


def _special_gaps(rng, para, pinned, last_pins):
    """Unspoken stretches between two rows of one paragraph: none at all (the
    rows meet at a dash) and the widest of each range that has them."""
    gaps = {}
    for rng_def in F.RANGES:
        if rng_def["widest_gap"] <= 1:
            continue
        cands = [r for r in range(rng_def["first"], rng_def["last"])
                 if para[r] == para[r + 1] and r not in pinned and r + 1 not in pinned
                 and r not in last_pins and r + 1 not in last_pins
                 and (r - 1 < 0 or para[r - 1] == para[r]) and para[r + 2] == para[r]]
        chosen = rng.sample(cands, 2)
        gaps[chosen[0]] = 0
        gaps[chosen[1]] = rng_def["widest_gap"]
    return gaps


def assign_spans(rng, para):
    pins = _pinned_spans()
    last_pins = dict(F.LARGEST_LAST_CHAR)
    heading_rows = set()
    for p in F.CHAPTER_HEADING_PARAGRAPHS:
        rows = [r for r in range(F.ROW_COUNT) if para[r] == p]
        assert len(rows) == 1, (p, rows)
        pins.setdefault(rows[0], (0, len("Chapter 1") - 1))
        heading_rows.add(rows[0])
    gap_after = _special_gaps(rng, para, pins, last_pins)

    by_para = {}
    for r in range(F.ROW_COUNT):
        by_para.setdefault(para[r], []).append(r)

    # Free rows inside a pinned run get their lengths now; rows after the last
    # pin of their paragraph (the tail) stay elastic until the chapter totals
    # are known.
    length = {}
    tail_rows = {}
    tail_start = {}
    for p, rows in by_para.items():
        pos = 0          # first unit of the next row
        run = []
        for r in rows:
            if r in pins:
                first, last = pins[r]
                if run:
                    _fill_run(rng, run, pos, first - 2, gap_after, length)
                    run = []
                pos = last + 2 + (gap_after.get(r, 1) - 1)
            elif r in last_pins:
                run.append(r)
                _fill_run(rng, run, pos, last_pins[r], gap_after, length)
                run = []
                pos = last_pins[r] + 2
            else:
                run.append(r)
        tail_rows[p] = run
        tail_start[p] = pos
    return pins, gap_after, length, tail_rows, tail_start, by_para


def _fill_run(rng, run, start, end, gap_after, length):
    """Rows of run cover units start..end, one blank between rows."""
    gaps = sum(gap_after.get(r, 1) for r in run[:-1])
    total = end - start + 1 - gaps
    k = len(run)
    assert total >= 3 * k, ("run too short", run, start, end)
    w = [rng.lognormvariate(0.0, 0.35) for _ in run]
    scale = (total - 3 * k) / sum(w)
    lens = [3 + int(x * scale) for x in w]
    i = 0
    while sum(lens) < total:
        lens[i % k] += 1
        i += 1
    for r, n in zip(run, lens):
        length[r] = n


def _chapter_of_paragraph(p):
    k = 0
    for i, h in enumerate(F.CHAPTER_HEADING_PARAGRAPHS):
        if p >= h:
            k = i
    return k


def _row_last_char_cap(row):
    rd = range_of(row)
    if rd["largest_last"]:
        return rd["largest_last"][0] - 12
    return 840


def settle_tails(rng, para, pins, gap_after, length, tail_rows, tail_start, by_para):
    """Gives the elastic rows lengths so that every chapter heading lands on its
    text cell, and no paragraph passes the largest lastChar of its range."""
    no_row = set(F.NO_ROW_PARAGRAPHS)
    heads = [0] + F.CHAPTER_HEADING_PARAGRAPHS[1:] + [F.PARAGRAPH_COUNT]

    def fixed_len(p):
        """Units of paragraph p when its tail rows have length 0."""
        if p in no_row:
            return len(F.SCENE_BREAK) if _is_scene_break(p) else 0
        rows = by_para[p]
        ends = []
        for r in rows:
            if r in pins:
                ends.append(pins[r][1] + 1)
            elif r in F.LARGEST_LAST_CHAR:
                ends.append(F.LARGEST_LAST_CHAR[r] + 1)
        tail = tail_rows[p]
        if tail:
            gaps = sum(gap_after.get(r, 1) for r in tail[:-1])
            ends.append(tail_start[p] + gaps)
        return max(ends)

    for ch in range(len(F.CHAPTER_HEADING_PARAGRAPHS)):
        paras = range(heads[ch], heads[ch + 1])
        elastic = [r for p in paras if p not in no_row for r in tail_rows[p]]
        fixed_cells = sum(fixed_len(p) + 1 for p in paras)
        if ch + 1 < len(F.CHAPTER_CELLS):
            target = F.CHAPTER_CELLS[ch + 1] - F.CHAPTER_CELLS[ch]
        else:
            target = fixed_cells + 41 * len(elastic)
        budget = target - fixed_cells
        mean = _track_means(elastic, budget, pins, length)
        lens = {r: max(4, min(160, int(round(mean[r] * rng.lognormvariate(-0.08, 0.4))))) for r in elastic}
        held = {r for r in elastic if r in F.DURATIONS}
        for r in held:
            lens[r] = int(round(F.DURATIONS[r] * TARGET_PACE / 1000.0))

        # Upper bound of each elastic row: its paragraph may not pass the cap.
        for _round in range(50):
            for p in paras:
                tail = tail_rows.get(p) or []
                if not tail:
                    continue
                cap = min(_row_last_char_cap(r) for r in tail)
                over = fixed_len(p) + sum(lens[r] for r in tail) - 1 - cap
                if over > 0:
                    room = sum(lens[r] - 4 for r in tail)
                    assert room >= over, ("paragraph too long", p)
                    for r in tail:
                        cut = int(math.ceil(over * (lens[r] - 4) / room))
                        lens[r] -= cut
            diff = budget - sum(lens.values())
            if diff == 0:
                break
            # Spread the difference over rows of paragraphs with headroom.
            order = elastic[:]
            rng.shuffle(order)
            step = 1 if diff > 0 else -1
            i = 0
            guard = 0
            while diff != 0 and guard < 10 * len(order) * (abs(diff) + 1):
                r = order[i % len(order)]
                i += 1
                guard += 1
                p = para[r]
                if r in held or (step < 0 and lens[r] <= 4):
                    continue
                if step > 0:
                    cap = min(_row_last_char_cap(x) for x in tail_rows[p])
                    if fixed_len(p) + sum(lens[x] for x in tail_rows[p]) - 1 + 1 > cap or lens[r] >= 160:
                        continue
                lens[r] += step
                diff -= step
        assert sum(lens.values()) == budget, ("chapter total not met", ch)
        length.update(lens)

    spans = {}
    for p, rows in by_para.items():
        pos = 0
        for r in rows:
            if r in pins:
                spans[r] = pins[r]
                pos = pins[r][1] + 1 + gap_after.get(r, 1)
            else:
                spans[r] = (pos, pos + length[r] - 1)
                if r in F.LARGEST_LAST_CHAR:
                    assert spans[r][1] == F.LARGEST_LAST_CHAR[r], (r, spans[r])
                pos = spans[r][1] + 1 + gap_after.get(r, 1)
    return spans


def _time_points():
    """Known time points of every track, as assign_times sees them before it
    fills the free ones: {(row, "s" or "e"): ms}."""
    known = {}
    for row, (_p, _f, _l, s, e) in F.FULL_ROWS.items():
        known[(row, "s")], known[(row, "e")] = s, e
    for row, t in F.ROW_ENDS.items():
        known[(row, "e")] = t
    for row, t in F.ROW_STARTS.items():
        known[(row, "s")] = t
    for _num, r0, r1, _p0, _p1, s, e in F.TRACKS:
        known[(r0, "s")], known[(r1, "e")] = s, e
    return known


def _segments(rows):
    """For each given row: the stretch of its track between the known time
    points around it, as (key, speaking time available in ms)."""
    known = _time_points()
    out = {}
    for r in rows:
        a = r
        while (a, "s") not in known and (a - 1, "e") not in known:
            a -= 1
        t0 = known[(a, "s")] if (a, "s") in known else known[(a - 1, "e")]
        b = r
        while (b, "e") not in known and (b + 1, "s") not in known:
            b += 1
        t1 = known[(b, "e")] if (b, "e") in known else known[(b + 1, "s")]
        pauses = (b - a) + ((a, "s") not in known) + ((b, "e") not in known)
        pinned = sum(F.DURATIONS.get(x, 0) for x in range(a, b + 1))
        out[r] = ((a, b), (t1 - t0) - 330.0 * pauses - pinned)
    return out


def _track_means(elastic, budget, pins, length):
    """Mean length of the elastic rows of each stretch between known times,
    chosen so that the whole chapter is read at about one pace."""
    seg = _segments(elastic)
    by_seg, avail = {}, {}
    for r in elastic:
        key, t = seg[r]
        by_seg.setdefault(key, []).append(r)
        avail[key] = t
    fixed = {}
    elastic_set = set(elastic)
    for key in by_seg:
        a, b = key
        fixed[key] = sum((pins[r][1] - pins[r][0] + 1) if r in pins else length.get(r, 0)
                         for r in range(a, b + 1) if r not in elastic_set and r not in F.DURATIONS)

    def total(c):
        return sum(max(c * avail[k] - fixed[k], 6.0 * len(by_seg[k])) for k in by_seg)

    lo, hi = 0.0, 1.0
    while total(hi) < budget:
        hi *= 2
    for _ in range(60):
        mid = (lo + hi) / 2
        if total(mid) < budget:
            lo = mid
        else:
            hi = mid
    mean = {}
    for k, rows in by_seg.items():
        m = max(hi * avail[k] - fixed[k], 6.0 * len(rows)) / len(rows)
        for r in rows:
            mean[r] = m
    return mean


def _is_scene_break(p):
    # The empty lines stand before chapter headings and in the front matter;
    # the other unspoken paragraphs mark a change of scene.
    return p not in (1, 3) and p + 1 not in F.CHAPTER_HEADING_PARAGRAPHS


# ---------------------------------------------------------------------------
# Step 3: times.

def assign_times(rng, para, spans):
    start, end = {}, {}
    for row, (_p, _f, _l, s, e) in F.FULL_ROWS.items():
        start[row], end[row] = s, e
    end.update(F.ROW_ENDS)
    start.update(F.ROW_STARTS)
    pause_pin = dict(F.PAUSES_AFTER)
    # The shortest pause of rows 3000 to 3899 comes back at a few more places.
    cands = [r for r in range(3000, 3899) if track_of_row(r) == track_of_row(r + 1)
             and r not in F.FULL_ROWS and r + 1 not in F.FULL_ROWS and para[r] == para[r + 1]]
    for r in rng.sample(cands, 3):
        pause_pin[r] = 80
    for num, r0, r1, _p0, _p1, s, e in F.TRACKS:
        start.setdefault(r0, s)
        end.setdefault(r1, e)
        assert start[r0] == s and end[r1] == e, num
        # Points: start of r0, end of r0, start of r0+1, ...
        points = []
        for r in range(r0, r1 + 1):
            points.append(("s", r))
            points.append(("e", r))
        known = {}
        for i, (kind, r) in enumerate(points):
            table = start if kind == "s" else end
            if r in table:
                known[i] = table[r]
        idx = sorted(known)
        assert idx[0] == 0 and idx[-1] == len(points) - 1
        for a, b in zip(idx, idx[1:]):
            if b == a + 1:
                continue
            _fill_times(rng, para, spans, points, a, b, known, pause_pin)
        for i, (kind, r) in enumerate(points):
            (start if kind == "s" else end)[r] = known[i]
    return start, end


def _interval(points, i):
    """The interval from point i to point i + 1: ('dur', row) or ('pause', row)."""
    kind, r = points[i]
    return ("dur", r) if kind == "s" else ("pause", r)


def _bounds(kind, r):
    rd = range_of(r)
    if kind == "dur":
        return rd["shortest"][0] + 10, rd["longest"][0] - 10
    lo = rd["min_pause"][0] + 10 if rd["min_pause"] else 10
    if rd["first"] == 3000:
        lo = 90
    hi = rd["max_pause"][0] - 10
    return max(lo, 10), hi


def _fill_times(rng, para, spans, points, a, b, known, pause_pin):
    ivals = [_interval(points, i) for i in range(a, b)]
    fixed = {}
    for j, (kind, r) in enumerate(ivals):
        if kind == "dur" and r in F.DURATIONS:
            fixed[j] = F.DURATIONS[r]
        if kind == "pause" and r in pause_pin:
            fixed[j] = pause_pin[r]
    total = known[b] - known[a] - sum(fixed.values())
    ideal = {}
    for j, (kind, r) in enumerate(ivals):
        if j in fixed:
            continue
        if kind == "dur":
            n = spans[r][1] - spans[r][0] + 1
            ideal[j] = 1000.0 * n / (TARGET_PACE * rng.uniform(0.9, 1.1)) + 60
        else:
            if para[r] != para[r + 1]:
                ideal[j] = rng.uniform(650, 1400)
            else:
                ideal[j] = rng.lognormvariate(math.log(330), 0.35)
    d = sum(v for j, v in ideal.items() if ivals[j][0] == "dur")
    pz = sum(v for j, v in ideal.items() if ivals[j][0] == "pause")
    fd, fp = 1.0, 1.0
    if pz == 0:
        fd = total / d
    elif d == 0:
        fp = total / pz
    else:
        fp = (total - d) / pz
        if fp < 0.45:
            fp = 0.45
            fd = (total - fp * pz) / d
        elif fp > 2.2:
            fp = 2.2
            fd = (total - fp * pz) / d
    vals = {}
    for j, v in ideal.items():
        vals[j] = v * (fd if ivals[j][0] == "dur" else fp)
    vals.update(fixed)
    # Quantise the running position to the grid; pinned intervals stay exact.
    pos = float(known[a])
    out = []
    for j in range(len(ivals)):
        pos += vals[j]
        out.append(pos)
    q = []
    prev = known[a]
    for j in range(len(ivals) - 1):
        if j in fixed:
            v = prev + fixed[j]
        else:
            v = int(round(out[j] / GRID)) * GRID
        q.append(v)
        prev = v
    q.append(known[b])
    # Repair intervals that rounding pushed out of their bounds.
    lengths = []
    prev = known[a]
    for v in q:
        lengths.append(v - prev)
        prev = v
    for _ in range(200):
        bad = False
        for j, (kind, r) in enumerate(ivals):
            if j in fixed:
                continue
            lo, hi = _bounds(kind, r)
            if lengths[j] < lo or lengths[j] > hi:
                bad = True
                donor = max((k for k in range(len(ivals)) if k not in fixed and k != j),
                            key=lambda k: lengths[k] - _bounds(*ivals[k])[0] if lengths[j] < lo
                            else _bounds(*ivals[k])[1] - lengths[k])
                delta = GRID if lengths[j] < lo else -GRID
                lengths[j] += delta
                lengths[donor] -= delta
        if not bad:
            break
    pos = known[a]
    for j in range(len(ivals) - 1):
        pos += lengths[j]
        known[a + 1 + j] = pos
    assert pos + lengths[-1] == known[b]


# ---------------------------------------------------------------------------
# Step 4: the text.

def build_text(rng, para, spans, gap_after):
    no_row = set(F.NO_ROW_PARAGRAPHS)
    by_para = {}
    for r in range(F.ROW_COUNT):
        by_para.setdefault(para[r], []).append(r)
    heading_no = {p: i + 1 for i, p in enumerate(F.CHAPTER_HEADING_PARAGRAPHS)}
    texts = []
    maker = words.WordMaker(rng)
    for p in range(F.PARAGRAPH_COUNT):
        if p in no_row:
            texts.append(F.SCENE_BREAK if _is_scene_break(p) else "")
            continue
        if p == 0:
            texts.append(F.TITLE)
            continue
        if p == 2:
            texts.append(F.SUBTITLE)
            continue
        if p in heading_no:
            texts.append("Chapter %d" % heading_no[p])
            continue
        rows = by_para[p]
        n = max(spans[r][1] for r in rows) + 1
        blank = [False] * n
        joins = set()   # units after which a dash joins two rows
        starts, ends = set(), set()
        for r in rows:
            f, l = spans[r]
            starts.add(f)
            ends.add(l)
            if gap_after.get(r, 1) == 0:
                joins.add(l)
                continue
            if l + 1 < n:
                blank[l + 1] = True
        for r in rows:
            f, _l = spans[r]
            if f > 0 and (f - 1) not in joins:
                blank[f - 1] = True
        # Runs of non-blank units between blanks and dash joins.
        runs = []
        i = 0
        while i < n:
            if blank[i]:
                i += 1
                continue
            j = i
            while j + 1 < n and not blank[j + 1] and j not in joins:
                j += 1
            runs.append((i, j))
            i = j + 1
        chars = [" "] * n
        maker.new_paragraph()
        for (i, j) in runs:
            chars[i:j + 1] = maker.fill(j - i + 1, dash=(j in joins), final=(j == n - 1))
        texts.append("".join(chars))
    return texts


# ---------------------------------------------------------------------------

def build_edition(seed=SEED):
    rng = random.Random(seed)
    para = assign_paragraphs(rng)
    pins, gap_after, length, tail_rows, tail_start, by_para = assign_spans(rng, para)
    spans = settle_tails(rng, para, pins, gap_after, length, tail_rows, tail_start, by_para)
    start, end = assign_times(rng, para, spans)
    texts = build_text(rng, para, spans, gap_after)
    rows = []
    for i in range(F.ROW_COUNT):
        row = Row(i)
        row.paragraph = para[i]
        row.first, row.last = spans[i]
        row.track = track_of_row(i)
        row.start, row.end = start[i], end[i]
        rows.append(row)
    return Edition(rows, texts)
