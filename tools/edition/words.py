"""Plain English words for the demo text, fitted to exact lengths.

Every row of the alignment names an exact stretch of units, so the text is
made to measure: a run of n units becomes words of chosen lengths separated by
single blanks. Only ASCII is used, so the 8-bit build shows the same letters.
"""

VOCABULARY = """
a I
an as at be by do go he if in is it me my no of on or so to up us we
all and any are but can day did far few for got had has her him his how its
let may new not now old one our out own ran saw say see she sat the too two
was way who why yet you
also back bell been both came cold come dark door down each even ever eyes face
fell felt from gate gave good grey hall hand have hear held here high hill home
into just kept knew lamp last left life like line long look lost made many mind
more most much must name near need next once only open over path rain read road
room said same seen shut side slow some soon stay step still such sure take tell
than that them then they this time told took town tree turn upon very wait walk
wall want warm well went were what when wind with word work year your
about after again along asked began being below black bread broad brook dream
early earth every field first floor found front going grass great green heard
heart house later light might never night often other place quiet river round
seemed shall short since small sound stair still stone stood table their there
these thing those three until voice watch water where which while white whole
window world would young
across always answer around before behind better beyond bridge candle corner
letter little mother murmur myself nothing number orchard people letter rather
should silver simple slowly spoken spring stairs summer supper though toward
turned waited walked wanted winter within
already another brother candles certain chapter evening finally further garden
hearing kitchen letters morning nothing perhaps quickly reading shadows silence
someone started station stopped strange through village weather whether without
distance everyone followed gathered hedgerow lanterns listened marshes memories
midnight moorland mourning northern outside question remember returned
shoulders something sometimes springtime staircase stillness whispered yesterday
afternoon gentlemen knowledge lamplight landscape messenger neighbour
""".split()

NAMES = ["Tamsin", "Osric", "Fenn", "Corvane", "Linden", "Harrowdene", "Quarry", "Maud",
         "Elsie", "Abel", "Ned", "Hester", "Wren"]

LENGTH_WEIGHTS = {1: 2, 2: 16, 3: 20, 4: 18, 5: 13, 6: 10, 7: 8, 8: 6, 9: 4, 10: 3}


class WordMaker:
    def __init__(self, rng):
        self.rng = rng
        self.by_length = {}
        for w in VOCABULARY:
            if w != "I":
                self.by_length.setdefault(len(w), []).append(w)
        for w in NAMES:
            self.by_length.setdefault(len(w), [])
        self.names = {}
        for w in NAMES:
            self.names.setdefault(len(w), []).append(w)
        self.sentence_start = True
        self.words_in_sentence = 0

    def _lengths(self, m, dash, final):
        rng = self.rng
        while True:
            out, rem = [], m
            while rem > 0:
                if rem <= 10 and (rem <= 3 or rng.random() < 0.35):
                    out.append(rem)
                    break
                choices = [w for w in LENGTH_WEIGHTS if w <= rem - 2]
                w = rng.choices(choices, weights=[LENGTH_WEIGHTS[c] for c in choices])[0]
                out.append(w)
                rem -= w + 1
            if (not dash or out[-1] >= 3) and (not final or out[-1] >= 2 or m < 2):
                return out

    def _word(self, n):
        rng = self.rng
        if n >= 4 and n in self.names and rng.random() < 0.06:
            return rng.choice(self.names[n])
        pool = self.by_length.get(n)
        if not pool:
            # No word this long: two words of the vocabulary joined by a hyphen.
            a = rng.randint(2, n - 3)
            return self._plain(a) + "-" + self._plain(n - a - 1)
        return rng.choice(pool)

    def _plain(self, n):
        return self.rng.choice(self.by_length[n])

    def fill(self, m, dash=False, final=False):
        """m units of words separated by single blanks. With dash the last
        word ends in "--" (the next row goes on right after it). With final the
        last word closes the paragraph's sentence."""
        rng = self.rng
        lengths = self._lengths(m, dash, final)
        parts = []
        for k, n in enumerate(lengths):
            last = k == len(lengths) - 1
            punct = ""
            if last and dash:
                punct = "--"
            elif last and final and n >= 2:
                punct = "."
            elif n >= 2 and self.words_in_sentence >= 5 and rng.random() < 0.11:
                punct = "."
            elif n >= 3 and self.words_in_sentence >= 3 and rng.random() < 0.07:
                punct = ","
            body_len = n - len(punct)
            if body_len == 1:
                body = "I" if rng.random() < 0.3 else "a"
            else:
                body = self._word(body_len)
            if self.sentence_start and body[0].islower():
                body = body[0].upper() + body[1:]
            parts.append(body + punct)
            self.sentence_start = punct == "."
            self.words_in_sentence = 0 if punct == "." else self.words_in_sentence + 1
        text = " ".join(parts)
        assert len(text) == m, (m, text)
        return text

    def new_paragraph(self):
        self.sentence_start = True
        self.words_in_sentence = 0
