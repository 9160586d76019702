"""Checks an edition against every fixed fact; returns a list of complaints."""

import facts as F


def is_word_start(text, i):
    return i == 0 or text[i - 1] == " " or text[i - 2:i] == "--"


def is_word_end(text, i):
    return i + 1 >= len(text) or text[i + 1] == " " or text[i - 1:i + 1] == "--"


def check(edition):
    bad = []
    rows = edition.rows
    texts = edition.paragraphs

    def expect(cond, *msg):
        if not cond:
            bad.append(" ".join(str(m) for m in msg))

    expect(len(rows) == F.ROW_COUNT, "row count")
    expect(len(texts) == F.PARAGRAPH_COUNT, "paragraph count")
    for row, (p, f, l, s, e) in F.FULL_ROWS.items():
        r = rows[row]
        expect((r.paragraph, r.first, r.last, r.start, r.end) == (p, f, l, s, e), "full row", row)
    for row, (p, f, l) in F.SPAN_ROWS.items():
        r = rows[row]
        expect((r.paragraph, r.first, r.last) == (p, f, l), "span row", row)
    for row, p in F.PARAGRAPH_ROWS.items():
        expect(rows[row].paragraph == p, "paragraph row", row)
    for num, r0, r1, p0, p1, s, e in F.TRACKS:
        expect(all(rows[i].track == num for i in range(r0, r1 + 1)), "track rows", num)
        expect(rows[r0].paragraph == p0 and rows[r1].paragraph == p1, "track paragraphs", num)
        expect(rows[r0].start == s and rows[r1].end == e, "track times", num)
    for k, (fp, lp) in enumerate(F.BLOCK_PARAGRAPHS):
        a = k * 300
        b = min(a + 299, F.ROW_COUNT - 1)
        expect(rows[a].paragraph == fp and rows[b].paragraph == lp, "block", k + 1)
    used = {}
    for r in rows:
        used.setdefault(r.paragraph, []).append(r)
    expect(sorted(set(range(F.PARAGRAPH_COUNT)) - set(used)) == F.NO_ROW_PARAGRAPHS, "no-row paragraphs")
    split = sorted(p for p, rs in used.items() if len({r.track for r in rs}) > 1)
    expect(split == F.SPLIT_PARAGRAPHS, "split paragraphs", split)
    for i in range(1, len(rows)):
        a, b = rows[i - 1], rows[i]
        expect(b.paragraph >= a.paragraph, "paragraph order", i)
        if a.paragraph == b.paragraph:
            expect(b.first > a.first, "firstChar order", i)
        else:
            expect(b.first == 0, "paragraph first row at 0", i)
        if a.track == b.track:
            expect(b.start >= a.start and b.end >= a.end, "time order", i)
    for r in rows:
        expect(r.last > r.first, "span", r.index)
        expect(r.last <= 1329, "lastChar", r.index)
        expect(r.end > r.start, "times", r.index)
        expect(0 <= r.start < 6 * 60000 and r.end < 6 * 60000, "minutes", r.index)
        if r.index != 116:
            expect(r.start % 10 == 0 and r.end % 10 == 0, "grid", r.index)
    # Ranges.
    for rd in F.RANGES:
        rr = rows[rd["first"]:rd["last"] + 1]
        durs = [(r.end - r.start, r.index) for r in rr]
        mn, mx = min(durs), max(durs)
        expect(mn == rd["shortest"] and [d for d in durs if d[0] == mn[0]] == [mn], "shortest", rd["first"], mn)
        expect(mx == rd["longest"] and [d for d in durs if d[0] == mx[0]] == [mx], "longest", rd["first"], mx)
        pauses = [(rows[i + 1].start - rows[i].end, i) for i in range(rd["first"], rd["last"])
                  if rows[i].track == rows[i + 1].track]
        if rd["max_pause"]:
            top = max(pauses)
            expect(top == rd["max_pause"] and sum(1 for p in pauses if p[0] == top[0]) == 1, "max pause", rd["first"], top)
        if rd["min_pause"]:
            low = min(pauses)
            expect(low[0] == rd["min_pause"][0], "min pause", rd["first"], low)
            if rd["first"] != 3000:
                expect(low == rd["min_pause"] and sum(1 for p in pauses if p[0] == low[0]) == 1, "min pause unique", rd["first"], low)
        nonpos = {i: p for p, i in pauses if p <= 0}
        expect(nonpos == {i: p for i, p in F.IRREGULAR_PAUSES.items() if rd["first"] <= i < rd["last"]}, "irregular pauses", nonpos)
        counts = {}
        for r in rr:
            counts[r.paragraph] = counts.get(r.paragraph, 0) + 1
        if rd["most_rows"]:
            top = max(counts.values())
            expect(top == rd["most_rows"][0], "most rows", rd["first"], top)
        if rd["largest_last"]:
            top = max((r.last, r.index) for r in rr)
            expect(top == rd["largest_last"], "largest last", rd["first"], top)
            expect(sum(1 for r in rr if r.last == top[0]) == 1, "largest last unique", rd["first"])
        gaps = [rows[i + 1].first - rows[i].last - 1 for i in range(rd["first"], rd["last"])
                if rows[i].paragraph == rows[i + 1].paragraph and rows[i + 1].first > rows[i].last]
        expect(max(gaps) == rd["widest_gap"], "widest gap", rd["first"], max(gaps))
        if rd["widest_gap"] > 1:
            expect(min(gaps) == 0, "gap none", rd["first"])
    overlaps = [i for i in range(len(rows) - 1)
                if rows[i].paragraph == rows[i + 1].paragraph and rows[i + 1].first <= rows[i].last]
    expect(overlaps == F.OVERLAPPING_ROWS, "overlaps", overlaps)
    # Text.
    for r in rows:
        t = texts[r.paragraph]
        ok = r.last < len(t) and is_word_start(t, r.first) and is_word_end(t, r.last)
        expect(ok, "span on words", r.index, repr(t[r.first:r.last + 1]))
    for p, t in enumerate(texts):
        expect("  " not in t and not t.startswith(" ") and not t.endswith(" "), "blanks", p)
        expect(all(32 <= ord(c) < 127 for c in t), "ascii", p)
    cells = edition.paragraph_first_cells()
    for k, p in enumerate(F.CHAPTER_HEADING_PARAGRAPHS):
        expect(texts[p] == "Chapter %d" % (k + 1), "heading text", p)
        if k > 0:
            expect(cells[p] == F.CHAPTER_CELLS[k], "chapter cell", k + 1, cells[p], F.CHAPTER_CELLS[k])
    return bad


def pace_report(edition):
    paces = sorted((r.last - r.first + 1) * 1000.0 / (r.end - r.start) for r in edition.rows)
    n = len(paces)
    slow = sum(1 for p in paces if p < 12)
    fast = sum(1 for p in paces if p > 20)
    return "pace units/s: min %.1f p5 %.1f median %.1f p95 %.1f max %.1f; below 12: %d, above 20: %d" % (
        paces[0], paces[n // 20], paces[n // 2], paces[n * 19 // 20], paces[-1], slow, fast)
