"""Pseudo-translation files "book_t1.txt" to "book_t4.txt" for the demo edition.

Every file divides the book into the same pieces in the same order (the reader
matches pieces across files by position and makes only the first file's spans
clickable); what differs is the language of the text line. The text is a
word-for-word rendering through a small glossary, with every other word mapped
to a fixed word of the language, so a balloon shows real words in the right
script without claiming to be a translation.

Record layout: a header line "paragraph first last" (single blanks), then the
text line, each ending in CR LF, UTF-16LE after a byte-order mark. The reader
never looks at the first unit of the body, so a first record that is not for
paragraph 0 gets a leading zero on its paragraph number ("05" reads as 5
from its second unit on; "0" alone reads as 0 either way).
"""

from dataclasses import dataclass
import argparse
import hashlib
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sources  # noqa: E402

LANGUAGES = ("ru", "fr", "es", "he")   # file 1 to 4, the order of the menu

# English word -> Russian, French, Spanish, Hebrew.
GLOSSARY = {
    "the": ("", "le", "el", ""),
    "a": ("", "un", "un", ""),
    "an": ("", "une", "una", ""),
    "and": ("и", "et", "y", "ו"),
    "of": ("", "de", "de", "של"),
    "to": ("к", "à", "a", "אל"),
    "in": ("в", "dans", "en", "ב"),
    "on": ("на", "sur", "sobre", "על"),
    "at": ("у", "chez", "junto a", "ליד"),
    "with": ("с", "avec", "con", "עם"),
    "for": ("для", "pour", "para", "בשביל"),
    "from": ("из", "de", "desde", "מן"),
    "by": ("у", "par", "por", "ליד"),
    "he": ("он", "il", "él", "הוא"),
    "she": ("она", "elle", "ella", "היא"),
    "it": ("оно", "il", "ello", "זה"),
    "they": ("они", "ils", "ellos", "הם"),
    "we": ("мы", "nous", "nosotros", "אנחנו"),
    "i": ("я", "je", "yo", "אני"),
    "you": ("вы", "vous", "usted", "אתה"),
    "his": ("его", "son", "su", "שלו"),
    "her": ("её", "sa", "su", "שלה"),
    "their": ("их", "leur", "su", "שלהם"),
    "was": ("был", "était", "era", "היה"),
    "were": ("были", "étaient", "eran", "היו"),
    "is": ("есть", "est", "es", "הוא"),
    "had": ("имел", "avait", "tenía", "היה לו"),
    "said": ("сказал", "dit", "dijo", "אמר"),
    "not": ("не", "pas", "no", "לא"),
    "no": ("нет", "non", "no", "לא"),
    "but": ("но", "mais", "pero", "אבל"),
    "that": ("что", "que", "que", "ש"),
    "this": ("это", "ce", "este", "זה"),
    "all": ("все", "tout", "todo", "הכל"),
    "there": ("там", "là", "allí", "שם"),
    "one": ("один", "un", "uno", "אחד"),
    "two": ("два", "deux", "dos", "שניים"),
    "old": ("старый", "vieux", "viejo", "ישן"),
    "house": ("дом", "maison", "casa", "בית"),
    "door": ("дверь", "porte", "puerta", "דלת"),
    "night": ("ночь", "nuit", "noche", "לילה"),
    "day": ("день", "jour", "día", "יום"),
    "light": ("свет", "lumière", "luz", "אור"),
    "hand": ("рука", "main", "mano", "יד"),
    "eyes": ("глаза", "yeux", "ojos", "עיניים"),
    "water": ("вода", "eau", "agua", "מים"),
    "road": ("дорога", "route", "camino", "דרך"),
    "garden": ("сад", "jardin", "jardín", "גן"),
    "window": ("окно", "fenêtre", "ventana", "חלון"),
    "time": ("время", "temps", "tiempo", "זמן"),
    "man": ("человек", "homme", "hombre", "איש"),
    "woman": ("женщина", "femme", "mujer", "אישה"),
    "little": ("маленький", "petit", "pequeño", "קטן"),
    "long": ("долгий", "long", "largo", "ארוך"),
    "dark": ("тёмный", "sombre", "oscuro", "חשוך"),
    "rain": ("дождь", "pluie", "lluvia", "גשם"),
    "wind": ("ветер", "vent", "viento", "רוח"),
    "stone": ("камень", "pierre", "piedra", "אבן"),
    "marsh": ("болото", "marais", "pantano", "ביצה"),
    "chapter": ("глава", "chapitre", "capítulo", "פרק"),
}

# Words for everything the glossary does not know, picked by a hash of the
# English word so that one word always gets the same stand-in.
FILLERS = {
    "ru": "тихий вечер берег река лес поле окно свеча письмо дорога голос "
          "сердце утро туман мост сад тропа ключ книга огонь небо птица "
          "холм ветер шаг тень стена лестница город память".split(),
    "fr": "calme soir rive rivière forêt champ fenêtre bougie lettre chemin "
          "voix cœur matin brume pont verger sentier clé livre feu ciel "
          "oiseau colline souffle pas ombre mur escalier ville mémoire".split(),
    "es": "tranquilo tarde orilla río bosque campo ventana vela carta senda "
          "voz corazón mañana niebla puente huerto vereda llave libro fuego "
          "cielo pájaro colina aliento paso sombra muro escalera ciudad "
          "memoria".split(),
    "he": "שקט ערב חוף נהר יער שדה חלון נר מכתב שביל קול לב בוקר ערפל "
          "גשר פרדס משעול מפתח ספר אש שמיים ציפור גבעה נשימה צעד צל חומה "
          "מדרגות עיר זיכרון".split(),
}

PUNCTUATION = ".,;:!?\"'()"


def stable_hash(*parts):
    digest = hashlib.sha256("\x1f".join(str(p) for p in parts).encode()).digest()
    return int.from_bytes(digest[:8], "little")


@dataclass(frozen=True)
class Piece:
    paragraph: int
    first: int
    last: int


def word_spans(text):
    """(start, end) of every non-empty blank-separated word, end exclusive."""
    spans, start = [], 0
    for k, ch in enumerate(text + " "):
        if ch == " ":
            if k > start:
                spans.append((start, k))
            start = k + 1
    return spans


def choose_pieces(paragraphs):
    """The pieces every file translates, in ascending order.

    Roughly a third of the paragraphs get none, most one, some two or three;
    each piece is a run of whole words, never crossing the line end. The title
    (paragraph 0) is always one piece as a whole.
    """
    pieces = []
    for p, text in enumerate(paragraphs):
        words = word_spans(text)
        if not words:
            continue
        if p == 0:
            pieces.append(Piece(0, words[0][0], words[-1][1] - 1))
            continue
        kind = stable_hash("kind", p) % 10
        count = 0 if kind < 3 else 1 if kind < 7 else 2 if kind < 9 else 3
        count = min(count, len(words))
        for k in range(count):
            lo = len(words) * k // count
            hi = len(words) * (k + 1) // count         # this piece's share
            size = 1 + stable_hash("size", p, k) % min(6, hi - lo)
            offset = stable_hash("offset", p, k) % (hi - lo - size + 1)
            first = words[lo + offset][0]
            last = words[lo + offset + size - 1][1] - 1
            pieces.append(Piece(p, first, last))
    return pieces


def render(source, language):
    """Word-for-word stand-in of an English stretch in the given language."""
    out = []
    for raw in source.split(" "):
        core = raw.strip(PUNCTUATION)
        if not core:
            continue
        tail = raw[len(raw.rstrip(PUNCTUATION)):]
        key = core.lower()
        if key in GLOSSARY:
            word = GLOSSARY[key][LANGUAGES.index(language)]
        else:
            fillers = FILLERS[language]
            word = fillers[stable_hash("word", key) % len(fillers)]
        if not word:                                  # an article the language lacks
            continue
        if core[:1].isupper() and language != "he":
            word = word[:1].upper() + word[1:]
        out.append(word + "".join(c for c in tail if c in ".,;:!?"))
    if not out:
        out.append(FILLERS[language][0])
    return " ".join(out)


def is_left_empty(index, t):
    """A few pieces have an empty text line in one file: nothing to show."""
    return stable_hash("empty", index, t) % 29 == 0


def translation_lines(paragraphs, pieces, t):
    lines = []
    for index, piece in enumerate(pieces):
        number = str(piece.paragraph)
        if index == 0 and piece.paragraph != 0:
            number = "0" + number
        lines.append(f"{number} {piece.first} {piece.last}")
        if is_left_empty(index, t):
            lines.append("")
        else:
            source = paragraphs[piece.paragraph][piece.first:piece.last + 1]
            lines.append(render(source, LANGUAGES[t]))
    return lines


def write_translations(book_path, out_dir):
    paragraphs = sources.read_utf16_lines(book_path)
    pieces = choose_pieces(paragraphs)
    names = []
    for t in range(len(LANGUAGES)):
        name = os.path.join(out_dir, f"book_t{t + 1}.txt")
        sources.write_utf16_lines(name, translation_lines(paragraphs, pieces, t))
        names.append(name)
    return names, len(pieces)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--book", required=True, help='"book.txt" to translate')
    parser.add_argument("--out", required=True, help="edition folder")
    args = parser.parse_args(argv)
    names, count = write_translations(args.book, args.out)
    print(f"{len(names)} translation files, {count} pieces each, in {args.out}")


if __name__ == "__main__":
    main()
